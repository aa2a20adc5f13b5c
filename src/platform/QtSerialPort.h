#pragma once
#include "Clock.h"
#include "SerialPort.h"
#include <QByteArray>
#include <memory>

class QSerialPort;

// A serial port on QSerialPort, for systems without termios (Windows: port n
// is the system's COMn) and as the second backend on Linux. It keeps the
// termios port's contract: raw 8N1 without flow control, one-byte reads, waits
// measured on the injected clock, a lost device treated as closed, a wait
// after an interruption request closing the port at once (Interruption.h).
//
// On Unix the port is held as the termios port holds it: an flock on a
// descriptor of the port's own, taken (after the same checks, with the same
// refusals) before QSerialPort opens the device. QSerialPort's exclusive
// terminal flag (TIOCEXCL) is cleared as soon as it is set: on a
// pseudo-terminal it would outlive a killed program while the board end stays
// open and keep everybody but root out. QSerialPort's lock file (LCK.. in
// /run/lock or the temporary folder) stays; it names the port by its real
// device, so two links to one device share it, and a killed program's lock
// file is taken over by the next open since its process is gone.
class QtSerialPort final : public SerialPort {
public:
    explicit QtSerialPort(const Clock &clock = SystemClock::instance());
    ~QtSerialPort() override;

    void setPortNumber(int n) override { port_ = n; }
    int portNumber() const override { return port_; }
    bool setSettings(const QString &settings) override;
    QString settings() const override { return settings_; }

    bool open() override;
    void close() override;
    bool isOpen() const override;

    int bytesWaiting() override;
    void flushInput() override;
    bool write(const QByteArray &bytes) override;
    int readByte() override;
    bool waitForInput(std::int64_t deadlineNs) override;

    QString deviceName() const override;
    int errorNumber() const override { return errNo_; }
    QString errorString() const override { return errText_; }
    QString errorSource() const override { return QStringLiteral("QtSerialPort"); }

    // Open a device path directly instead of a port number (tests).
    void setDevicePath(const QString &path) { devicePath_ = path; }

private:
    void fail(int err, const QString &text);
    void failFromQt(const QString &what);   // what: QSerialPort's error text appended
    void lostDevice();
    bool pump();   // moves what the driver holds into QSerialPort's buffer without blocking; false: device lost
    void releaseClaim();

    const Clock &clock_;
    std::unique_ptr<QSerialPort> sp_;
    int port_ = 1;
    int baud_ = 9600;
    QString settings_ = QStringLiteral("9600,n,8,1");
    QString devicePath_;
    int claim_ = -1;   // Unix: the descriptor holding the port's flock
    int errNo_ = 0;
    QString errText_;
};
