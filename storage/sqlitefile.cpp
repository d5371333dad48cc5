// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/sqlitefile.h"

#include "storage/datafolder.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QAtomicInt connectionCounter;
} // namespace

QString SqliteFile::newConnection(const char *prefix)
{
    return QStringLiteral("%1-%2").arg(QLatin1String(prefix)).arg(connectionCounter.fetchAndAddRelaxed(1));
}

bool SqliteFile::open(const QString &connection, const QString &file, QString *error)
{
    if (isOpen(connection))
        return true;
    const QFileInfo info(file);
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("not a regular file");
        return false;
    }
    if (!DataFolder::ensure(info.path())) {
        *error = QStringLiteral("cannot create the folder %1").arg(info.path());
        return false;
    }
    QSqlDatabase db = QSqlDatabase::contains(connection)
                          ? QSqlDatabase::database(connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    if (!exec(connection, QStringLiteral("PRAGMA journal_mode=WAL"), error)) {
        db.close();
        return false;
    }
    return true;
}

bool SqliteFile::isOpen(const QString &connection)
{
    return QSqlDatabase::contains(connection) && QSqlDatabase::database(connection, false).isOpen();
}

bool SqliteFile::exec(const QString &connection, const QString &sql, QString *error)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    if (query.exec(sql))
        return true;
    *error = query.lastError().text();
    return false;
}

void SqliteFile::close(const QString &connection)
{
    if (QSqlDatabase::contains(connection))
        QSqlDatabase::database(connection, false).close();
}

void SqliteFile::remove(const QString &connection)
{
    close(connection);
    if (QSqlDatabase::contains(connection))
        QSqlDatabase::removeDatabase(connection);
}
