// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "storage/datafolder.h"
#include "app/featureoptions.h"
#include "commands/sendcycle.h"
#include "link/acousticassembler.h"
#include "link/cameraassembler.h"
#include "link/receivestream.h"
#include "weather/weatherparser.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <memory>

class QActionGroup;
class QLabel;
class QMessageBox;
class QProgressBar;
class QStackedWidget;
class QTimer;
class DialogAbout;
class DialogDataForwarding;
class DialogHelp;
class ForwardingSettings;
class QMyThread;
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

// The program's one window. Its slots keep the operations of the program
// (receive pass, port handling, commands, forwarding, demo) and hand the work
// to the core classes; they apply the results to the widgets.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(const MainWindowOptions &startOptions = MainWindowOptions(), QWidget *parent = nullptr);
    ~MainWindow() override;

    static QString versionText();

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
    void handleError(QSerialPort::SerialPortError error);
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
    void fillSelectors();
    void buildStatusBar();
    void buildPortMenu();
    void applyFeatureOptions();
    void scanPorts();
    QStringList availablePorts() const;
    void addPortAction(const QString &name);
    void updateStatusFade();
    void runReceivePass();
    void processWeatherPacket();
    // Both return whether the stream holds more bytes to frame after the packet.
    bool processCameraPacket();
    bool processAcousticPacket();
    void showPacketStep(const PacketStep &step);
    bool finishPacketStep(const PacketStep &step);
    void showProgress(const QString &format, int maximum, int value);
    void hideProgress();
    void setRawText(const QString &text);
    void showPicture(int camera, const QByteArray &jpeg, const QString &caption);
    void powerUpSeen();
    void promptSeen();
    void restartForwardingTimerIfEnabled();
    void flushPort();
    void showMessageLater(const QString &title, const QString &text, bool warning);

    Ui::MainWindow *ui;
    MainWindowOptions m_start;
    FeatureOptions m_options;
    DataFolder m_dataFolder;
    WeatherParser m_parser;
    ReceiveStream m_stream;
    CameraAssembler m_camera;
    AcousticAssembler m_acoustic;
    SendCycle m_sendCycle;

    QSerialPort *m_serial = nullptr;
    QActionGroup *m_portGroup = nullptr;
    int currentPortIndex = -1;
    QString currentPortName;
    int portScanTicks = 0;

    QTimer *m_tickTimer = nullptr;
    QTimer *m_sndTimer = nullptr;
    QTimer *m_forwardingTimer = nullptr;
    QTimer *m_imageTimer = nullptr;
    QTimer *m_demoTimer = nullptr;

    QLabel *connectionLabel = nullptr;
    QStackedWidget *statusStack = nullptr;
    QLabel *messageLabel = nullptr;
    QProgressBar *progressBar = nullptr;
    QString statusMessage;

    QLabel *m_camViews[4] = {};
    QLabel *m_camCaptions[4] = {};

    QByteArray stationImei;
    bool m_inReceivePass = false;

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

    bool m_demoMode = false;
    QStringList m_demoFiles;
    int m_demoPosition = 0;
};
