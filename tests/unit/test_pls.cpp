// The PLS operations byte by byte against a scripted board.
#include "LinkFixture.h"
#include "boardsim/Engine.h"

using Button = Dialogs::Button;

namespace {
constexpr int kAck = 0x55;
const QString kReadyBoxText = QStringLiteral("Cannot Determine PLS READY Mode Within Target Board.");

// A query of mode 4: the command, then two 0x55 answered low and high byte.
void wordOnce(ScriptedSerialPort &p, int command, int value)
{
    p.mode(command).exchange(kAck, value % 256).exchange(kAck, value / 256);
}
// A kept word: read twice, and the two reads agree.
void word(ScriptedSerialPort &p, int command, int value)
{
    wordOnce(p, command, value);
    wordOnce(p, command, value);
}
void ready(ScriptedSerialPort &p) { p.exchange(0x38, kAck).exchange(kAck, 0x00).exchange(kAck, kAck); }
void acked(ScriptedSerialPort &p, std::initializer_list<int> bytes)
{
    for (int b : bytes)
        p.exchange(b, kAck);
}
}   // namespace

class PlsLink : public LinkFixture {
protected:
    void SetUp() override { goOnline(); }
    // The bytes sent from `from` on must be exactly these.
    void sentExactly(size_t from, std::vector<int> bytes) { EXPECT_EQ(sentSince(from), bytes); }
};

TEST_F(PlsLink, QueriesGiveTheWordOrMinus9999)
{
    struct Case {
        QString (RSComm::*query)();
        int command;
    };
    const Case cases[] = {
        {&RSComm::PLSScaleFactor, 24}, {&RSComm::PLSOffset, 40}, {&RSComm::PLSPos, 72}, {&RSComm::PLSRpm, 88}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.command);
        const size_t from = port.sent().size();
        word(port, c.command, 0x0168);
        EXPECT_EQ((link.*c.query)().toStdString(), "360");
        EXPECT_TRUE(link.lastAccessOk());
        sentExactly(from, {0xFF, c.command, kAck, kAck, 0xFF, c.command, kAck, kAck});
        EXPECT_EQ(link.currentMode(), 0);
    }
    // Reads that differ are repeated until two in a row agree, four at most.
    for (int v : {360, 6911, 6911})
        wordOnce(port, 24, v);
    EXPECT_EQ(link.PLSScaleFactor().toStdString(), "6911");
    for (int v : {360, 6911, 360, 6911})
        wordOnce(port, 24, v);
    EXPECT_EQ(link.PLSScaleFactor().toStdString(), "-9999");
    EXPECT_FALSE(link.lastAccessOk());
    EXPECT_EQ(link.plsReadProblem().toStdString(), "four reads did not agree: 360, 6911, 360, 6911");

    // The high byte never comes: no 0xFF is re-sent inside the query (it would
    // be answered 0x55 and taken for the byte), and no box.
    port.mode(24).exchange(kAck, 0x68).silent(kAck);
    EXPECT_EQ(link.PLSScaleFactor().toStdString(), "-9999");
    EXPECT_FALSE(link.lastAccessOk());
    EXPECT_FALSE(link.CommError);
}

TEST_F(PlsLink, ReadyPollWaitsWhileBusy)
{
    port.mode(27);
    acked(port, {5, 0, 0, 0, 0, 0});
    port.exchange(0x38, kAck).exchange(kAck, kAck);   // busy
    port.exchange(0x38, 0x15);                        // not understood: poll again
    port.exchange(0x38, kAck).exchange(kAck, 0x42);   // neither: poll again
    ready(port);
    EXPECT_TRUE(link.ClearPLSChan(5));
    EXPECT_TRUE(link.lastAccessOk());
}

TEST_F(PlsLink, ReadyPollNeverReadyAsksAtThreeSecondsThenTwoAfterRetry)
{
    // A board that answers 0x55 to everything takes the channel bytes and then
    // answers busy for ever. The poll rests in the port between polls, so the
    // virtual clock moves and the box comes.
    port.setPeer([](int) { return std::optional<int>(kAck); });
    std::vector<std::int64_t> boxesAt;
    dialogs.onBox = [&](const ScriptedDialogs::Box &) { boxesAt.push_back(clock.monotonicNs()); };
    dialogs.expectBox(kCommBoxTitle, Button::Retry, kReadyBoxText)
        .expectBox(kCommBoxTitle, Button::Cancel, kReadyBoxText);
    const size_t from = port.sent().size();
    EXPECT_FALSE(link.ClearPLSChan(1));
    EXPECT_TRUE(link.CommError);
    ASSERT_EQ(boxesAt.size(), 2u);
    EXPECT_EQ(dialogs.boxes()[0].icon, Dialogs::Icon::Critical);
    EXPECT_EQ(dialogs.boxes()[0].buttons, Dialogs::Buttons::RetryCancel);

    const std::vector<int> sent = sentSince(from);
    EXPECT_EQ(std::vector<int>(sent.begin(), sent.begin() + 8), (std::vector<int>{0xFF, 27, 1, 0, 0, 0, 0, 0}));
    const std::int64_t pollStart = port.sentAt()[from + 8];
    EXPECT_NEAR(double(boxesAt[0] - pollStart) / 1e9, 3.0, 0.02);
    EXPECT_NEAR(double(boxesAt[1] - boxesAt[0]) / 1e9, 2.0, 0.02);
    // Polls are 0x38, 0x55 pairs, paced rather than spun: a few hundred in five seconds.
    const size_t pollBytes = sent.size() - 8;
    ASSERT_EQ(pollBytes % 2, 0u);
    for (size_t i = 8; i < sent.size(); i += 2)
        ASSERT_EQ((std::pair{sent[i], sent[i + 1]}), (std::pair{0x38, kAck})) << i;
    EXPECT_GT(pollBytes / 2, 100u);
    EXPECT_LT(pollBytes / 2, 1000u);
    // The link is down now: nothing more is sent.
    const size_t n = port.sent().size();
    EXPECT_EQ(link.PLSPos().toStdString(), "-9999");
    EXPECT_EQ(port.sent().size(), n);
}

TEST_F(PlsLink, SingleSetpointProgramsTheChannelAfterCheckingTheScale)
{
    word(port, 24, 360);
    port.mode(27);
    acked(port, {1, 100, 0, 0x67, 0x01, 1});
    ready(port);
    EXPECT_TRUE(link.SingleSetpoint(1, 100, 359));

    // With ClearChan the channel is cleared first, each change with its poll.
    word(port, 24, 360);
    port.mode(27);
    acked(port, {2, 0, 0, 0, 0, 0});
    ready(port);
    port.mode(27);
    acked(port, {2, 0, 0, 10, 0, 1});
    ready(port);
    EXPECT_TRUE(link.SingleSetpoint(2, 0, 10, true));

    // A setpoint past the scale: the box names it and nothing more is sent.
    for (const auto &[on, off, named] : {std::tuple{100, 360, 360}, std::tuple{400, 360, 400}}) {
        word(port, 24, 360);
        dialogs.expectBox(QStringLiteral("PLS Single Setpoint"), Button::OK,
                          QStringLiteral("Setpoint setting %1 is greater than scale factor.\r\n\r\n"
                                         "Channel can not be programmed.")
                              .arg(named));
        const size_t n = port.sent().size() + 8;
        EXPECT_FALSE(link.SingleSetpoint(1, on, off));
        EXPECT_EQ(port.sent().size(), n);
        EXPECT_FALSE(link.lastAccessRefused());
    }
}

TEST_F(PlsLink, PulseTrainChecksTheDivisionsInOrder)
{
    struct Case {
        int on, off, start;
        const char *refusal;   // nullptr: programmed
    };
    const Case cases[] = {
        {10, 20, 5, nullptr},
        {250, 110, 0, nullptr},
        {255, 105, 359, nullptr},
        {10, 25, 0, "ON Division Plus OFF Division\r\nMust be a Multiple of 360."},
        {0, 20, 0, "ON Division and OFF Division Must be Greater Than 0."},
        {300, 60, 0, "ON Division or OFF Division Must be Less Than 255."},
        {10, 350, 0, "ON Division or OFF Division Must be Less Than 255."},
        {10, 20, 360, "Start Position Must Not Be Greater Than 359."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.on << " " << c.off << " " << c.start);
        word(port, 24, 360);
        if (c.refusal) {
            dialogs.expectBox(QStringLiteral("PLS Pulse Train"), Button::OK,
                              QString::fromLatin1(c.refusal)
                                  + QStringLiteral("\r\n\r\nPLS Channel will not be Programmed."));
        } else {
            port.mode(43);
            acked(port, {3, c.start % 256, c.start / 256, c.on, c.off, 0});
            ready(port);
        }
        EXPECT_EQ(link.PulseTrain(3, c.on, c.off, c.start), c.refusal == nullptr);
        EXPECT_EQ(port.pendingSteps(), 0);
    }
    // A failure while programming has its own box.
    word(port, 24, 360);
    port.mode(43).exchange(3, 0x15);
    dialogs.expectBox(QStringLiteral("PLS Pulse Train"), Button::OK,
                      QStringLiteral("Error Encountered while Programming Pulse Train.\r\n\r\n"
                                     "PLS Channel will not be Programmed."));
    EXPECT_FALSE(link.PulseTrain(3, 10, 20, 0));
    EXPECT_EQ(dialogs.boxes().back().icon, Dialogs::Icon::Information);
}

TEST_F(PlsLink, SetPLSOffsetMakesTheCurrentPositionReadAsAsked)
{
    word(port, 40, 350);
    word(port, 72, 20);
    word(port, 24, 360);
    port.mode(42);
    acked(port, {10, 0});
    ready(port);
    EXPECT_TRUE(link.SetPLSOffset(0));
    // At 10 divisions, 100 is asked for: the offset goes to 270.
    word(port, 40, 350);
    word(port, 72, 20);
    word(port, 24, 360);
    port.mode(42);
    acked(port, {14, 1});
    ready(port);
    EXPECT_TRUE(link.SetPLSOffset(100));

    word(port, 40, 0);
    word(port, 72, 0);
    word(port, 24, 360);
    dialogs.expectBox(QStringLiteral("Set PLS Offset"), Button::OK,
                      QStringLiteral("Desired Position cannot be greater than Scale Factor of 360.\r\n\r\n"
                                     "PLS Offset will not be Programmed."));
    EXPECT_FALSE(link.SetPLSOffset(361));

    // A scale of 0 cannot be worked with (it used to divide by zero).
    word(port, 40, 0);
    word(port, 72, 0);
    word(port, 24, 0);
    dialogs.expectBox(QStringLiteral("Set PLS Offset"), Button::OK);
    EXPECT_FALSE(link.SetPLSOffset(0));
}

TEST_F(PlsLink, RecallChannel)
{
    auto recall = [&](int state, int low, int high, int times = 2) {
        for (int i = 0; i < times; ++i)
            port.mode(9).exchange(4, kAck).exchange(kAck, state).exchange(kAck, low).exchange(kAck, high);
    };
    recall(1, 0x10, 0x01);
    EXPECT_TRUE(link.RecallChannel(4));
    EXPECT_EQ(link.ChannelRecallPos(), 272);
    EXPECT_EQ(link.ChannelRecallState(), 1);
    EXPECT_EQ(link.currentMode(), 0);

    recall(1, 0x10, 17);
    EXPECT_FALSE(link.RecallChannel(4));
    EXPECT_EQ(link.ChannelRecallState(), 2);
    EXPECT_EQ(link.ChannelRecallPos(), 0);

    // Two recalls that differ: a third that agrees with the second is taken.
    recall(1, 0x10, 0x01, 1);
    recall(0, 0x10, 0x01);
    EXPECT_TRUE(link.RecallChannel(4));
    EXPECT_EQ(link.ChannelRecallState(), 0);

    // The channel is not acknowledged: no figures of the earlier recall remain.
    port.mode(9).exchange(40, 0x15);
    EXPECT_FALSE(link.RecallChannel(40));
    EXPECT_EQ(link.ChannelRecallState(), 0);
    EXPECT_EQ(link.ChannelRecallPos(), 0);
}

TEST_F(PlsLink, ConfigurationDownloadAndUpload)
{
    std::array<int, 24> cfg{};
    for (int i = 0; i < 24; ++i)
        cfg[size_t(i)] = 200 + i;
    const int blocks[4] = {59, 75, 91, 107};
    for (int g = 0; g < 4; ++g) {
        port.mode(blocks[g]);
        for (int i = 0; i < 6; ++i)
            port.exchange(cfg[size_t(6 * g + i)], kAck);
        ready(port);
    }
    port.mode(26);
    acked(port, {0x68, 0x01});
    ready(port);
    EXPECT_TRUE(link.PLSConfigDownload(cfg, 360));

    // A block the board does not take ends the download at once. The board
    // may still hold two values of it: the line rests until it has dropped
    // them, then one 0xFF (never enough to complete a block) and another rest
    // see to a block that holds none yet.
    port.mode(59);
    acked(port, {200, 201});
    port.exchange(202, 0x15);
    port.exchange(0xFF, kAck);
    EXPECT_FALSE(link.PLSConfigDownload(cfg, 360));
    const size_t from = port.sent().size() - 1;
    EXPECT_EQ(link.plsChangeNote().toStdString(), "PLS not changed");
    EXPECT_GE(port.sentAt()[from] - port.sentAt()[from - 1], 2'500'000'000);
    EXPECT_GE(clock.monotonicNs() - port.sentAt()[from], 500'000'000);

    for (int read = 0; read < 2; ++read) {
        port.mode(12);
        for (int i = 0; i < 19; ++i)
            port.exchange(kAck, 100 + i);
    }
    auto up = link.PLSConfigUpload();
    EXPECT_TRUE(link.lastAccessOk());
    for (int i = 0; i < 19; ++i)
        EXPECT_EQ(up[size_t(i)], 100 + i);

    // A failed upload says so and keeps the last good configuration.
    port.mode(12).exchange(kAck, 7).silent(kAck);
    dialogs.expectBox(QStringLiteral("PLS Upload"), Button::OK,
                      QStringLiteral("Not able to Upload Configuration from PLS."));
    up = link.PLSConfigUpload();
    EXPECT_FALSE(link.lastAccessOk());
    EXPECT_EQ(up[0], 100);
}

TEST_F(PlsLink, ValuesThatDoNotFitTheirBytesAreRefusedBeforeSending)
{
    struct Case {
        const char *what;
        std::function<bool(RSComm &)> op;
        const char *title;
        const char *text;
    };
    std::array<int, 24> cfg{};
    cfg[7] = 256;
    std::array<int, 24> fine{};
    const Case cases[] = {
        {"setpoint channel", [](RSComm &l) { return l.SingleSetpoint(256, 1, 2); }, "PLS Single Setpoint",
         "Channel 256 cannot be sent to the PLS: it must be from 0 to 255.\r\n\r\nChannel can not be programmed."},
        {"setpoint above a word", [](RSComm &l) { return l.SingleSetpoint(1, 1, 65536); }, "PLS Single Setpoint",
         "OFF Setpoint 65536 cannot be sent to the PLS: it must be from 0 to 65535.\r\n\r\n"
         "Channel can not be programmed."},
        {"negative setpoint", [](RSComm &l) { return l.SingleSetpoint(1, -1, 2); }, "PLS Single Setpoint",
         "ON Setpoint -1 cannot be sent to the PLS: it must not be negative.\r\n\r\nChannel can not be programmed."},
        {"negative division", [](RSComm &l) { return l.PulseTrain(1, -5, 5, 0); }, "PLS Pulse Train",
         "ON Division -5 cannot be sent to the PLS: it must not be negative.\r\n\r\n"
         "PLS Channel will not be Programmed."},
        {"negative position", [](RSComm &l) { return l.SetPLSOffset(-3); }, "Set PLS Offset",
         "Desired Position -3 cannot be sent to the PLS: it must not be negative.\r\n\r\n"
         "PLS Offset will not be Programmed."},
        {"configuration byte", [&cfg](RSComm &l) { return l.PLSConfigDownload(cfg, 360); }, "PLS Download",
         "Configuration parameter 7 value 256 cannot be sent to the PLS: it must be from 0 to 255.\r\n\r\n"
         "PLS Configuration will not be Downloaded."},
        {"scale factor", [&fine](RSComm &l) { return l.PLSConfigDownload(fine, 65536); }, "PLS Download",
         "Scale factor 65536 cannot be sent to the PLS: it must be from 1 to 65535.\r\n\r\n"
         "PLS Configuration will not be Downloaded."},
        {"scale factor 0", [&fine](RSComm &l) { return l.PLSConfigDownload(fine, 0); }, "PLS Download",
         "Scale factor 0 cannot be sent to the PLS: it must be from 1 to 65535.\r\n\r\n"
         "PLS Configuration will not be Downloaded."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        dialogs.expectBox(QString::fromLatin1(c.title), Button::OK, QString::fromLatin1(c.text));
        const size_t n = port.sent().size();
        EXPECT_FALSE(c.op(link));
        EXPECT_TRUE(link.lastAccessRefused());
        EXPECT_EQ(port.sent().size(), n);
        EXPECT_EQ(dialogs.boxes().back().icon, Dialogs::Icon::Exclamation);
    }
}

// The link against the simulated board itself, on the virtual clock (the
// board sees time pass only while the link waits). Each run opens the link,
// runs one operation and closes it, as one orvelctl command does.
class PlsOnBoard : public LinkFixture {
protected:
    static boardsim::Options still()
    {
        boardsim::Options o;
        o.lineRunning = false;
        return o;
    }
    void SetUp() override
    {
        port.setBoard([this](int b) {
            board->advanceTo(std::uint64_t(clock.monotonicNs()));
            const auto out = board->feed(std::uint8_t(b));
            return std::vector<int>(out.begin(), out.end());
        });
    }
    bool run(const std::function<bool()> &op)
    {
        link.OpenRSComm(&port);
        EXPECT_TRUE(link.OnlineMode);
        const bool ok = op();
        link.CloseRSComm();
        return ok;
    }
    std::unique_ptr<boardsim::Engine> board = std::make_unique<boardsim::Engine>(still());
};

// A wrong or missing answer inside a PLS exchange: the board may be part-way
// into a block that takes every byte as a value. Nothing the link sends
// afterwards (the handshake it repeats, the 0xFF it signs off with, the next
// command) may complete that block.
TEST_F(PlsOnBoard, AFailedChangeLeavesNoValueBehind)
{
    std::array<int, 24> cfg{};
    std::array<std::uint8_t, 24> fileCfg{};
    for (int i = 0; i < 24; ++i)
        cfg[size_t(i)] = fileCfg[size_t(i)] = std::uint8_t(i == 1 ? 255 : 11 + i);   // 0xFF is a value here
    auto blocksFromFile = [&](int n) {
        std::array<std::uint8_t, 24> c{};
        std::copy_n(fileCfg.begin(), 6 * n, c.begin());
        return c;
    };
    struct Case {
        const char *fault;
        bool setpoint;   // pls setpoint 3 100 359 --clear, else the configuration download (scale 720)
        bool ok;
        int configBlocks;   // blocks holding the file's values
        int scale;
        int channel3;       // 0 as it was, 1 cleared, 2 programmed with 100, 359
        const char *note;
    };
    const Case cases[] = {
        // the answer to the handshake before the scale factor is lost (was: scale 6911)
        {"lose=54", false, true, 4, 720, 0, ""},
        // ... before block 0 (was: block 0 held 255 59 11 12 13 14)
        {"lose=2", false, true, 4, 720, 0, ""},
        // the answer to the scale factor command is spoilt, or never comes
        {"garble=55", false, true, 4, 720, 0, ""},
        {"lose=55", false, false, 4, 360, 0, "PLS changed: configuration blocks 0, 1, 2, 3"},
        // a value of block 2 is not acknowledged (was: the sign-off 0xFF and the
        // next command's bytes finished the block)
        {"garble=31", false, false, 2, 360, 0, "PLS changed: configuration blocks 0, 1"},
        // the clear's last setpoint byte is not acknowledged (was: the sign-off
        // 0xFF became the channel's state, 255)
        {"garble=16", true, false, 0, 360, 0, "PLS not changed"},
        {"garble=28", true, false, 0, 360, 1, "PLS changed: channel 3 cleared"},
        // ... the last byte of the setpoints: the board took them, the link cannot know
        {"garble=30", true, false, 0, 360, 2,
         "PLS changed: channel 3 cleared; PLS perhaps changed: channel 3 programmed"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault);
        board = std::make_unique<boardsim::Engine>(still());
        board->advanceTo(std::uint64_t(clock.monotonicNs()));
        ASSERT_TRUE(board->addFault(c.fault));
        const bool ok = run([&] {
            return c.setpoint ? link.SingleSetpoint(3, 100, 359, true) : link.PLSConfigDownload(cfg, 720);
        });
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(link.plsChangeNote().toStdString(), c.note);
        EXPECT_EQ(board->plsConfig(), blocksFromFile(c.configBlocks));
        EXPECT_EQ(board->plsScale(), c.scale);
        EXPECT_EQ(board->plsOffset(), 0);
        for (int ch = 0; ch < 32; ++ch) {
            const boardsim::PlsChannel p = board->plsChannel(ch);
            const int state = ch == 3 ? c.channel3 : 0;
            EXPECT_EQ(p.kind, state ? 27 : 0) << ch;
            EXPECT_EQ((std::tuple{p.first, p.second, p.last}),
                      state == 2 ? std::tuple(100, 359, 1) : std::tuple(0, 0, 0))
                << ch;
        }
        // The next command, at once, reads what the board holds.
        board->clearFaults();
        std::array<int, 19> up{};
        EXPECT_TRUE(run([&] {
            up = link.PLSConfigUpload();
            return link.lastAccessOk();
        }));
        for (int i = 0; i < 19; ++i)
            EXPECT_EQ(up[size_t(i)], board->plsConfig()[size_t(i)]) << i;
        EXPECT_TRUE(run([&] { return link.RecallChannel(3); }));
        EXPECT_EQ(link.ChannelRecallState(), c.channel3 == 2 ? 1 : 0);
    }
}
