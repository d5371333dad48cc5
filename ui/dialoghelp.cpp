// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialoghelp.h"

#include "ui_dialoghelp.h"

#include <QUrl>

DialogHelp::DialogHelp(QWidget *parent) : QDialog(parent), ui(new Ui::DialogHelp)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ui->textBrowser->setSource(QUrl(QStringLiteral("qrc:/help.html")));
}

DialogHelp::~DialogHelp()
{
    delete ui;
}
