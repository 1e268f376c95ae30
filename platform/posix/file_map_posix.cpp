// file_map_posix.cpp -- read-only mapping of a whole file with open and mmap.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

bool PlatformMapFile(const char* path, FileView* view) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    // An empty file has nothing to map, as on Windows.
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
        close(fd);
        return false;
    }
    void* bytes = mmap(nullptr, std::size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (bytes == MAP_FAILED) return false;
    view->bytes = static_cast<const std::uint8_t*>(bytes);
    view->size = std::size_t(info.st_size);
    view->handle = nullptr;
    return true;
}

void PlatformUnmapFile(FileView* view) {
    munmap(const_cast<std::uint8_t*>(view->bytes), view->size);
    view->bytes = nullptr;
    view->size = 0;
}
