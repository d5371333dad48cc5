// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

struct Observation;

// The JSON object that MQTT consumers receive for one weather packet
// (docs/mqtt.md): the readings under the history store's names, null for
// every reading the station did not send.
class ObservationJson
{
public:
    // messageId: unique per message of a station, the same on every
    // redelivery, so a consumer can drop duplicates.
    static QByteArray toJson(const Observation &observation, qint64 messageId);
};
