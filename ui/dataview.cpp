// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dataview.h"

#include "link/cameraassembler.h"
#include "reports/metarencoder.h"
#include "reports/weatherdisplay.h"
#include "ui/cameraviews.h"
#include "ui/pictureviewer.h"
#include "ui_mainwindow.h"
#include "weather/weathervalues.h"

#include <QImage>

namespace {
const char kNoData[] = "No data received yet";
} // namespace

DataView::DataView(Ui::MainWindow *form, QWidget *window)
    : QObject(window), ui(form), m_window(window), m_viewer(new PictureViewer(window)),
      m_ageLabel(new QLabel(window))
{
    QLabel *const views[] = {ui->cam1Label, ui->cam2Label, ui->cam3Label, ui->cam4Label};
    QLabel *const captions[] = {ui->cam1TextLabel, ui->cam2TextLabel, ui->cam3TextLabel, ui->cam4TextLabel};
    m_cameras = std::make_unique<CameraViews>(views, captions);
    for (int camera = 1; camera <= PictureViewer::kCameras; ++camera)
        m_viewer->watch(views[camera - 1], camera);

    m_ageLabel->setObjectName(QStringLiteral("labelDataAge"));
    m_ageLabel->setText(QLatin1String(kNoData));
    m_ageLabel->setToolTip(tr("When the values below were measured and received; they turn grey once older "
                              "than twice the reporting interval"));
    ui->verticalLayout_Weather->insertWidget(1, m_ageLabel);
    // Found once: a search by name walks the whole window.
    for (const WeatherDisplay::Field &field : WeatherDisplay::fields(WeatherValues())) {
        if (auto *edit = window->findChild<QLineEdit *>(field.objectName))
            m_fieldBoxes.insert(field.objectName, edit);
    }
    for (const auto &tip : WeatherDisplay::toolTips()) {
        if (auto *widget = window->findChild<QWidget *>(tip.first))
            widget->setToolTip(tip.second);
    }
}

DataView::~DataView() = default;

void DataView::show(const WeatherValues &values, const Observation &observation)
{
    m_observation = observation;
    ui->unitValLabel->setText(values.imei);
    ui->textEditMetar->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ui->textEditMetar->setHtml(WeatherDisplay::metarHtml(observation.metar));
    for (const WeatherDisplay::Field &field : WeatherDisplay::fields(values)) {
        // A box whose text stays is not laid out and painted again.
        if (QLineEdit *edit = m_fieldBoxes.value(field.objectName)) {
            if (edit->text() != field.text)
                edit->setText(field.text);
            if (edit->toolTip() != field.toolTip)
                edit->setToolTip(field.toolTip);
        }
    }
    refreshAge(values, true);
}

void DataView::showPicture(int camera, const QByteArray &jpeg, const QString &caption, const QString &stamp)
{
    m_cameras->show(camera, jpeg, caption);
    m_viewer->setPicture(camera, QImage::fromData(jpeg, "JPG"), caption, stamp);
}

void DataView::showPictures(const QList<QByteArray> &pictures, const QString &orientation)
{
    for (int i = 0; i < pictures.size(); ++i)
        showPicture(i + 1, pictures.at(i), CameraAssembler::caption(i + 1, orientation));
}

void DataView::refreshAge(const WeatherValues &values, bool restyle)
{
    if (!m_observation.receivedTime.isValid())
        return;
    const WeatherDisplay::DataAge age =
        WeatherDisplay::dataAge(m_observation, QDateTime::currentDateTimeUtc());
    m_ageLabel->setText(age.stale ? age.text + tr(" (old values)") : age.text);
    if (age.stale == m_stale && !restyle)
        return;
    m_stale = age.stale;
    style(values);
}

void DataView::style(const WeatherValues &values)
{
    // A new style sheet makes the widget polish itself again, the same one too.
    const auto setSheet = [](QWidget *widget, const QString &sheet) {
        if (widget->styleSheet() != sheet)
            widget->setStyleSheet(sheet);
    };
    const QString valueSheet = WeatherDisplay::valueStyle(m_stale);
    for (QLineEdit *edit : qAsConst(m_fieldBoxes)) {
        // The battery and interference boxes have colours of their own, set below.
        if (edit != ui->lineEditVoltage && edit != ui->lineEditInterference)
            setSheet(edit, valueSheet);
    }
    setSheet(ui->lineEditVoltage, WeatherDisplay::voltageStyle(values, m_stale));
    setSheet(ui->lineEditInterference, WeatherDisplay::interferenceStyle(values, m_stale));
    setSheet(m_ageLabel, m_stale ? QStringLiteral("color: #b00000") : QString());
}

void DataView::clear(const WeatherValues &values)
{
    ui->textEditMetar->clear();
    for (QLineEdit *edit : m_window->findChildren<QLineEdit *>())
        edit->clear();
    ui->firmwareValLabel->setText(QStringLiteral("-"));
    ui->unitValLabel->setText(QStringLiteral("-"));
    m_cameras->clear();
    m_observation = Observation();
    m_stale = false;
    m_ageLabel->setText(QLatin1String(kNoData));
    style(values);
}

void DataView::fitPictures()
{
    m_cameras->fitHeights();
}
