// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo/demoreplay.h"

#include "link/receivestream.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTimer>

namespace {
// Station pictures are 320 x 240 baseline JPEGs of a few tens of kilobytes.
constexpr qint64 kMaxPictureBytes = 4 * 1024 * 1024;
} // namespace

DemoReplay::DemoReplay(const QString &folder, QObject *parent)
    : StationLink(parent), m_folder(folder), m_timer(new QTimer(this))
{
    m_timer->setInterval(kIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &DemoReplay::advance);
}

bool DemoReplay::start()
{
    m_files = QDir(m_folder).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
    if (m_files.isEmpty()) {
        qDebug().noquote() << "No demo data files found";
        return false;
    }
    m_position = 0;
    m_timer->start();
    advance();
    qDebug().noquote() << "Demo Mode: ON";
    return true;
}

void DemoReplay::stop()
{
    m_timer->stop();
}

bool DemoReplay::isRunning() const
{
    return m_timer->isActive();
}

void DemoReplay::advance()
{
    emit readyRead();
    if (!m_files.isEmpty() && ++m_position >= m_files.size())
        m_position = 0;
}

QByteArray DemoReplay::readAll()
{
    if (m_position >= m_files.size())
        return {};
    QFile file(QDir(m_folder).filePath(m_files.at(m_position)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    qDebug().noquote() << "Demo File: " + m_files.at(m_position);
    return file.read(ReceiveStream::kMaxBufferBytes);
}

QList<QByteArray> DemoReplay::pictures() const
{
    const QDir folder(m_folder);
    QStringList names = folder.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    QList<QByteArray> pictures;
    for (const QString &name : names.mid(0, kMaxPictures)) {
        QFile file(folder.filePath(name));
        pictures << (file.open(QIODevice::ReadOnly) ? file.read(kMaxPictureBytes) : QByteArray());
    }
    return pictures;
}
