// texture_set.h -- the five textures of the scene, loaded from data/ into the current GL context.
#pragma once

#include "image/image_record.h"
#include "platform/opengl.h"

// Texture names in the current context; 0 until loaded, and 0 after a load whose picture failed.
extern GLuint StarfieldTexture;
extern GLuint TestTexture;
extern GLuint ShipTexture;
extern GLuint MeshTexture;
extern GLuint LightTexture;

// A texture from a colour picture, from a colour picture and its mask, or (no colour picture) from a mask
// alone tinted white; its name is the one the tools print and take.
struct TextureSource {
    const char* name;
    GLuint* slot;
    const char* colourPath;
    const char* alphaPath;
};

// Which pictures feed which texture, in loading order: the one place that names them (the tools and the packages
// read it).
constexpr int TextureCount = 5;
extern const TextureSource TextureTable[TextureCount];

// The picture of one texture, decoded and composed, after any message it gives; none when it fails.
ImageRecord* LoadTextureSource(const TextureSource& source);

// Creates one texture object from `image` (3 or 4 components, GL_RGB or GL_RGBA) and stores its name in *slot.
void UploadTexture(const ImageRecord* image, GLuint* slot, GLint components, GLenum format);

// Decodes, composes and uploads the whole set; true when at least one texture was made.
bool LoadTextureSet();
