#pragma once
// The serial line as the link sees it: a COM port number, a settings string
// such as "9600,n,8,1", one-byte reads and a blocking wait for input.
#include <QByteArray>
#include <QString>
#include <cstdint>

class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual void setPortNumber(int n) = 0;
    virtual int portNumber() const = 0;
    // "9600,n,8,1" or "19200,n,8,1". Returns false (and sets errorString)
    // when the text names a speed or framing this port cannot use.
    virtual bool setSettings(const QString &settings) = 0;
    virtual QString settings() const = 0;

    virtual bool open() = 0;   // false: see errorString()
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual int bytesWaiting() = 0;   // bytes in the input buffer
    virtual void flushInput() = 0;    // empties the input buffer
    virtual bool write(const QByteArray &bytes) = 0;
    virtual int readByte() = 0;   // 0..255, or -1 when nothing is waiting

    // Blocks in the operating system until a byte is waiting or the monotonic
    // clock (Clock::monotonicNs) reaches deadlineNs. True when a byte is waiting.
    virtual bool waitForInput(std::int64_t deadlineNs) = 0;

    // Device the port number resolves to ("/dev/ttyS0", a Support/ports link...).
    virtual QString deviceName() const = 0;
    virtual int errorNumber() const = 0;
    virtual QString errorString() const = 0;
    virtual QString errorSource() const { return QStringLiteral("SerialPort"); }
};
