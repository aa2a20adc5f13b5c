#pragma once
#include "SerialPort.h"
#include <memory>
#include <optional>

// The real serial port, with the port number and speed of the command line
// taking the place of those in the settings file for this run only.
class CliPort final : public SerialPort {
public:
    CliPort(std::unique_ptr<SerialPort> inner, std::optional<int> port, std::optional<int> baud)
        : inner_(std::move(inner)), port_(port), baud_(baud)
    {}
    void setPortNumber(int n) override { inner_->setPortNumber(port_.value_or(n)); }
    int portNumber() const override { return inner_->portNumber(); }
    bool setSettings(const QString &s) override
    {
        return inner_->setSettings(baud_ ? QString::number(*baud_) + QStringLiteral(",n,8,1") : s);
    }
    QString settings() const override { return inner_->settings(); }
    bool open() override { return inner_->open(); }
    void close() override { inner_->close(); }
    bool isOpen() const override { return inner_->isOpen(); }
    int bytesWaiting() override { return inner_->bytesWaiting(); }
    void flushInput() override { inner_->flushInput(); }
    bool write(const QByteArray &b) override { return inner_->write(b); }
    int readByte() override { return inner_->readByte(); }
    bool waitForInput(std::int64_t d) override { return inner_->waitForInput(d); }
    QString deviceName() const override { return inner_->deviceName(); }
    int errorNumber() const override { return inner_->errorNumber(); }
    QString errorString() const override { return inner_->errorString(); }
    QString errorSource() const override { return inner_->errorSource(); }

private:
    std::unique_ptr<SerialPort> inner_;
    std::optional<int> port_, baud_;
};
