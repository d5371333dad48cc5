// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"

#include "alarms/alarmpresenter.h"
#include "app/idleclock.h"
#include "commands/configcommand.h"
#include "demo/demoreplay.h"
#include "forwarding/forwardingcontroller.h"
#include "forwarding/forwardingsettings.h"
#include "link/seriallink.h"
#include "publishing/dialogmqttpublishing.h"
#include "publishing/mqttpublisher.h"
#include "publishing/mqttsettings.h"
#include "reports/weatherdisplay.h"
#include "session/portselector.h"
#include "session/stationsession.h"
#include "storage/csvlog.h"
#include "storage/rawlog.h"
#include "ui/commandpanel.h"
#include "ui/dataview.h"
#include "ui/dialogabout.h"
#include "ui/dialoghelp.h"
#include "ui/forwardingmenu.h"
#include "ui/historytab.h"
#include "ui/portmenu.h"
#include "ui/rawview.h"
#include "ui/statusbarview.h"
#include "ui/windowfit.h"
#include "ui_mainwindow.h"
#include "weather/stationtime.h"

#include <QComboBox>
#include <QDebug>
#include <QDesktopServices>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>

namespace {
constexpr int kRawViewMaxLines = 1000;
constexpr int kDataAgeTicks = 10;
} // namespace

MainWindow::MainWindow(const MainWindowOptions &startOptions, QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), m_start(startOptions),
      m_dataFolder(startOptions.dataFolder),
      m_settings(startOptions.settingsFile.isEmpty()
                     ? std::make_unique<QSettings>()
                     : std::make_unique<QSettings>(startOptions.settingsFile, QSettings::IniFormat))
{
    ui->setupUi(this);
    m_options = FeatureOptions::readFile(m_start.optionsFile);
    if (m_start.demo)
        m_options.advanced = true;

    m_session = new StationSession(m_dataFolder, this);
    m_serial = new SerialLink(this);
    m_ports = new PortSelector(m_session, m_serial, m_start.extraPorts, m_start.systemPorts, m_settings.get(),
                               this);
    m_forwarding = new ForwardingController(m_start.settingsFile.isEmpty()
                                                ? std::make_unique<ForwardingSettings>()
                                                : std::make_unique<ForwardingSettings>(m_start.settingsFile),
                                            ForwardingController::historyFile(m_dataFolder.root()), this);
    m_mqtt = new MqttPublisher(m_session->history()->filePath(), this);
    m_mqtt->setSettings(MqttSettings::load(*m_settings));

    m_tickTimer = new QTimer(this);
    connect(m_tickTimer, &QTimer::timeout, this, &MainWindow::Timer);
    m_tickTimer->start(IdleClock::kTickMs);

    m_commands = new CommandPanel(ui, this);
    m_dataView = new DataView(ui, this);
    m_statusBar = std::make_unique<StatusBarView>(ui->statusBar, font());
    m_alarms = new AlarmPresenter(m_start.settingsFile, m_dataFolder.root(), this);
    m_history = new HistoryTab(m_session->history(), m_dataFolder.csvPath(), ui->tabWidget);
    WindowFit::setFixedText(ui->idleLabel, ui->idleLabel->text());
    ui->tabWidget->setCurrentIndex(0);
    ui->firmwareValLabel->setText(QStringLiteral("-"));
    ui->unitValLabel->setText(QStringLiteral("-"));
    ui->actionEnableDataLogging->setChecked(true);
    ui->plainTextEdit->setMaximumBlockCount(kRawViewMaxLines);
    ui->plainTextEdit->setReadOnly(true);
    m_portMenu = new PortMenu(ui->menuComPort, m_ports->ports());

    m_forwardingMenu = new ForwardingMenu(ui, m_forwarding, m_options.forwarding, this);
    if (m_options.forwarding)
        m_session->setForwarder(m_forwarding);

    connectSession();
    connectMenus();
    m_dataFolder.createRoot();
    applyFeatureOptions();
    WindowFit::fitToScreen(this);

    if (m_start.demo) {
        ui->actionEnableDemoMode->setChecked(true);
        toggleDemoMode();
    }
}

MainWindow::~MainWindow()
{
    m_mqtt->shutdown();
    delete ui;
}

QString MainWindow::versionText()
{
    return QStringLiteral("KTR Control v2.14");
}

void MainWindow::connectSession()
{
    StatusBarView *bar = m_statusBar.get();
    auto status = [bar](const QString &text) { bar->setStatus(text); };
    m_session->setConfigSource([this] { return updateConfig(); });
    bar->follow(m_session, this);
    connect(m_session, &StationSession::reset, this, [this] {
        ui->plainTextEdit->clear();
        m_dataView->clear(m_session->values());
    });
    m_rawView = new RawView(ui->plainTextEdit);
    connect(m_session, &StationSession::rawTextReplaced, m_rawView, &RawView::show);
    connect(m_session, &StationSession::rawTextAppended, m_rawView, &RawView::append);
    connect(m_session, &StationSession::pictureReady, this,
            [this](int camera, const QByteArray &jpeg, const QString &caption, const QString &stamp) {
                m_dataView->showPicture(camera, jpeg, caption, stamp);
                if (!jpeg.isEmpty())
                    m_mqtt->publishPicture(QString::fromLatin1(m_session->stationImei()), camera, jpeg);
            });
    connect(m_session, &StationSession::weatherReceived, this, [this](const Observation &observation) {
        m_dataView->show(m_session->values(), observation);
        m_alarms->observe(observation, WeatherDisplay::warnings(m_session->values()));
        m_history->addObservation(observation);
        m_mqtt->publishObservation(observation);
    });
    connect(m_session, &StationSession::stationModeReported, m_commands, &CommandPanel::followStationMode);
    connect(m_session, &StationSession::firmwareChanged, ui->firmwareValLabel, &QLabel::setText);
    connect(m_session, &StationSession::sendCaptionChanged, ui->updatePushButton, &QPushButton::setText);
    connect(m_session, &StationSession::linkGone, this, &MainWindow::handleError);
    connect(m_history, &HistoryTab::statusText, this, status);
    connect(m_mqtt, &MqttPublisher::errorOccurred, this, status);
    connect(m_forwarding, &ForwardingController::statusText, this, status);
    connect(m_ports, &PortSelector::trying, this,
            [bar](const QString &name) { bar->setStatus("Trying " + name); });
    connect(m_ports, &PortSelector::portsChanged, m_portMenu, &PortMenu::update);
    connect(m_ports, &PortSelector::trying, m_portMenu, &PortMenu::checkName);
    connect(m_portMenu, &PortMenu::chosen, this, &MainWindow::openSerialPort);
}

void MainWindow::connectMenus()
{
    connect(ui->imgComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &MainWindow::handleImgSelection);
    connect(ui->gpsComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &MainWindow::handleGpsSelection);
    connect(ui->audioComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &MainWindow::handleAudioSelection);
    connect(ui->reportingComboBox, QOverload<int>::of(&QComboBox::activated), m_commands,
            &CommandPanel::reportingChosen);
    connect(ui->spinBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &MainWindow::getElev);
    connect(ui->audioSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &MainWindow::getAudioOffset);
    connect(ui->updatePushButton, &QPushButton::clicked, this, &MainWindow::configButtonPushed);
    connect(ui->actionDataForwarding, &QAction::triggered, this, &MainWindow::configureDataForwarding);
    connect(ui->actionEnableDataLogging, &QAction::triggered, this, &MainWindow::updateDataOptionsMenu);
    connect(ui->actionEnableDataLogging, &QAction::toggled, m_session, &StationSession::setLoggingEnabled);
    connect(ui->actionEnableForwarding, &QAction::triggered, this, &MainWindow::checkDataForwarding);
    connect(ui->actionAbout_2, &QAction::triggered, this, &MainWindow::showAbout);
    connect(ui->actionContents, &QAction::triggered, this, &MainWindow::showHelp);
    connect(ui->actionEnableForwarding, &QAction::triggered, this, &MainWindow::toggleDataForwarding);
    connect(ui->actionExit, &QAction::triggered, this, &QWidget::close);
    connect(ui->actionEnableDemoMode, &QAction::triggered, this, &MainWindow::toggleDemoMode);
    connect(ui->actionAutomaticImageRequest, &QAction::triggered, this,
            &MainWindow::toggleAutomaticImageRequest);
    connect(ui->actionMqttPublishing, &QAction::triggered, this, &MainWindow::configurePublishing);
    connect(ui->actionOpenDataFolder, &QAction::triggered, this, &MainWindow::openDataFolder);
    connect(m_commands, &CommandPanel::imagesDue, this, &MainWindow::handleImgTimer);
    ui->menuOptions->insertAction(ui->actionExit, m_alarms->settingsAction());
    ui->menuOptions->insertAction(ui->actionExit, m_alarms->listAction());
    ui->menuOptions->insertSeparator(ui->actionExit);
}

void MainWindow::applyFeatureOptions()
{
    const QStringList lines = m_options.statusLines();
    for (const QString &line : lines)
        qDebug().noquote() << line;

    if (m_options.advanced) {
        m_demo = new DemoReplay(m_start.demoFolder, this);
    } else {
        ui->menuAdvanced->setTitle(QString());
        ui->menuAdvanced->menuAction()->setVisible(false);
    }
    m_commands->applyOptions(m_options);
}

void MainWindow::Timer()
{
    if (++portScanTicks >= PortScanner::kScanIntervalTicks) {
        m_ports->scan();
        portScanTicks = 0;
    }
    m_session->tick();
    const int idle = m_session->idleTicks();
    ui->labelForwardingTimeLeft->setText(m_forwarding->countdownText(m_session->parser().modeDigit()));
    m_rawView->tick();
    m_statusBar->tick(idle);
    m_alarms->tick();
    if (idle % kDataAgeTicks == 0)
        m_dataView->refreshAge(m_session->values());
    WindowFit::setFixedText(ui->idleLabel, IdleClock::idleText(idle));
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    resize();
}

void MainWindow::resize()
{
    m_dataView->fitPictures();
}

void MainWindow::showAbout()
{
    // Built when first opened: the dialogs weigh on the window's start.
    if (!m_aboutDialog)
        m_aboutDialog = new DialogAbout(this);
    if (m_aboutDialog->isVisible())
        return;
    m_aboutDialog->setVersion(versionText());
    m_aboutDialog->show();
}

void MainWindow::showHelp()
{
    if (!m_helpDialog)
        m_helpDialog = new DialogHelp(this);
    m_helpDialog->show();
    m_helpDialog->raise();
    m_helpDialog->activateWindow();
}

void MainWindow::openDataFolder()
{
    m_dataFolder.createRoot();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(m_dataFolder.root())))
        m_statusBar->setStatus(tr("Cannot open %1").arg(m_dataFolder.root()));
}

void MainWindow::configurePublishing()
{
    DialogMqttPublishing dialog(this);
    dialog.setSettings(m_mqtt->settings());
    if (dialog.exec() != QDialog::Accepted)
        return;
    dialog.settings().save(*m_settings);
    m_mqtt->setSettings(dialog.settings());
}

void MainWindow::clearRaw()
{
    ui->plainTextEdit->clear();
}

void MainWindow::setProgress(const QString &s)
{
    m_statusBar->setStatus(s);
}

QByteArray MainWindow::updateConfig()
{
    return m_commands->command();
}

int MainWindow::updateReportingMode(const QString &mode)
{
    return ConfigCommand::updateReportingMode(mode);
}

void MainWindow::on_reportingComboBox_currentIndexChanged(int index)
{
    ui->label_CommandNote->setVisible(ConfigCommand::isFastModeIndex(index));
}

void MainWindow::handleGpsSelection(int index)
{
    m_commands->gpsChosen(index);
}

int MainWindow::getElev()
{
    return m_commands->elevation();
}

void MainWindow::handleAudioSelection()
{
    m_commands->audioChosen();
}

int MainWindow::getAudioOffset()
{
    return m_commands->audioOffset();
}

void MainWindow::handleImgSelection(int index)
{
    m_commands->cameraChosen(index);
}

void MainWindow::toggleAutomaticImageRequest()
{
    if (m_options.advanced)
        m_commands->setAutomaticImages(ui->actionAutomaticImageRequest->isChecked());
}

void MainWindow::handleImgTimer()
{
    // Joins a request the user has pending instead of cancelling it.
    m_commands->requestImages();
    m_session->requestSend(updateConfig());
}

void MainWindow::toggleDemoMode()
{
    if (!m_options.advanced)
        return;
    if (!ui->actionEnableDemoMode->isChecked()) {
        m_demo->stop();
        m_session->setReplay(nullptr);
        qDebug().noquote() << "Demo Mode: OFF";
        return;
    }
    m_session->setReplay(m_demo);
    m_demo->start();
    m_dataView->showPictures(m_demo->pictures(), m_session->parser().getOrientation());
}

void MainWindow::handleDemoTimer()
{
    if (m_demo)
        m_demo->advance();
}

void MainWindow::configButtonPushed()
{
    if (m_session->pressSend(updateConfig()).pending)
        m_commands->commandQueued();
}

void MainWindow::writeData(const QByteArray &bytes)
{
    m_serial->write(bytes);
}

void MainWindow::readData()
{
    m_session->receivePass();
}

void MainWindow::logData(const QByteArray &msg, bool isWeather)
{
    const DataFolder &folder = m_session->dataFolder();
    RawLog::append(isWeather ? folder.rawPath() : folder.auxiliaryPath(), m_session->parser().getImei(), msg,
                   QDateTime::currentDateTimeUtc(), m_session->health(),
                   isWeather ? WriteHealth::Raw : WriteHealth::Auxiliary);
}

void MainWindow::logToCsv()
{
    CsvLog::append(m_session->dataFolder().csvPath(), m_session->parser(), QDateTime::currentDateTimeUtc(),
                   m_session->health());
}

void MainWindow::openSerialPort()
{
    m_ports->choose(m_portMenu->checkedName());
}

void MainWindow::closeSerialPort()
{
    m_session->disconnectLink();
}

void MainWindow::handleError(const QString &reason)
{
    qDebug().noquote() << "Port closed: " + reason;
}

void MainWindow::displayWeatherData()
{
    m_dataView->show(m_session->values(), m_session->observation());
}

QString MainWindow::getDateTime(const QByteArray &buffer)
{
    return StationTime::getDateTime(buffer, QDateTime::currentDateTimeUtc());
}

QString MainWindow::getDateTimeSpectral(const QByteArray &buffer)
{
    return StationTime::getDateTimeSpectral(buffer, QDateTime::currentDateTimeUtc());
}

bool MainWindow::configureDataForwarding()
{
    return m_forwardingMenu->configure();
}

bool MainWindow::checkDataForwarding()
{
    return m_forwardingMenu->check();
}

void MainWindow::toggleDataForwarding()
{
    m_forwardingMenu->toggle();
}

bool MainWindow::updateDataOptionsMenu()
{
    ui->actionOnly_Log_Data_Synced_to_Reporting_Mode->setEnabled(ui->actionEnableDataLogging->isChecked());
    return true;
}

bool MainWindow::CheckIfSendablePacket()
{
    return m_forwarding->CheckIfSendablePacket(m_session->parser().modeDigit(), m_session->stream().buffer());
}

bool MainWindow::forwardData(const QByteArray &payload)
{
    m_forwarding->forwardData(payload, m_session->stationImei());
    return false;
}

void MainWindow::forwardStatus(bool result)
{
    m_statusBar->setStatus(result ? QStringLiteral("Data Forwarding Successful")
                                  : QStringLiteral("Data Forwarding Failed"));
}

void MainWindow::handleForwardingTimer()
{
    m_forwarding->handleForwardingTimer();
}
