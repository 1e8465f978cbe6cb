#include "support/gl_context.h"

#include "core/gl.h"
#include "platform/platform_window.h"
#include "shell/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

void test_gl_context() {
    if (!platform_window_is_open()) {
        PlatformWindowDesc desc;
        desc.title = "vantor test";
        desc.width = 800;
        desc.height = 600;
        desc.hidden = true;
        ASSERT_TRUE(platform_window_open(desc)) << platform_last_error();
    }
    window_size.width = 800;
    window_size.height = 600;
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

TestPixel test_read_pixel(int x, int y) {
    TestPixel p{};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, window_size.height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &p);
    return p;
}

std::vector<uint8_t> test_read_frame(int width, int height) {
    std::vector<uint8_t> raw(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
    std::vector<uint8_t> flipped(raw.size());
    size_t row = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y)
        std::copy_n(raw.begin() + static_cast<long>(row * (height - 1 - y)), row,
                    flipped.begin() + static_cast<long>(row * y));
    return flipped;
}

std::string test_read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void test_write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string test_content_dir() {
    const char* dir = std::getenv("VANTOR_CONTENT");
    return dir ? dir : "";
}

std::string test_data_dir() {
    const char* dir = std::getenv("VANTOR_TESTDATA");
    return dir ? dir : VANTOR_TESTDATA_DIR;
}
