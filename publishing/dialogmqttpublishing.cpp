// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "publishing/dialogmqttpublishing.h"

#include "ui_dialogmqttpublishing.h"

#include <QFileDialog>
#include <QPushButton>

DialogMqttPublishing::DialogMqttPublishing(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::DialogMqttPublishing>())
{
    m_ui->setupUi(this);
    connect(m_ui->enabledCheckBox, &QCheckBox::toggled, this, &DialogMqttPublishing::updateState);
    connect(m_ui->tlsCheckBox, &QCheckBox::toggled, this, &DialogMqttPublishing::updateState);
    connect(m_ui->hostLineEdit, &QLineEdit::textChanged, this, &DialogMqttPublishing::updateState);
    connect(m_ui->prefixLineEdit, &QLineEdit::textChanged, this, &DialogMqttPublishing::updateState);
    connect(m_ui->caBrowseButton, &QPushButton::clicked, this,
            [this] { browse(m_ui->caLineEdit, tr("CA certificate")); });
    connect(m_ui->certBrowseButton, &QPushButton::clicked, this,
            [this] { browse(m_ui->certLineEdit, tr("Client certificate")); });
    connect(m_ui->keyBrowseButton, &QPushButton::clicked, this,
            [this] { browse(m_ui->keyLineEdit, tr("Client key")); });
    setSettings(MqttSettings());
}

DialogMqttPublishing::~DialogMqttPublishing() = default;

void DialogMqttPublishing::setSettings(const MqttSettings &s)
{
    m_ui->enabledCheckBox->setChecked(s.enabled);
    m_ui->hostLineEdit->setText(s.host);
    m_ui->portSpinBox->setValue(s.port);
    m_ui->clientIdLineEdit->setText(s.clientId);
    m_ui->usernameLineEdit->setText(s.username);
    m_ui->passwordLineEdit->setText(s.password);
    m_ui->tlsCheckBox->setChecked(s.tls);
    m_ui->caLineEdit->setText(s.caFile);
    m_ui->certLineEdit->setText(s.certFile);
    m_ui->keyLineEdit->setText(s.keyFile);
    m_ui->keepAliveSpinBox->setValue(s.keepAliveS);
    m_ui->prefixLineEdit->setText(s.prefix);
    m_ui->outboxDaysSpinBox->setValue(s.outboxDays);
    updateState();
}

MqttSettings DialogMqttPublishing::settings() const
{
    MqttSettings s;
    s.enabled = m_ui->enabledCheckBox->isChecked();
    s.host = m_ui->hostLineEdit->text().trimmed();
    s.port = m_ui->portSpinBox->value();
    s.clientId = m_ui->clientIdLineEdit->text().trimmed();
    s.username = m_ui->usernameLineEdit->text();
    s.password = m_ui->passwordLineEdit->text();
    s.tls = m_ui->tlsCheckBox->isChecked();
    s.caFile = m_ui->caLineEdit->text().trimmed();
    s.certFile = m_ui->certLineEdit->text().trimmed();
    s.keyFile = m_ui->keyLineEdit->text().trimmed();
    s.keepAliveS = m_ui->keepAliveSpinBox->value();
    s.prefix = m_ui->prefixLineEdit->text().trimmed();
    s.outboxDays = m_ui->outboxDaysSpinBox->value();
    return s;
}

void DialogMqttPublishing::updateState()
{
    const bool on = m_ui->enabledCheckBox->isChecked();
    m_ui->connectionGroup->setEnabled(on);
    m_ui->tlsGroup->setEnabled(on);
    m_ui->topicsGroup->setEnabled(on);
    for (QWidget *widget :
         {static_cast<QWidget *>(m_ui->caLineEdit), static_cast<QWidget *>(m_ui->caBrowseButton),
          static_cast<QWidget *>(m_ui->certLineEdit), static_cast<QWidget *>(m_ui->certBrowseButton),
          static_cast<QWidget *>(m_ui->keyLineEdit), static_cast<QWidget *>(m_ui->keyBrowseButton)})
        widget->setEnabled(m_ui->tlsCheckBox->isChecked());
    const MqttSettings s = settings();
    const bool usable = !on || (!s.host.isEmpty() && MqttSettings::isValidPrefix(s.prefix));
    m_ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(usable);
}

void DialogMqttPublishing::browse(QLineEdit *edit, const QString &title)
{
    const QString path = QFileDialog::getOpenFileName(
        this, title, edit->text(), tr("Certificates and keys (*.pem *.crt *.key);;All files (*)"));
    if (!path.isEmpty())
        edit->setText(path);
}
