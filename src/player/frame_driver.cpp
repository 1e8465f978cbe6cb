#include "player/frame_driver.h"

#include "core/gl.h"
#include "core/log.h"
#include "core/paths.h"
#include "gfx/gpu_stats.h"
#include "gfx/image_write.h"
#include "platform/platform_dialog.h"
#include "player/player_options.h"
#include "shell/frame_timer.h"
#include "shell/window.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double ms_between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Textured quads drawn for the benchmark's yardstick, before and after.
constexpr int floor_quads = 60;
constexpr int png_writers = 2;

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[(v.size() - 1) / 2];
}

bool offline(const FrameDriver* d) { return d->mode != FRAME_LIVE; }
bool capturing(const FrameDriver* d) { return d->mode == FRAME_CAPTURE_PNG || d->mode == FRAME_CAPTURE_VIDEO; }

void report_failure(const FrameDriver* d, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", d->program, message.c_str());
}

// Failures after start-up also go to the report, so it says why the run
// ended early.
void log_failure(const FrameDriver* d, const std::string& message) {
    report_failure(d, message);
    log_write_at(LOG_ERROR, "Capture [%s]", message.c_str());
}

std::string seconds_text(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    return text;
}

// The ffmpeg command for raw RGB frames on standard input and the music,
// cut to the captured range, muxed in.
std::vector<std::string> ffmpeg_arguments(const FrameDriver* d, const std::string& music) {
    std::vector<std::string> a = {"ffmpeg",
                                  "-hide_banner",
                                  "-loglevel",
                                  "error",
                                  "-y",
                                  "-f",
                                  "rawvideo",
                                  "-pix_fmt",
                                  "rgb24",
                                  "-video_size",
                                  std::to_string(d->width) + "x" + std::to_string(d->height),
                                  "-framerate",
                                  std::to_string(d->fps),
                                  "-i",
                                  "pipe:0"};
    // Seconds of video the range makes: frame_count frames at fps.
    int64_t duration_ms = (static_cast<int64_t>(d->frame_count) * 1000 + d->fps - 1) / d->fps;
    if (!music.empty()) {
        a.insert(a.end(), {"-ss", seconds_text(d->from_ms), "-t", seconds_text(duration_ms), "-i", music, "-map", "0:v",
                           "-map", "1:a"});
    }
    // 4:2:0 needs even sizes: pad odd ones by a pixel.
    a.insert(a.end(), {"-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2", "-pix_fmt", "yuv420p"});
    if (path_extension_lower(d->out) == ".webm") {
        a.insert(a.end(), {"-c:v", "libvpx", "-deadline", "good", "-cpu-used", "4", "-b:v", "6M"});
        if (!music.empty()) a.insert(a.end(), {"-c:a", "libvorbis", "-q:a", "6"});
    } else {
        // The encoder shares the cores with the renderer: superfast costs about
        // half of veryfast per frame, at a bit more size for the same quality.
        a.insert(a.end(), {"-c:v", "libx264", "-preset", "superfast", "-crf", "18"});
        if (!music.empty()) a.insert(a.end(), {"-c:a", "aac", "-b:a", "192k"});
        if (path_extension_lower(d->out) == ".mp4") a.insert(a.end(), {"-movflags", "+faststart"});
    }
    if (!music.empty()) a.push_back("-shortest");
    a.push_back(d->out);
    return a;
}

bool video_open(FrameDriver* d) {
    std::string music = d->music ? path_data(d->music) : "";
    if (d->music && !d->track)
        std::fprintf(stderr, "%s: no music in \"%s\"; the video gets no sound\n", d->program, music.c_str());
    if (!d->track) music.clear();
    std::vector<std::string> args = ffmpeg_arguments(d, music);
    std::vector<char*> argv;
    for (std::string& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        report_failure(d, std::string("cannot make a pipe for ffmpeg: ") + std::strerror(errno));
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (rc != 0) {
        close(fds[1]);
        report_failure(d, std::string("cannot run ffmpeg (install Debian's ffmpeg package): ") + std::strerror(rc));
        return false;
    }
    // A dead ffmpeg must give a write error, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    d->video.pid = pid;
    d->video.fd = fds[1];
    return true;
}

// Closes the pipe and waits for ffmpeg; true when it finished cleanly.
bool video_close(VideoPipe* video) {
    if (video->fd >= 0) close(video->fd);
    video->fd = -1;
    if (video->pid < 0) return true;
    int status = 0;
    pid_t got;
    do {
        got = waitpid(video->pid, &status, 0);
    } while (got < 0 && errno == EINTR);
    video->pid = -1;
    return got > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool png_folder_open(FrameDriver* d) {
    std::error_code ec;
    d->made_folder = std::filesystem::create_directories(d->out, ec);
    if (!std::filesystem::is_directory(d->out, ec)) {
        report_failure(d, "cannot make the frame folder \"" + d->out + "\"");
        return false;
    }
    // Frames of an earlier, longer capture would look like part of this one.
    char last[32];
    std::snprintf(last, sizeof last, "frame_%06ld.png", d->frame_count);
    if (std::filesystem::exists(std::filesystem::path(d->out) / last, ec))
        std::fprintf(stderr, "%s: note: \"%s\" holds frames of an earlier capture beyond this one's last\n", d->program,
                     d->out.c_str());
    return true;
}

// Queues the read of the back buffer into the next pixel buffer; the read
// finishes while later frames are drawn.
void readback_issue(FrameDriver* d) {
    int slot = static_cast<int>(d->readback_issued % FrameDriver::readback_ring);
    GLuint& buffer = d->readback_buffers[slot];
    auto size = static_cast<GLsizeiptr>(d->width) * d->height * 3;
    if (buffer == 0) {
        glGenBuffers(1, &buffer);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, size, nullptr, GL_STREAM_READ);
    } else {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    }
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, d->width, d->height, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    d->readback_frame[slot] = d->frames_done;
    ++d->readback_issued;
}

// Maps the oldest pending read, flips it to rows top first and hands it to
// the writers. False when the frame cannot be had or a writer has failed.
bool readback_collect_one(FrameDriver* d) {
    int slot = static_cast<int>(d->readback_collected % FrameDriver::readback_ring);
    ++d->readback_collected;
    OutputFrame frame = frame_output_buffer(&d->output, d->readback_frame[slot]);
    size_t stride = static_cast<size_t>(d->width) * 3;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, d->readback_buffers[slot]);
    const auto* rows = static_cast<const uint8_t*>(glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY));
    if (!rows) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        log_failure(d, "cannot read frame " + std::to_string(frame.index) + " back from OpenGL");
        return false;
    }
    for (int y = 0; y < d->height; ++y)
        std::memcpy(frame.rgb.data() + stride * static_cast<size_t>(y),
                    rows + stride * static_cast<size_t>(d->height - 1 - y), stride);
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return frame_output_push(&d->output, std::move(frame));
}

// Collects reads until at most `keep` are pending.
bool readback_collect(FrameDriver* d, long keep) {
    while (d->readback_issued - d->readback_collected > keep)
        if (!readback_collect_one(d)) return false;
    return true;
}

void readback_free(FrameDriver* d) {
    for (GLuint& buffer : d->readback_buffers) {
        if (buffer != 0) glDeleteBuffers(1, &buffer);
        buffer = 0;
    }
}

} // namespace

VideoPipe::~VideoPipe() { video_close(this); }

long capture_frame_count(int from_ms, int to_ms, int fps) {
    if (to_ms <= from_ms || fps <= 0) return 0;
    // Frame n is in range while from + floor(n * 1000 / fps) < to, that is
    // n < (to - from) * fps / 1000.
    int64_t span = static_cast<int64_t>(to_ms) - from_ms;
    return static_cast<long>((span * fps + 999) / 1000);
}

int64_t capture_frame_time(int from_ms, int fps, long frame) {
    return from_ms + static_cast<int64_t>(frame) * 1000 / fps;
}

bool capture_is_video(const std::string& out) {
    std::string ext = path_extension_lower(out);
    return ext == ".mp4" || ext == ".mkv" || ext == ".webm";
}

bool capture_check_options(const PlayerOptions& options, std::string* error) {
    if (options.json && !options.benchmark) {
        *error = "--json goes with --benchmark";
        return false;
    }
    if (options.offline_options && !options.capture && !options.benchmark) {
        *error = "--fps and --to go with --capture or --benchmark";
        return false;
    }
    return true;
}

bool frame_driver_init(FrameDriver* d, const PlayerOptions& options, const char* program, const char* music) {
    d->started = Clock::now();
    d->program = program;
    d->music = music;
    if (options.capture) d->mode = capture_is_video(options.capture_out) ? FRAME_CAPTURE_VIDEO : FRAME_CAPTURE_PNG;
    else if (options.benchmark) d->mode = FRAME_BENCHMARK;
    else d->mode = FRAME_LIVE;
    if (!offline(d)) return true;

    d->fps = options.fps;
    d->width = options.width;
    d->height = options.height;
    d->from_ms = options.from_ms;
    d->to_ms = options.to_ms;
    d->json = options.json;
    d->out = options.capture_out;
    d->frame_count = capture_frame_count(d->from_ms, d->to_ms, d->fps);

    // Nobody watches: no display (the offscreen driver also keeps the back
    // buffer readable), and message boxes go to standard error.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    platform_set_interactive(false);

    if (music) d->track.reset(audio_track_open(path_data(music).c_str()));
    d->output.width = d->width;
    d->output.height = d->height;
    d->output.folder = d->out;
    d->output.video = d->mode == FRAME_CAPTURE_VIDEO;
    bool opened = true;
    if (d->mode == FRAME_CAPTURE_PNG) opened = png_folder_open(d);
    if (d->mode == FRAME_CAPTURE_VIDEO) opened = video_open(d);
    if (opened && capturing(d)) {
        d->output.video_fd = d->video.fd;
        // PNG compression is the slow part: two writers keep up with the drawing.
        frame_output_start(&d->output, png_writers);
    }
    return opened;
}

void frame_driver_abandon(FrameDriver* d) {
    std::error_code ec;
    std::string unused;
    if (capturing(d)) frame_output_finish(&d->output, &unused);
    if (d->mode == FRAME_CAPTURE_VIDEO && d->video.pid > 0) {
        video_close(&d->video);
        std::filesystem::remove(d->out, ec);
    }
    if (d->mode == FRAME_CAPTURE_PNG && d->made_folder && std::filesystem::is_empty(d->out, ec))
        std::filesystem::remove(d->out, ec);
}

void frame_driver_window(const FrameDriver* d, int* width, int* height, int* flags) {
    if (!offline(d)) return;
    *width = d->width;
    *height = d->height;
    *flags = VL_WINDOW_HIDDEN;
}

void frame_driver_audio_init(FrameDriver* d) {
    if (!offline(d)) audio_init();
}

void frame_driver_prime(FrameDriver* d, int* timeline_time, float* music_time) {
    if (!offline(d)) return;
    *timeline_time = static_cast<int>(capture_frame_time(d->from_ms, d->fps, 0));
    *music_time = static_cast<float>(capture_frame_time(d->from_ms, d->fps, 1));
    audio_track_spectrum_at(d->track.get(), static_cast<unsigned>(*timeline_time), music_spectrum);
    d->frame_mark = Clock::now();
    progress_start(&d->progress, d->frame_count);
}

void frame_driver_measure_start(FrameDriver* d) {
    if (d->mode != FRAME_BENCHMARK) return;
    Clock::time_point floor_start = Clock::now();
    d->floor_samples = benchmark_floor_samples(floor_quads);
    d->floor_ms_spent = ms_between(floor_start, Clock::now());
    gpu_stats_enable(true);
    gpu_stats_frame_begin();
}

void frame_driver_present(FrameDriver* d) {
    if (!offline(d)) {
        present();
        return;
    }
    if (d->mode == FRAME_BENCHMARK) {
        glFinish();
        present();
    } else {
        readback_issue(d);
        present();
        bool collected = readback_collect(d, FrameDriver::readback_ring - 1);
        std::string why;
        if (frame_output_failed(&d->output, &why)) {
            log_failure(d, why + " (\"" + d->out + "\")");
            d->failed = true;
        } else if (!collected) {
            d->failed = true; // the read-back said why
        }
    }
    Clock::time_point now = Clock::now();
    if (d->frames_done == 0) d->report.load_ms = ms_between(d->started, now) - d->floor_ms_spent;
    if (d->mode == FRAME_BENCHMARK) {
        const char* name = "none";
        const char* title = "no block";
        if (d->name_block) d->name_block(capture_frame_time(d->from_ms, d->fps, d->frames_done), &name, &title);
        benchmark_add_frame(&d->report, name, title, ms_between(d->frame_mark, now));
        // The queries are read outside the frame's time; the frame already
        // ended with glFinish, so the results are waiting.
        d->report.width = d->width;
        d->report.height = d->height;
        benchmark_add_gpu(&d->report, name, gpu_stats_frame_end());
        if (d->frames_done + 1 < d->frame_count) gpu_stats_frame_begin();
        now = Clock::now();
    }
    d->frame_mark = now;
    if (!d->failed) ++d->frames_done;
    progress_update(&d->progress, d->frames_done);
}

bool frame_driver_done(const FrameDriver* d) { return offline(d) && (d->failed || d->frames_done >= d->frame_count); }

unsigned frame_driver_position(FrameDriver* d) {
    if (!offline(d)) return audio_get_position();
    // Read at the end of frame n, drawn with in frame n + 2.
    return static_cast<unsigned>(capture_frame_time(d->from_ms, d->fps, d->frames_done + 1));
}

void frame_driver_spectrum(FrameDriver* d) {
    if (!offline(d)) {
        audio_get_spectrum();
        return;
    }
    // Read at the end of frame n, used by the blocks of frame n + 1.
    unsigned next = static_cast<unsigned>(capture_frame_time(d->from_ms, d->fps, d->frames_done));
    audio_track_spectrum_at(d->track.get(), next, music_spectrum);
}

int frame_driver_finish(FrameDriver* d) {
    if (!offline(d)) return 0;
    progress_finish(&d->progress);
    double seconds = ms_between(d->progress.started, Clock::now()) / 1000.0;
    bool ok = !d->failed;
    if (capturing(d)) {
        // Frames still in flight are written too, unless a write already failed.
        if (ok && !readback_collect(d, 0)) ok = false;
        readback_free(d);
        std::string why;
        if (!frame_output_finish(&d->output, &why)) {
            if (ok) log_failure(d, why + " (\"" + d->out + "\")");
            ok = false;
        }
    }
    if (d->mode == FRAME_CAPTURE_VIDEO) {
        bool closed = video_close(&d->video);
        if (!closed) log_failure(d, "ffmpeg could not make \"" + d->out + "\"");
        ok = ok && closed;
        // A video cut by a failed write or a failing ffmpeg may be unreadable
        // (its index comes last): better none than a broken file.
        std::error_code ec;
        if (!ok && std::filesystem::remove(d->out, ec))
            log_failure(d, "removed the unfinished video \"" + d->out + "\"");
    }
    if (capturing(d) && ok)
        std::fprintf(stderr, "%s: captured %ld frames to \"%s\" in %.1f s (%.2f frames per second)\n", d->program,
                     d->frames_done, d->out.c_str(), seconds,
                     seconds > 0 ? static_cast<double>(d->frames_done) / seconds : 0.0);
    if (d->mode == FRAME_BENCHMARK) {
        d->report.width = d->width;
        d->report.height = d->height;
        d->report.fps = d->fps;
        d->report.from_ms = d->from_ms;
        d->report.to_ms = d->to_ms;
        d->report.peak_rss_mb = benchmark_peak_rss_mb();
        gpu_stats_enable(false);
        std::vector<double> after;
        if (!d->floor_samples.empty()) after = benchmark_floor_samples(floor_quads);
        d->report.floor_ms_before = median(d->floor_samples);
        d->report.floor_ms_after = median(after);
        d->floor_samples.insert(d->floor_samples.end(), after.begin(), after.end());
        d->report.floor_ms = median(d->floor_samples);
        std::string text = d->json ? benchmark_json(d->report) : benchmark_text(d->report);
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}
