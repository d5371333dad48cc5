// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/camerapictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <array>

namespace {

constexpr int kHorizonY = 152;

struct Palette
{
    QColor skyTop;
    QColor skyHorizon;
    QColor ground;
    QColor groundFar;
    double sunX; // fraction of the width
};

// Each camera looks a quarter turn further round: light and ground differ.
const Palette &paletteOf(int camera)
{
    static const std::array<Palette, 4> palettes = {{
        {QColor(40, 80, 160), QColor(170, 200, 235), QColor(70, 120, 50), QColor(110, 150, 90), 0.78},
        {QColor(30, 70, 150), QColor(150, 190, 230), QColor(90, 110, 45), QColor(130, 140, 85), 0.30},
        {QColor(60, 90, 150), QColor(210, 200, 190), QColor(85, 95, 60), QColor(125, 125, 100), -1.0},
        {QColor(50, 60, 120), QColor(235, 170, 120), QColor(60, 90, 55), QColor(100, 115, 90), 0.24},
    }};
    return palettes[(camera >= 1 && camera <= 4 ? camera : 1) - 1];
}

// Segments a (top) to g (middle), bit 0 to bit 6.
constexpr std::array<quint8, 10> kSegments = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};

void drawDigit(QPainter &painter, const QRectF &box, int digit)
{
    const quint8 on = kSegments[std::size_t(qBound(0, digit, 9))];
    const qreal t = box.width() / 5; // stroke
    const qreal w = box.width();
    const qreal h = box.height();
    const qreal x = box.left();
    const qreal y = box.top();
    const QRectF segments[7] = {
        {x, y, w, t},                     // a
        {x + w - t, y, t, h / 2},         // b
        {x + w - t, y + h / 2, t, h / 2}, // c
        {x, y + h - t, w, t},             // d
        {x, y + h / 2, t, h / 2},         // e
        {x, y, t, h / 2},                 // f
        {x, y + (h - t) / 2, w, t},       // g
    };
    for (int s = 0; s < 7; ++s) {
        if (on & (1 << s))
            painter.drawRect(segments[s]);
    }
}

// Digits and colons, left to right from their top left corner at.
void drawSegmentText(QPainter &painter, const QString &text, const QPointF &at, qreal digitWidth)
{
    const qreal height = digitWidth * 1.8;
    qreal x = at.x();
    for (const QChar c : text) {
        if (c.isDigit()) {
            drawDigit(painter, QRectF(x, at.y(), digitWidth, height), c.digitValue());
            x += digitWidth * 1.4;
        } else {
            const qreal dot = digitWidth / 5;
            painter.drawRect(QRectF(x, at.y() + height * 0.25, dot, dot));
            painter.drawRect(QRectF(x, at.y() + height * 0.7, dot, dot));
            x += digitWidth * 0.6;
        }
    }
}

void drawMast(QPainter &painter, qreal x)
{
    const qreal top = 40;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(150, 150, 155));
    painter.drawRect(QRectF(x - 3, top, 6, kHorizonY + 30 - top));
    painter.setBrush(QColor(110, 110, 115));
    painter.drawRect(QRectF(x - 26, top + 14, 52, 4)); // cross-arm
    painter.setBrush(QColor(235, 235, 235));
    painter.drawEllipse(QPointF(x - 24, top + 10), 5, 5); // anemometer cups
    painter.drawEllipse(QPointF(x + 24, top + 10), 5, 5);
    painter.drawRect(QRectF(x - 9, top + 60, 18, 22)); // instrument box
    painter.setBrush(QColor(40, 40, 45));
    painter.drawRect(QRectF(x - 12, top - 8, 24, 8)); // solar panel
}

QImage detailed(int camera, const QDateTime &utc)
{
    const Palette &palette = paletteOf(camera);
    QImage image(CameraPictures::kWidthPixels, CameraPictures::kHeightPixels, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    QLinearGradient sky(0, 0, 0, kHorizonY);
    sky.setColorAt(0, palette.skyTop);
    sky.setColorAt(1, palette.skyHorizon);
    painter.fillRect(QRectF(0, 0, image.width(), kHorizonY), sky);

    if (palette.sunX >= 0) {
        const QPointF sun(palette.sunX * image.width(), 48);
        QRadialGradient glow(sun, 28);
        glow.setColorAt(0, QColor(255, 250, 220));
        glow.setColorAt(0.45, QColor(255, 240, 180));
        glow.setColorAt(1, QColor(255, 240, 180, 0));
        painter.setBrush(glow);
        painter.drawEllipse(sun, 28, 28);
    }

    // Far hills, then the plain up to the camera.
    QPolygonF hills;
    hills << QPointF(0, kHorizonY) << QPointF(0, kHorizonY - 10) << QPointF(70 + 20 * camera, kHorizonY - 24)
          << QPointF(170, kHorizonY - 8) << QPointF(250 - 10 * camera, kHorizonY - 18)
          << QPointF(image.width(), kHorizonY - 6) << QPointF(image.width(), kHorizonY);
    painter.setBrush(palette.groundFar);
    painter.drawPolygon(hills);
    QLinearGradient ground(0, kHorizonY, 0, image.height());
    ground.setColorAt(0, palette.groundFar);
    ground.setColorAt(1, palette.ground);
    painter.fillRect(QRectF(0, kHorizonY, image.width(), image.height() - kHorizonY), ground);

    drawMast(painter, 60 + 64 * ((camera - 1) & 3));

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(QColor(20, 20, 20));
    painter.drawRect(QRect(8, 8, 30, 46));
    painter.setBrush(Qt::white);
    drawDigit(painter, QRectF(13, 13, 20, 36), qBound(0, camera, 9));
    painter.setBrush(QColor(20, 20, 20));
    painter.drawRect(QRect(image.width() - 100, image.height() - 30, 96, 26));
    painter.setBrush(Qt::white);
    drawSegmentText(painter, utc.toUTC().toString(QStringLiteral("hh:mm")),
                    QPointF(image.width() - 94, image.height() - 25), 10);
    painter.end();
    return image;
}

QImage simple(int camera)
{
    // Everything on 16 x 8 pixel boundaries, so that every block is flat.
    const Palette &palette = paletteOf(camera);
    QImage image(CameraPictures::kWidthPixels, CameraPictures::kHeightPixels, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, image.width(), kHorizonY), palette.skyHorizon);
    painter.fillRect(QRect(0, kHorizonY, image.width(), image.height() - kHorizonY), palette.ground);
    painter.fillRect(QRect(64 + 64 * ((camera - 1) & 3), 48, 16, kHorizonY + 32 - 48), QColor(150, 150, 155));
    for (int i = 0; i < qBound(1, camera, 4); ++i)
        painter.fillRect(QRect(16 + 32 * i, 16, 16, 16), Qt::white);
    painter.end();
    return image;
}

} // namespace

QImage CameraPictures::picture(int camera, const QDateTime &utc, Scene scene)
{
    return scene == Scene::Simple ? simple(camera) : detailed(camera, utc);
}
