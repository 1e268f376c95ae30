// texture_set.cpp -- which picture feeds which texture, and the upload of each.
#include "image/texture_set.h"

#include "image/alpha_compose.h"

GLuint StarfieldTexture = 0;
GLuint TestTexture = 0;
GLuint ShipTexture = 0;
GLuint MeshTexture = 0;
GLuint LightTexture = 0;

const TextureSource TextureTable[TextureCount] = {
    {"starfield", &StarfieldTexture, "data/starfield.bmp", nullptr},
    {"test", &TestTexture, "data/test.bmp", nullptr},
    {"ship", &ShipTexture, "data/ship.bmp", "data/ship_alpha.bmp"},
    {"sprite", &MeshTexture, "data/merolan.bmp", "data/merolan_alpha.bmp"},
    {"light", &LightTexture, nullptr, "data/light_alpha.bmp"},
};

ImageRecord* LoadTextureSource(const TextureSource& source) {
    if (!source.alphaPath) return LoadBitmapChecked(source.colourPath);
    if (source.colourPath) return LoadBitmapWithAlpha(source.colourPath, source.alphaPath);
    return LoadTintedAlpha(255, 255, 255, source.alphaPath);
}

void UploadTexture(const ImageRecord* image, GLuint* slot, GLint components, GLenum format) {
    glGenTextures(1, slot);
    glBindTexture(GL_TEXTURE_2D, *slot);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    // The pixels are packed without row gaps, while GL reads rows padded to 4 bytes by default: a row whose
    // length isn't a multiple of 4 is read unpadded, then the default is put back.
    const bool padded = (std::int64_t{image->width} * components) % 4 == 0;
    if (!padded) glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, components, image->width, image->height, 0, format, GL_UNSIGNED_BYTE,
                 image->pixels);
    if (!padded) glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

bool LoadTextureSet() {
    bool status = false;
    for (const TextureSource& source : TextureTable) {
        // A name from an earlier context may belong to another texture in this one: a slot whose picture
        // fails is 0, so its layer is drawn plain white.
        *source.slot = 0;
        ImageRecord* image = LoadTextureSource(source);
        if (!image) continue;
        status = true;
        const bool alpha = source.alphaPath != nullptr;
        UploadTexture(image, source.slot, alpha ? 4 : 3, alpha ? GL_RGBA : GL_RGB);
        FreeImageRecord(image);
    }
    return status;
}
