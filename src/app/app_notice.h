// How the library's notices reach a person in this run.
#pragma once

// Live playback shows warning boxes and the engine's error dialog, whose
// EXIT button ends the program with status 0; capture and benchmark runs
// print both on standard error (so does a live run without a display).
void app_notice_install(bool live);
