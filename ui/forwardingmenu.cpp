// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/forwardingmenu.h"

#include "forwarding/dialogdataforwarding.h"
#include "forwarding/forwardingcontroller.h"
#include "ui_mainwindow.h"

#include <QMessageBox>

ForwardingMenu::ForwardingMenu(Ui::MainWindow *form, ForwardingController *forwarding, bool forwardingOption,
                               QWidget *window)
    : QObject(window), ui(form), m_forwarding(forwarding), m_window(window)
{
    ui->actionEnableForwarding->setChecked(false);
    ui->labelForwardingTimeLeft->hide();
    if (forwardingOption) {
        m_forwarding->loadSettings();
        ui->actionEnableForwarding->setChecked(m_forwarding->isEnabled());
        ui->labelForwardingTimeLeft->setVisible(m_forwarding->isEnabled());
    } else {
        ui->actionEnableForwarding->setVisible(false);
        ui->actionDataForwarding->setVisible(false);
    }
    connect(m_forwarding, &ForwardingController::messageBox, this, &ForwardingMenu::showMessage);
    connect(m_forwarding, &ForwardingController::enabledChanged, ui->actionEnableForwarding,
            &QAction::setChecked);
}

DialogDataForwarding *ForwardingMenu::dialog()
{
    // Built when first opened: the dialog weighs on the window's start.
    if (!m_dialog) {
        m_dialog = new DialogDataForwarding(m_window);
        m_dialog->setValues(m_forwarding->ip(), m_forwarding->port());
    }
    return m_dialog;
}

QString ForwardingMenu::targetIp() const
{
    // What the dialog holds once it was opened, the settings before.
    return m_dialog ? m_dialog->values().ip : m_forwarding->ip();
}

bool ForwardingMenu::configure()
{
    if (dialog()->exec() != QDialog::Accepted)
        return false;
    const DialogDataForwarding::Values values = m_dialog->values();
    m_forwarding->setTarget(values.ip, values.port);
    return true;
}

bool ForwardingMenu::check()
{
    if (!ui->actionEnableForwarding->isChecked() || !targetIp().isEmpty())
        return true;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Incomplete Settings"),
                    QStringLiteral("Data forwarding parameters must be set! Click Ok to set parameters."),
                    QMessageBox::Ok, m_window);
    box.exec();
    if (configure())
        return true;
    if (targetIp().isEmpty())
        ui->actionEnableForwarding->setChecked(false);
    return false;
}

void ForwardingMenu::toggle()
{
    const bool enabled = ui->actionEnableForwarding->isChecked();
    ui->labelForwardingTimeLeft->setVisible(enabled);
    m_forwarding->setEnabled(enabled);
}

void ForwardingMenu::showMessage(const QString &title, const QString &text, bool warning)
{
    // Overlapping failed attempts raise the same message: one box is enough.
    if (m_messageBox && m_messageBox->text() == text)
        return;
    // Opened, not executed: a nested event loop here could start a receive
    // pass inside the one that raised the message.
    m_messageBox = new QMessageBox(warning ? QMessageBox::Warning : QMessageBox::Information, title, text,
                                   QMessageBox::Ok, m_window);
    m_messageBox->setAttribute(Qt::WA_DeleteOnClose);
    m_messageBox->open();
}
