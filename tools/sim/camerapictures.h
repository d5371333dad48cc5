// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QImage>

// The views of the station's four cameras, drawn rather than photographed:
// sky, horizon, the station's mast, and the camera number and UTC time in
// segment digits. Drawing uses no fonts, so a picture is the same on every
// machine and needs no GUI application object.
class CameraPictures
{
public:
    static constexpr int kWidthPixels = 320;
    static constexpr int kHeightPixels = 240;

    enum class Scene
    {
        // Gradients, sun, mast with instruments, camera number and time.
        Detailed,
        // Flat areas on block boundaries only: the smallest picture the
        // cameras can send, for quick transfers.
        Simple,
    };

    // The picture of camera 1 to 4 (others are drawn like camera 1's view)
    // taken at utc.
    static QImage picture(int camera, const QDateTime &utc, Scene scene = Scene::Detailed);
};
