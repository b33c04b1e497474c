#include "Options.h"

#include <cerrno>
#include <cstdlib>

namespace sim {

namespace {

bool Number(const std::string& s, long long lo, long long hi, long long& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const int base = (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) ? 16 : 10;
    out = std::strtoll(s.c_str(), &end, base);
    return errno == 0 && end && *end == '\0' && out >= lo && out <= hi;
}

bool ParseArea(const std::string& s, CustomArea& a) {
    long long n = 0, len = 0, rec = 0;
    const auto c1 = s.find(':');
    if (c1 == std::string::npos) return false;
    const auto c2 = s.find(':', c1 + 1);
    if (!Number(s.substr(0, c1), 0, 255, n)) return false;
    if (!Number(s.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1), 2, 255, len)) return false;
    if (c2 != std::string::npos && !Number(s.substr(c2 + 1), 1, 65536, rec)) return false;
    a.Number = static_cast<std::int32_t>(n);
    a.Length = static_cast<std::int32_t>(len);
    a.Records = static_cast<std::int32_t>(rec);
    return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg.resize(eq);
                hasValue = true;
            }
        }
        auto take = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        auto num = [&](long long lo, long long hi, long long& out) -> bool {
            if (!take()) return false;
            if (!Number(value, lo, hi, out)) {
                error = "bad value '" + value + "' for " + arg + " (" + std::to_string(lo) + " to " + std::to_string(hi) + ")";
                return false;
            }
            return true;
        };
        long long n = 0;
        if (arg == "-h" || arg == "--help") o.Help = true;
        else if (arg == "--version") { if (!num(0, 255, n)) return false; o.Version = static_cast<int>(n); o.VersionGiven = true; }
        else if (arg == "--znumber") { if (!num(0, 0xFFFFFFFFLL, n)) return false; o.ZNumber = static_cast<std::uint32_t>(n); o.ZNumberGiven = true; }
        else if (arg == "--internal-id") { if (!num(0, 0xFFFFFFFFLL, n)) return false; o.InternalID = static_cast<std::uint32_t>(n); o.InternalIDGiven = true; }
        else if (arg == "--password") { if (!num(0, 65535, n)) return false; o.Password = static_cast<std::uint16_t>(n); o.PasswordGiven = true; }
        else if (arg == "--clock-offset") { if (!num(-4000000000LL, 4000000000LL, n)) return false; o.ClockOffset = n; }
        else if (arg == "--reported-version") { if (!num(0, 255, n)) return false; o.ReportedVersion = static_cast<int>(n); }
        else if (arg == "--flags") { if (!num(0, 255, n)) return false; o.Flags = static_cast<std::uint8_t>(n); }
        else if (arg == "--whole-values") o.Flags = static_cast<std::uint8_t>(o.Flags & ~0x02);
        else if (arg == "--open-reply-length") { if (!num(0, 255, n)) return false; o.OpenReplyLength = static_cast<int>(n); }
        else if (arg == "--any-internal-id") o.AnyInternalID = true;
        else if (arg == "--key") {
            if (!take()) return false;
            auto b = ParseHex(value);
            if (!b || b->size() != 4) {
                error = "--key needs four hex bytes, e.g. 11223344";
                return false;
            }
            o.Key = std::array<std::uint8_t, 4>{(*b)[0], (*b)[1], (*b)[2], (*b)[3]};
        }
        else if (arg == "--seed") { if (!num(0, 0x7FFFFFFFFFFFFFFFLL, n)) return false; o.Seed = static_cast<std::uint64_t>(n); }
        else if (arg == "--baud") { if (!num(0, 4000000, n)) return false; o.Baud = static_cast<int>(n); }
        else if (arg == "--reply-delay") { if (!num(0, 600000, n)) return false; o.ReplyDelayMs = static_cast<int>(n); }
        else if (arg == "--gap-timeout") { if (!num(1, 600000, n)) return false; o.GapTimeoutMs = static_cast<int>(n); }
        else if (arg == "--no-pack") o.PackReplies = false;
        else if (arg == "--allow-readonly-writes") o.AllowReadOnlyWrites = true;
        else if (arg == "--fault") {
            if (!take()) return false;
            auto f = ParseFault(value, error);
            if (!f) return false;
            o.Faults.push_back(*f);
        }
        else if (arg == "--area") {
            if (!take()) return false;
            CustomArea a;
            if (!ParseArea(value, a)) {
                error = "bad --area '" + value + "' (N:LEN or N:LEN:RECORDS, LEN 2-255 with the checksum)";
                return false;
            }
            o.Areas.push_back(a);
        }
        else if (arg == "--state") { if (!take()) return false; o.StatePath = value; }
        else if (arg == "--link") { if (!take()) return false; o.LinkPath = value; }
        else if (arg == "--stdin-control") o.StdinControl = true;
        else if (arg == "--log") o.Log = true;
        else if (arg == "--list-areas") o.ListAreas = true;
        else {
            error = "unknown option '" + arg + "' (see --help)";
            return false;
        }
        if (hasValue && (arg == "--whole-values" || arg == "--any-internal-id" || arg == "--no-pack" ||
                         arg == "--allow-readonly-writes" || arg == "--stdin-control" || arg == "--log" ||
                         arg == "--list-areas" || arg == "--help")) {
            error = arg + " takes no value";
            return false;
        }
    }
    return true;
}

std::string HelpText() {
    std::string h = R"(Usage: metersim [OPTIONS]

A simulated electricity meter (Норвел-8/Норвел-9 family) on a pseudo-terminal, for
tests, demonstrations and training when no meter is at hand. It opens a pty, prints
    PORT /dev/pts/N
as its first line on standard output, and answers the PC on that device as a meter
of the chosen version code would: session reset, open and close, the session key
and the XOR encoding, packing for the versions that pack, factory number, clock,
currency, precision, contactor and channels, optical port, card support, channel
management, area reads and writes with the write password, and measurements.
Give the printed device as the program's port (ComName "/dev/pts/N").

The meter:
  --version V            version code played, 0-255 (default 2); decides packing,
                         clock layout, checksums, byte order and measurement replies
  --znumber N            factory number (default 12345678); an open-session request
                         for another number is not answered, as on a shared line
  --internal-id N        meter identifier the PC must name when opening (default 0);
                         a wrong one is refused with error 5
  --any-internal-id      accept any identifier
  --password N           write password 0-65535 (default 0)
  --clock-offset S       meter clock = local time + S seconds (default 0)
  --reported-version V   version code put in the open-session reply (default: the
                         played one); e.g. play 4 and report 6
  --flags B              byte 7 of the open-session reply (default 0x02; bit 1 clear
                         means prices are whole numbers for versions 23-25, 30, 44-47)
  --whole-values         clear bit 1 of the flags
  --open-reply-length N  data bytes of the open-session reply (default 8; shorter
                         replies cut it, longer ones pad with zeros)
  --key HEX              fixed session key, four hex bytes (default: drawn from --seed
                         at every opening, never all zero)
  --area N:LEN[:RECORDS] add or replace area N: plain with LEN bytes, or indexed with
                         RECORDS records of LEN bytes (LEN 2-255, checksum included)
  --allow-readonly-writes
                         let the PC write read-only areas (they are refused with
                         error 5 otherwise; password areas are always writable)
  --list-areas           print the area table of the version and exit

Memory and persistence:
  --state FILE           load the meter's memory from FILE when it exists, write it
                         back (atomically) after every change and at exit. Plain text:
                         identity, password, clock offset, switches, "area N HEX" for
                         plain areas and "record N I HEX" for written records.
                         Identity items given on the command line win over the file.

The line:
  --baud B               pace requests and replies at B baud, 10 bits per byte
                         (default: as fast as the pty goes)
  --reply-delay MS       wait MS ms before every reply (default 0)
  --gap-timeout MS       a request frame left incomplete this long is dropped
                         (default 1000)
  --no-pack              never pack replies (versions that pack accept packed and
                         unpacked replies alike)
  --seed N               seed of every random choice: keys, noise bytes, probability
                         faults (default 1); the same seed and requests give the same run

Faults:
  --fault FAULT          inject a fault into chosen replies; repeatable. See below.

Control and diagnostics:
  --stdin-control        read control lines from standard input and exit when it ends
                         (so a parent that dies does not leave the meter running).
                         Each line is answered with one "OK ..." or "ERR ..." line:
                           fault FAULT    add a fault, numbered from the next reply
                           clear-faults   remove every fault
                           save           write the state file now
                           status         session, key, counts of requests and replies
                           quit           exit
  --link PATH            also make PATH a symbolic link to the pty (removed at exit)
  --log                  print every request and reply on standard error
  -h, --help             this text

Error replies are command 1 with one byte: 0 error, 1 area not supported by this
version, 3 bad parameter (length, index, record, clock value), 4 block checksum
wrong, 5 access denied (no session, wrong identifier, wrong write password,
read-only area). Requests outside a session other than reset, open, close and the
factory number are refused with 5. Unknown commands get 0.

metersim ends on SIGTERM, SIGINT or SIGHUP (and at the end of standard input with
--stdin-control), writing the state file first. Exit status 0, 2 for a bad command
line, 1 when the pty cannot be opened.

)";
    h += FaultHelp();
    return h;
}

}  // namespace sim
