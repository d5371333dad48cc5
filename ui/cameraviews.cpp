// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cameraviews.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>

namespace {
constexpr int kPictureMaxWidth = 640;
constexpr int kPictureMaxHeight = 480;
} // namespace

CameraViews::CameraViews(QLabel *const (&views)[kCameras], QLabel *const (&captions)[kCameras])
{
    for (int i = 0; i < kCameras; ++i) {
        m_views[i] = views[i];
        m_captions[i] = captions[i];
    }
}

void CameraViews::show(int camera, const QByteArray &jpeg, const QString &caption)
{
    if (camera < 1 || camera > kCameras)
        return;
    QLabel *view = m_views[camera - 1];
    QImage image;
    if (image.loadFromData(jpeg, "JPG")) {
        view->setPixmap(QPixmap::fromImage(image.scaled(kPictureMaxWidth, kPictureMaxHeight,
                                                        Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    } else {
        view->clear();
    }
    m_captions[camera - 1]->setText(caption);
}

void CameraViews::clear()
{
    for (int i = 0; i < kCameras; ++i) {
        m_views[i]->clear();
        m_captions[i]->clear();
    }
}

void CameraViews::fitHeights()
{
    const int height = static_cast<int>(m_views[0]->width() * 0.75);
    for (int i = 0; i < kCameras; ++i) {
        m_views[i]->setFixedHeight(height);
        m_captions[i]->setMaximumWidth(m_views[i]->width());
    }
}
