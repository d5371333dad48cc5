// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDialog>

#include <array>
#include <memory>

class QCheckBox;

namespace Ui {
class dialogImageSchedule;
}

// Picks the UTC hours at which the station captures images on its own.
class dialogImageSchedule : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kHours = 24;
    static constexpr int kDesignWidth = 231;
    static constexpr int kDesignHeight = 354;
    static constexpr int kFontPoints = 10;

    explicit dialogImageSchedule(QWidget *parent = nullptr);
    ~dialogImageSchedule() override;

    // "iHH\r" for every checked hour, ascending; empty when none is checked.
    QByteArray hourCommand() const;

    // Logical horizontal DPI over 96, in whole steps and never below 1.
    static int scaleFactor(int logicalDpiX);

private slots:
    void on_pushButtonToggle_clicked();

private:
    std::unique_ptr<Ui::dialogImageSchedule> m_ui;
    std::array<QCheckBox *, kHours> m_hourBoxes{};
    bool m_toggleState = false;
};
