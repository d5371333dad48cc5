// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class FadingLabel;
class QFont;
class QObject;
class StationSession;
class QLabel;
class QProgressBar;
class QStackedWidget;
class QStatusBar;

// The status bar's widgets: the connection on the left, and on the right the
// latest event, fading to grey over 20 s from the moment it was set, or the
// progress of a picture or recording.
class StatusBarView
{
public:
    StatusBarView(QStatusBar *bar, const QFont &font);

    // Shows what the session reports: events, connection, progress and the
    // state of the log files; context owns the connections.
    void follow(StationSession *session, QObject *context);
    void setConnection(const QString &html);
    void setStatus(const QString &text);
    QString status() const { return m_status; }
    // The 100 ms tick, with the ticks since the station last spoke.
    void tick(int idleTicks);
    void showProgress(const QString &format, int maximum, int value);
    void hideProgress();
    // Logging failed, or works again: said in red, and in the debug log.
    void showWriteFailure(const QString &file, const QString &reason);
    void showWriteRecovery(const QString &file);

    QLabel *connectionLabel;
    QStackedWidget *statusStack;
    FadingLabel *messageLabel;
    QProgressBar *progressBar;

private:
    QString m_status;
    int m_ticksSinceSet = 0;
};
