// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QLabel;
class QTimer;
class QWidget;
class dialogImageSchedule;
class FeatureOptions;

namespace Ui {
class MainWindow;
}

// The six configuration selectors of the control view with their inputs:
// what they offer, which inputs they show, and the command they make.
class CommandPanel : public QObject
{
    Q_OBJECT

public:
    CommandPanel(Ui::MainWindow *ui, QWidget *window);

    // Takes out what the feature options leave out.
    void applyOptions(const FeatureOptions &options);
    // The configuration command of this moment.
    QByteArray command();

    // The station reported its mode. A mode the user picked and has not
    // sent yet is kept; the station's mode is shown beside it instead.
    void followStationMode(const QString &mode);
    void reportingChosen();
    void commandQueued();

    void gpsChosen(int index);
    int elevation();
    void audioChosen();
    int audioOffset();
    void cameraChosen(int index);
    void requestImages();
    // While on, imagesDue comes now and every 20 minutes.
    void setAutomaticImages(bool on);

signals:
    void imagesDue();

private:
    Ui::MainWindow *ui;
    QWidget *m_window;
    QLabel *m_stationModeLabel;
    QTimer *m_imageTimer;
    dialogImageSchedule *m_scheduleDialog = nullptr;
    bool m_reportingChosen = false;
    QString m_stationMode;
    int m_elevation = 0;
    int m_audioOffset = 0;
    QByteArray m_autoImageCommand;
};
