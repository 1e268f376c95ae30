// fuzz_compose.cpp -- libFuzzer target: a colour picture and its mask cut from one input, through the same
// composition code that builds the alpha textures. The files are served from memory by a back-end of its own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/claimed_pixels.h"
#include "image/alpha_compose.h"
#include "image/bmp_decoder.h"
#include "platform/platform.h"

namespace {

const std::uint8_t* ColourBytes;
std::size_t ColourSize;
const std::uint8_t* MaskBytes;
std::size_t MaskSize;
int BoxesShown;

}  // namespace

int PlatformMessageBox(HWND, LPCSTR text, LPCSTR, UINT) {
    if (!text || !*text) std::abort();  // every box tells something
    ++BoxesShown;
    return IDOK;
}

HWND PlatformGetFocus() {
    return nullptr;
}

// Empty files can't be opened, as on disk.
bool PlatformMapFile(const char* path, FileView* view) {
    const bool colour = std::strcmp(path, "colour.bmp") == 0;
    if (!colour && std::strcmp(path, "mask.bmp") != 0) std::abort();
    view->size = colour ? ColourSize : MaskSize;
    if (view->size == 0) return false;
    // A copy of its own, so the sanitizer sees any read past the file's end.
    auto* copy = static_cast<std::uint8_t*>(std::malloc(view->size));
    std::memcpy(copy, colour ? ColourBytes : MaskBytes, view->size);
    view->bytes = copy;
    view->handle = nullptr;
    return true;
}

void PlatformUnmapFile(FileView* view) {
    std::free(const_cast<std::uint8_t*>(view->bytes));
    view->bytes = nullptr;
    view->size = 0;
}

namespace {

ImageRecord* Decode(const std::uint8_t* bytes, std::size_t size) {
    const char* failure = nullptr;
    return size ? DecodeBitmapBytes(bytes, size, &failure) : nullptr;
}

// The composed picture has the colour picture's RGB (or the tint) and the mask's red channel as alpha.
void CheckComposed(const ImageRecord* composed, const ImageRecord* colour, const ImageRecord* mask) {
    if (!mask || (colour && (colour->width != mask->width || colour->height != mask->height))) std::abort();
    if (composed->width != mask->width || composed->height != mask->height) std::abort();
    const std::size_t count = std::size_t(mask->width) * std::size_t(mask->height);
    for (std::size_t p = 0; p < count; ++p) {
        const std::uint8_t* rgba = composed->pixels + 4 * p;
        if (rgba[3] != mask->pixels[3 * p]) std::abort();
        for (int c = 0; c < 3; ++c) {
            if (rgba[c] != (colour ? colour->pixels[3 * p + c] : 255)) std::abort();
        }
    }
}

}  // namespace

// The first byte picks the tinted mask (odd) or colour and mask (even); the next two give where the mask starts.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return -1;
    const bool tinted = data[0] & 1;
    const std::size_t split = std::min<std::size_t>(size - 3, std::size_t(data[1] | data[2] << 8));
    ColourBytes = data + 3, ColourSize = tinted ? 0 : split;
    MaskBytes = data + 3 + split, MaskSize = size - 3 - split;
    if (ClaimsTooManyPixels(ColourBytes, ColourSize) || ClaimsTooManyPixels(MaskBytes, MaskSize)) return -1;

    BoxesShown = 0;
    ImageRecord* composed = tinted ? LoadTintedAlpha(255, 255, 255, "mask.bmp")
                                   : LoadBitmapWithAlpha("colour.bmp", "mask.bmp");
    const int boxes = BoxesShown;
    ImageRecord* mask = Decode(MaskBytes, MaskSize);
    ImageRecord* colour = tinted ? nullptr : Decode(ColourBytes, ColourSize);
    if (composed) {
        if (boxes != 0 || (!tinted && !colour)) std::abort();
        CheckComposed(composed, colour, mask);
    } else if (boxes != 1) {
        std::abort();  // a refused pair is told exactly once
    }
    FreeImageRecord(composed);
    FreeImageRecord(mask);
    FreeImageRecord(colour);
    return 0;
}
