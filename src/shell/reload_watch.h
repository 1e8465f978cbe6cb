// Watching the content while the program runs: the kernel says which files
// were written, and between two frames each one that was loaded is loaded
// again through the registry (core/reload.h). Nothing is watched, and no
// frame pays anything, unless the program starts it.
#pragma once

#include "core/reload.h"

#include <string>

// Turns the registry on and watches root (the content root; "" is the
// working directory) and every folder below it. Call it before the content
// loads: only what is loaded afterwards is registered. False, with the
// reason in the report, when the kernel refuses; the program runs on
// without watching then.
bool reload_watch_start(const std::string& root);
// Also watches the folder of file, one loaded from outside the root (a
// scene someone opened): without those below it, and nothing more when it
// lies under the root. False when not watching or the kernel refuses.
bool reload_watch_add_file(const std::string& file);
// Once per frame, between two frames: loads again every registered file
// written since the last call. Returns how many files it loaded again (or
// tried to). With nothing written it is one read that returns at once.
int reload_watch_poll();
// Stops watching and empties the registry; what was loaded stays in use.
void reload_watch_stop();
bool reload_watch_running();
