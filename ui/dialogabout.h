// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace Ui {
class DialogAbout;
}

// Shows the logo, the program version and the copyright notice.
class DialogAbout : public QDialog
{
    Q_OBJECT

public:
    explicit DialogAbout(QWidget *parent = nullptr);
    ~DialogAbout() override;

    void setVersion(const QString &version);

private:
    Ui::DialogAbout *ui;
};
