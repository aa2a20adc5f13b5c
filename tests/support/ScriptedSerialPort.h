#pragma once
// A serial port for unit tests of the link. It checks every byte the link
// sends against a script and plays the scripted answers; a silence makes the
// wait run out, and waiting moves a virtual clock, so a five-second dead
// board takes no real time.
#include "Clock.h"
#include "SerialPort.h"
#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class ScriptedSerialPort : public SerialPort {
public:
    explicit ScriptedSerialPort(VirtualClock &clock) : clock_(clock) {}

    // The link must send `out`; the board answers `in` (nullopt: says nothing).
    ScriptedSerialPort &expect(int out, std::optional<int> in);
    ScriptedSerialPort &exchange(int out, int in) { return expect(out, in); }
    ScriptedSerialPort &silent(int out) { return expect(out, std::nullopt); }
    // The link must send `out`; the board's side of the line delivers all of
    // `in` (a stray byte before the answer, an answer too many).
    ScriptedSerialPort &answers(int out, std::vector<int> in);
    // 0xFF -> 0x55, command -> 0x55.
    ScriptedSerialPort &mode(int command);
    // A read of one byte: high byte echoed, low byte answered with data.
    ScriptedSerialPort &readByteAt(int address, int data);
    // A write of one byte with all three echoes.
    ScriptedSerialPort &writeByteAt(int address, int data);

    // Instead of a script: a peer that answers each byte (nullopt: silence).
    void setPeer(std::function<std::optional<int>(int)> peer) { peer_ = std::move(peer); }
    // Instead of a script: a board that answers each byte with any number of bytes.
    void setBoard(std::function<std::vector<int>(int)> board) { board_ = std::move(board); }
    void failOpen(int errorNumber, const QString &text)
    {
        openError_ = errorNumber;
        openText_ = text;
    }
    // Bytes put in the input buffer before the next write (stale input).
    void injectInput(int b) { input_.push_back(b); }
    // Every answer reaches the input buffer this long after the byte it
    // answers went out, on the virtual clock (a slow board).
    void setAnswerDelay(std::int64_t ns) { answerDelayNs_ = ns; }

    // The device goes away (cable adapter unplugged): the port is closed under
    // the link. With openFails the device is not back yet.
    void loseDevice(bool openFails = false)
    {
        open_ = false;
        deviceGone_ = openFails;
    }
    void deviceBack() { deviceGone_ = false; }

    const std::vector<int> &sent() const { return sent_; }
    // When each byte of sent() went out, on the virtual clock.
    const std::vector<std::int64_t> &sentAt() const { return sentAt_; }
    int pendingSteps() const { return int(script_.size()); }
    int opens() const { return opens_; }
    int closes() const { return closes_; }
    int flushes() const { return flushes_; }

    void setPortNumber(int n) override { port_ = n; }
    int portNumber() const override { return port_; }
    bool setSettings(const QString &s) override
    {
        settings_ = s;
        return true;
    }
    QString settings() const override { return settings_; }
    bool open() override;
    void close() override
    {
        if (open_)
            ++closes_;
        open_ = false;
    }
    bool isOpen() const override { return open_; }
    int bytesWaiting() override
    {
        deliverArrived();
        return int(input_.size());
    }
    void flushInput() override
    {
        ++flushes_;
        deliverArrived();
        input_.clear();
    }
    bool write(const QByteArray &bytes) override;
    int readByte() override;
    bool waitForInput(std::int64_t deadlineNs) override;
    QString deviceName() const override { return QStringLiteral("scripted:COM%1").arg(port_); }
    int errorNumber() const override { return openError_; }
    QString errorString() const override { return openText_; }

private:
    struct Step {
        int out;
        std::vector<int> in;
    };
    void answer(int b);
    void deliverArrived();
    VirtualClock &clock_;
    std::int64_t answerDelayNs_ = 0;
    std::deque<std::pair<std::int64_t, int>> onTheWire_;   // arrival time, byte
    std::deque<Step> script_;
    std::deque<int> input_;
    std::vector<int> sent_;
    std::vector<std::int64_t> sentAt_;
    bool deviceGone_ = false;
    std::function<std::optional<int>(int)> peer_;
    std::function<std::vector<int>(int)> board_;
    int port_ = 0;
    QString settings_;
    bool open_ = false;
    int opens_ = 0, closes_ = 0, flushes_ = 0;
    int openError_ = 0;
    QString openText_;
};
