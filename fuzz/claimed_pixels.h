// claimed_pixels.h -- how many pixels a BMP's header claims, read before the decoder sees the file.
//
// A header of a few bytes may claim millions of pixels, and a run-length picture is allocated and cleared at the
// size it claims before its data is read. Left alone, the fuzzer spends nearly all its time clearing memory for
// tiny inputs, so the targets pass over inputs that claim far more pixels than their bytes could describe.
// Claims past the decoder's own limit still go through: those are refused before anything is allocated.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "image/bmp_decoder.h"

inline bool ClaimsTooManyPixels(const std::uint8_t* data, std::size_t size) {
    const std::size_t start = size >= 2 && data[0] == 'B' && data[1] == 'M' ? 14 : 0;
    if (size < start + 12) return false;
    const std::uint8_t* h = data + start;
    auto u16 = [&](int at) { return std::int64_t{h[at]} | std::int64_t{h[at + 1]} << 8; };
    auto i32 = [&](int at) {
        return std::int64_t{std::int32_t(std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16)};
    };
    std::int64_t width = 0;
    std::int64_t height = 0;
    if (i32(0) == 12) {
        width = u16(4), height = u16(6);
    } else if (i32(0) == 40) {
        width = i32(4), height = i32(8);
        if (height < 0) height = -height;
    }
    const std::int64_t pixels = width * height;
    // 32 pixels a byte covers every uncompressed layout (1 bit a pixel is 8) and ordinary run-length data; past
    // 512 x 512 pixels a run costs milliseconds and finds nothing a smaller picture wouldn't.
    const std::int64_t bound = std::min<std::int64_t>(std::int64_t{1} << 18, 1024 + 32 * std::int64_t(size));
    return pixels > bound && pixels <= MaxBitmapPixels;
}
