// fuzz_decoder.cpp -- libFuzzer target: any bytes through the BMP decoder, the same code that decodes files.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/claimed_pixels.h"
#include "image/bmp_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (ClaimsTooManyPixels(data, size)) return -1;  // not kept in the corpus
    const char* failure = nullptr;
    ImageRecord* image = DecodeBitmapBytes(data, size, &failure);
    if (!image) {
        if (!failure) std::abort();  // a refusal always has its message
        return 0;
    }
    if (image->width <= 0 || image->height <= 0 || std::int64_t{image->width} * image->height > MaxBitmapPixels) {
        std::abort();
    }
    // Read every promised byte, so the sanitizer sees a buffer shorter than the record says.
    const std::size_t bytes = std::size_t(image->width) * std::size_t(image->height) * 3;
    volatile std::uint8_t sink = 0;
    for (std::size_t i = 0; i < bytes; i += 4096) sink = sink + image->pixels[i];
    sink = sink + image->pixels[bytes - 1];
    FreeImageRecord(image);
    return 0;
}
