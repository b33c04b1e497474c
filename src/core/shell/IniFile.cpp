#include "shell/IniFile.h"

#include "shell/Text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// "[Name]" -> Name; otherwise nullopt.
std::optional<std::string> SectionOf(const std::string& line) {
    std::string t = Trim(line);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') return Trim(t.substr(1, t.size() - 2));
    return std::nullopt;
}

// "Key=Value" -> Key (trimmed); comments and other lines give nullopt.
std::optional<std::string> KeyOf(const std::string& line) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') return std::nullopt;
    auto eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    return Trim(line.substr(0, eq));
}

}  // namespace

TIniFile::TIniFile(std::string path) : path_(std::move(path)) { Reload(); }

void TIniFile::Reload() {
    lines_.clear();
    std::ifstream in(path_, std::ios::binary);
    if (!in) return;
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        first = false;
        if (!text::IsValidUtf8(line)) line = text::AnsiToUtf8(line);
        lines_.push_back(line);
    }
}

std::optional<std::string> TIniFile::Read(const std::string& section, const std::string& key) const {
    bool inSection = false;
    for (const auto& line : lines_) {
        if (auto s = SectionOf(line)) { inSection = SameName(*s, section); continue; }
        if (!inSection) continue;
        if (auto k = KeyOf(line); k && SameName(*k, key)) return Trim(line.substr(line.find('=') + 1));
    }
    return std::nullopt;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    auto v = Read(section, key);
    return v ? *v : def;
}

long long TIniFile::ReadInteger(const std::string& section, const std::string& key, long long def, long long min,
                                long long max) const {
    auto v = Read(section, key);
    if (!v || v->empty()) return def;
    const std::string& s = *v;
    long long value = 0;
    const char* b = s.data();
    const char* e = s.data() + s.size();
    if (*b == '+') ++b;
    auto [ptr, ec] = std::from_chars(b, e, value);
    if (ec != std::errc() || ptr != e || value < min || value > max) return def;
    return value;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::HasSection(const std::string& section) const {
    return std::any_of(lines_.begin(), lines_.end(), [&](const std::string& l) {
        auto s = SectionOf(l);
        return s && SameName(*s, section);
    });
}

void TIniFile::Write(const std::string& section, const std::string& key, const std::string& value) {
    const std::string entry = key + "=" + value;
    bool inSection = false;
    std::optional<size_t> lastOfSection;  // index after the last key line of the section
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (auto s = SectionOf(lines_[i])) {
            inSection = SameName(*s, section);
            if (inSection) lastOfSection = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (auto k = KeyOf(lines_[i])) {
            if (SameName(*k, key)) { lines_[i] = entry; return; }
            lastOfSection = i + 1;
        }
    }
    if (lastOfSection) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*lastOfSection), entry);
        return;
    }
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + section + "]");
    lines_.push_back(entry);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, long long value) {
    Write(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    Write(section, key, value ? "1" : "0");
}

bool TIniFile::Flush() const {
    const std::string tmp = path_ + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        for (const auto& l : lines_) out << l << "\n";
        out.flush();
        if (!out) { std::remove(tmp.c_str()); return false; }
    }
    if (std::rename(tmp.c_str(), path_.c_str()) != 0) { std::remove(tmp.c_str()); return false; }
    return true;
}
