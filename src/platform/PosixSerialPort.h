#pragma once
#include "Clock.h"
#include "SerialPort.h"
#include "UsbAdapter.h"
#include <QByteArray>

// A real serial port on termios: raw 8N1, no flow control, DTR and RTS left
// as they are on open and close. Waiting blocks in read(2) or ppoll(2), so a silent board costs
// no CPU. The port is taken exclusively with an flock, so a second program
// cannot open it at the same time; close, or the end of the process however
// it ends, gives it back. A wait made after an interruption request closes
// the port and returns at once (Interruption.h). Open never
// blocks, and refuses (error ENOTTY) what is not a terminal or is the master
// side of a pseudo-terminal. On open it asks the driver for low latency and,
// on a USB adapter, reads the latency timer that results (UsbAdapter.h).
class PosixSerialPort final : public SerialPort {
public:
    // Waits are measured on `clock` (the link's): a virtual clock in tests.
    explicit PosixSerialPort(const Clock &clock = SystemClock::instance()) : clock_(clock) {}
    ~PosixSerialPort() override;

    void setPortNumber(int n) override;
    int portNumber() const override { return port_; }
    bool setSettings(const QString &settings) override;
    QString settings() const override { return settings_; }

    bool open() override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }

    int bytesWaiting() override;
    void flushInput() override;
    bool write(const QByteArray &bytes) override;
    int readByte() override;
    bool waitForInput(std::int64_t deadlineNs) override;

    QString deviceName() const override;
    int errorNumber() const override { return errNo_; }
    QString errorString() const override { return errText_; }
    QString errorSource() const override { return QStringLiteral("PosixSerialPort"); }

    // Open a device path directly instead of a port number (orvelctl, tests).
    void setDevicePath(const QString &path) { devicePath_ = path; }

    // Since the last open: what the low-latency request got, and the device
    // as it was after it (a USB adapter's latency timer).
    UsbAdapter::LowLatency lowLatency() const { return lowLatency_; }
    const UsbAdapter::Device &adapter() const { return adapter_; }

private:
    void fail(int err, const QString &what);    // what: the system's text for err appended
    void refuse(int err, const QString &why);   // why says it all
    void fillBuffer();                          // moves what the driver holds into buf_ without blocking
    void lostDevice();
    void checkHangup();

    const Clock &clock_;
    int port_ = 1;
    int baud_ = 9600;
    QString settings_ = QStringLiteral("9600,n,8,1");
    QString devicePath_;
    int fd_ = -1;
    QByteArray buf_;
    int errNo_ = 0;
    QString errText_;
    UsbAdapter::LowLatency lowLatency_ = UsbAdapter::LowLatency::Unsupported;
    UsbAdapter::Device adapter_;
};
