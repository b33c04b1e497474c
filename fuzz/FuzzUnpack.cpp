// Packing and unpacking: unpacking never leaves its buffer, and whatever the packer
// produces unpacks to the original.
#include "link/CounterSeance.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An output buffer of exactly 255 bytes on the heap, so any overrun is caught.
    auto out = std::make_unique<std::uint8_t[]>(kMaxFrameData);
    const int n = UnpackBytes({data, size}, {out.get(), kMaxFrameData});
    if (n > static_cast<int>(kMaxFrameData)) __builtin_trap();

    if (size <= kMaxFrameData) {
        auto packed = std::make_unique<std::uint8_t[]>(size);
        const int p = PackBytes({data, size}, {packed.get(), size});
        if (p >= 0) {
            if (p >= static_cast<int>(size)) __builtin_trap();
            const int back = UnpackBytes({packed.get(), static_cast<std::size_t>(p)}, {out.get(), kMaxFrameData});
            if (back != static_cast<int>(size) || std::memcmp(out.get(), data, size) != 0) __builtin_trap();
        }
    }
    return 0;
}
