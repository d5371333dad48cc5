// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/dialogimageschedule.h"

#include "ui_dialogimageschedule.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFont>

#include <algorithm>
#include <cstdio>

dialogImageSchedule::dialogImageSchedule(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::dialogImageSchedule>())
{
    qputenv("QT_AUTO_SCREEN_SCALE_FACTOR", "1");
    m_ui->setupUi(this);

    m_hourBoxes = {m_ui->checkBox00, m_ui->checkBox01, m_ui->checkBox02, m_ui->checkBox03, m_ui->checkBox04,
                   m_ui->checkBox05, m_ui->checkBox06, m_ui->checkBox07, m_ui->checkBox08, m_ui->checkBox09,
                   m_ui->checkBox10, m_ui->checkBox11, m_ui->checkBox12, m_ui->checkBox13, m_ui->checkBox14,
                   m_ui->checkBox15, m_ui->checkBox16, m_ui->checkBox17, m_ui->checkBox18, m_ui->checkBox19,
                   m_ui->checkBox20, m_ui->checkBox21, m_ui->checkBox22, m_ui->checkBox23};

    QFont textFont = font();
    textFont.setPointSize(kFontPoints);
    for (QCheckBox *box : m_hourBoxes)
        box->setFont(textFont);
    m_ui->groupBox->setFont(textFont);
    m_ui->pushButtonToggle->setFont(textFont);

    const int factor = scaleFactor(logicalDpiX());
    resize(kDesignWidth * factor, kDesignHeight * factor);

    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

dialogImageSchedule::~dialogImageSchedule() = default;

QByteArray dialogImageSchedule::hourCommand() const
{
    QByteArray command;
    for (int hour = 0; hour < kHours; ++hour) {
        if (!m_hourBoxes[hour]->isChecked())
            continue;
        char text[8];
        std::snprintf(text, sizeof text, "i%02d\r", hour);
        command += text;
    }
    return command;
}

int dialogImageSchedule::scaleFactor(int logicalDpiX)
{
    // Below 96 DPI the whole-step factor would be 0 and shrink the dialog away.
    return std::max(1, logicalDpiX / 96);
}

void dialogImageSchedule::on_pushButtonToggle_clicked()
{
    m_toggleState = !m_toggleState;
    for (QCheckBox *box : m_hourBoxes)
        box->setChecked(m_toggleState);
}
