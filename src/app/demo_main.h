// The demo's one main function: start-up, the frame loop and shutdown.
#pragma once

struct AppOptions;
struct Timeline;

// Returns the process exit status: 0 after a normal end, 1 when the window
// or the GL context cannot be had.
int demo_main(const AppOptions& options);

// The picture part of one frame: clear, full viewport, the 800 x 600 2D
// view, every block whose span holds the timeline's time, the letterbox bars.
void demo_frame_draw(Timeline* timeline);
