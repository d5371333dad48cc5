// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogabout.h"

#include "ui_dialogabout.h"

DialogAbout::DialogAbout(QWidget *parent) : QDialog(parent), ui(new Ui::DialogAbout)
{
    ui->setupUi(this);
    connect(ui->pushButtonClose, &QPushButton::clicked, this, &QDialog::close);
}

DialogAbout::~DialogAbout()
{
    delete ui;
}

void DialogAbout::setVersion(const QString &version)
{
    ui->labelVersion->setText(version);
}
