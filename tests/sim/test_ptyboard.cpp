// The board on a real pseudo-terminal, opened as the program opens a port.
#include "boardsim/Board.h"
#include "boardsim/Engine.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace boardsim;
using Bytes = std::vector<std::uint8_t>;

namespace {

class Port {
public:
    explicit Port(const std::string &path)
    {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0)
            return;
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        cfsetspeed(&tio, B19200);
        tcsetattr(fd, TCSANOW, &tio);
        tcflush(fd, TCIFLUSH);
    }
    ~Port()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool ok() const { return fd >= 0; }
    void send(const Bytes &b) { ASSERT_EQ(::write(fd, b.data(), b.size()), static_cast<ssize_t>(b.size())); }
    // Up to n bytes; stops early only when nothing comes for a long while
    // (a guard against hanging, not a timing check) or the line is gone.
    Bytes receive(std::size_t n)
    {
        Bytes got;
        while (got.size() < n) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                break;
            std::uint8_t buf[64];
            const ssize_t r = ::read(fd, buf, std::min(sizeof buf, n - got.size()));
            if (r <= 0) {
                hungUp = true;
                break;
            }
            got.insert(got.end(), buf, buf + r);
        }
        return got;
    }
    Bytes exchange(const Bytes &b)
    {
        send(b);
        return receive(b.size());
    }
    bool hungUp = false;
    int fd = -1;
};

std::string tempDir()
{
    char tmpl[] = "/tmp/boardsim-test-XXXXXX";
    const char *d = mkdtemp(tmpl);
    return d ? d : "";
}

TEST(PtyBoard, ReadsAndWritesThroughALinkedTerminal)
{
    Options o;
    o.lineRunning = false;
    PtyBoard board(o);
    std::string err;
    ASSERT_TRUE(board.start(&err)) << err;
    EXPECT_EQ(board.slavePath().rfind("/dev/pts/", 0), 0u);

    const std::string dir = tempDir();
    const std::string link = dir + "/Support/ports/COM1";
    ASSERT_TRUE(board.linkTo(link, &err)) << err;
    ASSERT_TRUE(board.linkTo(link, &err)) << err;   // replacing our own link is fine

    Port port(link);
    ASSERT_TRUE(port.ok());
    EXPECT_EQ(port.exchange({0xFF}), Bytes{0x55});
    EXPECT_EQ(port.exchange({0x01}), Bytes{0x55});
    EXPECT_EQ(port.exchange({0x03}), Bytes{0x03});
    EXPECT_EQ(port.exchange({0xF6}), Bytes{215});

    EXPECT_EQ(port.exchange({0xFF}), Bytes{0x55});
    EXPECT_EQ(port.exchange({0x02}), Bytes{0x55});
    EXPECT_EQ(port.exchange({0x00}), Bytes{0x00});
    EXPECT_EQ(port.exchange({100}), Bytes{100});
    EXPECT_EQ(port.exchange({7}), Bytes{7});
    EXPECT_EQ(board.peek(100), 7);

    board.pokeWord(188, 4660);
    EXPECT_TRUE(board.set("F54=1"));
    EXPECT_FALSE(board.set("F54=2"));
    EXPECT_TRUE(board.flag(54));
    EXPECT_EQ(port.exchange({0xFF, 0x01, 0x00, 188, 0x00, 189}), (Bytes{0x55, 0x55, 0x00, 0x34, 0x00, 0x12}));

    const auto st = board.stats();
    EXPECT_EQ(st.bytesIn, 15u);
    EXPECT_EQ(st.bytesOut, 15u);
    EXPECT_EQ(st.writes, 1u);
    EXPECT_NE(board.summary().find("15 bytes in"), std::string::npos);

    board.stop();
    struct stat sb{};
    EXPECT_NE(lstat(link.c_str(), &sb), 0);   // the link goes with the board
}

TEST(PtyBoard, LineTimingKeepsAnswersInOrderForABurst)
{
    Options o;
    o.lineRunning = false;
    o.realtimeLine = true;
    o.baud = 19200;
    PtyBoard board(o);
    ASSERT_TRUE(board.start());
    Port port(board.slavePath());
    ASSERT_TRUE(port.ok());
    board.poke(8181, 86);
    // a record goes out in one burst; one checksum answer comes back
    port.send({0xFF, 0x03, 0x03, 0x00, 0x30, 0x02, 0x33, 0x7A, 0xFF});
    EXPECT_EQ(port.receive(4), (Bytes{0x55, 0x55, 0xE2, 0x55}));
}

TEST(PtyBoard, PulledCableHangsUpTheTerminal)
{
    Options o;
    o.lineRunning = false;
    o.faults = {"pull-after=2"};
    PtyBoard board(o);
    ASSERT_TRUE(board.start());
    Port port(board.slavePath());
    ASSERT_TRUE(port.ok());
    EXPECT_EQ(port.exchange({0xFF}), Bytes{0x55});
    EXPECT_EQ(port.exchange({0x01}), Bytes{0x55});
    port.send({0x03});
    EXPECT_TRUE(port.receive(1).empty());
    EXPECT_TRUE(port.hungUp);
    // the memory stays reachable for the test
    EXPECT_EQ(board.peekWord(1014), 215);
}

TEST(PtyBoard, MalformedFaultIsReportedByStart)
{
    Options o;
    o.faults = {"silence", "pull-after=ten"};
    PtyBoard board(o);
    std::string err;
    EXPECT_FALSE(board.start(&err));
    EXPECT_NE(err.find("pull-after=ten"), std::string::npos);
    EXPECT_TRUE(board.slavePath().empty());
}

TEST(PtyBoard, LinkRefusesToReplaceARealFile)
{
    PtyBoard board;
    std::string err;
    EXPECT_FALSE(board.linkTo("/tmp/x", &err));   // not started
    ASSERT_TRUE(board.start());
    const std::string file = tempDir() + "/COM2";
    const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_FALSE(board.linkTo(file, &err));
    EXPECT_NE(err.find("not a symbolic link"), std::string::npos);
    EXPECT_FALSE(board.addFault("loud", &err));
    EXPECT_TRUE(board.addFault("slow=1", &err));
}

} // namespace
