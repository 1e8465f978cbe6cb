// The program's command line.
#pragma once

#include <string>

struct AppOptions {
    bool windowed = false;    // framed window (800 x 600, or --size) instead of the mode switch
    bool desktop = false;     // full screen at the desktop's resolution, no mode switch
    bool size_given = false;  // --size: the window's size live, the output's off-line
    bool loop = false;        // live: start again from 0 where the demo would end
    std::string data_dir;     // content root; empty: app_default_data_root()

    // Off-line rendering (capture or benchmark): no display, no audio device.
    bool capture = false;
    std::string capture_out;  // .mp4/.mkv/.webm: a video; anything else: a PNG directory
    bool benchmark = false;
    bool json = false;
    int fps = 60;
    int width = 800;
    int height = 600;
    int from_ms = 0;          // live too: where playback starts
    int to_ms = 100000;
    bool offline_options = false; // --fps or --to (off-line only) was given

    bool help = false;
    bool version = false;
};

// Parses argv[1..]; on a bad command line returns false with the reason in
// *error (one line, no program name).
bool app_options_parse(int argc, const char* const* argv, AppOptions* out, std::string* error);

const char* app_options_usage();
const char* app_version_text();

// The working directory when it holds scripts/vertexprofiles.vsl ("" so paths
// stay relative to it), else the content directory built with the program.
std::string app_default_data_root();
