#pragma once
// USB serial adapters. Most of them (FTDI and its clones) hold each byte they
// receive for their latency timer, 16 ms unless told otherwise, before passing
// it on: on a line where every exchange is one byte out and one byte back,
// that timer and not the baud rate sets the pace. Asking the driver for
// low-latency mode brings an FTDI adapter's timer down to 1 ms.
#include <QString>
#include <functional>

namespace UsbAdapter {

enum class LowLatency {
    Unsupported,   // the driver has no serial settings (a pty, most non-Linux systems)
    Refused,       // it has them but would not take the flag
    On,            // the flag is set, or was already
};

// Asks the driver of the open terminal `fd` for low-latency mode: reads its
// serial settings (TIOCGSERIAL), sets ASYNC_LOW_LATENCY and writes them back
// (TIOCSSERIAL), all other settings as they were. A device that does not
// support it is used as it is: the result says what happened, nothing is
// reported and errno is left as it was. Any port backend calls it on the
// descriptor it opened.
LowLatency requestLowLatency(int fd);

// What a serial device is, as far as the latency of its line goes.
struct Device {
    bool usbSerial = false;   // a USB serial adapter (/sys/bus/usb-serial/devices/<name>)
    int latencyMs = -1;       // its latency timer in ms; -1 when it has none or it cannot be read
};

// The device behind `path`, its symbolic links followed (a Support/ports
// link, /dev/serial/by-id/...) to the terminal they name. Reads only the
// sysfs folder; the device itself is never opened.
Device describe(const QString &path);

// Where sysfs is: "/sys", or ORVEL_SYSFS_ROOT when that is set (a folder
// laid out as sysfs, to see how the program shows an adapter it does not
// have). setSysfsRoot() overrides both; an empty root restores them.
QString sysfsRoot();
void setSysfsRoot(const QString &root);

// The ioctl(2) that requestLowLatency makes its two calls through; a test
// stands in for a driver here. An empty function restores ioctl(2).
using Ioctl = std::function<int(int fd, unsigned long request, void *arg)>;
void setIoctl(Ioctl ioctl);

}   // namespace UsbAdapter
