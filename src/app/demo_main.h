// The demo's one main function: start-up, the frame loop and shutdown.
#pragma once

struct AppOptions;

// Returns the process exit status: 0 after a normal end, 1 when the window
// or the GL context cannot be had.
int demo_main(const AppOptions& options);
