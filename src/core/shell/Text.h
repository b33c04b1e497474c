#pragma once
// Code-page conversion. UTF-8 is the form in memory; CP866 is what meters hold,
// CP1251 what older files and the accounting system use.

#include <string>
#include <string_view>

namespace text {

// Convert between UTF-8 and a single-byte code page ("CP866", "CP1251").
// Characters that the target cannot hold become '?'; invalid input bytes are
// skipped. Never throws.
std::string FromUtf8(std::string_view utf8, const char* codePage);
std::string ToUtf8(std::string_view bytes, const char* codePage);

inline std::string Utf8ToOem(std::string_view s) { return FromUtf8(s, "CP866"); }
inline std::string OemToUtf8(std::string_view s) { return ToUtf8(s, "CP866"); }
inline std::string Utf8ToAnsi(std::string_view s) { return FromUtf8(s, "CP1251"); }
inline std::string AnsiToUtf8(std::string_view s) { return ToUtf8(s, "CP1251"); }

bool IsValidUtf8(std::string_view s);

// Replaces the first "%s" of `pattern` with `arg`.
std::string FormatS(std::string_view pattern, std::string_view arg);

}  // namespace text
