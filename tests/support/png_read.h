// Reads a captured PNG frame as 8-bit RGB for pixel checks in the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

struct TestImage {
    int width = 0; // 0 when the file could not be read
    int height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

TestImage test_read_png(const std::filesystem::path& path);
