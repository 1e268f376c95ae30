// alpha_compose.cpp -- RGB pictures and grey masks combined into the RGBA images of the alpha textures.
#include "image/alpha_compose.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/bmp_decoder.h"
#include "platform/platform.h"

namespace {

void ShowLoadMessage(const char* text) {
    PlatformMessageBox(PlatformGetFocus(), text, DecoderCaption, MB_OK);
}

std::size_t PixelCount(const ImageRecord* image) {
    return std::size_t(image->width) * std::size_t(image->height);
}

// A buffer for the mask's size with its red channel in every fourth byte; none (after the message) when it
// can't be allocated.
std::uint8_t* AllocateWithAlpha(const ImageRecord* mask) {
    auto* rgba = static_cast<std::uint8_t*>(std::malloc(PixelCount(mask) * 4));
    if (!rgba) {
        ShowLoadMessage(OutOfMemoryText);
        return nullptr;
    }
    const std::size_t count = PixelCount(mask);
    for (std::size_t p = 0; p < count; ++p) rgba[4 * p + 3] = mask->pixels[3 * p];
    return rgba;
}

}  // namespace

ImageRecord* LoadBitmapChecked(const char* path) {
    if (!path) return nullptr;
    std::FILE* file = std::fopen(path, "r");
    if (!file) return nullptr;
    std::fclose(file);
    return DecodeBitmapFile(path);
}

ImageRecord* LoadBitmapWithAlpha(const char* colourPath, const char* alphaPath) {
    ImageRecord* mask = DecodeBitmapFile(alphaPath);
    if (!mask) return nullptr;
    std::uint8_t* rgba = AllocateWithAlpha(mask);
    if (!rgba) {
        FreeImageRecord(mask);
        return nullptr;
    }
    ImageRecord* colour = DecodeBitmapFile(colourPath);
    if (!colour) {
        std::free(rgba);
        FreeImageRecord(mask);
        return nullptr;
    }
    if (colour->width != mask->width || colour->height != mask->height) {
        const std::string text = std::string("Image ") + colourPath + " and its mask " + alphaPath +
                                 " differ in size.";
        ShowLoadMessage(text.c_str());
        std::free(rgba);
        FreeImageRecord(mask);
        FreeImageRecord(colour);
        return nullptr;
    }
    const std::size_t count = PixelCount(colour);
    for (std::size_t p = 0; p < count; ++p) {
        rgba[4 * p + 0] = colour->pixels[3 * p + 0];
        rgba[4 * p + 1] = colour->pixels[3 * p + 1];
        rgba[4 * p + 2] = colour->pixels[3 * p + 2];
    }
    FreeImageRecord(mask);
    std::free(colour->pixels);
    colour->pixels = rgba;
    return colour;
}

ImageRecord* LoadTintedAlpha(std::uint8_t red, std::uint8_t green, std::uint8_t blue, const char* alphaPath) {
    ImageRecord* mask = DecodeBitmapFile(alphaPath);
    if (!mask) return nullptr;
    std::uint8_t* rgba = AllocateWithAlpha(mask);
    if (!rgba) {
        FreeImageRecord(mask);
        return nullptr;
    }
    const std::size_t count = PixelCount(mask);
    for (std::size_t p = 0; p < count; ++p) {
        rgba[4 * p + 0] = red;
        rgba[4 * p + 1] = green;
        rgba[4 * p + 2] = blue;
    }
    std::free(mask->pixels);
    mask->pixels = rgba;
    return mask;
}
