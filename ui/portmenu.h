// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>

class QActionGroup;
class QMenu;

// The "COM Port" menu: one checkable action per port, kept in step with the
// ports that exist.
class PortMenu : public QObject
{
    Q_OBJECT

public:
    PortMenu(QMenu *menu, const QStringList &ports);

    QStringList names() const;
    // Adds the new ports at the end and takes out the ones that have gone.
    void update(const QStringList &added, const QStringList &removed);
    // Marks the port in use.
    void checkName(const QString &name);
    QString checkedName() const;

signals:
    // The user picked a port.
    void chosen();

private:
    void add(const QString &name);

    QMenu *m_menu;
    QActionGroup *m_group;
};
