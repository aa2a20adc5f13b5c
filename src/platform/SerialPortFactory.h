#pragma once
#include "Clock.h"
#include "SerialPort.h"
#include <memory>

// The serial port backends of this build: termios (PosixSerialPort, where the
// system has termios) and QSerialPort (QtSerialPort, everywhere). The build
// picks the default (ORVEL_SERIAL_BACKEND in CMake); the environment variable
// ORVEL_SERIAL_BACKEND=qt|termios overrides it when the program starts, so
// one build can run its tests through either.
enum class SerialBackend { Termios, Qt };

// The backend MakeSerialPort() makes: the environment's choice when this
// build has it, else the build's default.
SerialBackend DefaultSerialBackend();
bool HasSerialBackend(SerialBackend backend);
const char *SerialBackendName(SerialBackend backend);   // "termios", "qt"

// An unconfigured real port; waits are measured on `clock`.
std::unique_ptr<SerialPort> MakeSerialPort(const Clock &clock = SystemClock::instance());
std::unique_ptr<SerialPort> MakeSerialPort(SerialBackend backend, const Clock &clock = SystemClock::instance());

// "9600,n,8,1": the speeds and the framing the board's line may use. False
// for anything else (both backends refuse it with "Invalid property value").
bool ParseLineSettings(const QString &settings, int &baud);
