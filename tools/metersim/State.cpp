#include "State.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace sim {

namespace {

bool ParseNumber(const std::string& s, long long lo, long long hi, long long& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(s.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0' && out >= lo && out <= hi;
}

std::string Rest(std::istringstream& in) {
    std::string rest;
    std::getline(in, rest);
    const auto b = rest.find_first_not_of(" \t");
    return b == std::string::npos ? std::string() : rest.substr(b);
}

bool OnOff(const std::string& v, bool& out) {
    if (v == "on" || v == "enabled") out = true;
    else if (v == "off" || v == "disabled") out = false;
    else return false;
    return true;
}

}  // namespace

bool LoadState(const std::string& path, MeterState& st, LoadedItems& items, std::string& warnings) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        std::istringstream ls(line);
        std::string key;
        if (!(ls >> key)) continue;
        auto bad = [&](const std::string& why) {
            warnings += path + ":" + std::to_string(lineNo) + ": " + why + "\n";
        };
        long long n = 0;
        std::string word;
        if (key == "version") {
            ls >> word;
            if (ParseNumber(word, 0, 255, n)) { st.Version = static_cast<int>(n); items.Version = true; }
            else bad("bad version");
        } else if (key == "znumber") {
            ls >> word;
            if (ParseNumber(word, 0, 0xFFFFFFFFLL, n)) { st.ZNumber = static_cast<std::uint32_t>(n); items.ZNumber = true; }
            else bad("bad znumber");
        } else if (key == "internal-id") {
            ls >> word;
            if (ParseNumber(word, 0, 0xFFFFFFFFLL, n)) { st.InternalID = static_cast<std::uint32_t>(n); items.InternalID = true; }
            else bad("bad internal-id");
        } else if (key == "password") {
            ls >> word;
            if (ParseNumber(word, 0, 65535, n)) { st.Password = static_cast<std::uint16_t>(n); items.Password = true; }
            else bad("bad password (0-65535)");
        } else if (key == "clock-offset") {
            ls >> word;
            if (ParseNumber(word, -4000000000LL, 4000000000LL, n)) st.ClockOffset = n;
            else bad("bad clock-offset");
        } else if (key == "clock-record") {
            auto b = ParseHex(Rest(ls));
            if (b && b->size() == 8) st.ClockRecord = *b;
            else bad("clock-record needs 8 hex bytes");
        } else if (key == "currency") {
            auto b = ParseHex(Rest(ls));
            if (b && b->size() == 3) st.Currency = *b;
            else bad("currency needs 3 hex bytes");
        } else if (key == "precision" || key == "channel-flags") {
            auto b = ParseHex(Rest(ls));
            if (b && b->size() == 1) (key == "precision" ? st.Precision : st.ChannelFlags) = (*b)[0];
            else bad(key + " needs one hex byte");
        } else if (key == "contactor" || key == "card-support" || key == "channel1" || key == "channel2" ||
                   key == "opto-port") {
            ls >> word;
            bool v = false;
            if (!OnOff(word, v)) bad(key + " needs on/off");
            else if (key == "contactor") st.ContactorOn = v;
            else if (key == "card-support") st.CardSupport = v;
            else if (key == "channel1") st.Channel1On = v;
            else if (key == "channel2") st.Channel2On = v;
            else st.OptoPortEnabled = v;
        } else if (key == "area") {
            ls >> word;
            auto b = ParseHex(Rest(ls));
            if (!ParseNumber(word, 0, 255, n)) bad("bad area number");
            else if (!b || b->size() < 2 || b->size() > 255) bad("area needs 2 to 255 hex bytes");
            else st.Plain[static_cast<std::int32_t>(n)] = *b;
        } else if (key == "record") {
            long long idx = 0;
            std::string w2;
            ls >> word >> w2;
            auto b = ParseHex(Rest(ls));
            if (!ParseNumber(word, 0, 255, n) || !ParseNumber(w2, 0, 65535, idx)) bad("bad record address");
            else if (!b || b->size() < 2 || b->size() > 255) bad("record needs 2 to 255 hex bytes");
            else st.Records[{static_cast<std::int32_t>(n), static_cast<std::int32_t>(idx)}] = *b;
        } else {
            bad("unknown item '" + key + "'");
        }
    }
    return true;
}

std::string StateText(const MeterState& st, const Layout& layout) {
    std::ostringstream o;
    o << "# metersim meter memory. Edit with care: area checksums are kept as written.\n";
    o << "version " << st.Version << "\n";
    o << "znumber " << st.ZNumber << "\n";
    o << "internal-id " << st.InternalID << "\n";
    o << "password " << st.Password << "\n";
    o << "clock-offset " << st.ClockOffset << "\n";
    if (st.ClockRecord.size() == 8) o << "clock-record " << Hex(st.ClockRecord) << "\n";
    o << "currency " << Hex(st.Currency) << "\n";
    o << "precision " << Hex(&st.Precision, 1) << "\n";
    o << "contactor " << (st.ContactorOn ? "on" : "off") << "\n";
    o << "card-support " << (st.CardSupport ? "on" : "off") << "\n";
    o << "channel1 " << (st.Channel1On ? "on" : "off") << "\n";
    o << "channel2 " << (st.Channel2On ? "on" : "off") << "\n";
    o << "opto-port " << (st.OptoPortEnabled ? "enabled" : "disabled") << "\n";
    o << "channel-flags " << Hex(&st.ChannelFlags, 1) << "\n";
    for (const auto& [n, b] : st.Plain) {
        const AreaDef* a = layout.Find(n);
        if (a) o << "# " << a->Name << "\n";
        o << "area " << n << " " << Hex(b) << "\n";
    }
    for (const auto& [key, b] : st.Records) o << "record " << key.first << " " << key.second << " " << Hex(b) << "\n";
    return o.str();
}

bool SaveState(const std::string& path, const MeterState& st, const Layout& layout, std::string& error) {
    const std::string text = StateText(st, layout);
    const std::string tmp = path + ".tmp" + std::to_string(getpid());
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot write " + tmp + ": " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t w = write(fd, text.data() + done, text.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            error = "cannot write " + tmp + ": " + std::strerror(errno);
            close(fd);
            unlink(tmp.c_str());
            return false;
        }
        done += static_cast<std::size_t>(w);
    }
    if (fsync(fd) != 0 || close(fd) != 0) {
        error = "cannot flush " + tmp + ": " + std::strerror(errno);
        unlink(tmp.c_str());
        return false;
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + std::strerror(errno);
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace sim
