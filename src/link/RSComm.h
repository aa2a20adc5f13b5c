#pragma once
// RSComm: the one link to the target board. It owns the serial line and
// speaks the board's byte protocol: mode handshakes, echoed single-byte
// exchanges with time-outs and operator retry, and memory reads and writes
// by symbolic address.
#include "BoardAddress.h"
#include <QString>
#include <cstdint>

class SerialPort;
class Dialogs;
class Clock;

class RSComm {
public:
    RSComm(Dialogs &dialogs, const Clock &clock);
    ~RSComm();
    RSComm(const RSComm &) = delete;
    RSComm &operator=(const RSComm &) = delete;

    // Public flags of the link.
    bool OnlineMode = false;
    bool CommError = false;

    // Lowest and highest COM port numbers (the comm port window's selector uses them too).
    static constexpr int MinPortNumber = 1;
    static constexpr int MaxPortNumber = 99;
    static constexpr int NoAnswer = 9999;   // exchange sentinel

    QString CommSettingsFile() const;
    void OpenRSComm(SerialPort *port);
    void CloseRSComm();

    QString RSRead(const QString &Add);
    // False, with the "ENTRY ALERT" box shown, when the address cannot be sent.
    bool CheckAddress(const QString &Add);
    void RSWrite(const QString &Add, const QString &DataValue);

    // A board access is in progress (a box raised inside an exchange lets
    // timers run; they must not start another access).
    bool isBusy() const { return busy_ > 0; }
    // The last RSRead/RSWrite was refused before anything was sent: a bad
    // address or value, or the link was busy.
    bool lastAccessRefused() const { return refused_; }
    // The last RSRead returned the board's own value, or the last RSWrite
    // completed with every echo right. False after a refusal, on a dead link
    // and when a line fault made the link give the access up.
    bool lastAccessOk() const { return lastOk_; }
    int currentMode() const { return CurrentMode; }
    bool initError() const { return InitError; }
    SerialPort *port() const { return port_; }

protected:
    // Holds the link busy for one public operation; nested operations are refused.
    class BusyGuard {
    public:
        explicit BusyGuard(RSComm &c) : c_(c), nested_(c.busy_ > 0) { ++c_.busy_; }
        ~BusyGuard() { --c_.busy_; }
        bool nested() const { return nested_; }
    private:
        RSComm &c_;
        bool nested_;
    };

    void InitializeRSComm(SerialPort *port);
    int ExchangeByte(int value, bool noReply, bool flushFirst);
    bool SetPLCMode(int mode, int commandByte);
    QString ReadData(const QString &add);
    void WriteData(const QString &add, const QString &dataValue);
    // Parses into the class state; false (with the box shown) when the address cannot be sent.
    bool parseInto(const QString &add);
    void entryAlert(const QString &reason);

    Dialogs &dialogs_;
    const Clock &clock_;
    SerialPort *port_ = nullptr;
    int busy_ = 0;
    bool refused_ = false;
    bool lastOk_ = false;

    int CurrentMode = 0;
    bool InitError = false;

    // Memory access state.
    QString AddType = QStringLiteral("B");
    std::int64_t ByteAdd = 0;
    int BitMask = 1;
    bool BitAccess = false;
    QString LastReadAdd;
    int readCount = 0;
    int readData[4] = {0, 0, 0, 0};
    bool WriteError = false;
};
