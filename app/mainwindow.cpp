// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"

#include "app/idleclock.h"
#include "commands/configcommand.h"
#include "commands/dialogimageschedule.h"
#include "forwarding/dialogdataforwarding.h"
#include "forwarding/forwardingpolicy.h"
#include "forwarding/forwardingsettings.h"
#include "forwarding/qmythread.h"
#include "link/cameraassembler.h"
#include "link/portscanner.h"
#include "weather/stationtime.h"
#include "storage/rawlog.h"
#include "storage/csvlog.h"
#include "reports/metarencoder.h"
#include "reports/weatherdisplay.h"
#include "ui_mainwindow.h"
#include "ui/dialogabout.h"
#include "ui/dialoghelp.h"

#include <QActionGroup>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>

namespace {
constexpr int kPortScanTicks = 20;
constexpr int kForwardingIntervalMs = 285000;
constexpr int kImageRequestIntervalMs = 1200000;
constexpr int kDemoIntervalMs = 20000;
constexpr int kSndWaitMs = 250;
constexpr int kRawViewMaxLines = 1000;
constexpr int kProgressMaximum = 44;
constexpr int kStatusPointSize = 8;
constexpr int kPictureMaxWidth = 640;
constexpr int kPictureMaxHeight = 480;
// Station pictures are 320 x 240 baseline JPEGs of a few tens of kilobytes.
constexpr qint64 kMaxDemoPictureBytes = 4 * 1024 * 1024;

const char kStyleWhite[] = "background: white; border: 1px solid lightgray";

QString connectedText(const QString &detail)
{
    return QStringLiteral("<b>&nbsp;&nbsp;<font color=#3CB371>Connected</font></b> to ") + detail;
}

// The idle clock changes every tick. A label that may change its size asks
// for a new layout of the whole window on every new text, and that repaints
// all of it; at a fixed size it repaints only itself. Its text stands at the
// left edge of its place either way.
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

    m_serial = new QSerialPort(this);
    m_forwardingDialog = new DialogDataForwarding(this);
    m_forwardingSettings = m_start.settingsFile.isEmpty()
                               ? std::make_unique<ForwardingSettings>()
                               : std::make_unique<ForwardingSettings>(m_start.settingsFile);

    m_tickTimer = new QTimer(this);
    connect(m_tickTimer, &QTimer::timeout, this, &MainWindow::Timer);
    m_tickTimer->start(IdleClock::kTickMs);

    m_forwardingTimer = new QTimer(this);
    m_forwardingTimer->setInterval(kForwardingIntervalMs);
    connect(m_forwardingTimer, &QTimer::timeout, this, &MainWindow::handleForwardingTimer);

    m_sndTimer = new QTimer(this);
    m_sndTimer->setSingleShot(true);
    m_sndTimer->setInterval(kSndWaitMs);
    connect(m_sndTimer, &QTimer::timeout, this, &MainWindow::readData);

    m_options = FeatureOptions::readFile(m_start.optionsFile);
    if (m_start.demo)
        m_options.advanced = true;
    fillSelectors();

    const QScreen *screen = this->screen();
    if (screen) {
        const QSize available = screen->availableSize();
        QMainWindow::resize(std::min(width(), available.width()), std::min(height(), available.height()));
    }

    m_camViews[0] = ui->cam1Label;
    m_camViews[1] = ui->cam2Label;
    m_camViews[2] = ui->cam3Label;
    m_camViews[3] = ui->cam4Label;
    m_camCaptions[0] = ui->cam1TextLabel;
    m_camCaptions[1] = ui->cam2TextLabel;
    m_camCaptions[2] = ui->cam3TextLabel;
    m_camCaptions[3] = ui->cam4TextLabel;

    buildStatusBar();
    fixSizeToText(ui->idleLabel);

    ui->tabWidget->setCurrentIndex(0);
    ui->firmwareValLabel->setText(QStringLiteral("-"));
    ui->unitValLabel->setText(QStringLiteral("-"));
    ui->actionEnableDataLogging->setChecked(true);
    ui->actionEnableForwarding->setChecked(false);

    buildPortMenu();

    if (m_options.forwarding) {
        forwardingIp = m_forwardingSettings->ip();
        forwardingPort = m_forwardingSettings->port();
        ui->actionEnableForwarding->setChecked(m_forwardingSettings->enabled());
        if (ui->actionEnableForwarding->isChecked()) {
            ui->labelForwardingTimeLeft->show();
            toggleDataForwarding();
        }
    }
    m_forwardingDialog->setValues(forwardingIp, forwardingPort);
    m_aboutDialog = new DialogAbout(this);
    m_helpDialog = new DialogHelp(this);

    openSerialPort();

    m_dataFolder.createRoot();

    connect(ui->imgComboBox, QOverload<int>::of(&QComboBox::activated), this, &MainWindow::handleImgSelection);
    connect(ui->gpsComboBox, QOverload<int>::of(&QComboBox::activated), this, &MainWindow::handleGpsSelection);
    connect(ui->audioComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &MainWindow::handleAudioSelection);
    connect(ui->spinBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &MainWindow::getElev);
    connect(ui->audioSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &MainWindow::getAudioOffset);
    connect(ui->updatePushButton, &QPushButton::clicked, this, &MainWindow::configButtonPushed);
    connect(m_serial, &QSerialPort::errorOccurred, this, &MainWindow::handleError);
    connect(m_serial, &QSerialPort::readyRead, this, &MainWindow::readData);
    connect(ui->actionDataForwarding, &QAction::triggered, this, &MainWindow::configureDataForwarding);
    connect(ui->actionEnableDataLogging, &QAction::triggered, this, &MainWindow::updateDataOptionsMenu);
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
    // Attempts still under way finish within their bounded waits.
    for (const QPointer<QMyThread> &attempt : qAsConst(m_attempts)) {
        if (attempt)
            attempt->wait();
    }
    delete ui;
}

QString MainWindow::versionText()
{
    return QStringLiteral("KTR Control v2.14");
}

void MainWindow::fillSelectors()
{
    ui->reportingComboBox->addItems(ConfigCommand::reportingItems());
    ui->ceilComboBox->addItems(ConfigCommand::ceilItems());
    ui->speciComboBox->addItems(ConfigCommand::speciItems());
    ui->gpsComboBox->addItems(ConfigCommand::gpsItems());
    ui->imgComboBox->addItems(ConfigCommand::imgItems());
    ui->audioComboBox->addItems(ConfigCommand::audioItems());

    const QColor warning(QStringLiteral("#d12424"));
    for (int i = ConfigCommand::kFirstFastModeIndex; i < ui->reportingComboBox->count(); ++i) {
        ui->reportingComboBox->setItemData(i, ConfigCommand::fastModeNote(), Qt::ToolTipRole);
        ui->reportingComboBox->setItemData(i, warning, Qt::ForegroundRole);
    }
    ui->label_CommandNote->setText(ConfigCommand::fastModeNoteHtml());
    ui->label_CommandNote->hide();

    for (QComboBox *box : {ui->reportingComboBox, ui->ceilComboBox, ui->speciComboBox, ui->gpsComboBox,
                           ui->imgComboBox, ui->audioComboBox})
        box->setCurrentIndex(ConfigCommand::kNoCommandIndex);
    ui->spinBox->hide();
    ui->spinBoxCamera->hide();
    ui->audioSpinBox->hide();
    ui->labelForwardingTimeLeft->hide();
}

void MainWindow::buildStatusBar()
{
    QFont statusFont = font();
    statusFont.setPointSize(kStatusPointSize);

    connectionLabel = new QLabel(this);
    connectionLabel->setFont(statusFont);
    connectionLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    statusStack = new QStackedWidget(this);
    messageLabel = new QLabel(statusStack);
    messageLabel->setFont(statusFont);
    messageLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    progressBar = new QProgressBar(statusStack);
    progressBar->setFont(statusFont);
    progressBar->setAlignment(Qt::AlignCenter);
    progressBar->setRange(0, kProgressMaximum);
    progressBar->hide();
    statusStack->addWidget(messageLabel);
    statusStack->addWidget(progressBar);
    statusStack->setCurrentIndex(0);

    ui->statusBar->addWidget(connectionLabel, 1);
    ui->statusBar->addWidget(statusStack, 1);
    ui->statusBar->setStyleSheet(QStringLiteral("QStatusBar::item { border: none; } "));
}

void MainWindow::buildPortMenu()
{
    m_portGroup = new QActionGroup(this);
    m_portGroup->setExclusive(true);
    const QStringList ports = availablePorts();
    for (const QString &name : ports)
        addPortAction(name);
    if (!m_portGroup->actions().isEmpty())
        m_portGroup->actions().first()->setChecked(true);
    connect(m_portGroup, &QActionGroup::triggered, this, &MainWindow::openSerialPort);
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
    return PortScanner::availablePorts(named, m_start.systemPorts ? PortScanner::systemPorts() : QStringList());
}

void MainWindow::scanPorts()
{
    QStringList names;
    const QList<QAction *> actions = m_portGroup->actions();
    for (const QAction *action : actions)
        names << action->text();
    const PortScanner::Result scan =
        PortScanner::scan(names, availablePorts(), currentPortIndex, currentPortName);
    for (const QString &line : scan.log)
        qDebug().noquote() << line;
    for (const QString &name : scan.added)
        addPortAction(name);
    for (QAction *action : actions) {
        if (scan.removed.contains(action->text())) {
            m_portGroup->removeAction(action);
            ui->menuComPort->removeAction(action);
            action->deleteLater();
        }
    }
    currentPortIndex = scan.portIndex;
    currentPortName = scan.portName;
    if (scan.connect) {
        m_portGroup->actions().at(currentPortIndex)->setChecked(true);
        openSerialPort();
    }
}

void MainWindow::addPortAction(const QString &name)
{
    QAction *action = ui->menuComPort->addAction(name);
    action->setCheckable(true);
    m_portGroup->addAction(action);
}

void MainWindow::applyFeatureOptions()
{
    const QStringList lines = m_options.statusLines();
    for (const QString &line : lines)
        qDebug().noquote() << line;

    if (m_options.advanced) {
        m_imageTimer = new QTimer(this);
        connect(m_imageTimer, &QTimer::timeout, this, &MainWindow::handleImgTimer);
        m_demoTimer = new QTimer(this);
        connect(m_demoTimer, &QTimer::timeout, this, &MainWindow::handleDemoTimer);
    } else {
        ui->menuAdvanced->setTitle(QString());
        ui->menuAdvanced->menuAction()->setVisible(false);
    }
    if (!m_options.forwarding) {
        ui->actionEnableForwarding->setVisible(false);
        ui->actionDataForwarding->setVisible(false);
    }
    if (!m_options.audioCommands) {
        ui->audioComboBox->hide();
        ui->audioLabel->hide();
        ui->audioSpinBox->hide();
        delete ui->horizontalLayout_Audio;
        ui->horizontalLayout_Audio = nullptr;
    }
    if (!m_options.speciCommands) {
        ui->speciComboBox->hide();
        ui->speciLabel->hide();
        delete ui->horizontalLayout_Speci;
        ui->horizontalLayout_Speci = nullptr;
    }
    if (!m_options.fastModes) {
        for (int i = 0; i < 3; ++i)
            ui->reportingComboBox->removeItem(5);
    }
}

void MainWindow::Timer()
{
    if (++portScanTicks >= kPortScanTicks) {
        scanPorts();
        portScanTicks = 0;
    }
    m_stream.tick();
    const int idle = m_stream.idleTicks();

    ui->labelForwardingTimeLeft->setText(
        ForwardingPolicy::countdownText(m_parser.modeDigit(), m_forwardingTimer->remainingTime()));
    updateStatusFade();
    const QString idleText = IdleClock::idleText(idle);
    const bool idleTextResized = idleText.size() != ui->idleLabel->text().size();
    ui->idleLabel->setText(idleText);
    if (idleTextResized)
        fixSizeToText(ui->idleLabel);
    if (idle > IdleClock::kProgressHideTicks) {
        hideProgress();
        if (idle > IdleClock::kMessageClearTicks)
            statusMessage.clear();
    }
    const QByteArray next = m_sendCycle.tickBytes();
    if (!next.isEmpty())
        writeData(next);
}

void MainWindow::updateStatusFade()
{
    const QString tag = IdleClock::fadeTag(m_stream.idleTicks());
    if (!tag.isEmpty())
        messageLabel->setText(tag + statusMessage + QStringLiteral("</font>"));
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    resize();
}

void MainWindow::resize()
{
    const int height = static_cast<int>(ui->cam1Label->width() * 0.75);
    for (int i = 0; i < 4; ++i) {
        m_camViews[i]->setFixedHeight(height);
        m_camCaptions[i]->setMaximumWidth(m_camViews[i]->width());
    }
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
    if (m_helpDialog->isVisible()) {
        m_helpDialog->raise();
        m_helpDialog->activateWindow();
        return;
    }
    m_helpDialog->show();
}

void MainWindow::clearRaw()
{
    ui->plainTextEdit->clear();
}

void MainWindow::setProgress(const QString &s)
{
    statusMessage = s;
}

void MainWindow::hideProgress()
{
    statusStack->setCurrentIndex(0);
    progressBar->hide();
}

void MainWindow::showProgress(const QString &format, int maximum, int value)
{
    statusStack->setCurrentIndex(1);
    progressBar->setMaximum(maximum);
    progressBar->setFormat(format);
    progressBar->show();
    progressBar->setValue(value);
}

void MainWindow::setRawText(const QString &text)
{
    ui->plainTextEdit->setPlainText(text);
}

QByteArray MainWindow::updateConfig()
{
    ConfigSelection selection;
    selection.reporting = ui->reportingComboBox->currentIndex();
    selection.ceilometer = ui->ceilComboBox->currentIndex();
    selection.speci = ui->speciComboBox->currentIndex();
    selection.gps = ui->gpsComboBox->currentIndex();
    selection.camera = ui->imgComboBox->currentIndex();
    selection.audio = ui->audioComboBox->currentIndex();
    selection.elevation = elevation;
    selection.cameraNumber = ui->spinBoxCamera->value();
    selection.audioOffset = audioOffset;
    selection.autoImageCommand = autoImageCommand;
    if (!ConfigCommand::showsElevationInput(selection.gps))
        ui->spinBox->hide();
    if (!ConfigCommand::showsAudioOffsetInput(selection.audio))
        ui->audioSpinBox->hide();
    return ConfigCommand::build(selection);
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
    ui->spinBox->setVisible(ConfigCommand::showsElevationInput(index));
}

int MainWindow::getElev()
{
    elevation = ui->spinBox->value();
    return elevation;
}

void MainWindow::handleAudioSelection()
{
    const int index = ui->audioComboBox->currentIndex();
    ui->audioSpinBox->setVisible(ConfigCommand::showsAudioOffsetInput(index));
    const int capped = ConfigCommand::clampAudioOffset(index, ui->audioSpinBox->value());
    if (capped != ui->audioSpinBox->value())
        ui->audioSpinBox->setValue(capped);
}

int MainWindow::getAudioOffset()
{
    const int index = ui->audioComboBox->currentIndex();
    audioOffset = ConfigCommand::clampAudioOffset(index, ui->audioSpinBox->value());
    if (audioOffset != ui->audioSpinBox->value())
        ui->audioSpinBox->setValue(audioOffset);
    return audioOffset;
}

void MainWindow::handleImgSelection(int index)
{
    autoImageCommand.clear();
    ui->spinBoxCamera->setVisible(ConfigCommand::showsCameraNumberInput(index));
    if (index != ConfigCommand::kCameraAutoCaptureIndex)
        return;
    // Every choice starts from a fresh, empty schedule.
    delete m_scheduleDialog;
    m_scheduleDialog = new dialogImageSchedule(this);
    if (m_scheduleDialog->exec() == QDialog::Accepted)
        autoImageCommand = m_scheduleDialog->hourCommand();
    if (autoImageCommand.isEmpty())
        ui->imgComboBox->setCurrentIndex(ConfigCommand::kNoCommandIndex);
    else
        qDebug().noquote() << "Auto Image Command:" + QString::fromLatin1(autoImageCommand);
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
    ui->imgComboBox->setCurrentIndex(ConfigCommand::kCameraRequestImagesIndex);
    configButtonPushed();
}

void MainWindow::toggleDemoMode()
{
    if (!m_options.advanced)
        return;
    if (!ui->actionEnableDemoMode->isChecked()) {
        m_demoMode = false;
        m_demoTimer->stop();
        qDebug().noquote() << "Demo Mode: OFF";
        return;
    }
    m_demoMode = true;
    const QDir folder(m_start.demoFolder);
    m_demoFiles = folder.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
    if (m_demoFiles.isEmpty()) {
        qDebug().noquote() << "No demo data files found";
    } else {
        m_demoPosition = 0;
        m_demoTimer->start(kDemoIntervalMs);
        handleDemoTimer();
        qDebug().noquote() << "Demo Mode: ON";
    }

    const QStringList pictures = folder.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    const QString orientation = m_parser.getOrientation();
    for (int i = 0; i < std::min<int>(pictures.size(), 4); ++i) {
        QFile file(folder.filePath(pictures.at(i)));
        const QByteArray jpeg = file.open(QIODevice::ReadOnly) ? file.read(kMaxDemoPictureBytes) : QByteArray();
        showPicture(i + 1, jpeg, CameraAssembler::caption(i + 1, orientation));
    }
}

void MainWindow::handleDemoTimer()
{
    readData();
    if (m_demoFiles.isEmpty())
        return;
    if (++m_demoPosition >= m_demoFiles.size())
        m_demoPosition = 0;
}

void MainWindow::showPicture(int camera, const QByteArray &jpeg, const QString &caption)
{
    if (camera < 1 || camera > 4)
        return;
    QLabel *view = m_camViews[camera - 1];
    QImage image;
    if (image.loadFromData(jpeg, "JPG")) {
        view->setPixmap(QPixmap::fromImage(
            image.scaled(kPictureMaxWidth, kPictureMaxHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    } else {
        view->clear();
    }
    m_camCaptions[camera - 1]->setText(caption);
}

void MainWindow::configButtonPushed()
{
    const SendCycle::PressResult result = m_sendCycle.press(updateConfig());
    restartForwardingTimerIfEnabled();
    statusMessage = result.status;
    ui->updatePushButton->setText(result.caption);
}

void MainWindow::restartForwardingTimerIfEnabled()
{
    if (m_options.forwarding)
        m_forwardingTimer->start(kForwardingIntervalMs);
}

void MainWindow::powerUpSeen()
{
    m_sendCycle.powerUpSeen();
    statusMessage = m_sendCycle.status();
}

void MainWindow::promptSeen()
{
    const QByteArray command = m_sendCycle.handOver(m_sendCycle.isPending() ? QByteArray() : updateConfig());
    restartForwardingTimerIfEnabled();
    statusMessage = m_sendCycle.status();
    ui->updatePushButton->setText(m_sendCycle.caption());
    qDebug().noquote() << "Cmd: " + QString::fromLatin1(command);
    setRawText(QString::fromLatin1(command));
}

void MainWindow::flushPort()
{
    if (!m_demoMode && m_serial->isOpen())
        m_serial->flush();
}

void MainWindow::writeData(const QByteArray &bytes)
{
    // A closed port swallows the bytes; the paced writer moves on all the same.
    if (m_serial->isOpen())
        m_serial->write(bytes);
}

void MainWindow::readData()
{
    // A pass never runs inside another; one that would is run right after.
    if (m_inReceivePass) {
        QTimer::singleShot(0, this, &MainWindow::readData);
        return;
    }
    m_inReceivePass = true;
    try {
        runReceivePass();
    } catch (...) {
        qDebug().noquote() << "!!-- Caught Error: Clearing buffer and continuing";
        m_stream.clear();
    }
    m_inReceivePass = false;
}

void MainWindow::runReceivePass()
{
    const bool reading = !m_demoMode && m_serial->isOpen();
    m_stream.begin(reading ? m_serial->readAll() : QByteArray());
    if (m_demoMode && m_demoPosition < m_demoFiles.size()) {
        QFile file(QDir(m_start.demoFolder).filePath(m_demoFiles.at(m_demoPosition)));
        if (file.open(QIODevice::ReadOnly)) {
            qDebug().noquote() << "Demo File: " + m_demoFiles.at(m_demoPosition);
            m_stream.replaceWith(file.read(ReceiveStream::kMaxBufferBytes));
        }
    }

    if (m_stream.isModeEcho())
        setRawText(m_stream.text());
    if (m_stream.isPowerUpBanner()) {
        powerUpSeen();
        hideProgress();
        setRawText(m_stream.text());
    }
    if (m_stream.isPrompt(m_sendCycle.outgoingCommand(), m_sendCycle.isPending())) {
        promptSeen();
        connectionLabel->setText(connectedText(currentPortName + QStringLiteral(" : ") + m_parser.getImei()));
    }

    bool framing = true;
    while (framing) {
        switch (m_stream.frame()) {
        case ReceiveStream::Kind::Weather:
            framing = false;
            // Until its re-run, a packet still without "SND" waits: a read may
            // end right behind its "~" while the auxiliary part and the
            // marker are still on the line.
            if (m_sndTimer->isActive() && !m_stream.buffer().contains("SND"))
                break;
            processWeatherPacket();
            break;
        case ReceiveStream::Kind::SndWait:
            m_sndTimer->start();
            return;
        case ReceiveStream::Kind::Camera:
            framing = processCameraPacket();
            break;
        case ReceiveStream::Kind::Acoustic:
            framing = processAcousticPacket();
            break;
        case ReceiveStream::Kind::Nothing:
            framing = false;
            break;
        }
    }

    ui->plainTextEdit->setMaximumBlockCount(kRawViewMaxLines);
    ui->plainTextEdit->setReadOnly(true);
    m_stream.endPass();
    flushPort();
}

void MainWindow::processWeatherPacket()
{
    const QByteArray buffer = m_stream.buffer();
    m_parser.setPacketText(m_stream.text());
    const QString imei = m_parser.getImei();
    stationImei = imei.toUtf8();

    setRawText(m_stream.text());
    hideProgress();
    connectionLabel->setText(connectedText(imei + QStringLiteral(" (") + currentPortName + QLatin1Char(')')));

    const QDateTime now = QDateTime::currentDateTime();
    if (imei.isEmpty())
        logData(buffer, true);
    const bool logging = ui->actionEnableDataLogging->isChecked();
    if (logging)
        logData(RawLog::weatherEntry(buffer, now), true);

    if (ui->actionEnableForwarding->isChecked() && CheckIfSendablePacket()) {
        forwardData(m_stream.forwardingSlice());
        qDebug().noquote() << "--Attempting to forward";
    } else {
        if (ui->actionEnableForwarding->isChecked())
            qDebug().noquote() << "--Not forwarding";
        statusMessage = QStringLiteral("Received Weather Data");
    }

    displayWeatherData();

    ui->reportingComboBox->setCurrentIndex(
        ConfigCommand::reportingIndexForMode(m_parser.getMode(), ui->reportingComboBox->count()));
    ui->firmwareValLabel->setText(m_stream.firmwareCode());

    const QByteArray auxiliary = m_stream.auxiliaryPart();
    if (!auxiliary.isEmpty() && logging)
        logData(RawLog::auxiliaryEntry(auxiliary, now), false);

    m_stream.finishWeather();
    flushPort();
}

void MainWindow::logData(const QByteArray &msg, bool isWeather)
{
    RawLog::append(isWeather ? m_dataFolder.rawPath() : m_dataFolder.auxiliaryPath(), m_parser.getImei(), msg,
                   QDateTime::currentDateTimeUtc());
}

void MainWindow::logToCsv()
{
    CsvLog::append(m_dataFolder.csvPath(), m_parser, QDateTime::currentDateTimeUtc());
}

void MainWindow::openSerialPort()
{
    if (currentPortIndex == -1)
        return;
    closeSerialPort();
    QAction *checked = m_portGroup->checkedAction();
    if (!checked)
        return;
    currentPortIndex = m_portGroup->actions().indexOf(checked);
    currentPortName = checked->text();
    m_serial->setPortName(currentPortName);

    m_parser.setPacketText(QString());
    ui->plainTextEdit->clear();
    ui->textEditMetar->clear();
    ui->lineEditCeilometerHits->clear();
    ui->lineEditCloudLayers->clear();
    ui->lineEditElevation->clear();
    ui->firmwareValLabel->setText(QStringLiteral("-"));
    ui->unitValLabel->setText(QStringLiteral("-"));
    ui->lineEditInterference->setStyleSheet(QLatin1String(kStyleWhite));
    ui->lineEditVoltage->setStyleSheet(QLatin1String(kStyleWhite));
    for (int i = 0; i < 4; ++i) {
        m_camViews[i]->clear();
        m_camCaptions[i]->clear();
    }

    if (!m_serial->open(QIODevice::ReadWrite)) {
        connectionLabel->setText(QStringLiteral("&nbsp;&nbsp;<font color=#B22222>Open COM Error</font>"));
        return;
    }
    connectionLabel->setText(connectedText(currentPortName));
}

void MainWindow::closeSerialPort()
{
    if (m_serial->isOpen())
        m_serial->close();
    connectionLabel->setText(QStringLiteral("<b>&nbsp;&nbsp;<font color=#B22222>No Connection</font></b>"));
}

void MainWindow::handleError(QSerialPort::SerialPortError error)
{
    if (!PortScanner::meansPortGone(error))
        return;
    qDebug().noquote() << "!!-- Error: " + QString::number(error);
    closeSerialPort();
    currentPortIndex = -1;
    currentPortName.clear();
}

bool MainWindow::configureDataForwarding()
{
    if (m_forwardingDialog->exec() != QDialog::Accepted)
        return false;
    const DialogDataForwarding::Values values = m_forwardingDialog->values();
    forwardingIp = values.ip;
    forwardingPort = values.port;
    m_forwardingSettings->storeTarget(forwardingIp, forwardingPort);
    return true;
}

bool MainWindow::checkDataForwarding()
{
    if (!ui->actionEnableForwarding->isChecked()) {
        m_forwardingTimer->stop();
        forwardingWindowOpen = false;
        return true;
    }
    if (!m_forwardingDialog->values().ip.isEmpty())
        return true;

    QMessageBox box(QMessageBox::Information, QStringLiteral("Incomplete Settings"),
                    QStringLiteral("Data forwarding parameters must be set! Click Ok to set parameters."),
                    QMessageBox::Ok, this);
    box.exec();
    if (configureDataForwarding())
        return true;
    if (m_forwardingDialog->values().ip.isEmpty()) {
        ui->actionEnableForwarding->setChecked(false);
        m_forwardingTimer->stop();
        forwardingWindowOpen = false;
    }
    return false;
}

void MainWindow::toggleDataForwarding()
{
    const bool enabled = ui->actionEnableForwarding->isChecked();
    if (enabled) {
        qDebug().noquote() << "Enabled data forwarding";
        forwardingWindowOpen = true;
        ui->labelForwardingTimeLeft->show();
        m_forwardingTimer->start(kForwardingIntervalMs);
    } else {
        qDebug().noquote() << "Disabled data forwarding";
        ui->labelForwardingTimeLeft->hide();
        m_forwardingTimer->stop();
    }
    m_forwardingSettings->storeEnabled(enabled);
}

bool MainWindow::updateDataOptionsMenu()
{
    ui->actionOnly_Log_Data_Synced_to_Reporting_Mode->setEnabled(ui->actionEnableDataLogging->isChecked());
    return true;
}

bool MainWindow::CheckIfSendablePacket()
{
    return ForwardingPolicy::isSendable(m_parser.modeDigit(), m_stream.buffer(), forwardingWindowOpen);
}

bool MainWindow::forwardData(const QByteArray &payload)
{
    if (stationImei.isEmpty()) {
        ui->actionEnableForwarding->setChecked(false);
        showMessageLater(QStringLiteral("Error"),
                         QStringLiteral("Data cannot be forwarded until IMEI is known. Please wait until weather "
                                        "data is received."),
                         true);
        return false;
    }
    auto *attempt = new QMyThread(payload, forwardingIp, forwardingPort, stationImei);
    connect(attempt, &QMyThread::resultReady, this, &MainWindow::forwardStatus, Qt::QueuedConnection);
    connect(attempt, &QThread::finished, attempt, &QObject::deleteLater);
    m_attempts.removeAll(nullptr);
    m_attempts.append(attempt);
    attempt->start(QThread::InheritPriority);
    return false;
}

void MainWindow::forwardStatus(bool result)
{
    if (result) {
        statusMessage = QStringLiteral("Data Forwarding Successful");
        forwardingWindowOpen = false;
        m_forwardingTimer->start(kForwardingIntervalMs);
        return;
    }
    ui->actionEnableForwarding->setChecked(false);
    statusMessage = QStringLiteral("Data Forwarding Failed");
    showMessageLater(QStringLiteral("Error"),
                     QStringLiteral("Data forwarding failed and will be disabled. Please verify parameters."), true);
}

void MainWindow::handleForwardingTimer()
{
    qDebug().noquote() << "Forwarding timer elapsed: ok to forward";
    forwardingWindowOpen = true;
    m_forwardingTimer->stop();
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

bool MainWindow::processCameraPacket()
{
    const CameraStep step = m_camera.process(m_stream.buffer(), m_parser.getImei(), m_dataFolder.imagePath(),
                                             m_parser.getOrientation(), QDateTime::currentDateTimeUtc());
    showPacketStep(step);
    if (!step.packet.isEmpty() && ui->actionEnableForwarding->isChecked())
        forwardData(step.packet);
    if (!step.picture.isEmpty() || !step.caption.isEmpty())
        showPicture(step.camera, step.picture, step.caption);
    return finishPacketStep(step);
}

bool MainWindow::processAcousticPacket()
{
    const AcousticStep step = m_acoustic.process(m_stream.buffer(), m_parser.getImei(), m_dataFolder.audioPath(),
                                                 QDateTime::currentDateTimeUtc());
    showPacketStep(step);
    return finishPacketStep(step);
}

void MainWindow::showPacketStep(const PacketStep &step)
{
    showProgress(step.progressText, step.progressMaximum, step.progressValue);
    setRawText(step.rawViewText);
    if (!step.rawViewAppend.isEmpty())
        ui->plainTextEdit->appendPlainText(step.rawViewAppend);
    for (const QString &line : step.debugLines)
        qDebug().noquote() << line;
}

bool MainWindow::finishPacketStep(const PacketStep &step)
{
    if (step.last)
        hideProgress();
    if (!step.complete)
        return false;
    m_stream.consume(step.consumedBytes);
    return !m_stream.buffer().isEmpty();
}

QString MainWindow::getDateTime(const QByteArray &buffer)
{
    return StationTime::getDateTime(buffer, QDateTime::currentDateTimeUtc());
}

QString MainWindow::getDateTimeSpectral(const QByteArray &buffer)
{
    return StationTime::getDateTimeSpectral(buffer, QDateTime::currentDateTimeUtc());
}

void MainWindow::displayWeatherData()
{
    const QString metar = MetarEncoder::getMetar(m_parser);
    ui->unitValLabel->setText(m_parser.getImei());
    ui->textEditMetar->setPlainText(metar);
    ui->textEditMetar->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ui->textEditMetar->setHtml(WeatherDisplay::metarHtml(metar));

    if (ui->actionEnableDataLogging->isChecked())
        logToCsv();

    const QVector<WeatherDisplay::Field> fields = WeatherDisplay::fields(m_parser);
    for (const WeatherDisplay::Field &field : fields) {
        if (auto *edit = findChild<QLineEdit *>(field.objectName))
            edit->setText(field.text);
    }
    ui->lineEditVoltage->setStyleSheet(WeatherDisplay::voltageStyle(m_parser));
    ui->lineEditInterference->setStyleSheet(WeatherDisplay::interferenceStyle(m_parser));
}
