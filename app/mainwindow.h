// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/featureoptions.h"
#include "forwarding/packetforwarder.h"
#include "storage/datafolder.h"
#include "weather/observation.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

class AlarmPresenter;
class PictureViewer;
class QLabel;
class QMessageBox;
class QTimer;
class CameraViews;
class DemoReplay;
class DialogAbout;
class DialogDataForwarding;
class DialogHelp;
class PortMenu;
class StatusBarView;
class ForwardingSettings;
class QMyThread;
class SerialLink;
class StationSession;
class dialogImageSchedule;

namespace Ui {
class MainWindow;
}

// How the window starts; the defaults are those of the installed program.
struct MainWindowOptions
{
    // Ports named by the user; they stand first in the port menu.
    QStringList extraPorts;
    // Whether the system's serial ports are listed as well.
    bool systemPorts = true;
    // The data folder; empty means the default under the documents folder.
    QString dataFolder;
    QString optionsFile = QStringLiteral("options.txt");
    // Folder of the stored station output that demo mode replays.
    QString demoFolder = QStringLiteral("Demo");
    // Switch demo mode on at start; implies the ADVANCED option.
    bool demo = false;
    // An INI file for the forwarding settings; empty means the user's settings store.
    QString settingsFile;
};

// The program's one window: the form over a station session. The session
// talks to the station and logs; the window shows what it reports and hands
// the user's choices to it.
class MainWindow : public QMainWindow, private PacketForwarder
{
    Q_OBJECT

public:
    explicit MainWindow(const MainWindowOptions &startOptions = MainWindowOptions(),
                        QWidget *parent = nullptr);
    ~MainWindow() override;

    static QString versionText();
    StationSession *session() const { return m_session; }

public slots:
    bool forwardData(const QByteArray &payload);
    void openSerialPort();
    void closeSerialPort();
    void writeData(const QByteArray &bytes);
    void setProgress(const QString &s);
    void readData();
    int updateReportingMode(const QString &mode);
    void displayWeatherData();
    void clearRaw();
    QByteArray updateConfig();
    void configButtonPushed();
    void logData(const QByteArray &msg, bool isWeather);
    void logToCsv();
    void handleImgSelection(int index);
    void handleGpsSelection(int index);
    int getElev();
    void handleAudioSelection();
    int getAudioOffset();
    void handleError(const QString &reason);
    void Timer();
    void handleImgTimer();
    void handleDemoTimer();
    void handleForwardingTimer();
    QString getDateTime(const QByteArray &buffer);
    QString getDateTimeSpectral(const QByteArray &buffer);
    void toggleAutomaticImageRequest();
    void resize();
    bool configureDataForwarding();
    bool checkDataForwarding();
    bool updateDataOptionsMenu();
    void showAbout();
    void showHelp();
    void toggleDataForwarding();
    void toggleDemoMode();
    void forwardStatus(bool result);
    bool CheckIfSendablePacket();
    void on_reportingComboBox_currentIndexChanged(int index);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // PacketForwarder
    bool isForwarding() const override;
    bool isSendable(int modeDigit, const QByteArray &buffer) const override;
    void forward(const QByteArray &payload, const QByteArray &imei) override;
    void commandRequested() override;

    void fillSelectors();
    void connectSession();
    void applyFeatureOptions();
    void scanPorts();
    QStringList availablePorts() const;
    void clearViews();
    void followStationMode(const QString &mode);
    void showMessageLater(const QString &title, const QString &text, bool warning);
    void setUpReading();
    void showDataAge(bool restyle = false);

    Ui::MainWindow *ui;
    MainWindowOptions m_start;
    FeatureOptions m_options;
    DataFolder m_dataFolder;
    StationSession *m_session = nullptr;
    SerialLink *m_serial = nullptr;
    DemoReplay *m_demo = nullptr;

    PortMenu *m_portMenu = nullptr;
    int currentPortIndex = -1;
    QString currentPortName;
    int portScanTicks = 0;

    QTimer *m_tickTimer = nullptr;
    QTimer *m_forwardingTimer = nullptr;
    QTimer *m_imageTimer = nullptr;

    std::unique_ptr<StatusBarView> m_statusBar;
    std::unique_ptr<CameraViews> m_cameras;
    QLabel *m_stationModeLabel = nullptr;

    // The latest packet, for the age of the values on the data view.
    Observation m_observation;
    bool m_stale = false;
    QLabel *m_dataAgeLabel = nullptr;
    AlarmPresenter *m_alarms = nullptr;
    PictureViewer *m_pictureViewer = nullptr;

    // The user picked a reporting mode that has not been sent yet: the
    // station's packets must not overwrite it.
    bool m_reportingChosen = false;
    QString m_stationMode;
    int elevation = 0;
    int audioOffset = 0;
    QByteArray autoImageCommand;
    dialogImageSchedule *m_scheduleDialog = nullptr;

    std::unique_ptr<ForwardingSettings> m_forwardingSettings;
    QList<QPointer<QMyThread>> m_attempts;
    QPointer<QMessageBox> m_messageBox;
    QString forwardingIp;
    int forwardingPort = 0;
    bool forwardingWindowOpen = false;
    DialogDataForwarding *m_forwardingDialog = nullptr;
    DialogAbout *m_aboutDialog = nullptr;
    DialogHelp *m_helpDialog = nullptr;
};
