// The two protocol logs beside the program: "log.txt" (session steps) and
// "logCOM.txt" (bytes). Written only when Logging is on; each line opens, appends
// and closes the file so that nothing is lost when the program dies mid-session.
#include "link/CounterSeance.h"
#include "link/LinkInternal.h"

#include "shell/Configuration.h"
#include "shell/Globals.h"
#include "shell/ProgramHome.h"

#include <cstdio>

namespace linkdetail {

std::string HexList(const std::uint8_t* bytes, std::size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(n * 3);
    for (std::size_t i = 0; i < n; ++i) {
        s += ' ';
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 0x0F];
    }
    return s;
}

std::uint16_t ConfiguredDelay() { return Configuration ? Configuration->Delay : 6000; }

bool LoggingOn() { return Configuration && Configuration->Logging; }

}  // namespace linkdetail

namespace {
void AppendLine(const char* fileName, const std::string& line) {
    const std::string path = ProgramHome() + fileName;
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) return;  // a log that cannot be written must not stop the exchange
    std::fwrite(line.data(), 1, line.size(), f);
    std::fwrite("\r\n", 1, 2, f);
    std::fclose(f);
}
}  // namespace

void TCounterSeance::WriteLog(const std::string& line) const {
    if (linkdetail::LoggingOn()) AppendLine("log.txt", line);
}

void TCounterSeance::WriteComLog(const std::string& line) const {
    if (linkdetail::LoggingOn()) AppendLine("logCOM.txt", line);
}
