#pragma once
// A serial port that passes every call on to another one; a wrapper overrides
// only what it changes.
#include "SerialPort.h"
#include <memory>

class ForwardingSerialPort : public SerialPort {
public:
    explicit ForwardingSerialPort(std::unique_ptr<SerialPort> inner) : inner_(std::move(inner)) {}
    void setPortNumber(int n) override { inner_->setPortNumber(n); }
    int portNumber() const override { return inner_->portNumber(); }
    bool setSettings(const QString &s) override { return inner_->setSettings(s); }
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

protected:
    std::unique_ptr<SerialPort> inner_;
};
