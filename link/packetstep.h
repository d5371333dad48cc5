// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "storage/atomicfile.h"

#include <QString>
#include <QStringList>
#include <QVector>

// What one binary packet step (picture or recording) asks of the window.
struct PacketStep
{
    int sequence = 0;

    // The progress bar is shown for every packet and hidden again after the last.
    QString progressText;
    int progressMaximum = 0;
    int progressValue = 0;

    QString rawViewText;   // replaces the raw data view
    QString rawViewAppend; // then appended as a line of its own, when not empty

    bool complete = false;  // a whole packet was at the front of the buffer
    int consumedBytes = 0;  // bytes to cut off the front of the receive buffer
    bool last = false;      // the series' last packet: hide the progress bar afterwards
    QStringList debugLines; // for the debug log, in order

    // On the last packet: the files of the picture or recording under the
    // names they were written to (or meant for, when the write failed), and
    // whether each was written.
    QVector<AtomicFile::Content> files;
    QVector<WriteResult> writes;
    int missingPackets = 0; // packets of the series that never arrived; their bytes are zero
};
