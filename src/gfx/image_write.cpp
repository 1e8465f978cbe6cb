#include "gfx/image_write.h"

#include <libdeflate.h>
#include <png.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

void put_u32(std::vector<uint8_t>* out, uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v)};
    out->insert(out->end(), b, b + 4);
}

// One chunk: length, type, data, and the CRC of type and data.
void put_chunk(std::vector<uint8_t>* out, const char type[4], const uint8_t* data, size_t size) {
    put_u32(out, static_cast<uint32_t>(size));
    const size_t start = out->size();
    out->insert(out->end(), type, type + 4);
    if (size) out->insert(out->end(), data, data + size);
    put_u32(out, libdeflate_crc32(0, out->data() + start, size + 4));
}

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// Every row predicted from the one above, the whole image deflated in one
// go by libdeflate, which at its fastest level takes about half of zlib's
// time for a smaller file. False where the data will not fit one IDAT chunk
// or the level is not one libdeflate has.
bool encode_rows_up(std::vector<uint8_t>* out, int width, int height, int bytes_per_pixel, const uint8_t* pixels,
                    int level) {
    std::unique_ptr<libdeflate_compressor, CompressorFree> compressor(
        libdeflate_alloc_compressor(level < 0 ? 6 : level));
    if (!compressor) return false;
    const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(bytes_per_pixel);
    const size_t rows = static_cast<size_t>(height);
    if (stride + 1 > (SIZE_MAX >> 1) / rows) return false;
    std::vector<uint8_t> filtered((stride + 1) * rows);
    for (size_t y = 0; y < rows; ++y) {
        uint8_t* dst = filtered.data() + y * (stride + 1);
        const uint8_t* row = pixels + y * stride;
        dst[0] = 2; // Up
        if (y == 0) {
            std::memcpy(dst + 1, row, stride);
            continue;
        }
        const uint8_t* above = row - stride;
        for (size_t x = 0; x < stride; ++x) dst[1 + x] = static_cast<uint8_t>(row[x] - above[x]);
    }
    std::vector<uint8_t> packed(libdeflate_zlib_compress_bound(compressor.get(), filtered.size()));
    const size_t packed_size =
        libdeflate_zlib_compress(compressor.get(), filtered.data(), filtered.size(), packed.data(), packed.size());
    if (packed_size == 0 || packed_size > 0x7fffffffu) return false;

    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    out->assign(signature, signature + 8);
    std::vector<uint8_t> header;
    put_u32(&header, static_cast<uint32_t>(width));
    put_u32(&header, static_cast<uint32_t>(height));
    // Depth, colour type, deflate, adaptive filters, no interlace.
    const uint8_t rest[5] = {8, static_cast<uint8_t>(color_type_for(bytes_per_pixel)), 0, 0, 0};
    header.insert(header.end(), rest, rest + 5);
    put_chunk(out, "IHDR", header.data(), header.size());
    put_chunk(out, "IDAT", packed.data(), packed_size);
    put_chunk(out, "IEND", nullptr, 0);
    return true;
}

} // namespace

std::vector<uint8_t> image_encode_png(int width, int height, int bytes_per_pixel, const uint8_t* pixels, int level,
                                      ImageRowFilter filter) {
    std::vector<uint8_t> out;
    if (width <= 0 || height <= 0 || !pixels || color_type_for(bytes_per_pixel) < 0) return out;
    if (filter == IMAGE_ROWS_UP && encode_rows_up(&out, width, height, bytes_per_pixel, pixels, level)) return out;
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    if (!encode_into(&out, width, height, bytes_per_pixel, pixels, level, filter, &rows)) out.clear();
    return out;
}

namespace {

bool refused(std::string* why, const char* reason) {
    if (why) *why = reason;
    return false;
}

} // namespace

bool image_write_png(const std::string& path, int width, int height, int bytes_per_pixel, const uint8_t* pixels,
                     int level, ImageRowFilter filter, std::string* why) {
    std::vector<uint8_t> bytes = image_encode_png(width, height, bytes_per_pixel, pixels, level, filter);
    if (bytes.empty()) return refused(why, "the picture cannot be encoded");
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return refused(why, std::strerror(errno));
    // A full disk shows in the write, or only when the buffer is flushed.
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return refused(why, std::strerror(errno));
    if (std::fclose(file.release()) != 0) return refused(why, std::strerror(errno));
    return true;
}
