// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/featureoptions.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {
struct Keyword
{
    const char *text;
    bool FeatureOptions::*flag;
    const char *label;
};

const Keyword kKeywords[] = {
    {"ADVANCED", &FeatureOptions::advanced, "Advanced option"},
    {"FORWARDING", &FeatureOptions::forwarding, "Forwarding option"},
    {"AUDIO_COMMANDS", &FeatureOptions::audioCommands, "Audio commands"},
    {"SPECI_COMMANDS", &FeatureOptions::speciCommands, "SPECI commands"},
    {"FAST_MODES", &FeatureOptions::fastModes, "Fast modes"},
};
} // namespace

FeatureOptions FeatureOptions::readFile(const QString &path)
{
    // Opening a FIFO or a device could wait for ever (or read without end):
    // only a regular file is an options file.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    qDebug().noquote() << "Options file found";
    // An options file is a handful of lines; anything larger is not one.
    constexpr qint64 kMaxBytes = 64 * 1024;
    return parse(file.read(kMaxBytes));
}

FeatureOptions FeatureOptions::parse(const QByteArray &contents)
{
    FeatureOptions options;
    const QList<QByteArray> lines = contents.split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith("//"))
            continue;
        for (const Keyword &keyword : kKeywords) {
            if (line.startsWith(keyword.text))
                options.*keyword.flag = true;
        }
    }
    return options;
}

QStringList FeatureOptions::statusLines() const
{
    QStringList lines;
    for (const Keyword &keyword : kKeywords)
        lines << QStringLiteral("%1: %2").arg(QLatin1String(keyword.label), this->*keyword.flag
                                                                                ? QStringLiteral("ENABLED")
                                                                                : QStringLiteral("DISABLED"));
    return lines;
}

FeatureOptions &FeatureOptions::process()
{
    static FeatureOptions options;
    return options;
}
