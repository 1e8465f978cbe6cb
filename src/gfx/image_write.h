// PNG writing for content generators, capture mode and tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How each row is predicted before compression. libpng's choice tries every
// filter on every row for the smallest file; "up" (the row above) alone
// costs about half as much for files a few per cent larger, and is deflated
// by libdeflate, faster than zlib at the same level for a smaller file.
enum ImageRowFilter { IMAGE_ROWS_BEST, IMAGE_ROWS_UP };

// Rows top first, 1 (grey), 2 (grey + alpha), 3 (RGB) or 4 (RGBA) bytes per
// pixel, 8 bits per channel. Deterministic bytes: no time or text chunks.
// Empty on failure. `level` is zlib's, 0-9; -1 is its default, the smallest
// files for the time; 1 is several times faster for about a fifth more bytes.
// With IMAGE_ROWS_UP libdeflate takes the same numbers (-1 as 6).
std::vector<uint8_t> image_encode_png(int width, int height, int bytes_per_pixel, const uint8_t* pixels, int level = -1,
                                      ImageRowFilter filter = IMAGE_ROWS_BEST);
// False when the file cannot be written, with the reason (the system's
// message) in *why where given.
bool image_write_png(const std::string& path, int width, int height, int bytes_per_pixel, const uint8_t* pixels,
                     int level = -1, ImageRowFilter filter = IMAGE_ROWS_BEST, std::string* why = nullptr);
