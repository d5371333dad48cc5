// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/pictureviewer.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
const char kCameraProperty[] = "ktrCamera";
}

PictureViewer::PictureViewer(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PictureViewer"));
}

void PictureViewer::build()
{
    m_scroll = new QScrollArea(this);
    m_image = new QLabel(this);
    m_caption = new QLabel(this);
    m_image->setObjectName(QStringLiteral("labelPicture"));
    m_caption->setObjectName(QStringLiteral("labelCaptureTime"));
    m_caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_scroll->setWidget(m_image);
    m_scroll->setAlignment(Qt::AlignCenter);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_scroll, 1);
    layout->addWidget(m_caption);
    layout->addWidget(buttons);
}

void PictureViewer::setPicture(int camera, const QImage &picture, const QString &caption,
                               const QString &stamp)
{
    if (camera < 1 || camera > kCameras)
        return;
    m_pictures[camera - 1] = {picture, caption, stamp};
}

void PictureViewer::watch(QLabel *view, int camera)
{
    view->setProperty(kCameraProperty, camera);
    view->setCursor(Qt::PointingHandCursor);
    view->setToolTip(QStringLiteral("Click to see the picture at full size"));
    view->installEventFilter(this);
}

void PictureViewer::showCamera(int camera)
{
    if (camera < 1 || camera > kCameras || m_pictures[camera - 1].image.isNull())
        return;
    // Built when first opened: the dialog weighs on the window's start.
    if (!m_image)
        build();
    const Picture &picture = m_pictures[camera - 1];
    m_image->setPixmap(QPixmap::fromImage(picture.image));
    m_image->adjustSize();
    const QString when = captureText(picture.stamp);
    m_caption->setText(when.isEmpty() ? picture.caption : picture.caption + QStringLiteral(", ") + when);
    setWindowTitle(picture.caption);
    // Full size where it fits, otherwise as much as the screen holds, with scroll bars.
    const QSize wanted = picture.image.size() + QSize(48, 96);
    const QScreen *screen = parentWidget() != nullptr ? parentWidget()->screen() : this->screen();
    const QSize room = screen != nullptr ? screen->availableGeometry().size() * 0.9 : wanted;
    resize(wanted.boundedTo(room));
    show();
    raise();
    activateWindow();
}

bool PictureViewer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        const QVariant camera = watched->property(kCameraProperty);
        if (camera.isValid())
            showCamera(camera.toInt());
    }
    return QDialog::eventFilter(watched, event);
}

QString PictureViewer::captureText(const QString &stamp)
{
    // "yyMMdd_hhmmssZ_KTRtime"
    const QDateTime time =
        QDateTime::fromString(QStringLiteral("20") + stamp.left(13), QStringLiteral("yyyyMMdd_hhmmss"));
    if (!time.isValid() || stamp.mid(13, 2) != QLatin1String("Z_"))
        return QString();
    const QString clock = stamp.endsWith(QLatin1String("_PCtime")) ? QStringLiteral("PC clock")
                                                                   : QStringLiteral("station clock");
    return QStringLiteral("Captured %1 UTC (%2)")
        .arg(time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), clock);
}
