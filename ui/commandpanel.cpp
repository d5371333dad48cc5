// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/commandpanel.h"

#include "app/featureoptions.h"
#include "commands/configcommand.h"
#include "commands/dialogimageschedule.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QTimer>

namespace {
constexpr int kImageRequestIntervalMs = 20 * 60 * 1000;
} // namespace

CommandPanel::CommandPanel(Ui::MainWindow *form, QWidget *window)
    : QObject(window), ui(form), m_window(window), m_stationModeLabel(new QLabel(window)),
      m_imageTimer(new QTimer(this))
{
    connect(m_imageTimer, &QTimer::timeout, this, &CommandPanel::imagesDue);
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

    m_stationModeLabel->setObjectName(QStringLiteral("stationModeLabel"));
    m_stationModeLabel->setToolTip(tr("The reporting mode of the station's last packet"));
    ui->horizontalLayout_Reporting->addWidget(m_stationModeLabel);
    m_stationModeLabel->hide();
}

void CommandPanel::applyOptions(const FeatureOptions &options)
{
    if (!options.audioCommands) {
        ui->audioComboBox->hide();
        ui->audioLabel->hide();
        ui->audioSpinBox->hide();
        delete ui->horizontalLayout_Audio;
        ui->horizontalLayout_Audio = nullptr;
    }
    if (!options.speciCommands) {
        ui->speciComboBox->hide();
        ui->speciLabel->hide();
        delete ui->horizontalLayout_Speci;
        ui->horizontalLayout_Speci = nullptr;
    }
    if (!options.fastModes) {
        while (ui->reportingComboBox->count() > ConfigCommand::kFirstFastModeIndex)
            ui->reportingComboBox->removeItem(ConfigCommand::kFirstFastModeIndex);
    }
}

QByteArray CommandPanel::command()
{
    ConfigSelection selection;
    selection.reporting = ui->reportingComboBox->currentIndex();
    selection.ceilometer = ui->ceilComboBox->currentIndex();
    selection.speci = ui->speciComboBox->currentIndex();
    selection.gps = ui->gpsComboBox->currentIndex();
    selection.camera = ui->imgComboBox->currentIndex();
    selection.audio = ui->audioComboBox->currentIndex();
    selection.elevation = m_elevation;
    selection.cameraNumber = ui->spinBoxCamera->value();
    selection.audioOffset = m_audioOffset;
    selection.autoImageCommand = m_autoImageCommand;
    if (!ConfigCommand::showsElevationInput(selection.gps))
        ui->spinBox->hide();
    if (!ConfigCommand::showsAudioOffsetInput(selection.audio))
        ui->audioSpinBox->hide();
    return ConfigCommand::build(selection);
}

void CommandPanel::followStationMode(const QString &mode)
{
    m_stationMode = mode;
    const int index = ConfigCommand::reportingIndexForMode(mode, ui->reportingComboBox->count());
    if (index == ui->reportingComboBox->currentIndex())
        m_reportingChosen = false;
    if (!m_reportingChosen)
        ui->reportingComboBox->setCurrentIndex(index);
    m_stationModeLabel->setText(tr("Station: %1").arg(mode.isEmpty() ? tr("unknown") : mode));
    m_stationModeLabel->setVisible(m_reportingChosen);
}

void CommandPanel::reportingChosen()
{
    m_reportingChosen = true;
    followStationMode(m_stationMode);
}

void CommandPanel::commandQueued()
{
    m_reportingChosen = false;
    followStationMode(m_stationMode);
}

void CommandPanel::gpsChosen(int index)
{
    ui->spinBox->setVisible(ConfigCommand::showsElevationInput(index));
}

int CommandPanel::elevation()
{
    m_elevation = ui->spinBox->value();
    return m_elevation;
}

void CommandPanel::audioChosen()
{
    ui->audioSpinBox->setVisible(ConfigCommand::showsAudioOffsetInput(ui->audioComboBox->currentIndex()));
    audioOffset();
}

int CommandPanel::audioOffset()
{
    m_audioOffset =
        ConfigCommand::clampAudioOffset(ui->audioComboBox->currentIndex(), ui->audioSpinBox->value());
    if (m_audioOffset != ui->audioSpinBox->value())
        ui->audioSpinBox->setValue(m_audioOffset);
    return m_audioOffset;
}

void CommandPanel::cameraChosen(int index)
{
    m_autoImageCommand.clear();
    ui->spinBoxCamera->setVisible(ConfigCommand::showsCameraNumberInput(index));
    if (index != ConfigCommand::kCameraAutoCaptureIndex)
        return;
    // Every choice starts from a fresh, empty schedule.
    delete m_scheduleDialog;
    m_scheduleDialog = new dialogImageSchedule(m_window);
    if (m_scheduleDialog->exec() == QDialog::Accepted)
        m_autoImageCommand = m_scheduleDialog->hourCommand();
    if (m_autoImageCommand.isEmpty())
        ui->imgComboBox->setCurrentIndex(ConfigCommand::kNoCommandIndex);
    else
        qDebug().noquote() << "Auto Image Command:" + QString::fromLatin1(m_autoImageCommand);
}

void CommandPanel::requestImages()
{
    ui->imgComboBox->setCurrentIndex(ConfigCommand::kCameraRequestImagesIndex);
}

void CommandPanel::setAutomaticImages(bool on)
{
    qDebug().noquote() << (on ? "Automatic Image Timer: ON" : "Automatic Image Timer: OFF");
    if (!on) {
        m_imageTimer->stop();
        return;
    }
    m_imageTimer->start(kImageRequestIntervalMs);
    emit imagesDue();
}
