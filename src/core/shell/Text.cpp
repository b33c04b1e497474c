#include "shell/Text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace text {
namespace {

std::string Convert(std::string_view in, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    std::string out;
    out.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    while (srcLeft > 0) {
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        if (r != static_cast<size_t>(-1)) break;
        if (errno == EILSEQ || errno == EINVAL) {
            // A character the target cannot hold, or a broken input sequence.
            const bool fromUtf8 = std::string_view(from) == "UTF-8";
            size_t skip = 1;
            if (fromUtf8 && errno == EILSEQ) {
                const auto c = static_cast<unsigned char>(*src);
                skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
                if (skip > srcLeft) skip = srcLeft;
                // A valid UTF-8 sequence that the code page lacks becomes '?'.
                if (dstLeft > 0 && c >= 0xC0) { *dst++ = '?'; --dstLeft; }
            }
            src += skip;
            srcLeft -= skip;
            continue;
        }
        break;  // E2BIG cannot happen with the reserve above
    }
    out.resize(out.size() - dstLeft);
    iconv_close(cd);
    return out;
}

}  // namespace

std::string FromUtf8(std::string_view utf8, const char* codePage) { return Convert(utf8, codePage, "UTF-8"); }
std::string ToUtf8(std::string_view bytes, const char* codePage) { return Convert(bytes, "UTF-8", codePage); }

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

std::string FormatS(std::string_view pattern, std::string_view arg) {
    std::string out(pattern);
    auto pos = out.find("%s");
    if (pos != std::string::npos) out.replace(pos, 2, arg);
    return out;
}

}  // namespace text
