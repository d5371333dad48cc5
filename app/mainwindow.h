// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/featureoptions.h"
#include "storage/datafolder.h"

#include <QByteArray>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <memory>

class AlarmPresenter;
class CommandPanel;
class DataView;
class DemoReplay;
class DialogAbout;
class DialogHelp;
class ForwardingController;
class ForwardingMenu;
class HistoryTab;
class MqttPublisher;
class PortMenu;
class PortSelector;
class QSettings;
class QTimer;
class RawView;
class SerialLink;
class StationSession;
class StatusBarView;

namespace Ui {
class MainWindow;
}

// How the window starts; the defaults are those of the installed program.
struct MainWindowOptions
{
    // Ports named by the user; they are tried first, in their order.
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
    // An INI file for the settings; empty means the user's settings store.
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
    void connectMenus();
    void applyFeatureOptions();
    void configurePublishing();
    void openDataFolder();

    Ui::MainWindow *ui;
    MainWindowOptions m_start;
    FeatureOptions m_options;
    DataFolder m_dataFolder;
    std::unique_ptr<QSettings> m_settings;
    StationSession *m_session = nullptr;
    SerialLink *m_serial = nullptr;
    PortSelector *m_ports = nullptr;
    PortMenu *m_portMenu = nullptr;
    DemoReplay *m_demo = nullptr;
    int portScanTicks = 0;

    QTimer *m_tickTimer = nullptr;

    std::unique_ptr<StatusBarView> m_statusBar;
    CommandPanel *m_commands = nullptr;
    DataView *m_dataView = nullptr;
    RawView *m_rawView = nullptr;
    HistoryTab *m_history = nullptr;
    AlarmPresenter *m_alarms = nullptr;
    ForwardingController *m_forwarding = nullptr;
    MqttPublisher *m_mqtt = nullptr;

    ForwardingMenu *m_forwardingMenu = nullptr;
    DialogAbout *m_aboutDialog = nullptr;
    DialogHelp *m_helpDialog = nullptr;
};
