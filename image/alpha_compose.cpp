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

// Decodes the mask and lays its red channel into every fourth byte of a new RGBA buffer of the mask's size.
// False, after the message, when either fails; then nothing is held.
bool LoadAlpha(const char* alphaPath, ImageRecord** mask, std::uint8_t** rgba) {
    *mask = DecodeBitmapFile(alphaPath);
    if (!*mask) return false;
    const std::size_t count = PixelCount(*mask);
    *rgba = static_cast<std::uint8_t*>(std::malloc(count * 4));
    if (!*rgba) {
        ShowLoadMessage(OutOfMemoryText);
        FreeImageRecord(*mask);
        return false;
    }
    for (std::size_t p = 0; p < count; ++p) (*rgba)[4 * p + 3] = (*mask)->pixels[3 * p];
    return true;
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
    ImageRecord* mask;
    std::uint8_t* rgba;
    if (!LoadAlpha(alphaPath, &mask, &rgba)) return nullptr;
    ImageRecord* colour = DecodeBitmapFile(colourPath);
    const bool sameSize = colour && colour->width == mask->width && colour->height == mask->height;
    if (colour && !sameSize) {
        const std::string text = std::string("Image ") + colourPath + " and its mask " + alphaPath +
                                 " differ in size.";
        ShowLoadMessage(text.c_str());
    }
    FreeImageRecord(mask);
    if (!sameSize) {
        std::free(rgba);
        FreeImageRecord(colour);
        return nullptr;
    }
    const std::size_t count = PixelCount(colour);
    for (std::size_t p = 0; p < count; ++p) {
        rgba[4 * p + 0] = colour->pixels[3 * p + 0];
        rgba[4 * p + 1] = colour->pixels[3 * p + 1];
        rgba[4 * p + 2] = colour->pixels[3 * p + 2];
    }
    std::free(colour->pixels);
    colour->pixels = rgba;
    return colour;
}

ImageRecord* LoadTintedAlpha(std::uint8_t red, std::uint8_t green, std::uint8_t blue, const char* alphaPath) {
    ImageRecord* mask;
    std::uint8_t* rgba;
    if (!LoadAlpha(alphaPath, &mask, &rgba)) return nullptr;
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
