#pragma once
#include "ForwardingSerialPort.h"
#include <optional>

// The real serial port, with the port number and speed of the command line
// taking the place of those in the settings file for this run only.
class CliPort final : public ForwardingSerialPort {
public:
    CliPort(std::unique_ptr<SerialPort> inner, std::optional<int> port, std::optional<int> baud)
        : ForwardingSerialPort(std::move(inner)), port_(port), baud_(baud)
    {}
    void setPortNumber(int n) override { inner_->setPortNumber(port_.value_or(n)); }
    bool setSettings(const QString &s) override
    {
        return inner_->setSettings(baud_ ? QString::number(*baud_) + QStringLiteral(",n,8,1") : s);
    }

private:
    std::optional<int> port_, baud_;
};
