// Where captured frames go once they are read back: worker threads compress
// PNG files or feed the ffmpeg pipe while the main thread draws the next
// frames. A bounded queue keeps memory flat when the writers fall behind.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct OutputFrame {
    long index = 0;
    std::vector<uint8_t> rgb; // rows top first
};

struct FrameOutput {
    bool video = false;
    int video_fd = -1; // the ffmpeg pipe; frames go down it in order, from one thread
    std::string folder;
    int width = 0;
    int height = 0;
    size_t max_queued = 4;

    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable space;
    std::deque<OutputFrame> queue;
    std::vector<OutputFrame> spare; // buffers to reuse
    bool closing = false;
    bool failed = false;
    std::string failure;
    std::vector<std::thread> workers;

    FrameOutput() = default;
    FrameOutput(const FrameOutput&) = delete;
    FrameOutput& operator=(const FrameOutput&) = delete;
    ~FrameOutput(); // stops the writers if nobody finished them
};

// Starts the writers: one for a video (order matters), `png_workers` for a
// frame folder (each file stands alone).
void frame_output_start(FrameOutput* out, int png_workers);
// A buffer of the frame size to fill, reused where one is free.
OutputFrame frame_output_buffer(FrameOutput* out, long index);
// Queues a frame; waits while the queue is full. False once a write failed.
bool frame_output_push(FrameOutput* out, OutputFrame frame);
// True when a write failed; `why` says which.
bool frame_output_failed(FrameOutput* out, std::string* why);
// Writes what is queued (unless a write failed) and joins the threads.
// Returns false when any write failed.
bool frame_output_finish(FrameOutput* out, std::string* why);

// Name of frame n in a capture folder.
std::string frame_output_png_name(long index);
