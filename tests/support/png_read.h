// Reads a captured PNG frame as 8-bit RGB for pixel checks in the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

struct TestImage {
    int width = 0; // 0 when the file could not be read
    int height = 0;
    std::vector<uint8_t> rgb;
};

TestImage test_read_png(const std::filesystem::path& path);
