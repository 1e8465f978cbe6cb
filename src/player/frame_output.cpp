#include "player/frame_output.h"

#include "gfx/image_write.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace {

bool write_all(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A reader never sees half a file: each frame is written under a temporary
// name and renamed into place once complete.
bool write_png_frame(const FrameOutput* out, const OutputFrame& frame, std::string* why) {
    std::filesystem::path path = std::filesystem::path(out->folder) / frame_output_png_name(frame.index);
    std::filesystem::path part = path;
    part += ".part";
    // Fast compression: frames are read back by a video editor or encoder,
    // and the default level and row filtering would hold the capture back.
    std::string reason;
    if (image_write_png(part.string(), out->width, out->height, 3, frame.rgb.data(), 1, IMAGE_ROWS_UP, &reason)) {
        std::error_code ec;
        std::filesystem::rename(part, path, ec);
        if (!ec) return true;
        reason = ec.message();
    }
    std::error_code ignored;
    std::filesystem::remove(part, ignored);
    *why = "cannot write \"" + path.string() + "\": " + reason;
    return false;
}

bool write_frame(const FrameOutput* out, const OutputFrame& frame, std::string* why) {
    if (!out->video) return write_png_frame(out, frame, why);
    if (write_all(out->video_fd, frame.rgb.data(), frame.rgb.size())) return true;
    *why = "ffmpeg stopped taking frames";
    return false;
}

void worker(FrameOutput* out) {
    for (;;) {
        OutputFrame frame;
        {
            std::unique_lock lock(out->mutex);
            out->work.wait(lock, [out] { return !out->queue.empty() || out->closing || out->failed; });
            if (out->failed || out->queue.empty()) return;
            frame = std::move(out->queue.front());
            out->queue.pop_front();
        }
        out->space.notify_one();
        std::string why;
        bool ok = write_frame(out, frame, &why);
        std::lock_guard lock(out->mutex);
        if (!ok && !out->failed) {
            out->failed = true;
            out->failure = why;
            out->work.notify_all();
            out->space.notify_all();
        }
        out->spare.push_back(std::move(frame));
    }
}

} // namespace

FrameOutput::~FrameOutput() {
    if (workers.empty()) return;
    {
        std::lock_guard lock(mutex);
        failed = true; // an early exit: drop what is queued
    }
    work.notify_all();
    for (std::thread& t : workers) t.join();
}

std::string frame_output_png_name(long index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06ld.png", index);
    return name;
}

void frame_output_start(FrameOutput* out, int png_workers) {
    int count = out->video ? 1 : std::max(1, png_workers);
    for (int i = 0; i < count; ++i) out->workers.emplace_back(worker, out);
}

OutputFrame frame_output_buffer(FrameOutput* out, long index) {
    OutputFrame frame;
    {
        std::lock_guard lock(out->mutex);
        if (!out->spare.empty()) {
            frame = std::move(out->spare.back());
            out->spare.pop_back();
        }
    }
    frame.index = index;
    frame.rgb.resize(static_cast<size_t>(out->width) * static_cast<size_t>(out->height) * 3);
    return frame;
}

bool frame_output_push(FrameOutput* out, OutputFrame frame) {
    {
        std::unique_lock lock(out->mutex);
        out->space.wait(lock, [out] { return out->queue.size() < out->max_queued || out->failed; });
        if (out->failed) return false;
        out->queue.push_back(std::move(frame));
    }
    out->work.notify_one();
    return true;
}

bool frame_output_failed(FrameOutput* out, std::string* why) {
    std::lock_guard lock(out->mutex);
    if (out->failed && why) *why = out->failure;
    return out->failed;
}

bool frame_output_finish(FrameOutput* out, std::string* why) {
    {
        std::lock_guard lock(out->mutex);
        out->closing = true;
    }
    out->work.notify_all();
    for (std::thread& t : out->workers) t.join();
    out->workers.clear();
    return !frame_output_failed(out, why);
}
