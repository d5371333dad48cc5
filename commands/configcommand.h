// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the six configuration selectors and their argument inputs hold.
struct ConfigSelection
{
    int reporting = 0;
    int ceilometer = 0;
    int speci = 0;
    int gps = 0;
    int camera = 0;
    int audio = 0;
    int elevation = 0;
    int cameraNumber = 1;
    int audioOffset = 0;
    QByteArray autoImageCommand;
};

// The station's configuration language: the selector item tables and the
// assembly of one configuration command string from a selection. Every
// command ends in a carriage return; the list index is the table index, so
// the item order is binding.
class ConfigCommand
{
public:
    static constexpr int kNoCommandIndex = 0;
    static constexpr int kFirstFastModeIndex = 5;
    static constexpr int kFastModeCount = 3;
    static constexpr int kGpsSetElevationIndex = 5;
    static constexpr int kCameraRequestImagesIndex = 2;
    static constexpr int kCameraSingleIndex = 3;
    static constexpr int kCameraAutoCaptureIndex = 4;
    static constexpr int kAudioMp3Index = 4;
    static constexpr int kAudioRawIndex = 5;

    static constexpr int kElevationMinMetres = -9999;
    static constexpr int kElevationMaxMetres = 9999;
    static constexpr int kCameraNumberMin = 1;
    static constexpr int kCameraNumberMax = 4;
    static constexpr int kAudioOffsetMax = 29;
    static constexpr int kMp3AudioOffsetMax = 25;
    // 24 hour commands of four bytes each.
    static constexpr int kAutoImageCommandMaxBytes = 96;
    // Every group at its longest: 3 + 3 + 3 + 8 + 96 + 5.
    static constexpr int kCommandMaxBytes = 118;

    static QStringList reportingItems();
    static QStringList ceilItems();
    static QStringList speciItems();
    static QStringList gpsItems();
    static QStringList imgItems();
    static QStringList audioItems();

    // Each group's contribution; an index outside its table contributes nothing.
    static QByteArray reportingCommand(int index);
    static QByteArray ceilometerCommand(int index);
    static QByteArray speciCommand(int index);
    static QByteArray gpsCommand(int index, int elevationMetres);
    static QByteArray cameraCommand(int index, int cameraNumber, const QByteArray &autoImageCommand);
    static QByteArray audioCommand(int index, int audioOffset);

    // All six contributions in group order. Arguments are clamped to their
    // ranges, so the result never exceeds kCommandMaxBytes.
    static QByteArray build(const ConfigSelection &selection);

    // Reporting code of a mode name as the station reports it (exact,
    // case-sensitive): "3 Hour" 1 ... "10 Second" 7, anything else 0. The code
    // is the item's index in the full reporting list.
    static int updateReportingMode(const QString &mode);
    // The reporting selector index for a reported mode name, or "No command"
    // when the list (itemCount items) has no such item.
    static int reportingIndexForMode(const QString &mode, int itemCount);

    static bool isFastModeIndex(int reportingIndex) { return reportingIndex >= kFirstFastModeIndex; }
    static QString fastModeNote();
    static QString fastModeColourName();
    static QString fastModeNoteHtml();

    static bool showsElevationInput(int gpsIndex) { return gpsIndex == kGpsSetElevationIndex; }
    static bool showsCameraNumberInput(int cameraIndex) { return cameraIndex == kCameraSingleIndex; }
    static bool showsAudioOffsetInput(int audioIndex)
    {
        return audioIndex == kAudioMp3Index || audioIndex == kAudioRawIndex;
    }

    static int clampElevation(int metres);
    static int clampCameraNumber(int camera);
    // "Get MP3 Data" takes at most 25, every other item up to 29.
    static int clampAudioOffset(int audioIndex, int offset);
};
