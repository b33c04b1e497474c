#pragma once
// User passwords are kept as salted PBKDF2-HMAC-SHA256 hashes, never as plain text.
// Stored form: "pbkdf2-sha256$<iterations>$<salt, hex>$<hash, hex>", so the cost can
// be raised later without breaking the hashes stored before.

#include <string>
#include <string_view>

inline constexpr int kPasswordHashIterations = 600000;
// Room the stored form needs in the UserPassword column.
inline constexpr int kPasswordHashColumnWidth = 128;

// A new hash of `password` with a fresh random salt. Throws std::runtime_error when
// the system has no random source or the hash function fails.
std::string HashPassword(std::string_view password, int iterations = kPasswordHashIterations);

// True when `password` matches `stored` (compared in constant time). A stored value
// that is not a hash of the form above never matches.
bool VerifyPassword(std::string_view password, std::string_view stored);

// True when `stored` has the form of a hash (as opposed to a plain-text password
// left by an older database).
bool IsPasswordHash(std::string_view stored);
