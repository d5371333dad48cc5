// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class DialogDataForwarding;
}

// "Data Forwarding Settings": the receiver's address and port. No syntax check
// is made on the address; a wrong receiver shows up when forwarding to it
// fails. The port input takes 1 to 65535; below them it shows "not set" (0).
class DialogDataForwarding : public QDialog
{
    Q_OBJECT

public:
    struct Values
    {
        QString ip;
        int port = 0;
    };

    explicit DialogDataForwarding(QWidget *parent = nullptr);
    ~DialogDataForwarding() override;

    // A port outside 1 to 65535 shows as not set (0), never as another port.
    void setValues(const QString &ip, int port);
    // What the inputs hold now, accepted or not.
    Values values() const;

private:
    std::unique_ptr<Ui::DialogDataForwarding> m_ui;
};
