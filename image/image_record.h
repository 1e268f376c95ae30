// image_record.h -- a decoded picture: size and tightly packed pixels, bottom row first.
#pragma once

#include <cstdint>

// The record and its pixels are two separate malloc blocks owned by whoever holds the record.
struct ImageRecord {
    std::int32_t width;    // pixel columns
    std::int32_t height;   // pixel rows; the first row in `pixels` is the bottom row of the picture
    std::uint8_t* pixels;  // 3 bytes (red, green, blue) or, once composed, 4 (red, green, blue, alpha) per pixel
};

// Releases the record and its pixels; accepts none.
void FreeImageRecord(ImageRecord* image);
