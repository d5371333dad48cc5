// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class HistoryStore;
class QTabWidget;
class TrendsView;
struct Observation;

// The "Trends" tab over the weather history. On the first start with an
// empty history it imports the CSV logs already in the data folder.
class HistoryTab : public QObject
{
    Q_OBJECT

public:
    HistoryTab(HistoryStore *store, const QString &csvFolder, QTabWidget *tabs);

    void addObservation(const Observation &observation);

signals:
    void statusText(const QString &text);

private:
    TrendsView *m_trends;
};
