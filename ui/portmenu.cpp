// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/portmenu.h"

#include <QActionGroup>
#include <QMenu>

PortMenu::PortMenu(QMenu *menu, const QStringList &ports)
    : QObject(menu), m_menu(menu), m_group(new QActionGroup(this))
{
    m_group->setExclusive(true);
    for (const QString &name : ports)
        add(name);
    if (!ports.isEmpty())
        checkName(ports.first());
    connect(m_group, &QActionGroup::triggered, this, &PortMenu::chosen);
}

QStringList PortMenu::names() const
{
    QStringList names;
    const QList<QAction *> actions = m_group->actions();
    for (const QAction *action : actions)
        names << action->text();
    return names;
}

void PortMenu::update(const QStringList &added, const QStringList &removed)
{
    for (const QString &name : added)
        add(name);
    const QList<QAction *> actions = m_group->actions();
    for (QAction *action : actions) {
        if (removed.contains(action->text())) {
            m_group->removeAction(action);
            m_menu->removeAction(action);
            action->deleteLater();
        }
    }
}

void PortMenu::checkName(const QString &name)
{
    const QList<QAction *> actions = m_group->actions();
    for (QAction *action : actions) {
        if (action->text() == name)
            action->setChecked(true);
    }
}

QString PortMenu::checkedName() const
{
    return m_group->checkedAction() ? m_group->checkedAction()->text() : QString();
}

void PortMenu::add(const QString &name)
{
    QAction *action = m_menu->addAction(name);
    action->setCheckable(true);
    m_group->addAction(action);
}
