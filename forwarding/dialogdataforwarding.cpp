// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/dialogdataforwarding.h"

#include "forwarding/forwardingsettings.h"
#include "ui_dialogdataforwarding.h"

DialogDataForwarding::DialogDataForwarding(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::DialogDataForwarding>())
{
    m_ui->setupUi(this);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setValues(QString(), 0);
}

DialogDataForwarding::~DialogDataForwarding() = default;

void DialogDataForwarding::setValues(const QString &ip, int port)
{
    m_ui->lineEditIp->setText(ip);
    m_ui->spinBoxPort->setValue(ForwardingSettings::usablePort(port));
}

DialogDataForwarding::Values DialogDataForwarding::values() const
{
    return {m_ui->lineEditIp->text(), m_ui->spinBoxPort->value()};
}
