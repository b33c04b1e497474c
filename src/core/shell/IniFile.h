#pragma once
// A Windows-style ini file kept as its lines, so that sections, keys and comments
// that the program does not know survive a rewrite. Keys and sections match
// case-insensitively, as the Windows profile functions do.

#include <optional>
#include <string>
#include <vector>

class TIniFile {
public:
    explicit TIniFile(std::string path);

    // Re-reads the file; a missing file is an empty one. Lines that are not valid
    // UTF-8 are taken as CP1251 (files edited with old Windows editors).
    void Reload();

    std::optional<std::string> Read(const std::string& section, const std::string& key) const;
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // A missing key or a text that is not a decimal integer in range gives `def`.
    long long ReadInteger(const std::string& section, const std::string& key, long long def,
                          long long min = INT32_MIN_, long long max = INT32_MAX_) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    // Replaces the key in place, or appends it to its section (created at the end).
    void Write(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, long long value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // Writes the lines to disk through a temporary file and a rename, so a crash
    // never leaves half a file. Returns false on failure.
    bool Flush() const;

    bool HasSection(const std::string& section) const;
    const std::string& Path() const { return path_; }

private:
    static constexpr long long INT32_MIN_ = -2147483648LL;
    static constexpr long long INT32_MAX_ = 2147483647LL;
    std::string path_;
    std::vector<std::string> lines_;
};
