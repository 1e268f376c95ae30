// file_map_win32.cpp -- read-only mapping of a whole file with CreateFileA, CreateFileMappingA and MapViewOfFile.
#include <cstdlib>

#include "platform/platform.h"

namespace {

// What FileView::handle points at: both handles stay open as long as the view, and close after it.
struct Win32FileMapping {
    HANDLE file;
    HANDLE mapping;
};

}  // namespace

bool PlatformMapFile(const char* path, FileView* view) {
    const HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    // Windows refuses to map an empty file; a file larger than the address space can't be viewed whole.
    if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 ||
        static_cast<unsigned long long>(size.QuadPart) > static_cast<unsigned long long>(SIZE_MAX)) {
        CloseHandle(file);
        return false;
    }
    const HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) {
        CloseHandle(file);
        return false;
    }
    void* bytes = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    auto* record = bytes ? static_cast<Win32FileMapping*>(std::malloc(sizeof(Win32FileMapping))) : nullptr;
    if (!record) {
        if (bytes) UnmapViewOfFile(bytes);
        CloseHandle(mapping);
        CloseHandle(file);
        return false;
    }
    record->file = file;
    record->mapping = mapping;
    view->bytes = static_cast<const std::uint8_t*>(bytes);
    view->size = static_cast<std::size_t>(size.QuadPart);
    view->handle = record;
    return true;
}

void PlatformUnmapFile(FileView* view) {
    auto* record = static_cast<Win32FileMapping*>(view->handle);
    UnmapViewOfFile(view->bytes);
    if (record) {
        CloseHandle(record->mapping);
        CloseHandle(record->file);
        std::free(record);
    }
    view->bytes = nullptr;
    view->size = 0;
    view->handle = nullptr;
}
