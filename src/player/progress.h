// The progress bar of off-line rendering, on standard error: frames done,
// frames per second and time left.
#pragma once

#include <chrono>
#include <string>

struct Progress {
    long total = 0;
    long done = 0;
    std::chrono::steady_clock::time_point started{};
    std::chrono::steady_clock::time_point last_print{};
    bool terminal = false; // redraw one line in place; otherwise print a line now and then
    bool printed = false;
};

void progress_start(Progress* progress, long total);
// Prints when enough time has passed since the last print.
void progress_update(Progress* progress, long done);
// The last state, then a new line.
void progress_finish(Progress* progress);

// One line of the bar, e.g. "[#####-----]   500/1000 frames  12.3 fps  0:40 left".
std::string progress_line(long done, long total, double elapsed_seconds);
