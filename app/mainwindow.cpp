// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"

#include "alarms/alarmpresenter.h"
#include "app/idleclock.h"
#include "commands/configcommand.h"
#include "demo/demoreplay.h"
#include "forwarding/dialogdataforwarding.h"
#include "forwarding/forwardingcontroller.h"
#include "forwarding/forwardingsettings.h"
#include "link/cameraassembler.h"
#include "link/portscanner.h"
#include "link/seriallink.h"
#include "reports/metarencoder.h"
#include "reports/weatherdisplay.h"
#include "session/stationsession.h"
#include "storage/csvlog.h"
#include "storage/rawlog.h"
#include "ui/cameraviews.h"
#include "ui/commandpanel.h"
#include "ui/dialogabout.h"
#include "ui/dialoghelp.h"
#include "ui/pictureviewer.h"
#include "ui/portmenu.h"
#include "ui/statusbarview.h"
#include "ui_mainwindow.h"
#include "weather/stationtime.h"

#include <QComboBox>
#include <QDebug>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>

namespace {
constexpr int kImageRequestIntervalMs = 1200000;
constexpr int kRawViewMaxLines = 1000;
// The data age is written once a second.
constexpr int kDataAgeTicks = 10;

const char kStyleWhite[] = "background: white; border: 1px solid lightgray";

// The idle clock changes every tick. A label that may change its size asks
// for a new layout of the whole window on every new text, and that repaints
// all of it; at a fixed size it repaints only itself.
void fixSizeToText(QLabel *label)
{
    label->ensurePolished();
    label->setFixedSize(label->sizeHint());
}
} // namespace

MainWindow::MainWindow(const MainWindowOptions &startOptions, QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), m_start(startOptions),
      m_dataFolder(startOptions.dataFolder)
{
    ui->setupUi(this);

    m_session = new StationSession(m_dataFolder, this);
    m_serial = new SerialLink(this);
    m_forwardingDialog = new DialogDataForwarding(this);
    m_forwarding = new ForwardingController(m_start.settingsFile.isEmpty()
                                                ? std::make_unique<ForwardingSettings>()
                                                : std::make_unique<ForwardingSettings>(m_start.settingsFile),
                                            ForwardingController::historyFile(m_dataFolder.root()), this);

    m_tickTimer = new QTimer(this);
    connect(m_tickTimer, &QTimer::timeout, this, &MainWindow::Timer);
    m_tickTimer->start(IdleClock::kTickMs);

    m_options = FeatureOptions::readFile(m_start.optionsFile);
    if (m_start.demo)
        m_options.advanced = true;
    m_commands = new CommandPanel(ui, this);
    ui->labelForwardingTimeLeft->hide();

    if (const QScreen *screen = this->screen()) {
        const QSize available = screen->availableSize();
        QMainWindow::resize(std::min(width(), available.width()), std::min(height(), available.height()));
    }

    QLabel *const views[] = {ui->cam1Label, ui->cam2Label, ui->cam3Label, ui->cam4Label};
    QLabel *const captions[] = {ui->cam1TextLabel, ui->cam2TextLabel, ui->cam3TextLabel, ui->cam4TextLabel};
    m_cameras = std::make_unique<CameraViews>(views, captions);
    m_statusBar = std::make_unique<StatusBarView>(ui->statusBar, font());
    fixSizeToText(ui->idleLabel);

    ui->tabWidget->setCurrentIndex(0);
    ui->firmwareValLabel->setText(QStringLiteral("-"));
    ui->unitValLabel->setText(QStringLiteral("-"));
    ui->actionEnableDataLogging->setChecked(true);
    ui->actionEnableForwarding->setChecked(false);
    ui->plainTextEdit->setMaximumBlockCount(kRawViewMaxLines);
    ui->plainTextEdit->setReadOnly(true);

    m_portMenu = new PortMenu(ui->menuComPort, availablePorts());
    connect(m_portMenu, &PortMenu::chosen, this, &MainWindow::openSerialPort);

    if (m_options.forwarding) {
        m_forwarding->loadSettings();
        ui->actionEnableForwarding->setChecked(m_forwarding->isEnabled());
        ui->labelForwardingTimeLeft->setVisible(m_forwarding->isEnabled());
        m_session->setForwarder(m_forwarding);
    }
    m_forwardingDialog->setValues(m_forwarding->ip(), m_forwarding->port());
    m_aboutDialog = new DialogAbout(this);
    m_helpDialog = new DialogHelp(this);
    setUpReading();

    connectSession();
    openSerialPort();
    m_dataFolder.createRoot();

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

    applyFeatureOptions();

    if (m_start.demo) {
        ui->actionEnableDemoMode->setChecked(true);
        toggleDemoMode();
    }
}

MainWindow::~MainWindow()
{
    delete ui;
}

QString MainWindow::versionText()
{
    return QStringLiteral("KTR Control v2.14");
}

void MainWindow::connectSession()
{
    m_session->setConfigSource([this] { return updateConfig(); });
    StatusBarView *bar = m_statusBar.get();
    connect(m_session, &StationSession::statusChanged, this,
            [bar](const QString &text) { bar->setStatus(text); });
    connect(m_session, &StationSession::connectionChanged, bar->connectionLabel, &QLabel::setText);
    connect(m_session, &StationSession::reset, this, &MainWindow::clearViews);
    connect(m_session, &StationSession::rawTextReplaced, ui->plainTextEdit, &QPlainTextEdit::setPlainText);
    connect(m_session, &StationSession::rawTextAppended, ui->plainTextEdit, &QPlainTextEdit::appendPlainText);
    connect(
        m_session, &StationSession::progressChanged, this,
        [bar](const QString &format, int maximum, int value) { bar->showProgress(format, maximum, value); });
    connect(m_session, &StationSession::progressHidden, this, [bar] { bar->hideProgress(); });
    connect(m_session, &StationSession::pictureReady, this,
            [this](int camera, const QByteArray &jpeg, const QString &caption) {
                m_cameras->show(camera, jpeg, caption);
                const QString received = QDateTime::currentDateTimeUtc().toString(QStringLiteral("hh:mm:ss"));
                m_pictureViewer->setPicture(camera, QImage::fromData(jpeg, "JPG"), caption,
                                            QStringLiteral("received %1 UTC").arg(received));
            });
    connect(m_session, &StationSession::weatherReceived, this, [this](const Observation &observation) {
        m_observation = observation;
        displayWeatherData();
        m_alarms->observe(observation, WeatherDisplay::warnings(m_session->parser()));
    });
    connect(m_session, &StationSession::stationModeReported, m_commands, &CommandPanel::followStationMode);
    connect(m_session, &StationSession::firmwareChanged, ui->firmwareValLabel, &QLabel::setText);
    connect(m_session, &StationSession::sendCaptionChanged, ui->updatePushButton, &QPushButton::setText);
    connect(m_session, &StationSession::linkGone, this, &MainWindow::handleError);
    connect(m_forwarding, &ForwardingController::statusText, this,
            [bar](const QString &text) { bar->setStatus(text); });
    connect(m_forwarding, &ForwardingController::messageBox, this, &MainWindow::showMessageLater);
    connect(m_forwarding, &ForwardingController::enabledChanged, ui->actionEnableForwarding,
            &QAction::setChecked);
}

QStringList MainWindow::availablePorts() const
{
    // A named port that has gone (a closed pseudo-terminal, an unplugged
    // adapter) is left out, so the scan removes it and adds it again when it
    // comes back.
    QStringList named;
    for (const QString &port : m_start.extraPorts) {
        if (QFileInfo::exists(port))
            named << port;
    }
    return PortScanner::availablePorts(named,
                                       m_start.systemPorts ? PortScanner::systemPorts() : QStringList());
}

void MainWindow::scanPorts()
{
    const PortScanner::Result scan =
        PortScanner::scan(m_portMenu->names(), availablePorts(), currentPortIndex, currentPortName);
    for (const QString &line : scan.log)
        qDebug().noquote() << line;
    m_portMenu->update(scan.added, scan.removed);
    currentPortIndex = scan.portIndex;
    currentPortName = scan.portName;
    if (scan.connect) {
        m_portMenu->check(currentPortIndex);
        openSerialPort();
    }
}

void MainWindow::applyFeatureOptions()
{
    const QStringList lines = m_options.statusLines();
    for (const QString &line : lines)
        qDebug().noquote() << line;

    if (m_options.advanced) {
        m_imageTimer = new QTimer(this);
        connect(m_imageTimer, &QTimer::timeout, this, &MainWindow::handleImgTimer);
        m_demo = new DemoReplay(m_start.demoFolder, this);
    } else {
        ui->menuAdvanced->setTitle(QString());
        ui->menuAdvanced->menuAction()->setVisible(false);
    }
    if (!m_options.forwarding) {
        ui->actionEnableForwarding->setVisible(false);
        ui->actionDataForwarding->setVisible(false);
    }
    m_commands->applyOptions(m_options);
}

void MainWindow::Timer()
{
    if (++portScanTicks >= PortScanner::kScanIntervalTicks) {
        scanPorts();
        portScanTicks = 0;
    }
    m_session->tick();
    const int idle = m_session->idleTicks();

    ui->labelForwardingTimeLeft->setText(m_forwarding->countdownText(m_session->parser().modeDigit()));
    m_statusBar->tick(idle);
    m_alarms->tick();
    if (idle % kDataAgeTicks == 0)
        showDataAge();
    const QString idleText = IdleClock::idleText(idle);
    const bool idleTextResized = idleText.size() != ui->idleLabel->text().size();
    ui->idleLabel->setText(idleText);
    if (idleTextResized)
        fixSizeToText(ui->idleLabel);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    resize();
}

void MainWindow::resize()
{
    m_cameras->fitHeights();
}

void MainWindow::showAbout()
{
    if (m_aboutDialog->isVisible())
        return;
    m_aboutDialog->setVersion(versionText());
    m_aboutDialog->show();
}

void MainWindow::showHelp()
{
    m_helpDialog->show();
    m_helpDialog->raise();
    m_helpDialog->activateWindow();
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
    if (!m_options.advanced)
        return;
    if (ui->actionAutomaticImageRequest->isChecked()) {
        qDebug().noquote() << "Automatic Image Timer: ON";
        m_imageTimer->start(kImageRequestIntervalMs);
        handleImgTimer();
    } else {
        qDebug().noquote() << "Automatic Image Timer: OFF";
        m_imageTimer->stop();
    }
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
    const QList<QByteArray> pictures = m_demo->pictures();
    const QString orientation = m_session->parser().getOrientation();
    for (int i = 0; i < pictures.size(); ++i)
        m_cameras->show(i + 1, pictures.at(i), CameraAssembler::caption(i + 1, orientation));
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
                   QDateTime::currentDateTimeUtc());
}

void MainWindow::logToCsv()
{
    CsvLog::append(m_session->dataFolder().csvPath(), m_session->parser(), QDateTime::currentDateTimeUtc());
}

void MainWindow::clearViews()
{
    ui->plainTextEdit->clear();
    ui->textEditMetar->clear();
    for (QLineEdit *edit : findChildren<QLineEdit *>())
        edit->clear();
    ui->firmwareValLabel->setText(QStringLiteral("-"));
    ui->unitValLabel->setText(QStringLiteral("-"));
    ui->lineEditInterference->setStyleSheet(QLatin1String(kStyleWhite));
    ui->lineEditVoltage->setStyleSheet(QLatin1String(kStyleWhite));
    m_cameras->clear();
    m_observation = Observation();
    m_dataAgeLabel->setText(QStringLiteral("No data received yet"));
    m_dataAgeLabel->setStyleSheet(QString());
    if (m_stale) {
        m_stale = false;
        for (const WeatherDisplay::Field &field : WeatherDisplay::fields(m_session->parser())) {
            if (auto *edit = findChild<QLineEdit *>(field.objectName))
                edit->setStyleSheet(WeatherDisplay::valueStyle(false));
        }
        ui->lineEditInterference->setStyleSheet(QLatin1String(kStyleWhite));
        ui->lineEditVoltage->setStyleSheet(QLatin1String(kStyleWhite));
    }
}

void MainWindow::openSerialPort()
{
    if (currentPortIndex == -1)
        return;
    if (m_portMenu->checkedIndex() < 0)
        return;
    currentPortIndex = m_portMenu->checkedIndex();
    currentPortName = m_portMenu->checkedName();
    m_serial->close();
    m_serial->setPortName(currentPortName);
    m_session->connectLink(m_serial);
}

void MainWindow::closeSerialPort()
{
    m_session->disconnectLink();
}

void MainWindow::handleError(const QString &reason)
{
    qDebug().noquote() << "Port closed: " + reason;
    currentPortIndex = -1;
    currentPortName.clear();
}

void MainWindow::displayWeatherData()
{
    const WeatherParser &parser = m_session->parser();
    const QString metar = MetarEncoder::getMetar(parser);
    ui->unitValLabel->setText(parser.getImei());
    ui->textEditMetar->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ui->textEditMetar->setHtml(WeatherDisplay::metarHtml(metar));
    const QVector<WeatherDisplay::Field> fields = WeatherDisplay::fields(parser);
    for (const WeatherDisplay::Field &field : fields) {
        if (auto *edit = findChild<QLineEdit *>(field.objectName)) {
            edit->setText(field.text);
            edit->setToolTip(field.toolTip);
        }
    }
    showDataAge(true);
}

void MainWindow::showDataAge(bool restyle)
{
    if (!m_observation.receivedTime.isValid())
        return;
    const WeatherDisplay::DataAge age =
        WeatherDisplay::dataAge(m_observation, QDateTime::currentDateTimeUtc());
    m_dataAgeLabel->setText(age.stale ? age.text + QStringLiteral(" (old values)") : age.text);
    if (age.stale == m_stale && !restyle)
        return;
    m_stale = age.stale;
    const WeatherParser &parser = m_session->parser();
    for (const WeatherDisplay::Field &field : WeatherDisplay::fields(parser)) {
        if (auto *edit = findChild<QLineEdit *>(field.objectName))
            edit->setStyleSheet(WeatherDisplay::valueStyle(m_stale));
    }
    ui->lineEditVoltage->setStyleSheet(WeatherDisplay::voltageStyle(parser, m_stale));
    ui->lineEditInterference->setStyleSheet(WeatherDisplay::interferenceStyle(parser, m_stale));
    m_dataAgeLabel->setStyleSheet(m_stale ? QStringLiteral("color: #b00000") : QString());
}

// What makes the window readable: the age of the values, tooltips, F1,
// menu accelerators, scrolling where the screen is small, the alarms, the
// pictures at full size and the data folder at hand.
void MainWindow::setUpReading()
{
    m_dataAgeLabel = new QLabel(this);
    m_dataAgeLabel->setObjectName(QStringLiteral("labelDataAge"));
    m_dataAgeLabel->setText(QStringLiteral("No data received yet"));
    m_dataAgeLabel->setToolTip(
        QStringLiteral("When the values below were measured and received; they turn grey "
                       "once older than twice the reporting interval"));
    ui->verticalLayout_Weather->insertWidget(1, m_dataAgeLabel);

    for (const auto &tip : WeatherDisplay::toolTips()) {
        if (auto *widget = findChild<QWidget *>(tip.first))
            widget->setToolTip(tip.second);
    }

    ui->actionContents->setShortcut(QKeySequence::HelpContents);
    ui->menuOptions->setTitle(QStringLiteral("&Settings"));
    ui->menuData_Forwarding->setTitle(QStringLiteral("&Data Options"));
    ui->menuAdvanced->setTitle(QStringLiteral("&Advanced"));
    ui->menuHelp->setTitle(QStringLiteral("&Help"));
    ui->menuComPort->setTitle(QStringLiteral("COM &Port"));
    ui->actionExit->setText(QStringLiteral("E&xit KTR Control"));
    ui->actionEnableDataLogging->setText(QStringLiteral("Enable Data &Logging (Default: Enabled)"));
    ui->actionEnableForwarding->setText(QStringLiteral("Enable Data &Forwarding"));
    ui->actionDataForwarding->setText(QStringLiteral("&Configure..."));
    ui->actionEnableDemoMode->setText(QStringLiteral("Enable &Demo Mode"));
    ui->actionAutomaticImageRequest->setText(QStringLiteral("Automatic &Image Request (20min Interval)"));
    ui->actionContents->setText(QStringLiteral("&Contents"));
    ui->actionAbout_2->setText(QStringLiteral("&About"));

    auto *openFolder = new QAction(QStringLiteral("&Open Data Folder"), this);
    openFolder->setObjectName(QStringLiteral("actionOpenDataFolder"));
    connect(openFolder, &QAction::triggered, this, [this] {
        m_dataFolder.createRoot();
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(m_dataFolder.root())))
            m_statusBar->setStatus(QStringLiteral("Cannot open ") + m_dataFolder.root());
    });
    ui->menuData_Forwarding->addSeparator();
    ui->menuData_Forwarding->addAction(openFolder);

    m_alarms = new AlarmPresenter(m_start.settingsFile, m_dataFolder.root(), this);
    ui->menuOptions->insertAction(ui->actionExit, m_alarms->settingsAction());
    ui->menuOptions->insertAction(ui->actionExit, m_alarms->listAction());
    ui->menuOptions->insertSeparator(ui->actionExit);

    m_pictureViewer = new PictureViewer(this);
    QLabel *const views[] = {ui->cam1Label, ui->cam2Label, ui->cam3Label, ui->cam4Label};
    for (int camera = 1; camera <= PictureViewer::kCameras; ++camera)
        m_pictureViewer->watch(views[camera - 1], camera);

    // At 200 % a small screen cannot hold the form: the window fits the
    // screen and its content scrolls.
    if (const QScreen *screen = this->screen()) {
        auto *scroll = new QScrollArea(this);
        scroll->setObjectName(QStringLiteral("scrollAreaCentral"));
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setWidget(takeCentralWidget());
        setCentralWidget(scroll);
        setMinimumSize(minimumSize().boundedTo(screen->availableSize() * 0.9));
    }
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
    if (m_forwardingDialog->exec() != QDialog::Accepted)
        return false;
    const DialogDataForwarding::Values values = m_forwardingDialog->values();
    m_forwarding->setTarget(values.ip, values.port);
    return true;
}

bool MainWindow::checkDataForwarding()
{
    if (!ui->actionEnableForwarding->isChecked() || !m_forwardingDialog->values().ip.isEmpty())
        return true;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Incomplete Settings"),
                    QStringLiteral("Data forwarding parameters must be set! Click Ok to set parameters."),
                    QMessageBox::Ok, this);
    box.exec();
    if (configureDataForwarding())
        return true;
    if (m_forwardingDialog->values().ip.isEmpty())
        ui->actionEnableForwarding->setChecked(false);
    return false;
}

void MainWindow::toggleDataForwarding()
{
    const bool enabled = ui->actionEnableForwarding->isChecked();
    ui->labelForwardingTimeLeft->setVisible(enabled);
    m_forwarding->setEnabled(enabled);
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

void MainWindow::showMessageLater(const QString &title, const QString &text, bool warning)
{
    // Overlapping failed attempts raise the same message: one box is enough.
    if (m_messageBox && m_messageBox->text() == text)
        return;
    // Opened, not executed: a nested event loop here could start a receive
    // pass inside the one that raised the message.
    m_messageBox = new QMessageBox(warning ? QMessageBox::Warning : QMessageBox::Information, title, text,
                                   QMessageBox::Ok, this);
    m_messageBox->setAttribute(Qt::WA_DeleteOnClose);
    m_messageBox->open();
}
