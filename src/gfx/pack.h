// The pack archive "data_00.pack": named entries back to back, each a name
// length byte, the name and its 0 byte, a 32-bit little-endian data size and
// the data. No header, no index; the first entry of a name wins.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum PackLookup {
    PACK_FOUND = 0,
    PACK_ARCHIVE_MISSING = 1,
    PACK_NO_ENTRY = 2,
};

// Opens path_data("data_00.pack") and returns the stream positioned at the
// first data byte of the entry named exactly `name` (the caller closes it),
// or null with the outcome telling a missing archive from a missing entry.
FILE* pack_open_entry(const char* name, PackLookup* outcome);
// The same for an archive at an explicit path.
FILE* pack_open_entry_at(const std::string& archive_path, const char* name, PackLookup* outcome);

struct PackEntry {
    std::string name; // at most 127 bytes, no 0 byte
    std::vector<uint8_t> data;
};

// Writes the entries in order. False (nothing promised about the file) when
// a name is too long or holds a 0 byte, data exceeds 2 GiB, or writing fails.
bool pack_write(const std::string& path, const std::vector<PackEntry>& entries);
