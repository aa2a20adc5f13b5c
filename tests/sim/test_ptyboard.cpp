// The board on a real pseudo-terminal, opened as the program opens a port,
// and the USB adapter's latency timer in front of it on a virtual clock.
#include "boardsim/AdapterLatency.h"
#include "boardsim/Board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace boardsim;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Port {
    explicit Port(const std::string &path) : fd(::open(path.c_str(), O_RDWR | O_NOCTTY))
    {
        termios tio{};
        if (fd < 0 || tcgetattr(fd, &tio) != 0)
            return;
        cfmakeraw(&tio);
        cfsetspeed(&tio, B19200);
        tcsetattr(fd, TCSANOW, &tio);
    }
    ~Port()
    {
        if (fd >= 0)
            ::close(fd);
    }
    void send(const Bytes &b) { ASSERT_EQ(::write(fd, b.data(), b.size()), static_cast<ssize_t>(b.size())); }
    // Up to n bytes; stops early only when nothing comes for a long while
    // (a guard against hanging, not a timing check) or the line is gone.
    Bytes receive(std::size_t n)
    {
        Bytes got;
        pollfd p{fd, POLLIN, 0};
        std::uint8_t buf[64];
        while (got.size() < n && ::poll(&p, 1, 5000) > 0) {
            const ssize_t r = ::read(fd, buf, std::min(sizeof buf, n - got.size()));
            if ((hungUp = r <= 0))
                break;
            got.insert(got.end(), buf, buf + r);
        }
        return got;
    }
    Bytes exchange(const Bytes &b)
    {
        send(b);
        return receive(b.size());
    }
    int fd;
    bool hungUp = false;
};

std::string tempDir()
{
    char tmpl[] = "/tmp/boardsim-test-XXXXXX";
    return mkdtemp(tmpl) ? tmpl : "";
}

Options still(std::vector<std::string> faults = {})
{
    Options o;
    o.lineRunning = false;
    o.faults = std::move(faults);
    return o;
}

TEST(PtyBoard, ReadsAndWritesThroughALinkedTerminal)
{
    PtyBoard board(still());
    std::string err;
    ASSERT_TRUE(board.start(&err)) << err;
    const std::string link = tempDir() + "/Support/ports/COM1";
    ASSERT_TRUE(board.linkTo(link, &err)) << err;
    ASSERT_TRUE(board.linkTo(link, &err)) << err;   // replacing our own link is fine

    Port port(link);
    ASSERT_GE(port.fd, 0);
    // one byte at a time, as the program waits for each answer
    const Bytes sent{0xFF, 0x01, 0x03, 0xF6, 0xFF, 0x02, 0x00, 100, 7};
    const Bytes answers{0x55, 0x55, 0x03, 215, 0x55, 0x55, 0x00, 100, 7};
    for (std::size_t i = 0; i < sent.size(); ++i)
        EXPECT_EQ(port.exchange({sent[i]}), Bytes{answers[i]}) << i;
    EXPECT_EQ(board.peek(100), 7);
    ASSERT_TRUE(board.set("W188=4660"));
    EXPECT_EQ(port.exchange({0xFF, 0x01, 0x00, 188, 0x00, 189}), (Bytes{0x55, 0x55, 0x00, 0x34, 0x00, 0x12}));
    EXPECT_EQ(board.stats().bytesIn, 15u);
    EXPECT_EQ(board.stats().bytesOut, 15u);
    EXPECT_EQ(board.stats().writes, 1u);
    EXPECT_NE(board.summary().find("15 bytes in"), std::string::npos);

    board.stop();
    struct stat sb {};
    EXPECT_NE(lstat(link.c_str(), &sb), 0);   // the link goes with the board
}

TEST(PtyBoard, LineTimingKeepsAnswersInOrderForABurst)
{
    Options o = still();
    o.realtimeLine = true;   // 19200 baud
    PtyBoard board(o);
    ASSERT_TRUE(board.start());
    Port port(board.slavePath());
    ASSERT_GE(port.fd, 0);
    board.poke(8181, 86);
    // a record goes out in one burst; one checksum answer comes back
    port.send({0xFF, 0x03, 0x03, 0x00, 0x30, 0x02, 0x33, 0x7A, 0xFF});
    EXPECT_EQ(port.receive(4), (Bytes{0x55, 0x55, 0xE2, 0x55}));
}

TEST(AdapterLatency, AnswersWaitForTheTimerFromTheRequestsFirstByte)
{
    // Microseconds on a virtual clock; byte-times of 520 us (19200 baud).
    struct Step {
        std::uint64_t at;
        bool answer;               // false: a byte from the PC
        std::uint64_t release;   // for an answer: when the PC gets it
    };
    const Step steps[] = {
        {100000, false, 0}, {101040, true, 116000},   // one period after the request
        {116000, false, 0}, {117040, true, 132000},   // sent as the answer came: a new request
        {140000, false, 0}, {140520, false, 0},       // a record: answered after its last byte,
        {150480, false, 0}, {151000, true, 156000},   // timed from its first
        {160000, false, 0}, {180000, true, 192000},   // a slow answer: the next multiple
        {200000, false, 0}, {200520, true, 216000},   // a byte sent while the answer is held
        {205000, false, 0}, {205520, true, 216000},   // goes with it
        {216000, false, 0}, {216000, true, 232000},   // no line time: still a whole period
        {300000, false, 0},                           // unanswered: the timer ticks on from it
        {1300000, false, 0}, {1301040, true, 1308000},
    };
    boardsim::AdapterLatency adapter(16000);
    for (const Step &s : steps) {
        SCOPED_TRACE(s.at);
        if (s.answer)
            EXPECT_EQ(adapter.release(s.at), s.release);
        else
            adapter.requestByte(s.at);
    }
    boardsim::AdapterLatency fast(1000);
    fast.requestByte(0);
    EXPECT_EQ(fast.release(1040), 2000u);   // the line's 1.04 ms rounds up to 2 ms
    EXPECT_EQ(boardsim::AdapterLatency().release(1040), 1040u);   // no adapter
}

TEST(PtyBoard, RefusesMalformedInputAndRealFiles)
{
    PtyBoard bad(still({"silence", "pull-after=ten"}));
    std::string err;
    EXPECT_FALSE(bad.start(&err));
    EXPECT_NE(err.find("pull-after=ten"), std::string::npos);
    EXPECT_TRUE(bad.slavePath().empty());

    PtyBoard board(still());
    EXPECT_FALSE(board.linkTo("/tmp/x", &err));   // not started
    ASSERT_TRUE(board.start());
    const std::string file = tempDir() + "/COM2";
    ::close(::open(file.c_str(), O_CREAT | O_WRONLY, 0644));
    EXPECT_FALSE(board.linkTo(file, &err));
    EXPECT_NE(err.find("not a symbolic link"), std::string::npos);
    EXPECT_FALSE(board.set("F54=2"));
    EXPECT_FALSE(board.addFault("loud", &err));
}

}   // namespace

namespace {

// orvel-boardsim as a program: started, spoken to, stopped with a signal.
struct Program {
    pid_t pid = -1;
    std::string slave;
    explicit Program(std::vector<std::string> args)
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        args.insert(args.begin(), BOARDSIM_PATH);
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid = fork();
        if (pid == 0) {
            dup2(out[1], 1);
            ::close(out[0]);
            ::close(out[1]);
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, 2);
            execv(argv[0], argv.data());
            _exit(127);
        }
        ::close(out[1]);
        char c;
        pollfd p{out[0], POLLIN, 0};
        while (::poll(&p, 1, 5000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n')
            slave += c;
        ::close(out[0]);
    }
    int stop(int sig)
    {
        int status = -1;
        if (pid > 0 && ::kill(pid, sig) == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            return WEXITSTATUS(status);
        return -1;
    }
};

std::vector<std::uint8_t> readFile(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

TEST(BoardsimProgram, DumpsTheMemoryOnExit)
{
    const std::string dir = tempDir();
    struct Case {
        int sig;
        std::string dump;
        int status;
    };
    const Case cases[] = {
        {SIGTERM, dir + "/mem.bin", 0},
        {SIGINT, dir + "/again.bin", 0},
        {SIGTERM, dir + "/no/such/folder/mem.bin", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.dump);
        Program prog({"--still", "--set", "B999=77", "--dump", c.dump});
        ASSERT_FALSE(prog.slave.empty());
        {
            Port port(prog.slave);
            ASSERT_GE(port.fd, 0);
            // write 0x5A to B56575 (DCFFH): the last change must be in the file
            EXPECT_EQ(port.exchange({0xFF, 0x02, 0xDC, 0xFF, 0x5A}), (Bytes{0x55, 0x55, 0xDC, 0xFF, 0x5A}));
        }
        EXPECT_EQ(prog.stop(c.sig), c.status);
        const auto mem = readFile(c.dump);
        if (c.status != 0) {
            EXPECT_TRUE(mem.empty());
            continue;
        }
        ASSERT_EQ(mem.size(), 65536u);
        EXPECT_EQ(mem[999], 77);
        EXPECT_EQ(mem[56575], 0x5A);
        EXPECT_EQ(mem[1014], 215);
    }
    // no temporary file is left behind
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"again.bin", "mem.bin"}));
}

}   // namespace
