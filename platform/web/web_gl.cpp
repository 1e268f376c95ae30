// web_gl.cpp -- desktop OpenGL 1.1 meanings for the calls the browser's GL emulation takes differently, and a copy
// of what the program made, to give again to the context that replaces a lost one.
#define WEB_GL_LAYER  // this file calls the emulation itself
#include "platform/web/web_gl.h"

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

// The page side, in web_browser.js.
extern "C" {
GLuint WebReserveTextureName();
void WebAdoptTextureName(GLuint name);
}

namespace {

// The current normal and texture coordinate: GL state, kept across glBegin/glEnd as on the desktop.
GLfloat currentNormal[3] = {0.0f, 0.0f, 1.0f};
GLfloat currentTexCoord[2] = {0.0f, 0.0f};

// A texture as the program made it: its parameters in the order given, and its level-0 image (the program makes
// no others), rows as GL read them.
struct KeptTexture {
    GLuint name;
    std::vector<std::pair<GLenum, GLint>> parameters;
    bool hasImage;
    GLint internalFormat;
    GLsizei width, height;
    GLenum format, type;
    GLint alignment;
    std::vector<std::uint8_t> pixels;  // empty when the program gave none
};

// The fixed state the program set, as it set it. Lights, the lighting switch and the matrices live in the
// emulation's script, which a lost context leaves alone (the page keeps the matrices across its set-up).
struct KeptState {
    std::vector<KeptTexture> textures;  // the textures of the program's current context
    GLuint boundTexture;                // the name the program bound last
    GLuint whiteTexture;                // this layer's own, in the current context
    GLint unpackAlignment = 4;
    std::vector<std::pair<GLenum, bool>> capabilities;  // each capability's last glEnable/glDisable
    GLclampf clearColor[4];
    GLclampd clearDepth = 1.0;
    GLenum depthFunction = GL_LESS;
    GLenum blendSource = GL_ONE, blendDestination = GL_ZERO;
    bool viewportSet;
    GLint viewport[4];                   // in window pixels
    float pixelScale[2] = {1.0f, 1.0f};  // drawing-buffer pixels per window pixel
};

KeptState kept;

KeptTexture* FindTexture(GLuint name) {
    for (KeptTexture& texture : kept.textures) {
        if (texture.name == name) return &texture;
    }
    return nullptr;
}

// Bytes per pixel of the formats WebGL 1 takes; 0 for any other.
int PixelBytes(GLenum format, GLenum type) {
    if (type == GL_UNSIGNED_SHORT_5_6_5 || type == GL_UNSIGNED_SHORT_4_4_4_4 || type == GL_UNSIGNED_SHORT_5_5_5_1) {
        return 2;
    }
    if (type != GL_UNSIGNED_BYTE) return 0;
    switch (format) {
    case GL_ALPHA: case GL_LUMINANCE: return 1;
    case GL_LUMINANCE_ALPHA: return 2;
    case GL_RGB: return 3;
    case GL_RGBA: return 4;
    default: return 0;
    }
}

void ApplyViewport() {
    if (!kept.viewportSet) return;
    glViewport(GLint(std::lround(kept.viewport[0] * kept.pixelScale[0])),
               GLint(std::lround(kept.viewport[1] * kept.pixelScale[1])),
               GLsizei(std::lround(kept.viewport[2] * kept.pixelScale[0])),
               GLsizei(std::lround(kept.viewport[3] * kept.pixelScale[1])));
}

void KeepCapability(GLenum capability, bool on) {
    for (auto& known : kept.capabilities) {
        if (known.first == capability) {
            known.second = on;
            return;
        }
    }
    kept.capabilities.emplace_back(capability, on);
}

void UploadKeptImage(const KeptTexture& texture) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, texture.alignment);
    glTexImage2D(GL_TEXTURE_2D, 0, texture.internalFormat, texture.width, texture.height, 0, texture.format,
                 texture.type, texture.pixels.empty() ? nullptr : texture.pixels.data());
}

}  // namespace

// Quads drawn one after another with nothing changed between them go to the emulation as one glBegin/glEnd:
// each of its draws costs far more than the vertices in it.
namespace {
GLenum batchMode = 0;     // the open batch's primitive, 0 when none is open
bool batchEnded = false;  // the program has ended the batch's last primitive
}  // namespace

void WebGlFlushBatch() {
    if (batchMode && batchEnded) glEnd();
    if (batchEnded) batchMode = 0;
    batchEnded = false;
}

void WebGlBegin(GLenum mode) {
    if (batchMode == mode && batchEnded && mode == GL_QUADS) {
        batchEnded = false;
        return;
    }
    WebGlFlushBatch();
    glBegin(mode);
    batchMode = mode;
}

void WebGlEnd() {
    batchEnded = true;
}

void WebGlNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    currentNormal[0] = x;
    currentNormal[1] = y;
    currentNormal[2] = z;
}

void WebGlTexCoord2f(GLfloat s, GLfloat t) {
    currentTexCoord[0] = s;
    currentTexCoord[1] = t;
}

// Every vertex carries all its attributes in one order, so each has the layout the emulation took from the first.
void WebGlVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    glNormal3f(currentNormal[0], currentNormal[1], currentNormal[2]);
    glTexCoord2f(currentTexCoord[0], currentTexCoord[1]);
    glVertex3f(x, y, z);
}

// WebGL 1 wants the internal format named as the pixel format is; the old component counts are refused. Only
// the program's own textures are written: the white texture stands in for every other name.
void WebGlTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                     GLenum format, GLenum type, const void* pixels) {
    switch (internalFormat) {
    case 1: internalFormat = GL_LUMINANCE; break;
    case 2: internalFormat = GL_LUMINANCE_ALPHA; break;
    case 3: internalFormat = GL_RGB; break;
    case 4: internalFormat = GL_RGBA; break;
    default: break;
    }
    KeptTexture* texture = FindTexture(kept.boundTexture);
    if (!texture) return;
    glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
    const int pixelBytes = PixelBytes(format, type);
    if (target != GL_TEXTURE_2D || level != 0 || width <= 0 || height <= 0 || pixelBytes == 0) return;
    texture->hasImage = true;
    texture->internalFormat = internalFormat;
    texture->width = width;
    texture->height = height;
    texture->format = format;
    texture->type = type;
    texture->alignment = kept.unpackAlignment;
    texture->pixels.clear();
    if (!pixels) return;
    // Rows are padded to the unpack alignment, but GL reads no padding after the last one.
    const std::size_t row = std::size_t(width) * std::size_t(pixelBytes);
    const std::size_t alignment = std::size_t(kept.unpackAlignment);
    const std::size_t stride = (row + alignment - 1) / alignment * alignment;
    const auto* bytes = static_cast<const std::uint8_t*>(pixels);
    texture->pixels.assign(bytes, bytes + stride * std::size_t(height - 1) + row);
}

// WebGL has no border texels, so GL_CLAMP becomes clamping to the edge texels: a filtered edge shows the edge
// texel where the desktop blends in the (transparent black) border.
void WebGlTexParameteri(GLenum target, GLenum name, GLint value) {
    if ((name == GL_TEXTURE_WRAP_S || name == GL_TEXTURE_WRAP_T) && value == GL_CLAMP) value = GL_CLAMP_TO_EDGE;
    KeptTexture* texture = FindTexture(kept.boundTexture);
    if (!texture) return;
    glTexParameteri(target, name, value);
    for (auto& parameter : texture->parameters) {
        if (parameter.first == name) {
            parameter.second = value;
            return;
        }
    }
    texture->parameters.emplace_back(name, value);
}

// WebGL always interpolates in perspective and has no such hint.
void WebGlHint(GLenum target, GLenum mode) {
    if (target != GL_PERSPECTIVE_CORRECTION_HINT) glHint(target, mode);
}

// WebGL shades smoothly, which is all the program asks for; the emulation has no flat shading to offer.
void WebGlShadeModel(GLenum) {}

// A lost context makes no texture objects, but the program still gets names, for the textures it will have.
void WebGlGenTextures(GLsizei count, GLuint* names) {
    glGenTextures(count, names);
    for (GLsizei i = 0; i < count; ++i) {
        if (names[i] == 0) names[i] = WebReserveTextureName();
        kept.textures.push_back(KeptTexture{names[i], {}, false, 0, 0, 0, 0, 0, 4, {}});
    }
}

void WebGlBindTexture(GLenum target, GLuint name) {
    kept.boundTexture = name;
    glBindTexture(target, FindTexture(name) ? name : kept.whiteTexture);
}

void WebGlPixelStorei(GLenum name, GLint value) {
    glPixelStorei(name, value);
    if (name == GL_UNPACK_ALIGNMENT && (value == 1 || value == 2 || value == 4 || value == 8)) {
        kept.unpackAlignment = value;
    }
}

void WebGlEnable(GLenum capability) {
    glEnable(capability);
    KeepCapability(capability, true);
}

void WebGlDisable(GLenum capability) {
    glDisable(capability);
    KeepCapability(capability, false);
}

void WebGlClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    glClearColor(red, green, blue, alpha);
    kept.clearColor[0] = red;
    kept.clearColor[1] = green;
    kept.clearColor[2] = blue;
    kept.clearColor[3] = alpha;
}

void WebGlClearDepth(GLclampd depth) {
    glClearDepth(depth);
    kept.clearDepth = depth;
}

void WebGlDepthFunc(GLenum function) {
    glDepthFunc(function);
    kept.depthFunction = function;
}

void WebGlBlendFunc(GLenum source, GLenum destination) {
    glBlendFunc(source, destination);
    kept.blendSource = source;
    kept.blendDestination = destination;
}

void WebGlViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    kept.viewportSet = true;
    kept.viewport[0] = x;
    kept.viewport[1] = y;
    kept.viewport[2] = width;
    kept.viewport[3] = height;
    ApplyViewport();
}

void WebGlStartContext() {
    static const std::uint8_t white[4] = {255, 255, 255, 255};
    glGenTextures(1, &kept.whiteTexture);
    glBindTexture(GL_TEXTURE_2D, kept.whiteTexture);
    // One level only, so it must not ask for mipmaps.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glPixelStorei(GL_UNPACK_ALIGNMENT, kept.unpackAlignment);
    glBindTexture(GL_TEXTURE_2D, FindTexture(kept.boundTexture) ? kept.boundTexture : kept.whiteTexture);
}

void WebGlRestoreContext() {
    for (const KeptTexture& texture : kept.textures) {
        WebAdoptTextureName(texture.name);
        glBindTexture(GL_TEXTURE_2D, texture.name);
        for (const auto& [name, value] : texture.parameters) glTexParameteri(GL_TEXTURE_2D, name, value);
        if (texture.hasImage) UploadKeptImage(texture);
    }
    for (const auto& [capability, on] : kept.capabilities) {
        if (on) {
            glEnable(capability);
        } else {
            glDisable(capability);
        }
    }
    glClearColor(kept.clearColor[0], kept.clearColor[1], kept.clearColor[2], kept.clearColor[3]);
    glClearDepth(kept.clearDepth);
    glDepthFunc(kept.depthFunction);
    glBlendFunc(kept.blendSource, kept.blendDestination);
    ApplyViewport();
    WebGlStartContext();  // puts back the unpack alignment and the bound texture too
}

// A new context starts from GL's defaults, as on the desktop; the drawing buffer stays.
void WebGlForgetContext() {
    batchMode = 0;
    batchEnded = false;
    const float across = kept.pixelScale[0], down = kept.pixelScale[1];
    kept = KeptState{};
    kept.pixelScale[0] = across;
    kept.pixelScale[1] = down;
}

void WebGlSetPixelScale(float across, float down) {
    kept.pixelScale[0] = across;
    kept.pixelScale[1] = down;
    ApplyViewport();
}
