// olvo_bmp.cpp -- decodes one BMP with the program's own decoder: prints its size, writes PNG or raw pixels.
//
//   olvo-bmp IN.bmp [OUT]   OUT ending in .png gets a PNG; any other OUT gets the pixels exactly as the decoder
//                           holds them (red, green, blue; bottom row first; no padding).
#include <cstdio>
#include <cstring>

#include <stb/stb_image_write.h>

#include "image/bmp_decoder.h"

namespace {

bool EndsWith(const char* text, const char* suffix) {
    const std::size_t length = std::strlen(text);
    const std::size_t suffixLength = std::strlen(suffix);
    return length >= suffixLength && std::strcmp(text + length - suffixLength, suffix) == 0;
}

bool WriteRaw(const char* path, const ImageRecord* image) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const std::size_t size = std::size_t(image->width) * std::size_t(image->height) * 3;
    const bool written = std::fwrite(image->pixels, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

bool WritePng(const char* path, const ImageRecord* image) {
    // PNG rows run top first.
    stbi_flip_vertically_on_write(1);
    return stbi_write_png(path, image->width, image->height, 3, image->pixels, image->width * 3) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: olvo-bmp IN.bmp [OUT.png | OUT.raw]\n");
        return 2;
    }
    ImageRecord* image = DecodeBitmapFile(argv[1]);
    if (!image) return 1;
    std::printf("%dx%d\n", image->width, image->height);
    int status = 0;
    if (argc == 3) {
        const bool written = EndsWith(argv[2], ".png") ? WritePng(argv[2], image) : WriteRaw(argv[2], image);
        if (!written) {
            std::fprintf(stderr, "olvo-bmp: can't write %s\n", argv[2]);
            std::remove(argv[2]);
            status = 1;
        }
    }
    FreeImageRecord(image);
    return status;
}
