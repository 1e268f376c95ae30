// alpha_compose.h -- loads pictures for textures, composing RGBA from a colour picture and a grey mask.
#pragma once

#include <cstdint>

#include "image/image_record.h"

// Decodes the file if it can be opened for reading; a file that can't be opened gives none without a message.
ImageRecord* LoadBitmapChecked(const char* path);

// RGBA from a colour picture and a mask of the same size, the mask's red channel as alpha. The mask is decoded
// first. Pictures of different sizes are refused with one "Error" box that names both files.
ImageRecord* LoadBitmapWithAlpha(const char* colourPath, const char* alphaPath);

// RGBA of one constant colour, the mask's red channel as alpha.
ImageRecord* LoadTintedAlpha(std::uint8_t red, std::uint8_t green, std::uint8_t blue, const char* alphaPath);
