// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace Ui {
class DialogHelp;
}

// Shows the help page built into the program's resources.
class DialogHelp : public QDialog
{
    Q_OBJECT

public:
    explicit DialogHelp(QWidget *parent = nullptr);
    ~DialogHelp() override;

private:
    Ui::DialogHelp *ui;
};
