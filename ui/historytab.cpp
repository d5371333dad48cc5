// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/historytab.h"

#include "storage/historyimport.h"
#include "ui/historyimportdialog.h"
#include "ui/trendsview.h"

#include <QDebug>
#include <QTabWidget>
#include <QTimer>

HistoryTab::HistoryTab(HistoryStore *store, const QString &csvFolder, QTabWidget *tabs)
    : QObject(tabs), m_trends(new TrendsView(store, tabs))
{
    m_trends->setObjectName(QStringLiteral("trendsTab"));
    tabs->addTab(m_trends, tr("Trends"));
    connect(store, &HistoryStore::unavailable, this, [this](const QString &reason) {
        qDebug().noquote() << "!!-- Error: history store: " + reason;
        emit statusText(tr("History store unavailable: %1").arg(reason));
    });
    connect(store, &HistoryStore::resumed, this, [this](int written) {
        emit statusText(tr("History store writing again (%1 caught up)").arg(written));
    });

    if (!store->open() || !HistoryImport::isNeeded(*store))
        return;
    const QStringList logs = HistoryImport::csvLogs(csvFolder);
    if (logs.isEmpty())
        return;
    auto *import = new HistoryImport(store, this);
    new HistoryImportDialog(import, tabs->window());
    connect(import, &HistoryImport::finished, this, [this, import](const HistoryImport::Summary &summary) {
        emit statusText(HistoryImportDialog::summaryText(summary));
        m_trends->refresh();
        import->deleteLater();
    });
    // Once the window is up: the import runs a slice per turn of the event loop.
    QTimer::singleShot(0, import, [import, logs] { import->start(logs); });
}

void HistoryTab::addObservation(const Observation &observation)
{
    m_trends->addObservation(observation);
}
