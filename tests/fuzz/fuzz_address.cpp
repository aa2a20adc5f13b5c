// Address texts and typed values, as a technician or a script may give them,
// through the link to a small board model. Whatever the text, a write may
// only touch the bytes its address names, and nothing may crash.
#include "AppFolder.h"
#include "BoardAddress.h"
#include "Clock.h"
#include "Dialogs.h"
#include "RSComm.h"
#include "SerialPort.h"
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <vector>

namespace {

class QuietDialogs final : public Dialogs {
public:
    Button messageBox(Icon, Buttons b, const QString &, const QString &) override
    {
        return b == Buttons::OK ? Button::OK : Button::Cancel;
    }
    std::optional<QString> openFile(const FileRequest &) override { return std::nullopt; }
    std::optional<QString> saveFile(const FileRequest &) override { return std::nullopt; }
    std::optional<QString> inputBox(const QString &, const QString &, const QString &) override { return std::nullopt; }
};

// Handshake, echoed reads and writes; records every byte address written.
class ModelBoard final : public SerialPort {
public:
    explicit ModelBoard(VirtualClock &c) : clock_(c) {}
    std::vector<int> written;
    void setPortNumber(int) override {}
    int portNumber() const override { return 1; }
    bool setSettings(const QString &) override { return true; }
    QString settings() const override { return {}; }
    bool open() override { return open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    int bytesWaiting() override { return int(in_.size()); }
    void flushInput() override { in_.clear(); }
    int readByte() override
    {
        if (in_.empty())
            return -1;
        const int b = in_.front();
        in_.pop_front();
        return b;
    }
    bool waitForInput(std::int64_t d) override
    {
        if (!in_.empty())
            return true;
        clock_.advanceToNs(d);
        return false;
    }
    QString deviceName() const override { return {}; }
    int errorNumber() const override { return 0; }
    QString errorString() const override { return {}; }
    bool write(const QByteArray &bytes) override
    {
        for (char ch : bytes)
            take(static_cast<unsigned char>(ch));
        return true;
    }

private:
    void take(int b)
    {
        if (state_ == 0 || (step_ == 0 && b == 0xFF && state_ != 1)) {
            if (b == 0xFF) {
                in_.push_back(0x55);
                state_ = 1;
                step_ = 0;
            }
            return;
        }
        if (state_ == 1) {
            in_.push_back(0x55);
            state_ = b == 1 ? 2 : b == 2 ? 3 : 0;
            return;
        }
        if (step_ == 0) {
            hi_ = b;
            in_.push_back(b);
            step_ = 1;
        } else if (step_ == 1) {
            lo_ = b;
            if (state_ == 2) {
                in_.push_back(mem_[hi_ * 256 + lo_]);
                step_ = 0;
            } else {
                in_.push_back(b);
                step_ = 2;
            }
        } else {
            mem_[hi_ * 256 + lo_] = std::uint8_t(b);
            written.push_back(hi_ * 256 + lo_);
            in_.push_back(b);
            step_ = 0;
        }
    }
    VirtualClock &clock_;
    std::deque<int> in_;
    std::uint8_t mem_[65536] = {};
    int state_ = 0, step_ = 0, hi_ = 0, lo_ = 0;
    bool open_ = false;
};

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString all = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString address = all.section(QLatin1Char('\n'), 0, 0);
    const QString value = all.section(QLatin1Char('\n'), 1);

    const BoardAddress a = ParseAddress(address);
    VirtualClock clock;
    ModelBoard board(clock);
    QuietDialogs dialogs;
    RSComm link(dialogs, clock);
    static QTemporaryDir appDir;   // one settings file for the whole run
    AppFolder::set(appDir.path());
    link.OpenRSComm(&board);
    if (!link.OnlineMode)
        std::abort();

    link.RSRead(address);
    link.RSWrite(address, value);
    if (!a.sendable() && !board.written.empty())
        std::abort();   // a refused address reached the board
    const int width = a.type == QLatin1String("D") ? 4 : a.type == QLatin1String("W") ? 2 : 1;
    // An address high byte of 0xFF reads as a new handshake to the board, so
    // what lands there is the board's business, not the address grammar's.
    if (a.byteAdd + width - 1 >= 0xFF00)
        return 0;
    for (int w : board.written)
        if (w < a.byteAdd || w >= a.byteAdd + width)
            std::abort();   // a byte outside the address was written
    return 0;
}
