// Where the frame loop takes its clock from and where its frames go. Live
// playback reads the music position and swaps buffers; capture takes the
// clock from the frame number and writes every frame (PNG files, or a video
// through the ffmpeg program); the benchmark times every frame. The frame
// loop itself is the same in all three.
#pragma once

#include "audio/audio.h"
#include "player/benchmark.h"
#include "player/frame_output.h"
#include "player/progress.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

struct PlayerOptions;

enum FrameMode {
    FRAME_LIVE,
    FRAME_CAPTURE_PNG,
    FRAME_CAPTURE_VIDEO,
    FRAME_BENCHMARK,
};

// The ffmpeg child and the pipe its raw frames go down.
struct VideoPipe {
    pid_t pid = -1;
    int fd = -1;
    VideoPipe() = default;
    VideoPipe(const VideoPipe&) = delete;
    VideoPipe& operator=(const VideoPipe&) = delete;
    ~VideoPipe();
};

struct TrackCloser {
    void operator()(AudioTrack* track) const { audio_track_close(track); }
};

struct FrameDriver {
    FrameMode mode = FRAME_LIVE;
    const char* program = "demo"; // the name its messages start with
    const char* music = nullptr;  // in the content: the spectrum and the video's sound
    int fps = 60;
    int width = 800;
    int height = 600;
    int from_ms = 0;
    int to_ms = 100000;
    bool json = false;
    std::string out;

    long frame_count = 0;     // frames in [from, to)
    long frames_done = 0;     // frames presented (and written)
    long clock_reads = 0;     // end-of-frame position reads so far
    bool failed = false;      // a frame could not be written: stop, exit 1
    bool made_folder = false; // the PNG folder did not exist before this run

    std::unique_ptr<AudioTrack, TrackCloser> track; // the decoded music, for the spectrum
    VideoPipe video;
    // Read-back through pixel-buffer objects: a frame is mapped two frames
    // after its read was queued, so up to two reads are in flight.
    static constexpr int readback_ring = 3;
    unsigned readback_buffers[readback_ring] = {};
    long readback_frame[readback_ring] = {};
    long readback_issued = 0;
    long readback_collected = 0;
    FrameOutput output;

    std::chrono::steady_clock::time_point started{};
    std::chrono::steady_clock::time_point frame_mark{};
    Progress progress;
    BenchmarkReport report;
    std::vector<double> floor_samples; // the yardstick before the run
    double floor_ms_spent = 0;
    // The benchmark's name and title of what plays at a time; unset, every
    // frame counts towards "none".
    std::function<void(int64_t time, const char** name, const char** title)> name_block;
};

// The offline modes' frame arithmetic: frames in [from, to) at fps, and the
// music time of frame n (truncated to whole milliseconds).
long capture_frame_count(int from_ms, int to_ms, int fps);
int64_t capture_frame_time(int from_ms, int fps, long frame);

// True when OUT names a video file (.mp4, .mkv, .webm) rather than a folder.
bool capture_is_video(const std::string& out);

// The settings of the off-line modes make sense only with --capture or
// --benchmark, and --json only with --benchmark; false with the reason.
bool capture_check_options(const PlayerOptions& options, std::string* error);

// Picks the mode from the command line. Off-line modes get no display, no
// audio device and no blocking message box, and open their output here (a
// frame folder, or the ffmpeg child); false, after a line on standard
// error, when that fails. Call after the content root is set. `program`
// starts the messages; `music` (in the content, or null) gives the spectrum
// and the video's sound.
bool frame_driver_init(FrameDriver* driver, const PlayerOptions& options, const char* program, const char* music);
// For a run that ends before its first frame (no window, a scene that will
// not load): stops ffmpeg and removes its file, and removes a frame folder
// this run made while it is still empty. Nothing else is touched.
void frame_driver_abandon(FrameDriver* driver);
// Window size and flags: off-line modes render into a hidden window of --size.
void frame_driver_window(const FrameDriver* driver, int* width, int* height, int* flags);
// audio_init for live playback; off-line modes open no device.
void frame_driver_audio_init(FrameDriver* driver);
// Before the first frame: the timeline time of the first frame and the music
// time stored for the second (the loop draws with the position read two
// frames earlier), and the first frame's spectrum. Live playback keeps 0.
void frame_driver_prime(FrameDriver* driver, int* timeline_time, float* music_time);
// Benchmark only, with the GL context current, just before frame_driver_prime:
// draws the textured-quad yardstick and switches the GPU counters on.
void frame_driver_measure_start(FrameDriver* driver);
// Ends a frame in place of present(): swap, and capture or time the frame.
void frame_driver_present(FrameDriver* driver);
// True when the range is done (or a frame could not be written).
bool frame_driver_done(const FrameDriver* driver);
// The end-of-frame clock and spectrum reads of the loop.
unsigned frame_driver_position(FrameDriver* driver);
void frame_driver_spectrum(FrameDriver* driver);
// After the loop: closes the output, prints the benchmark. Returns the exit
// status the run has earned (1 when frames could not be written).
int frame_driver_finish(FrameDriver* driver);
