#include "ScriptedSerialPort.h"
#include <gtest/gtest.h>

ScriptedSerialPort &ScriptedSerialPort::expect(int out, std::optional<int> in)
{
    script_.push_back({out, in ? std::vector<int>{*in} : std::vector<int>{}});
    return *this;
}

ScriptedSerialPort &ScriptedSerialPort::answers(int out, std::vector<int> in)
{
    script_.push_back({out, std::move(in)});
    return *this;
}

ScriptedSerialPort &ScriptedSerialPort::mode(int command) { return exchange(0xFF, 0x55).exchange(command, 0x55); }

ScriptedSerialPort &ScriptedSerialPort::readByteAt(int address, int data)
{
    return exchange(address / 256, address / 256).exchange(address % 256, data);
}

ScriptedSerialPort &ScriptedSerialPort::writeByteAt(int address, int data)
{
    return exchange(address / 256, address / 256).exchange(address % 256, address % 256).exchange(data, data);
}

bool ScriptedSerialPort::open()
{
    if (openError_ || deviceGone_)
        return false;
    open_ = true;
    ++opens_;
    return true;
}

bool ScriptedSerialPort::write(const QByteArray &bytes)
{
    if (!open_)
        return false;
    for (char c : bytes) {
        const int b = static_cast<unsigned char>(c);
        sent_.push_back(b);
        sentAt_.push_back(clock_.monotonicNs());
        if (board_) {
            const std::vector<int> a = board_(b);
            input_.insert(input_.end(), a.begin(), a.end());
            continue;
        }
        if (peer_) {
            if (auto a = peer_(b))
                answer(*a);
            continue;
        }
        if (script_.empty()) {
            ADD_FAILURE() << "link sent 0x" << std::hex << b << " after the script ended";
            continue;
        }
        const Step s = script_.front();
        script_.pop_front();
        EXPECT_EQ(s.out, b) << "byte #" << sent_.size() << " sent by the link";
        for (int a : s.in)
            answer(a);
    }
    return true;
}

void ScriptedSerialPort::answer(int b)
{
    if (answerDelayNs_ > 0)
        onTheWire_.emplace_back(clock_.monotonicNs() + answerDelayNs_, b);
    else
        input_.push_back(b);
}

void ScriptedSerialPort::deliverArrived()
{
    while (!onTheWire_.empty() && onTheWire_.front().first <= clock_.monotonicNs()) {
        input_.push_back(onTheWire_.front().second);
        onTheWire_.pop_front();
    }
}

int ScriptedSerialPort::readByte()
{
    deliverArrived();
    if (input_.empty())
        return -1;
    const int b = input_.front();
    input_.pop_front();
    return b;
}

bool ScriptedSerialPort::waitForInput(std::int64_t deadlineNs)
{
    deliverArrived();
    if (!input_.empty())
        return true;
    if (!onTheWire_.empty() && onTheWire_.front().first <= deadlineNs) {
        clock_.advanceToNs(onTheWire_.front().first);
        deliverArrived();
        return true;
    }
    clock_.advanceToNs(deadlineNs);
    return false;
}
