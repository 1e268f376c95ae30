// bmp_decoder.cpp -- reads the headers and colour table in place and converts the pixel data in one pass.
#include "image/bmp_decoder.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

constexpr std::size_t FileHeaderSize = 14;
constexpr std::uint32_t CoreHeaderSize = 12;
constexpr std::uint32_t InfoHeaderSize = 40;
constexpr std::size_t MaskBytes = 12;  // red, green and blue masks after an info header with bit fields

constexpr std::uint32_t BiRgb = 0;
constexpr std::uint32_t BiRle8 = 1;
constexpr std::uint32_t BiRle4 = 2;
constexpr std::uint32_t BiBitfields = 3;

std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t ReadU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

std::int32_t ReadI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(ReadU32(p));
}

// What the headers say about the pixel data, checked against the file.
struct BitmapLayout {
    std::int32_t width;            // pixel columns, at least 1
    std::int32_t height;           // pixel rows, at least 1
    bool topDown;                  // rows stored top row first
    unsigned bitCount;             // bits per pixel
    std::uint32_t compression;     // BiRgb, BiRle8, BiRle4 or BiBitfields
    std::uint32_t masks[3];        // red, green, blue bits of a 16- or 32-bit pixel
    std::uint8_t palette[256][4];  // red, green, blue, 0; an index past the file's table gives black
    const std::uint8_t* data;      // first byte of the pixel data
    std::size_t dataSize;          // bytes from there to the end of the file
};

// One run of at most 8 set bits, or none. Wider channels have no agreed narrowing to 8 bits and are refused.
bool IsUsableMask(std::uint32_t mask) {
    if (mask == 0) return true;
    while ((mask & 1) == 0) mask >>= 1;
    return (mask & (mask + 1)) == 0 && mask <= 0xFF;
}

bool IsSupportedLayout(const BitmapLayout& layout, bool coreHeader) {
    switch (layout.compression) {
    case BiRgb:
        switch (layout.bitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: return true;
        default: return false;
        }
    case BiRle8: return !coreHeader && layout.bitCount == 8 && !layout.topDown;
    case BiRle4: return !coreHeader && layout.bitCount == 4 && !layout.topDown;
    case BiBitfields: {
        if (coreHeader || (layout.bitCount != 16 && layout.bitCount != 32)) return false;
        const std::uint64_t pixelBits = (std::uint64_t{1} << layout.bitCount) - 1;
        for (std::uint32_t mask : layout.masks) {
            if ((mask & ~pixelBits) != 0 || !IsUsableMask(mask)) return false;
        }
        return true;
    }
    default: return false;
    }
}

// Reads and checks everything before the pixel data. Returns the failure text, or none.
const char* ReadLayout(const std::uint8_t* bytes, std::size_t size, BitmapLayout* layout) {
    const bool hasFileHeader = size >= 2 && bytes[0] == 0x42 && bytes[1] == 0x4D;
    const std::size_t headerStart = hasFileHeader ? FileHeaderSize : 0;
    if (size < headerStart + 4) return UnknownFormatText;
    const std::uint8_t* header = bytes + headerStart;
    const std::uint32_t headerSize = ReadU32(header);
    if (headerSize != CoreHeaderSize && headerSize != InfoHeaderSize) return UnknownFormatText;
    if (size - headerStart < headerSize) return ConversionErrorText;

    const bool coreHeader = headerSize == CoreHeaderSize;
    const std::uint16_t count = CountPaletteColors(header);
    std::size_t tableStart = headerStart + headerSize;
    std::size_t entrySize = 4;
    if (coreHeader) {
        layout->width = ReadU16(header + 4);
        layout->height = ReadU16(header + 6);
        layout->topDown = false;
        layout->bitCount = ReadU16(header + 10);
        layout->compression = BiRgb;
        entrySize = 3;
    } else {
        const std::int32_t height = ReadI32(header + 8);
        if (height == INT32_MIN) return ConversionErrorText;
        layout->width = ReadI32(header + 4);
        layout->height = height < 0 ? -height : height;
        layout->topDown = height < 0;
        layout->bitCount = ReadU16(header + 14);
        layout->compression = ReadU32(header + 16);
        // A used-colour count that its low 16 bits can't hold would disagree with the table it describes.
        if (ReadU32(header + 32) > 0xFFFF) return ConversionErrorText;
    }
    if (layout->width <= 0 || layout->height <= 0) return ConversionErrorText;

    if (layout->compression == BiBitfields && !coreHeader) {
        if (size - tableStart < MaskBytes) return ConversionErrorText;
        for (int c = 0; c < 3; ++c) layout->masks[c] = ReadU32(bytes + tableStart + 4 * c);
        tableStart += MaskBytes;
    } else if (layout->bitCount == 16) {
        layout->masks[0] = 0x7C00, layout->masks[1] = 0x03E0, layout->masks[2] = 0x001F;
    } else {
        layout->masks[0] = 0xFF0000, layout->masks[1] = 0x00FF00, layout->masks[2] = 0x0000FF;
    }
    if (!IsSupportedLayout(*layout, coreHeader)) return ConversionErrorText;

    const std::uint64_t tableEnd = tableStart + std::uint64_t{count} * entrySize;
    if (tableEnd > size) return ConversionErrorText;
    std::memset(layout->palette, 0, sizeof layout->palette);
    const unsigned used = count < 256 ? count : 256;
    for (unsigned i = 0; i < used; ++i) {
        const std::uint8_t* entry = bytes + tableStart + i * entrySize;
        layout->palette[i][0] = entry[2];
        layout->palette[i][1] = entry[1];
        layout->palette[i][2] = entry[0];
    }

    const std::uint64_t dataStart = hasFileHeader ? ReadU32(bytes + 10) : tableEnd;
    if (dataStart >= size) return ConversionErrorText;
    layout->data = bytes + dataStart;
    layout->dataSize = size - static_cast<std::size_t>(dataStart);
    return nullptr;
}

// Stored bytes of one uncompressed row, without and with the filler that pads it to a multiple of 4.
std::uint64_t RowBytes(const BitmapLayout& layout) {
    return (std::uint64_t(layout.width) * layout.bitCount + 7) / 8;
}

std::uint64_t RowStride(const BitmapLayout& layout) {
    return (std::uint64_t(layout.width) * layout.bitCount + 31) / 32 * 4;
}

// The last row's filler is never read, so a file may end right after the last pixel.
bool UncompressedDataFits(const BitmapLayout& layout) {
    const std::uint64_t needed = RowStride(layout) * std::uint64_t(layout.height - 1) + RowBytes(layout);
    return needed <= layout.dataSize;
}

// Each row converter writes exactly 3 x width bytes at `out`.

void ConvertRow1(const std::uint8_t* in, std::uint8_t* out, std::int32_t width, const std::uint8_t (*byByte)[24]) {
    const std::int32_t whole = width / 8;
    for (std::int32_t i = 0; i < whole; ++i, out += 24) std::memcpy(out, byByte[in[i]], 24);
    if (width % 8) std::memcpy(out, byByte[in[whole]], std::size_t(width % 8) * 3);
}

void ConvertRow4(const std::uint8_t* in, std::uint8_t* out, std::int32_t width, const std::uint8_t (*byByte)[6]) {
    const std::int32_t whole = width / 2;
    for (std::int32_t i = 0; i < whole; ++i, out += 6) std::memcpy(out, byByte[in[i]], 6);
    if (width % 2) std::memcpy(out, byByte[in[whole]], 3);
}

// Writes 4 bytes per pixel and steps by 3: the spare byte is overwritten by the next pixel, and the row's last
// pixel is written with 3 bytes so nothing lands past the row.
void ConvertRow8(const std::uint8_t* in, std::uint8_t* out, std::int32_t width, const std::uint8_t (*palette)[4]) {
    for (std::int32_t x = 0; x + 1 < width; ++x, out += 3) std::memcpy(out, palette[in[x]], 4);
    std::memcpy(out, palette[in[width - 1]], 3);
}

void ConvertRow24(const std::uint8_t* in, std::uint8_t* out, std::int32_t width) {
    for (std::int32_t x = 0; x < width; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
    }
}

// One colour channel of a 16- or 32-bit pixel: where its bits lie and how to widen them to 8.
struct Channel {
    unsigned shift;
    unsigned bits;
    std::uint32_t mask;
};

Channel MakeChannel(std::uint32_t mask) {
    Channel channel{0, 0, mask};
    if (mask == 0) return channel;
    while (((mask >> channel.shift) & 1) == 0) ++channel.shift;
    while (channel.shift + channel.bits < 32 && ((mask >> (channel.shift + channel.bits)) & 1)) ++channel.bits;
    return channel;
}

// Channels narrower than 8 bits repeat their bits downwards, so full scale maps to 255 and zero to 0.
std::uint8_t WidenChannel(std::uint32_t pixel, const Channel& channel) {
    if (channel.bits == 0) return 0;
    const std::uint32_t value = (pixel & channel.mask) >> channel.shift;
    std::uint32_t wide = value << (8 - channel.bits);
    for (unsigned step = channel.bits; step < 8; step *= 2) wide |= wide >> step;
    return static_cast<std::uint8_t>(wide);
}

void ConvertRowMasked(const std::uint8_t* in, std::uint8_t* out, std::int32_t width, unsigned bitCount,
                      const Channel (&channels)[3]) {
    for (std::int32_t x = 0; x < width; ++x, out += 3) {
        const std::uint32_t pixel = bitCount == 16 ? ReadU16(in + 2 * x) : ReadU32(in + 4 * std::size_t(x));
        for (int c = 0; c < 3; ++c) out[c] = WidenChannel(pixel, channels[c]);
    }
}

void ConvertUncompressed(const BitmapLayout& layout, std::uint8_t* out) {
    std::uint8_t byByte1[256][24];
    std::uint8_t byByte4[256][6];
    if (layout.bitCount == 1) {
        for (int b = 0; b < 256; ++b)
            for (int bit = 0; bit < 8; ++bit) std::memcpy(byByte1[b] + 3 * bit, layout.palette[(b >> (7 - bit)) & 1], 3);
    } else if (layout.bitCount == 4) {
        for (int b = 0; b < 256; ++b) {
            std::memcpy(byByte4[b], layout.palette[b >> 4], 3);
            std::memcpy(byByte4[b] + 3, layout.palette[b & 15], 3);
        }
    }
    const Channel channels[3] = {MakeChannel(layout.masks[0]), MakeChannel(layout.masks[1]),
                                 MakeChannel(layout.masks[2])};

    const std::size_t stride = static_cast<std::size_t>(RowStride(layout));
    const std::size_t outRow = std::size_t(layout.width) * 3;
    for (std::int32_t row = 0; row < layout.height; ++row) {
        const std::int32_t stored = layout.topDown ? layout.height - 1 - row : row;
        const std::uint8_t* in = layout.data + std::size_t(stored) * stride;
        std::uint8_t* dst = out + std::size_t(row) * outRow;
        switch (layout.bitCount) {
        case 1: ConvertRow1(in, dst, layout.width, byByte1); break;
        case 4: ConvertRow4(in, dst, layout.width, byByte4); break;
        case 8: ConvertRow8(in, dst, layout.width, layout.palette); break;
        case 24: ConvertRow24(in, dst, layout.width); break;
        default: ConvertRowMasked(in, dst, layout.width, layout.bitCount, channels); break;
        }
    }
}

// Run-length data: pixels the stream skips (deltas, rows ended early, an early end of bitmap) stay black, and a
// delta past the top row ends the picture. A run that crosses the right edge, or a stream that runs off the end
// of the file, is refused: both mean the data is damaged.
bool ConvertRunLength(const BitmapLayout& layout, std::uint8_t* out) {
    const bool fourBit = layout.compression == BiRle4;
    const std::uint8_t* in = layout.data;
    const std::uint8_t* end = layout.data + layout.dataSize;
    const std::int64_t width = layout.width;
    const std::int64_t height = layout.height;
    std::int64_t x = 0;
    std::int64_t y = 0;
    auto fits = [&](unsigned count) { return x + count <= width; };
    auto put = [&](unsigned index) {
        std::memcpy(out + std::size_t(y * width + x) * 3, layout.palette[index], 3);
        ++x;
    };
    std::memset(out, 0, std::size_t(width * height) * 3);
    while (y < height) {
        if (end - in < 2) return false;
        const unsigned count = in[0];
        const unsigned value = in[1];
        in += 2;
        if (count > 0) {
            if (!fits(count)) return false;
            for (unsigned k = 0; k < count; ++k) put(fourBit ? (k & 1 ? value & 15 : value >> 4) : value);
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            if (end - in < 2) return false;
            x += in[0];
            y += in[1];
            in += 2;
        } else {
            const std::size_t bytes = fourBit ? (value + 1) / 2 : value;
            if (std::size_t(end - in) < bytes || !fits(value)) return false;
            for (unsigned k = 0; k < value; ++k) put(fourBit ? (k & 1 ? in[k / 2] & 15 : in[k / 2] >> 4) : in[k]);
            // Absolute runs are padded to an even number of bytes.
            in += bytes + (bytes & 1 && in + bytes < end ? 1 : 0);
        }
    }
    return true;
}

void ShowDecoderMessage(const char* text) {
    PlatformMessageBox(PlatformGetFocus(), text, DecoderCaption, MB_OK);
}

}  // namespace

std::uint16_t CountPaletteColors(const std::uint8_t* header) {
    auto byBitCount = [](unsigned bits) -> std::uint16_t {
        switch (bits) {
        case 1: return 2;
        case 4: return 16;
        case 8: return 256;
        default: return 0;
        }
    };
    if (ReadU32(header) == CoreHeaderSize) return byBitCount(ReadU16(header + 10));
    const std::uint32_t used = ReadU32(header + 32);
    return used != 0 ? static_cast<std::uint16_t>(used & 0xFFFF) : byBitCount(ReadU16(header + 14));
}

ImageRecord* DecodeBitmapBytes(const std::uint8_t* bytes, std::size_t size, const char** failure) {
    BitmapLayout layout;
    if (const char* text = ReadLayout(bytes, size, &layout)) {
        *failure = text;
        return nullptr;
    }
    const bool runLength = layout.compression == BiRle8 || layout.compression == BiRle4;
    if (!runLength && !UncompressedDataFits(layout)) {
        *failure = ConversionErrorText;
        return nullptr;
    }
    if (std::int64_t{layout.width} * layout.height > MaxBitmapPixels) {
        *failure = OutOfMemoryText;
        return nullptr;
    }
    auto* pixels = static_cast<std::uint8_t*>(std::malloc(std::size_t(layout.width) * std::size_t(layout.height) * 3));
    if (!pixels) {
        *failure = OutOfMemoryText;
        return nullptr;
    }
    if (runLength) {
        if (!ConvertRunLength(layout, pixels)) {
            std::free(pixels);
            *failure = ConversionErrorText;
            return nullptr;
        }
    } else {
        ConvertUncompressed(layout, pixels);
    }
    auto* image = static_cast<ImageRecord*>(std::malloc(sizeof(ImageRecord)));
    if (!image) {
        std::free(pixels);
        *failure = OutOfMemoryText;
        return nullptr;
    }
    image->width = layout.width;
    image->height = layout.height;
    image->pixels = pixels;
    return image;
}

ImageRecord* DecodeBitmapFile(const char* path) {
    FileView view;
    if (!path || !PlatformMapFile(path, &view)) {
        const std::string text = std::string("Failed to open DIB file ") + (path ? path : "") + ".\n";
        ShowDecoderMessage(text.c_str());
        return nullptr;
    }
    const char* failure = nullptr;
    ImageRecord* image = DecodeBitmapBytes(view.bytes, view.size, &failure);
    if (!image) ShowDecoderMessage(failure);
    PlatformUnmapFile(&view);
    return image;
}

void FreeImageRecord(ImageRecord* image) {
    if (!image) return;
    std::free(image->pixels);
    std::free(image);
}
