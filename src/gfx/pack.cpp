#include "gfx/pack.h"

#include "core/paths.h"

#include <cstring>
#include <memory>

namespace {

bool read_u32(FILE* f, uint32_t* v) {
    unsigned char b[4];
    if (std::fread(b, 1, 4, f) != 4) return false;
    *v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
         static_cast<uint32_t>(b[3]) << 24;
    return true;
}

// Reads one entry header; false at the end of the archive or on a header
// that cannot be valid (length byte of 128 or more, negative size, cut short).
bool read_entry_header(FILE* f, char name[256], int32_t* size) {
    int first = std::fgetc(f);
    if (first == EOF) return false;
    int length = static_cast<int8_t>(static_cast<uint8_t>(first));
    if (length < 0) return false;
    std::memset(name, 0, 256);
    if (std::fread(name, 1, static_cast<size_t>(length) + 1, f) != static_cast<size_t>(length) + 1) return false;
    uint32_t raw = 0;
    if (!read_u32(f, &raw)) return false;
    *size = static_cast<int32_t>(raw);
    return *size >= 0;
}

void put_u32(FILE* f, uint32_t v) {
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

} // namespace

FILE* pack_open_entry_at(const std::string& archive_path, const char* name, PackLookup* outcome) {
    PackLookup ignored;
    if (!outcome) outcome = &ignored;
    FILE* f = std::fopen(archive_path.c_str(), "rb");
    if (!f) {
        *outcome = PACK_ARCHIVE_MISSING;
        return nullptr;
    }
    char stored[256];
    int32_t size = 0;
    while (name && read_entry_header(f, stored, &size)) {
        if (std::strcmp(stored, name) == 0) {
            *outcome = PACK_FOUND;
            return f;
        }
        if (std::fseek(f, size, SEEK_CUR) != 0) break;
    }
    std::fclose(f);
    *outcome = PACK_NO_ENTRY;
    return nullptr;
}

FILE* pack_open_entry(const char* name, PackLookup* outcome) {
    return pack_open_entry_at(path_data("data_00.pack"), name, outcome);
}

bool pack_write(const std::string& path, const std::vector<PackEntry>& entries) {
    for (const PackEntry& e : entries) {
        if (e.name.size() > 127 || e.name.find('\0') != std::string::npos) return false;
        if (e.data.size() > 0x7FFFFFFFu) return false;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!f) return false;
    for (const PackEntry& e : entries) {
        std::fputc(static_cast<int>(e.name.size()), f.get());
        std::fwrite(e.name.c_str(), 1, e.name.size() + 1, f.get());
        put_u32(f.get(), static_cast<uint32_t>(e.data.size()));
        if (!e.data.empty()) std::fwrite(e.data.data(), 1, e.data.size(), f.get());
    }
    if (std::ferror(f.get())) return false;
    return std::fclose(f.release()) == 0;
}
