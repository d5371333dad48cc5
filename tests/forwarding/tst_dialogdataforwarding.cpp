// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/dialogdataforwarding.h"

#include <QtTest>

class TestDialogDataForwarding : public QObject
{
    Q_OBJECT

private slots:
    // A stored port beyond 65535 shows as not set, not as the largest port.
    void portOutOfRangeIsNotSet()
    {
        const std::pair<int, int> rows[] = {{10800, 10800}, {65535, 65535}, {65536, 0}};
        for (const auto &[stored, shown] : rows) {
            DialogDataForwarding dialog;
            dialog.setValues(QStringLiteral("192.168.0.10"), stored);
            QCOMPARE(dialog.values().ip, QStringLiteral("192.168.0.10"));
            QCOMPARE(dialog.values().port, shown);
        }
    }
};

QTEST_MAIN(TestDialogDataForwarding)
#include "tst_dialogdataforwarding.moc"
