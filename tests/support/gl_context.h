// A real OpenGL context for tests: a hidden 800 x 600 window on SDL's
// offscreen driver (llvmpipe through EGL) when no display is set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Opens the context once per process; later calls reuse it. Also sets the
// shell's window size to 800 x 600 and resets the GL state tests rely on.
void test_gl_context();

// Reads the back buffer's pixel at window coordinates (x, y from the top).
struct TestPixel {
    uint8_t r, g, b, a;
};
TestPixel test_read_pixel(int x, int y);

// Whole back buffer, rows top first, RGBA.
std::vector<uint8_t> test_read_frame(int width, int height);

// Reads a whole file (empty when missing).
std::string test_read_file(const std::string& path);
void test_write_file(const std::string& path, const std::string& bytes);

// The test data folder, tests/data (PNG suites and crashers).
std::string test_data_dir();

// The built content folder (VANTOR_CONTENT); empty when it is not set.
std::string test_content_dir();
