// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

class DialogDataForwarding;
class ForwardingController;
class QMessageBox;
class QWidget;

namespace Ui {
class MainWindow;
}

// The forwarding entries of the "Data Options" menu: the settings dialog,
// the switch with its countdown label, and the message boxes forwarding
// raises.
class ForwardingMenu : public QObject
{
    Q_OBJECT

public:
    ForwardingMenu(Ui::MainWindow *ui, ForwardingController *forwarding, bool forwardingOption,
                   QWidget *window);

    bool configure();
    // The switch was checked: asks for the settings while none are set.
    bool check();
    void toggle();
    void showMessage(const QString &title, const QString &text, bool warning);

private:
    DialogDataForwarding *dialog();
    QString targetIp() const;

    Ui::MainWindow *ui;
    ForwardingController *m_forwarding;
    QWidget *m_window;
    DialogDataForwarding *m_dialog = nullptr; // built when first opened
    QPointer<QMessageBox> m_messageBox;
};
