// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "weather/observation.h"

#include <QHash>
#include <QObject>
#include <memory>

class CameraViews;
class PictureViewer;
class QLabel;
class QLineEdit;
class QWidget;
struct WeatherValues;

namespace Ui {
class MainWindow;
}

// The data view: the METAR, the grid of decoded values with their tooltips,
// the age of the values (grey once they are old), and the camera pictures,
// each opening full size on a click.
class DataView : public QObject
{
    Q_OBJECT

public:
    DataView(Ui::MainWindow *ui, QWidget *window);
    ~DataView() override;

    void show(const WeatherValues &values, const Observation &observation);
    void showPicture(int camera, const QByteArray &jpeg, const QString &caption, const QString &stamp = {});
    // Pictures of cameras 1, 2, ... in order, captioned with the station's headings.
    void showPictures(const QList<QByteArray> &pictures, const QString &orientation);
    // Once a second: the age text, and grey values once they are old.
    void refreshAge(const WeatherValues &values, bool restyle = false);
    void clear(const WeatherValues &values);
    void fitPictures();

private:
    void style(const WeatherValues &values);

    Ui::MainWindow *ui;
    QWidget *m_window;
    std::unique_ptr<CameraViews> m_cameras;
    PictureViewer *m_viewer;
    QLabel *m_ageLabel;
    QHash<QString, QLineEdit *> m_fieldBoxes; // the value boxes by object name
    Observation m_observation;
    bool m_stale = false;
};
