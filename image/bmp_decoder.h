// bmp_decoder.h -- turns a BMP file into an ImageRecord of 24-bit RGB pixels, bottom row first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/image_record.h"

// The largest picture the decoder accepts, in pixels: 8192 x 8192, or any other shape of the same area. Its
// RGB buffer (192 MiB) and the RGBA copy composed from it (256 MiB) still fit a 32-bit process; anything larger
// is refused as "Out of memory." before a byte is allocated.
constexpr std::int64_t MaxBitmapPixels = std::int64_t{8192} * 8192;

constexpr char DecoderCaption[] = "Error";
constexpr char OutOfMemoryText[] = "Out of memory.";
constexpr char UnknownFormatText[] = "Unknown DIB file format.";
constexpr char ConversionErrorText[] = "Image file conversion error.";

// Maps the file and decodes it. On any failure shows exactly one "Error" box, owned by the window with the
// keyboard focus, and returns none. The caller owns the record (FreeImageRecord).
ImageRecord* DecodeBitmapFile(const char* path);

// The decoder itself, over bytes in memory: returns the record, or none with *failure set to the message to show.
ImageRecord* DecodeBitmapBytes(const std::uint8_t* bytes, std::size_t size, const char** failure);

// The colour-table count of the DIB header starting at `header`: by the bit count for a 12-byte core header,
// otherwise the low 16 bits of the used-colour count, or by the bit count where that is 0. Reads the first
// 12 bytes of a core header and the first 36 of any other.
std::uint16_t CountPaletteColors(const std::uint8_t* header);
