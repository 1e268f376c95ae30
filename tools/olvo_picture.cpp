// olvo_picture.cpp -- makes pictures the program reads, and checks data/ as the program will load it.
//
//   olvo-picture make [--fit WxH] IN OUT.bmp [MASK.bmp]
//   olvo-picture check [DIR]
// `make` reads any PNG, JPEG, GIF, TGA or BMP and writes a 24-bit bottom-up BMP with a 40-byte header, and the
// grey mask of its alpha channel: both files are replaced together, or, when one can't be, neither. `check` loads each texture's pictures through the program's own code, with a
// back-end that keeps every message box, and adds what the program doesn't say.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>

#include "image/bmp_decoder.h"
#include "image/texture_set.h"
#include "platform/platform.h"

namespace {

// The message boxes the program's code shows, caption and text, since the last Take.
std::vector<std::string> shownBoxes;

std::vector<std::string> TakeBoxes() {
    std::vector<std::string> boxes;
    boxes.swap(shownBoxes);
    return boxes;
}

constexpr char Usage[] =
    "usage: olvo-picture make [--fit WxH] IN OUT.bmp [MASK.bmp]\n"
    "       olvo-picture check [DIR]\n"
    "  make   turns a PNG, JPEG, GIF, TGA or BMP into a 24-bit BMP the program reads and, given MASK.bmp,\n"
    "         its alpha channel into a grey mask (white where it has none); sides must be powers of two,\n"
    "         or --fit WxH scales it to W x H, both powers of two\n"
    "  check  checks the seven pictures in DIR/data (DIR defaults to the current folder) as the program\n"
    "         loads them; exit status 0 only when all five textures will be made as intended\n";

int UsageError() {
    std::fputs(Usage, stderr);
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "olvo-picture: %s\n", message.c_str());
    return 1;
}

bool IsPowerOfTwo(long side) {
    return side > 0 && (side & (side - 1)) == 0;
}

// The powers of two at or just below and above `side`.
long PowerBelow(long side) {
    long power = 1;
    while (power * 2 <= side) power *= 2;
    return power;
}

long PowerAbove(long side) {
    const long below = PowerBelow(side);
    return below == side ? side : below * 2;
}

long NearestPower(long side) {
    const long below = PowerBelow(side);
    const long above = PowerAbove(side);
    return side - below < above - side ? below : above;
}

std::string Size(long width, long height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// ---- make ----------------------------------------------------------------------------------------------------

// A 24-bit uncompressed BMP, 40-byte header, rows bottom first and padded to 4 bytes, from RGBA rows top first;
// `alphaAsGrey` writes each pixel's alpha as a grey level instead of its colour.
std::vector<std::uint8_t> EncodeBmp24(const std::uint8_t* rgba, int width, int height, bool alphaAsGrey) {
    const std::size_t stride = (std::size_t(width) * 3 + 3) / 4 * 4;
    const std::size_t dataSize = stride * std::size_t(height);
    std::vector<std::uint8_t> out(54 + dataSize, 0);
    auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out[at + i] = std::uint8_t(value >> (8 * i));
    };
    out[0] = 'B', out[1] = 'M';
    put(2, std::uint32_t(out.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, std::uint32_t(width), 4);
    put(22, std::uint32_t(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, std::uint32_t(dataSize), 4);
    put(38, 2835, 4);  // 72 dots per inch
    put(42, 2835, 4);
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* in = rgba + std::size_t(height - 1 - row) * std::size_t(width) * 4;
        std::uint8_t* dst = out.data() + 54 + std::size_t(row) * stride;
        for (int x = 0; x < width; ++x, in += 4, dst += 3) {
            dst[0] = alphaAsGrey ? in[3] : in[2];
            dst[1] = alphaAsGrey ? in[3] : in[1];
            dst[2] = alphaAsGrey ? in[3] : in[0];
        }
    }
    return out;
}

// A file written under a temporary name beside its target, put in place only once complete. Temporary and
// backup names are hidden and don't end in .bmp, so that nothing looking for pictures ever takes one.
struct PendingFile {
    std::string target;
    std::string temporary;  // the new file until it is renamed into place; empty when there is none
    std::string backup;     // another name for the old file while the pair is put in place
    bool placed = false;
};

// The temporary files being written, removed should SIGINT, SIGTERM or SIGHUP end the tool meanwhile.
const char* volatile signalTemporaries[2] = {};
sigset_t stopSignals;

void RemoveTemporariesAndStop(int signal) {
    for (const char* path : signalTemporaries) {
        if (path) unlink(path);
    }
    raise(signal);  // the handler is reset as it runs: once it returns, the signal ends the tool as usual
}

void RemoveTemporariesOnSignals() {
    struct sigaction action = {};
    action.sa_handler = RemoveTemporariesAndStop;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&stopSignals, signal);
        sigaction(signal, &action, nullptr);
    }
}

bool WriteTemporary(const std::vector<std::uint8_t>& bytes, PendingFile* file, const char* volatile* registered,
                    std::string* why) {
    // Renaming over a device or a pipe would replace it (a folder refuses the rename): only a regular file, a
    // folder or nothing yet is a target.
    const char* target = file->target.c_str();
    struct stat existing;
    if (stat(target, &existing) == 0 && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
        *why = file->target + ": not a regular file";
        return false;
    }
    const std::string folder = std::filesystem::path(file->target).parent_path().string();
    std::string name = (folder.empty() ? "." : folder) + "/.olvo-picture-XXXXXX";
    // Signals wait while the name is made and noted, so that no temporary file escapes the handler.
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &stopSignals, &previous);
    const int fd = mkstemp(name.data());
    if (fd >= 0) {
        file->temporary = name;
        *registered = file->temporary.c_str();
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0) {
        *why = file->target + ": " + std::strerror(errno);
        return false;
    }
    const mode_t mask = umask(0);
    umask(mask);
    bool written = fchmod(fd, 0666 & ~mask) == 0;
    for (std::size_t done = 0; written && done < bytes.size();) {
        const ssize_t count = write(fd, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) written = false;
        else done += std::size_t(count);
    }
    const int error = errno;
    if (close(fd) != 0 && written) written = false;
    if (!written) *why = file->target + ": " + std::strerror(error ? error : errno);
    return written;
}

// Puts every file in place, or none: each old file is kept under a second name until all the new ones are in
// place, and put back when one can't be. Signals wait until it is done, so that it never stops half way.
bool PutInPlace(std::vector<PendingFile>& files, bool ok, std::string* why) {
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &stopSignals, &previous);
    for (PendingFile& file : files) {
        if (!ok) break;
        const char* target = file.target.c_str();
        struct stat old;
        if (lstat(target, &old) == 0 && !S_ISDIR(old.st_mode)) {
            // A hard link keeps the old file at its name meanwhile; where there are none, it moves aside.
            file.backup = file.temporary + "-old";
            if (link(target, file.backup.c_str()) != 0 && std::rename(target, file.backup.c_str()) != 0) {
                *why = file.target + ": can't keep the old file: " + std::strerror(errno);
                file.backup.clear();
                ok = false;
                break;
            }
        }
        ok = std::rename(file.temporary.c_str(), target) == 0;
        if (!ok) *why = file.target + ": " + std::strerror(errno);
        file.placed = ok;
    }
    for (PendingFile& file : files) {
        const char* target = file.target.c_str();
        if (!ok && file.placed && file.backup.empty()) unlink(target);  // there was no old file
        // A backup that is still a second name of the file in place is left by the rename, and goes by the unlink.
        if (!ok && !file.backup.empty() && std::rename(file.backup.c_str(), target) != 0) {
            *why += "; the old " + file.target + " is kept as " + file.backup;
            file.backup.clear();
        }
        if (!file.backup.empty()) unlink(file.backup.c_str());
        if (!file.placed && !file.temporary.empty()) unlink(file.temporary.c_str());
    }
    signalTemporaries[0] = nullptr;
    signalTemporaries[1] = nullptr;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return ok;
}

// Whether two paths name one file: the same file where both exist, else the same place once resolved.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (std::filesystem::exists(a, error) && std::filesystem::exists(b, error))
        return std::filesystem::equivalent(a, b, error);
    const std::filesystem::path resolvedA = std::filesystem::weakly_canonical(std::filesystem::absolute(a), error);
    if (error) return false;
    return resolvedA == std::filesystem::weakly_canonical(std::filesystem::absolute(b), error) && !error;
}

// Parses WxH into two powers of two no larger than the decoder takes.
bool ParseFit(const char* text, int* width, int* height) {
    char* end = nullptr;
    errno = 0;
    const long w = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X')) return false;
    const char* rest = end + 1;
    const long h = std::strtol(rest, &end, 10);
    if (end == rest || *end != '\0' || errno != 0) return false;
    if (!IsPowerOfTwo(w) || !IsPowerOfTwo(h) || w > 65536 || h > 65536) return false;
    *width = int(w);
    *height = int(h);
    return true;
}

int Make(int argc, char** argv) {
    std::vector<const char*> paths;
    int fitWidth = 0, fitHeight = 0;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fit") == 0) {
            if (fitWidth != 0 || i + 1 == argc) return UsageError();
            if (!ParseFit(argv[++i], &fitWidth, &fitHeight))
                return Fail(std::string("--fit takes WxH, both powers of two (e.g. --fit 256x256), not ") + argv[i]);
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return UsageError();
        } else {
            paths.push_back(argv[i]);
        }
    }
    if (paths.size() < 2 || paths.size() > 3) return UsageError();
    const char* in = paths[0];
    const std::string out = paths[1];
    const std::string mask = paths.size() == 3 ? paths[2] : "";
    // The picture may replace the file it is made from (a newer BMP made one the program reads); its mask may not.
    if (!mask.empty() && SameFile(out, mask)) return Fail("the picture and its mask can't both be " + out);
    if (!mask.empty() && SameFile(in, mask))
        return Fail("the mask " + mask + " would replace the picture it is made from");

    std::FILE* file = std::fopen(in, "rb");
    if (!file) return Fail(std::string("can't open ") + in + ": " + std::strerror(errno));
    int width = 0, height = 0, channels = 0;
    stbi_uc* loaded = stbi_load_from_file(file, &width, &height, &channels, 4);
    std::fclose(file);
    if (!loaded) {
        return Fail(std::string("can't read ") + in + " as a PNG, JPEG, GIF, TGA or BMP picture (" +
                    stbi_failure_reason() + ")");
    }
    std::vector<std::uint8_t> rgba(loaded, loaded + std::size_t(width) * std::size_t(height) * 4);
    stbi_image_free(loaded);

    if (fitWidth != 0) {
        if (std::int64_t{fitWidth} * fitHeight > MaxBitmapPixels)
            return Fail("--fit " + Size(fitWidth, fitHeight) + " is larger than the program reads (8192 x 8192)");
        std::vector<std::uint8_t> fitted(std::size_t(fitWidth) * std::size_t(fitHeight) * 4);
        if (!stbir_resize_uint8_srgb(rgba.data(), width, height, 0, fitted.data(), fitWidth, fitHeight, 0, 4, 3, 0))
            return Fail(std::string("can't scale ") + in + " to " + Size(fitWidth, fitHeight));
        rgba.swap(fitted);
        width = fitWidth;
        height = fitHeight;
    } else if (!IsPowerOfTwo(width) || !IsPowerOfTwo(height)) {
        const long nearW = NearestPower(width), nearH = NearestPower(height);
        return Fail(std::string(in) + " is " + Size(width, height) +
                    ", and the program needs sides that are powers of two: the nearest size is " + Size(nearW, nearH) +
                    " (add --fit " + std::to_string(nearW) + "x" + std::to_string(nearH) + "; " +
                    std::to_string(PowerBelow(width)) + " or " + std::to_string(PowerAbove(width)) + " wide, " +
                    std::to_string(PowerBelow(height)) + " or " + std::to_string(PowerAbove(height)) + " high)");
    } else if (std::int64_t{width} * height > MaxBitmapPixels) {
        return Fail(std::string(in) + " is " + Size(width, height) +
                    ", larger than the program reads (8192 x 8192): add --fit WxH");
    }

    // Sized once: the signal handler reads the temporaries' names where they are.
    std::vector<PendingFile> pending(mask.empty() ? 1 : 2);
    pending[0].target = out;
    if (!mask.empty()) pending[1].target = mask;
    RemoveTemporariesOnSignals();
    std::string why;
    bool ok = WriteTemporary(EncodeBmp24(rgba.data(), width, height, false), &pending[0], &signalTemporaries[0], &why);
    if (ok && !mask.empty())
        ok = WriteTemporary(EncodeBmp24(rgba.data(), width, height, true), &pending[1], &signalTemporaries[1], &why);
    if (!PutInPlace(pending, ok, &why)) return Fail("can't write " + why);

    std::printf("%s: %s, 24-bit\n", out.c_str(), Size(width, height).c_str());
    if (!mask.empty()) {
        bool transparent = false;
        for (std::size_t p = 3; p < rgba.size() && !transparent; p += 4) transparent = rgba[p] != 255;
        std::printf("%s: %s, grey mask %s\n", mask.c_str(), Size(width, height).c_str(),
                    transparent ? "of the alpha channel" : "all white (the picture is opaque)");
    }
    return 0;
}

// ---- check ---------------------------------------------------------------------------------------------------

// One file decoded on its own, without a message: its size and pixels, or why it fails.
struct FileReport {
    const char* path = nullptr;
    bool opened = false;
    std::string openError;
    std::uint32_t headerSize = 0;  // 0 when the file isn't a BMP
    ImageRecord* image = nullptr;
    const char* failure = nullptr;
};

FileReport ReadQuietly(const char* path) {
    FileReport report;
    report.path = path;
    std::FILE* probe = std::fopen(path, "r");
    if (!probe) {
        report.openError = std::strerror(errno);
        return report;
    }
    std::fclose(probe);
    FileView view;
    if (!PlatformMapFile(path, &view)) {
        report.openError = "empty or unreadable";
        return report;
    }
    report.opened = true;
    if (view.size >= 18 && view.bytes[0] == 'B' && view.bytes[1] == 'M') {
        const std::uint8_t* h = view.bytes + 14;
        report.headerSize = std::uint32_t{h[0]} | std::uint32_t{h[1]} << 8 | std::uint32_t{h[2]} << 16 |
                            std::uint32_t{h[3]} << 24;
    }
    report.image = DecodeBitmapBytes(view.bytes, view.size, &report.failure);
    PlatformUnmapFile(&view);
    return report;
}

// What the program won't say about one file that feeds a texture as `role`.
void FileFindings(const FileReport& file, bool isMask, bool rgbTexture, std::vector<std::string>* findings) {
    const std::string path = file.path;
    if (!file.opened) {
        findings->push_back(path + " can't be opened (" + file.openError + ")");
        return;
    }
    if (!file.image) {
        const bool unknown = std::strcmp(file.failure, UnknownFormatText) == 0;
        if (unknown && file.headerSize != 0) {
            findings->push_back(path + " has a " + std::to_string(file.headerSize) +
                                "-byte header; the program reads 12- and 40-byte ones (olvo-picture make rewrites it)");
        } else if (unknown) {
            findings->push_back(path + " isn't a BMP file (olvo-picture make converts PNG, JPEG, GIF and TGA)");
        }
        return;
    }
    const ImageRecord& image = *file.image;
    if (!IsPowerOfTwo(image.width) || !IsPowerOfTwo(image.height)) {
        findings->push_back(path + " is " + Size(image.width, image.height) +
                            ": sides that aren't powers of two are refused by OpenGL 1.1 drivers (nearest: " +
                            Size(NearestPower(image.width), NearestPower(image.height)) + ")");
    }
    if (rgbTexture && (std::int64_t{image.width} * 3) % 4 != 0) {
        findings->push_back(path + " has rows of " + std::to_string(std::int64_t{image.width} * 3) +
                            " bytes, not a multiple of 4: a driver that ignores the row alignment the program sets "
                            "reads it skewed");
    }
    if (isMask) {
        const std::size_t count = std::size_t(image.width) * std::size_t(image.height);
        for (std::size_t p = 0; p < count; ++p) {
            const std::uint8_t* px = image.pixels + 3 * p;
            if (px[0] == px[1] && px[0] == px[2]) continue;
            const std::size_t x = p % std::size_t(image.width);
            const std::size_t y = std::size_t(image.height) - 1 - p / std::size_t(image.width);
            findings->push_back(path + " isn't grey (at x " + std::to_string(x) + ", y " + std::to_string(y) +
                                " from the top: red " + std::to_string(px[0]) + ", green " + std::to_string(px[1]) +
                                ", blue " + std::to_string(px[2]) + "): only its red channel becomes alpha");
            break;
        }
    }
}

int Check(int argc, char** argv) {
    if (argc > 1) return UsageError();
    const char* dir = argc == 1 ? argv[0] : ".";
    if (chdir(dir) != 0) return Fail(std::string("can't open the folder ") + dir + ": " + std::strerror(errno));
    // The paths in the program's messages are relative to where it runs, which is where data/ is.
    int made = 0;
    int findingCount = 0;
    for (const TextureSource& source : TextureTable) {
        TakeBoxes();
        ImageRecord* image = LoadTextureSource(source);
        const std::vector<std::string> boxes = TakeBoxes();

        std::vector<FileReport> files;
        if (source.colourPath) files.push_back(ReadQuietly(source.colourPath));
        if (source.alphaPath) files.push_back(ReadQuietly(source.alphaPath));
        std::vector<std::string> findings;
        for (const FileReport& file : files) {
            FileFindings(file, file.path == source.alphaPath, source.alphaPath == nullptr, &findings);
        }
        const ImageRecord* colour = files.size() == 2 ? files[0].image : nullptr;
        const ImageRecord* alpha = files.size() == 2 ? files[1].image : nullptr;
        if (colour && alpha && (colour->width != alpha->width || colour->height != alpha->height)) {
            findings.push_back(std::string(files[0].path) + " is " + Size(colour->width, colour->height) +
                               ", its mask " + files[1].path + " " + Size(alpha->width, alpha->height));
        }
        // The program decodes the mask first and stops there when it fails, so a damaged picture behind it shows
        // only once the mask is mended.
        if (files.size() == 2 && !files[1].image && files[0].opened && !files[0].image) {
            findings.push_back(std::string(files[0].path) + " fails as well once its mask loads: " + files[0].failure);
        }

        std::string from = source.colourPath ? source.colourPath : "";
        if (source.colourPath && source.alphaPath) from += " and ";
        if (source.alphaPath) from += source.alphaPath;
        if (image) {
            ++made;
            std::printf("%s: made, %s %s, from %s%s\n", source.name, Size(image->width, image->height).c_str(),
                        source.alphaPath ? "RGBA" : "RGB", from.c_str(),
                        source.colourPath ? "" : " (white, the mask as alpha)");
        } else {
            std::printf("%s: not made, from %s\n", source.name, from.c_str());
        }
        for (std::string box : boxes) {
            while (!box.empty() && box.back() == '\n') box.pop_back();
            std::printf("  the program says: %s\n", box.c_str());
        }
        for (const std::string& finding : findings) std::printf("  check: %s\n", finding.c_str());
        findingCount += int(findings.size());
        FreeImageRecord(image);
        for (FileReport& file : files) FreeImageRecord(file.image);
    }
    if (made == TextureCount && findingCount == 0) {
        std::printf("all %d textures will be made as intended\n", TextureCount);
        return 0;
    }
    std::printf("%d of %d textures will be made; %d finding%s\n", made, TextureCount, findingCount,
                findingCount == 1 ? "" : "s");
    return 1;
}

}  // namespace

// The back-end of this tool: the program's message boxes are kept for the report.
int PlatformMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT) {
    shownBoxes.push_back(std::string(caption) + ": " + text);
    return IDOK;
}

HWND PlatformGetFocus() {
    return nullptr;
}

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "make") == 0) return Make(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "check") == 0) return Check(argc - 2, argv + 2);
    return UsageError();
}
