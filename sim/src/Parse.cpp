// Text grammars of the simulator: memory assignments and fault rules.
#include "boardsim/Engine.h"

#include <cctype>
#include <vector>

namespace boardsim {
namespace {

std::string trim(const std::string &s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Whole text must be decimal digits (or 0x + hex digits); no sign, no overflow.
bool parseNumber(const std::string &text, std::uint64_t *out)
{
    std::string t = trim(text);
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t = t.substr(2);
    }
    if (t.empty() || t.size() > 15)
        return false;
    std::uint64_t v = 0;
    for (char c : t) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
            digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        else
            return false;
        v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    *out = v;
    return true;
}

bool fail(std::string *error, const std::string &message)
{
    if (error)
        *error = message;
    return false;
}

}   // namespace

bool parseAssignment(const std::string &text, Assignment *out, std::string *error)
{
    const auto eq = text.find('=');
    if (eq == std::string::npos)
        return fail(error, "\"" + text + "\": expected ADDRESS=VALUE, e.g. W188=4660");
    std::string left = trim(text.substr(0, eq));
    const std::string right = trim(text.substr(eq + 1));
    if (left.empty())
        return fail(error, "\"" + text + "\": missing address before '='");

    Assignment a;
    std::uint64_t n = 0;
    const char last = static_cast<char>(std::toupper(static_cast<unsigned char>(left.back())));
    const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(left.front())));
    if (last == 'H' && left.size() >= 2 && left.size() <= 5) {
        // hexadecimal byte address, e.g. 1F40H
        std::uint64_t v = 0;
        for (std::size_t i = 0; i + 1 < left.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(left[i]);
            if (!std::isxdigit(c))
                return fail(error, "\"" + left + "\": not a hexadecimal address");
            v = v * 16 + static_cast<std::uint64_t>(std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
        }
        a.type = 'B';
        a.address = static_cast<std::uint32_t>(v);
    } else if (first == 'F') {
        const std::string num = left.substr(1);
        if (num.empty() || num.find_first_not_of("0123456789") != std::string::npos || !parseNumber(num, &n))
            return fail(error, "\"" + left + "\": a flag is F and a decimal number, e.g. F54");
        if (32 + n / 8 > 65535)
            return fail(error, "\"" + left + "\": flag number too large");
        a.type = 'B';
        a.address = static_cast<std::uint32_t>(32 + n / 8);
        a.bit = static_cast<int>(n % 8);
    } else if (first == 'B' || first == 'W' || first == 'D') {
        std::string num = left.substr(1);
        const auto dot = num.find('.');
        if (dot != std::string::npos) {
            const std::string bit = num.substr(dot + 1);
            num = num.substr(0, dot);
            if (bit.size() != 1 || bit[0] < '0' || bit[0] > '7')
                return fail(error, "\"" + left + "\": the bit after '.' must be 0 to 7");
            a.bit = bit[0] - '0';
            a.type = 'B';
        } else {
            a.type = first;
        }
        if (!parseNumber(num, &n) || num.empty() || num.find_first_not_of("0123456789") != std::string::npos)
            return fail(error, "\"" + left + "\": expected a decimal byte address after the letter");
        if (n > 65535)
            return fail(error, "\"" + left + "\": address above 65535");
        a.address = static_cast<std::uint32_t>(n);
    } else {
        return fail(error, "\"" + left + "\": address must start with B, W, D or F, or end with H");
    }
    const std::uint32_t size = a.bit >= 0 ? 1 : a.type == 'W' ? 2 : a.type == 'D' ? 4 : 1;
    if (a.address + size - 1 > 65535)
        return fail(error, "\"" + left + "\": runs past the end of memory");

    if (!parseNumber(right, &n))
        return fail(error, "\"" + text + "\": value must be a non-negative number");
    std::uint64_t max = 255;
    if (a.bit >= 0)
        max = 1;
    else if (a.type == 'W')
        max = 65535;
    else if (a.type == 'D')
        max = 655359999;
    if (n > max)
        return fail(error, "\"" + text + "\": value out of range (0-" + std::to_string(max) + ")");
    a.value = static_cast<std::uint32_t>(n);
    *out = a;
    return true;
}

namespace {
struct FaultName {
    const char *name;
    FaultSpec::Kind kind;
    int minArgs, maxArgs;
    const char *help;
};
const FaultName kFaults[] = {
    {"silence", FaultSpec::Silence, 0, 0, "silence              the board never answers"},
    {"silence-after", FaultSpec::Silence, 1, 1,
     "silence-after=N      answers the first N bytes received, then nothing"},
    {"lose", FaultSpec::Lose, 1, 2,
     "lose=N[,K]           the answers to received bytes N .. N+K-1 (from 1; K default 1) are lost"},
    {"bad-echo", FaultSpec::BadEcho, 1, 2,
     "bad-echo=ADDR[,K]    write mode: wrong echo of the data byte written to ADDR (first K times; default always); the byte is stored"},
    {"bad-hi-echo", FaultSpec::BadHighEcho, 1, 2,
     "bad-hi-echo=HI[,K]   read and write mode: wrong echo of the address high byte HI (0-254)"},
    {"bad-checksum", FaultSpec::BadChecksum, 1, 1,
     "bad-checksum=R       program records: wrong checksum answer to record R (from 1)"},
    {"noise", FaultSpec::Noise, 1, 1, "noise=N              a stray byte goes out before every N-th answer"},
    {"garble", FaultSpec::Garble, 1, 1, "garble=N             every N-th answer is replaced by another byte"},
    {"pull-after", FaultSpec::Pull, 1, 1,
     "pull-after=N         the cable is pulled (pty closed) after N bytes received"},
    {"slow", FaultSpec::Slow, 1, 1, "slow=MS              every answer leaves MS milliseconds late"},
    {"pls-busy", FaultSpec::PlsBusy, 1, 1,
     "pls-busy=N           the PLS ready poll answers busy N times after each change (default 1)"},
    {"board-fault", FaultSpec::BoardFault, 1, 2,
     "board-fault=CODE[,N] the board raises system fault CODE (1-255) after N bytes received (default at once)"},
    {"net-fault", FaultSpec::NetFault, 1, 2,
     "net-fault=CODE[,N]   the network reports error CODE (1-255) after N bytes received (default at once)"},
};
}   // namespace

std::string faultGrammar()
{
    std::string s;
    for (const auto &f : kFaults)
        s += std::string("  ") + f.help + "\n";
    return s;
}

bool parseFault(const std::string &text, FaultSpec *out, std::string *error)
{
    const std::string t = lower(trim(text));
    const auto eq = t.find('=');
    const std::string name = trim(t.substr(0, eq));
    std::vector<std::uint64_t> args;
    if (eq != std::string::npos) {
        std::string rest = t.substr(eq + 1);
        std::size_t pos = 0;
        while (true) {
            const auto comma = rest.find(',', pos);
            std::uint64_t v = 0;
            const std::string item = rest.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
            if (!parseNumber(item, &v))
                return fail(error, "fault \"" + text + "\": \"" + trim(item) + "\" is not a number");
            args.push_back(v);
            if (comma == std::string::npos)
                break;
            pos = comma + 1;
        }
    }
    for (const auto &f : kFaults) {
        if (name != f.name)
            continue;
        const int n = static_cast<int>(args.size());
        if (n < f.minArgs || n > f.maxArgs)
            return fail(error, "fault \"" + text + "\": usage: " + trim(std::string(f.help).substr(0, 21)));
        FaultSpec s;
        s.kind = f.kind;
        s.a = n > 0 ? args[0] : 0;
        s.b = n > 1 ? args[1] : 0;
        switch (s.kind) {
        case FaultSpec::BadEcho:
            if (s.a > 65535)
                return fail(error, "fault \"" + text + "\": address above 65535");
            break;
        case FaultSpec::BadHighEcho:
            if (s.a > 254)
                return fail(error, "fault \"" + text + "\": high byte must be 0 to 254");
            break;
        case FaultSpec::Lose:
            if (n < 2)
                s.b = 1;
            if (s.a == 0 || s.b == 0)
                return fail(error, "fault \"" + text + "\": N and K count from 1");
            break;
        case FaultSpec::BadChecksum:
        case FaultSpec::Noise:
        case FaultSpec::Garble:
            if (s.a == 0)
                return fail(error, "fault \"" + text + "\": the number counts from 1");
            break;
        case FaultSpec::BoardFault:
        case FaultSpec::NetFault:
            if (s.a == 0 || s.a > 255)
                return fail(error, "fault \"" + text + "\": CODE must be 1 to 255");
            break;
        case FaultSpec::Slow:
            if (s.a > 600000)
                return fail(error, "fault \"" + text + "\": at most 600000 ms");
            break;
        default: break;
        }
        *out = s;
        return true;
    }
    return fail(error, "unknown fault \"" + text + "\"; known faults:\n" + faultGrammar());
}

}   // namespace boardsim
