// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/statusbarview.h"

#include "app/idleclock.h"
#include "link/cameraassembler.h"
#include "session/stationsession.h"
#include "storage/writehealth.h"
#include "ui/fadinglabel.h"

#include <QDebug>
#include <QLabel>
#include <QProgressBar>
#include <QStackedWidget>
#include <QStatusBar>

namespace {
constexpr int kStatusPointSize = 8;
} // namespace

StatusBarView::StatusBarView(QStatusBar *bar, const QFont &font)
    : connectionLabel(new QLabel(bar)), statusStack(new QStackedWidget(bar)),
      messageLabel(new FadingLabel(statusStack)), progressBar(new QProgressBar(statusStack))
{
    QFont statusFont = font;
    statusFont.setPointSize(kStatusPointSize);
    connectionLabel->setFont(statusFont);
    connectionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    messageLabel->setFont(statusFont);
    messageLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    progressBar->setFont(statusFont);
    progressBar->setAlignment(Qt::AlignCenter);
    progressBar->setRange(0, CameraAssembler::kProgressMaximum);
    progressBar->hide();
    statusStack->addWidget(messageLabel);
    statusStack->addWidget(progressBar);
    statusStack->setCurrentIndex(0);

    bar->addWidget(connectionLabel, 1);
    bar->addWidget(statusStack, 1);
    bar->setStyleSheet(QStringLiteral("QStatusBar::item { border: none; } "));
}

void StatusBarView::follow(StationSession *session, QObject *context)
{
    QObject::connect(session, &StationSession::statusChanged, context,
                     [this](const QString &text) { setStatus(text); });
    QObject::connect(session, &StationSession::connectionChanged, connectionLabel, &QLabel::setText);
    QObject::connect(
        session, &StationSession::progressChanged, context,
        [this](const QString &format, int maximum, int value) { showProgress(format, maximum, value); });
    QObject::connect(session, &StationSession::progressHidden, context, [this] { hideProgress(); });
    QObject::connect(session->health(), &WriteHealth::failed, context,
                     [this](const QString &file, const QString &reason) { showWriteFailure(file, reason); });
    QObject::connect(session->health(), &WriteHealth::recovered, context,
                     [this](const QString &file) { showWriteRecovery(file); });
}

void StatusBarView::setConnection(const QString &html)
{
    connectionLabel->setText(html);
}

void StatusBarView::setStatus(const QString &text)
{
    m_status = text;
    m_ticksSinceSet = 0;
}

void StatusBarView::tick(int idleTicks)
{
    // A new text fades from the moment it was set, however long the station
    // has been silent.
    const int grey = IdleClock::fadeGreySince(++m_ticksSinceSet);
    if (grey >= 0) {
        messageLabel->setFaded(grey, m_status);
    }
    if (idleTicks > IdleClock::kProgressHideTicks)
        hideProgress();
    if (IdleClock::messageExpired(m_ticksSinceSet, idleTicks))
        m_status.clear();
}

void StatusBarView::showProgress(const QString &format, int maximum, int value)
{
    statusStack->setCurrentIndex(1);
    progressBar->setMaximum(maximum);
    progressBar->setFormat(format);
    progressBar->show();
    progressBar->setValue(value);
}

void StatusBarView::hideProgress()
{
    statusStack->setCurrentIndex(0);
    progressBar->hide();
}

void StatusBarView::showWriteFailure(const QString &file, const QString &reason)
{
    const QString text = WriteHealth::failureText(file, reason);
    qDebug().noquote() << "!!-- Error: " + text;
    setStatus(QStringLiteral("<font color=#B22222>%1</font>").arg(text.toHtmlEscaped()));
}

void StatusBarView::showWriteRecovery(const QString &file)
{
    qDebug().noquote() << WriteHealth::recoveryText(file);
    setStatus(WriteHealth::recoveryText(file));
}
