// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/configcommand.h"

#include <algorithm>
#include <cstdio>

namespace {
template<int N>
QByteArray tableCode(const char *const (&codes)[N], int index)
{
    if (index < 0 || index >= N)
        return {};
    return QByteArray(codes[index]);
}

const char *const kReportingCodes[] = {"", "m0\r", "m1\r", "m2\r", "m3\r", "m4\r", "m5\r", "m6\r"};
const char *const kCeilometerCodes[] = {"", "C0\r", "C1\r", "C2\r"};
const char *const kSpeciCodes[] = {"", "S0\r", "S1\r"};
// Index 5 takes the elevation argument and is built separately.
const char *const kGpsCodes[] = {"", "G0\r", "G1\r", "GI\r", "Gi\r"};
const char *const kAcousticCodes[] = {"", "A0\r", "A1\r", "A2\r"};
} // namespace

QStringList ConfigCommand::reportingItems()
{
    return {QStringLiteral("No command"), QStringLiteral("3 Hour"),    QStringLiteral("1 Hour"),
            QStringLiteral("20 Minute"),  QStringLiteral("5 Minute"),  QStringLiteral("1 Minute"),
            QStringLiteral("20 Second"),  QStringLiteral("10 Second")};
}

QStringList ConfigCommand::ceilItems()
{
    return {QStringLiteral("No command"), QStringLiteral("Disable"), QStringLiteral("Enable Auto"),
            QStringLiteral("Enable Always")};
}

QStringList ConfigCommand::speciItems()
{
    return {QStringLiteral("No command"), QStringLiteral("Disable"), QStringLiteral("Enable")};
}

QStringList ConfigCommand::gpsItems()
{
    return {QStringLiteral("No command"),
            QStringLiteral("Disable Lat/Lon"),
            QStringLiteral("Enable Lat/Lon"),
            QStringLiteral("Update GPS Lat/Lon"),
            QStringLiteral("Update GPS Lat/Lon and Elevation"),
            QStringLiteral("Set Elevation (m)")};
}

QStringList ConfigCommand::imgItems()
{
    return {QStringLiteral("No command"),
            QStringLiteral("Off"),
            QStringLiteral("Request Images"),
            QStringLiteral("Request Single Camera"),
            QStringLiteral("Set Auto Image Capture"),
            QStringLiteral("Cancel Auto Image Capture")};
}

QStringList ConfigCommand::audioItems()
{
    return {QStringLiteral("No command"),
            QStringLiteral("Off"),
            QStringLiteral("Record Acoustic and Get Spectral Data"),
            QStringLiteral("Get Spectral Data"),
            QStringLiteral("Get MP3 Data"),
            QStringLiteral("Get Raw Data")};
}

QByteArray ConfigCommand::reportingCommand(int index)
{
    return tableCode(kReportingCodes, index);
}

QByteArray ConfigCommand::ceilometerCommand(int index)
{
    return tableCode(kCeilometerCodes, index);
}

QByteArray ConfigCommand::speciCommand(int index)
{
    return tableCode(kSpeciCodes, index);
}

QByteArray ConfigCommand::gpsCommand(int index, int elevationMetres)
{
    if (index != kGpsSetElevationIndex)
        return tableCode(kGpsCodes, index);
    char text[16];
    std::snprintf(text, sizeof text, "GE%+05d\r", clampElevation(elevationMetres));
    return QByteArray(text);
}

QByteArray ConfigCommand::cameraCommand(int index, int cameraNumber, const QByteArray &autoImageCommand)
{
    switch (index) {
    case 0:
        // The camera group always ends the table-driven items with a CR, so
        // even "No command" sends one: the whole command is never empty.
        return QByteArrayLiteral("\r");
    case 1:
        return QByteArrayLiteral("I0\r\r");
    case kCameraRequestImagesIndex:
        return QByteArrayLiteral("I5\r\r");
    case kCameraSingleIndex:
        return "I" + QByteArray::number(clampCameraNumber(cameraNumber)) + "\r";
    case kCameraAutoCaptureIndex:
        return autoImageCommand.left(kAutoImageCommandMaxBytes);
    case 5:
        return QByteArrayLiteral("i-\r");
    default:
        return {};
    }
}

QByteArray ConfigCommand::audioCommand(int index, int audioOffset)
{
    if (index != kAudioMp3Index && index != kAudioRawIndex)
        return tableCode(kAcousticCodes, index);
    char text[16];
    std::snprintf(text, sizeof text, "%s%02d\r", index == kAudioMp3Index ? "A3" : "A4",
                  clampAudioOffset(index, audioOffset));
    return QByteArray(text);
}

QByteArray ConfigCommand::build(const ConfigSelection &selection)
{
    QByteArray command;
    command.reserve(kCommandMaxBytes);
    command += reportingCommand(selection.reporting);
    command += ceilometerCommand(selection.ceilometer);
    command += speciCommand(selection.speci);
    command += gpsCommand(selection.gps, selection.elevation);
    command += cameraCommand(selection.camera, selection.cameraNumber, selection.autoImageCommand);
    command += audioCommand(selection.audio, selection.audioOffset);
    return command;
}

int ConfigCommand::updateReportingMode(const QString &mode)
{
    // "No command" is index 0 itself, an unknown name -1.
    return std::max(0, reportingItems().indexOf(mode));
}

int ConfigCommand::reportingIndexForMode(const QString &mode, int itemCount)
{
    const int code = updateReportingMode(mode);
    return code < itemCount ? code : kNoCommandIndex;
}

QString ConfigCommand::fastModeNote()
{
    return QStringLiteral("Note: Modes faster than 5-minute will disable modem communications");
}

QString ConfigCommand::fastModeColourName()
{
    return QStringLiteral("#d12424");
}

QString ConfigCommand::fastModeNoteHtml()
{
    return QStringLiteral("<span style=\" color:#d12424;\">%1</span>").arg(fastModeNote());
}

int ConfigCommand::clampElevation(int metres)
{
    return std::clamp(metres, kElevationMinMetres, kElevationMaxMetres);
}

int ConfigCommand::clampCameraNumber(int camera)
{
    return std::clamp(camera, kCameraNumberMin, kCameraNumberMax);
}

int ConfigCommand::clampAudioOffset(int audioIndex, int offset)
{
    return std::clamp(offset, 0, audioIndex == kAudioMp3Index ? kMp3AudioOffsetMax : kAudioOffsetMax);
}
