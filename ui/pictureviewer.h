// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>

class QLabel;
class QScrollArea;

// A camera picture at its full size, with its capture time; it scrolls where
// the picture is larger than the screen. The viewer keeps the latest picture
// of each camera, and a click on a watched camera view opens it.
class PictureViewer : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kCameras = 4;

    explicit PictureViewer(QWidget *parent = nullptr);

    // camera 1 to 4; stamp is the file-name stamp "yyMMdd_hhmmssZ_KTRtime" or "..._PCtime".
    void setPicture(int camera, const QImage &picture, const QString &caption, const QString &stamp);
    // Opens the camera's latest picture on a click on view; nothing happens before the first picture.
    void watch(QLabel *view, int camera);
    void showCamera(int camera);

    // "Captured 2026-06-14 14:02:14 UTC (station clock)", or "(PC clock)"
    // when the station's clock was not set; empty for a stamp that does not read.
    static QString captureText(const QString &stamp);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Picture
    {
        QImage image;
        QString caption;
        QString stamp;
    };

    void build();

    Picture m_pictures[kCameras];
    QScrollArea *m_scroll = nullptr;
    QLabel *m_image = nullptr;
    QLabel *m_caption = nullptr;
};
