#include "player/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int bar_width = 30;
// A terminal line is redrawn a few times a second; a log file (tests, CI)
// gets one line every few seconds so it stays readable.
constexpr double terminal_interval_s = 0.25;
constexpr double log_interval_s = 5.0;

double seconds_between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

void print(Progress* progress, Clock::time_point now) {
    std::string line = progress_line(progress->done, progress->total, seconds_between(progress->started, now));
    if (progress->terminal) std::fprintf(stderr, "\r%s\033[K", line.c_str());
    else std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    progress->last_print = now;
    progress->printed = true;
}

} // namespace

std::string progress_line(long done, long total, double elapsed_seconds) {
    total = std::max(total, 1L);
    done = std::clamp(done, 0L, total);
    int filled = static_cast<int>(static_cast<double>(done) * bar_width / static_cast<double>(total));
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(bar_width - filled), '-');

    double fps = elapsed_seconds > 0 ? static_cast<double>(done) / elapsed_seconds : 0.0;
    char left[32];
    if (done == 0 || fps <= 0) {
        std::snprintf(left, sizeof left, "--:--");
    } else {
        long seconds = static_cast<long>(static_cast<double>(total - done) / fps + 0.5);
        std::snprintf(left, sizeof left, "%ld:%02ld", seconds / 60, seconds % 60);
    }
    char text[160];
    std::snprintf(text, sizeof text, "[%s] %*ld/%ld frames  %.1f fps  %s left", bar.c_str(),
                  static_cast<int>(std::to_string(total).size()), done, total, fps, left);
    return text;
}

void progress_start(Progress* progress, long total) {
    *progress = Progress{};
    progress->total = total;
    progress->started = Clock::now();
    progress->last_print = progress->started;
    progress->terminal = isatty(STDERR_FILENO) != 0;
}

void progress_update(Progress* progress, long done) {
    progress->done = done;
    Clock::time_point now = Clock::now();
    double interval = progress->terminal ? terminal_interval_s : log_interval_s;
    if (seconds_between(progress->last_print, now) >= interval) print(progress, now);
}

void progress_finish(Progress* progress) {
    print(progress, Clock::now());
    if (progress->terminal) std::fputc('\n', stderr);
}
