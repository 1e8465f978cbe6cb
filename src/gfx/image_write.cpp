#include "gfx/image_write.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace {

void append_bytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flush_nothing(png_structp) {}

int color_type_for(int bytes_per_pixel) {
    switch (bytes_per_pixel) {
    case 1: return PNG_COLOR_TYPE_GRAY;
    case 2: return PNG_COLOR_TYPE_GRAY_ALPHA;
    case 3: return PNG_COLOR_TYPE_RGB;
    case 4: return PNG_COLOR_TYPE_RGB_ALPHA;
    default: return -1;
    }
}

// Everything libpng touches across its error jump lives outside this frame.
bool encode_into(std::vector<uint8_t>* out, int width, int height, int bytes_per_pixel, const uint8_t* pixels,
                 int level, ImageRowFilter filter, std::vector<png_bytep>* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, append_bytes, flush_nothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 color_type_for(bytes_per_pixel), PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    size_t stride = static_cast<size_t>(width) * static_cast<size_t>(bytes_per_pixel);
    for (int y = 0; y < height; ++y) (*rows)[static_cast<size_t>(y)] = const_cast<png_bytep>(pixels + stride * y);
    if (level >= 0 && level <= 9) png_set_compression_level(png, level);
    if (filter == IMAGE_ROWS_UP) png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_rows(png, info, rows->data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

std::vector<uint8_t> image_encode_png(int width, int height, int bytes_per_pixel, const uint8_t* pixels, int level,
                                      ImageRowFilter filter) {
    std::vector<uint8_t> out;
    if (width <= 0 || height <= 0 || !pixels || color_type_for(bytes_per_pixel) < 0) return out;
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    if (!encode_into(&out, width, height, bytes_per_pixel, pixels, level, filter, &rows)) out.clear();
    return out;
}

bool image_write_png(const std::string& path, int width, int height, int bytes_per_pixel, const uint8_t* pixels,
                     int level, ImageRowFilter filter) {
    std::vector<uint8_t> bytes = image_encode_png(width, height, bytes_per_pixel, pixels, level, filter);
    if (bytes.empty()) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return false;
    return std::fclose(file.release()) == 0;
}
