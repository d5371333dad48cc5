// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/featureoptions.h"
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
class CommandPanel;
class DemoReplay;
class DialogAbout;
class DialogDataForwarding;
class DialogHelp;
class PortMenu;
class StatusBarView;
class ForwardingController;
class SerialLink;
class StationSession;

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
class MainWindow : public QMainWindow
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
    void connectSession();
    void applyFeatureOptions();
    void scanPorts();
    QStringList availablePorts() const;
    void clearViews();
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
    QTimer *m_imageTimer = nullptr;

    std::unique_ptr<StatusBarView> m_statusBar;
    std::unique_ptr<CameraViews> m_cameras;
    CommandPanel *m_commands = nullptr;

    ForwardingController *m_forwarding = nullptr;
    // The latest packet, for the age of the values on the data view.
    Observation m_observation;
    bool m_stale = false;
    QLabel *m_dataAgeLabel = nullptr;
    AlarmPresenter *m_alarms = nullptr;
    PictureViewer *m_pictureViewer = nullptr;
    QPointer<QMessageBox> m_messageBox;
    DialogDataForwarding *m_forwardingDialog = nullptr;
    DialogAbout *m_aboutDialog = nullptr;
    DialogHelp *m_helpDialog = nullptr;
};
