// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

class QLabel;

// The four camera pictures of the data view with their captions.
class CameraViews
{
public:
    static constexpr int kCameras = 4;

    CameraViews(QLabel *const (&views)[kCameras], QLabel *const (&captions)[kCameras]);

    // camera 1 to 4; a picture that does not decode leaves the view empty.
    void show(int camera, const QByteArray &jpeg, const QString &caption);
    void clear();
    // Keeps the pictures at four by three as the window is resized.
    void fitHeights();

private:
    QLabel *m_views[kCameras];
    QLabel *m_captions[kCameras];
};
