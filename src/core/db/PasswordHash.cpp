#include "db/PasswordHash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <charconv>
#include <stdexcept>
#include <vector>

namespace {
constexpr std::string_view kScheme = "pbkdf2-sha256";
constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;
constexpr int kMaxIterations = 10'000'000;  // a stored value must not stall the login forever

std::string Hex(const unsigned char* p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

bool Unhex(std::string_view s, std::vector<unsigned char>& out) {
    if (s.size() % 2) return false;
    out.clear();
    for (size_t i = 0; i < s.size(); i += 2) {
        unsigned v = 0;
        const auto r = std::from_chars(s.data() + i, s.data() + i + 2, v, 16);
        if (r.ec != std::errc() || r.ptr != s.data() + i + 2) return false;
        out.push_back(static_cast<unsigned char>(v));
    }
    return true;
}

std::vector<unsigned char> Derive(std::string_view password, const std::vector<unsigned char>& salt, int iterations,
                                  size_t length) {
    std::vector<unsigned char> out(length);
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(), static_cast<int>(salt.size()),
                          iterations, EVP_sha256(), static_cast<int>(length), out.data()) != 1)
        throw std::runtime_error("Не удалось вычислить хэш пароля");
    return out;
}

struct Parsed {
    int iterations = 0;
    std::vector<unsigned char> salt, hash;
};

bool Parse(std::string_view stored, Parsed& p) {
    // scheme$iterations$salt$hash
    size_t a = stored.find('$');
    if (a == std::string_view::npos || stored.substr(0, a) != kScheme) return false;
    size_t b = stored.find('$', a + 1);
    if (b == std::string_view::npos) return false;
    size_t c = stored.find('$', b + 1);
    if (c == std::string_view::npos) return false;
    const auto it = stored.substr(a + 1, b - a - 1);
    const auto r = std::from_chars(it.data(), it.data() + it.size(), p.iterations);
    if (r.ec != std::errc() || r.ptr != it.data() + it.size() || p.iterations < 1 || p.iterations > kMaxIterations)
        return false;
    if (!Unhex(stored.substr(b + 1, c - b - 1), p.salt) || p.salt.empty()) return false;
    if (!Unhex(stored.substr(c + 1), p.hash) || p.hash.empty() || p.hash.size() > 64) return false;
    return true;
}
}  // namespace

std::string HashPassword(std::string_view password, int iterations) {
    std::vector<unsigned char> salt(kSaltBytes);
    if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1)
        throw std::runtime_error("Нет источника случайных чисел для хэша пароля");
    const auto hash = Derive(password, salt, iterations, kHashBytes);
    return std::string(kScheme) + "$" + std::to_string(iterations) + "$" + Hex(salt.data(), salt.size()) + "$" +
           Hex(hash.data(), hash.size());
}

bool VerifyPassword(std::string_view password, std::string_view stored) {
    Parsed p;
    if (!Parse(stored, p)) return false;
    try {
        const auto hash = Derive(password, p.salt, p.iterations, p.hash.size());
        return CRYPTO_memcmp(hash.data(), p.hash.data(), hash.size()) == 0;
    } catch (const std::exception&) {
        return false;
    }
}

bool IsPasswordHash(std::string_view stored) {
    Parsed p;
    return Parse(stored, p);
}
