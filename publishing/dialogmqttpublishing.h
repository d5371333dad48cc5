// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publishing/mqttsettings.h"

#include <QDialog>
#include <memory>

class QLineEdit;

namespace Ui {
class DialogMqttPublishing;
}

// "MQTT Publishing" (Data Options menu): the broker, the credentials, TLS,
// the topic prefix and the outbox bound. OK stays disabled while publishing
// is switched on without a host or with an unusable prefix.
class DialogMqttPublishing : public QDialog
{
    Q_OBJECT

public:
    explicit DialogMqttPublishing(QWidget *parent = nullptr);
    ~DialogMqttPublishing() override;

    void setSettings(const MqttSettings &settings);
    // What the inputs hold now, accepted or not.
    MqttSettings settings() const;

private:
    void updateState();
    void browse(QLineEdit *edit, const QString &title);

    std::unique_ptr<Ui::DialogMqttPublishing> m_ui;
};
