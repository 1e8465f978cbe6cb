#include "app/app_options.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace {

bool parse_int(std::string_view text, int min, int max, int* out) {
    if (text.empty()) return false;
    std::string s(text);
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max) return false;
    *out = static_cast<int>(v);
    return true;
}

bool parse_size(std::string_view text, int* w, int* h) {
    size_t x = text.find('x');
    if (x == std::string_view::npos) return false;
    return parse_int(text.substr(0, x), 1, 16384, w) && parse_int(text.substr(x + 1), 1, 16384, h);
}

bool takes_value(std::string_view opt) {
    return opt == "--data" || opt == "--report" || opt == "--capture" || opt == "--fps" || opt == "--size" ||
           opt == "--from" || opt == "--to" || opt == "--view" || opt == "--scene-fps" || opt == "--audio-delay";
}

} // namespace

bool app_options_parse(int argc, const char* const* argv, AppOptions* out, std::string* error) {
    AppOptions o;
    for (int i = 1; i < argc; ++i) {
        std::string_view opt = argv[i];
        std::string_view value;
        // Both "--fps 30" and "--fps=30".
        size_t eq = opt.find('=');
        bool inline_value = opt.starts_with("--") && eq != std::string_view::npos;
        if (inline_value) {
            value = opt.substr(eq + 1);
            opt = opt.substr(0, eq);
        }
        if (takes_value(opt)) {
            if (!inline_value) {
                if (i + 1 >= argc) {
                    *error = std::string(opt) + " needs a value";
                    return false;
                }
                value = argv[++i];
            }
        } else if (inline_value) {
            *error = std::string(opt) + " takes no value";
            return false;
        }

        auto bad_value = [&](const char* what) {
            *error = "bad value for " + std::string(opt) + ": \"" + std::string(value) + "\" (" + what + ")";
            return false;
        };
        if (opt == "--windowed") {
            o.windowed = true;
        } else if (opt == "--desktop") {
            o.desktop = true;
        } else if (opt == "--loop") {
            o.loop = true;
        } else if (opt == "--audio-delay") {
            if (!parse_int(value, -10000, 10000, &o.audio_delay_ms)) return bad_value("-10000 to 10000 ms");
            o.audio_delay_given = true;
        } else if (opt == "--data") {
            if (value.empty()) return bad_value("a directory");
            o.data_dir = value;
        } else if (opt == "--report") {
            if (value.empty()) return bad_value("a file");
            o.report_path = value;
        } else if (opt == "--capture") {
            if (value.empty()) return bad_value("a file or directory");
            o.capture = true;
            o.capture_out = value;
            o.offline_options = true;
        } else if (opt == "--fps") {
            if (!parse_int(value, 1, 1000, &o.fps)) return bad_value("1 to 1000");
            o.offline_options = true;
        } else if (opt == "--size") {
            if (!parse_size(value, &o.width, &o.height)) return bad_value("WxH, e.g. 800x600");
            o.size_given = true;
        } else if (opt == "--from") {
            if (!parse_int(value, 0, 100000000, &o.from_ms)) return bad_value("milliseconds");
        } else if (opt == "--to") {
            if (!parse_int(value, 0, 100000000, &o.to_ms)) return bad_value("milliseconds");
            o.offline_options = true;
        } else if (opt == "--view") {
            if (value.empty()) return bad_value("a .vscene file");
            o.view_path = value;
        } else if (opt == "--scene-fps") {
            if (!parse_int(value, 1, 1000, &o.scene_fps)) return bad_value("1 to 1000");
        } else if (opt == "--benchmark") {
            o.benchmark = true;
            o.offline_options = true;
        } else if (opt == "--json") {
            o.json = true;
            o.offline_options = true;
        } else if (opt == "--help" || opt == "-h") {
            o.help = true;
        } else if (opt == "--version") {
            o.version = true;
        } else {
            *error = "unknown option \"" + std::string(opt) + "\"";
            return false;
        }
    }
    if (o.to_ms <= o.from_ms) {
        *error = "--to must be later than --from";
        return false;
    }
    if (o.scene_fps != 25 && o.view_path.empty()) {
        *error = "--scene-fps goes with --view";
        return false;
    }
    if (o.desktop && (o.size_given || o.windowed)) {
        *error = "--desktop takes the desktop's size: it excludes --size and --windowed";
        return false;
    }
    bool offline = o.capture || o.benchmark;
    if (offline && (o.desktop || o.loop || o.audio_delay_given)) {
        *error = "--desktop, --loop and --audio-delay are for live playback, not --capture or --benchmark";
        return false;
    }
    if (o.capture && o.benchmark) {
        *error = "--capture and --benchmark exclude each other";
        return false;
    }
    *out = o;
    return true;
}

const char* app_options_usage() {
    return "usage: vantor [options]\n"
           "  --windowed          a framed window (800 x 600, or --size) instead of the\n"
           "                      full-screen mode switch to 800 x 600; it can be resized\n"
           "  --desktop           full screen at the desktop's resolution, no mode switch\n"
           "  --size WxH          output size: the window (live, implies --windowed), the\n"
           "                      capture or the benchmark (default 800x600); the picture is\n"
           "                      scaled, never stretched\n"
           "  --from MS           start there (live, capture, benchmark)\n"
           "  --loop              live: start again from 0 where the demo would end\n"
           "  --audio-delay MS    live: the sound reaches the ear MS ms late (Bluetooth\n"
           "                      headphones: 150-250), so the picture waits for it;\n"
           "                      negative when the picture is the late one\n"
           "  --data DIR          content root; default: the working directory when it holds\n"
           "                      scripts/vertexprofiles.vsl, else the content installed or\n"
           "                      built with the program\n"
           "  --report FILE       where the report log goes (default report.htm in the working\n"
           "                      directory, or ~/.local/state/vantor/ when that is the home\n"
           "                      folder or cannot be written)\n"
           "  --capture OUT       render offline at a fixed frame rate instead of playing live:\n"
           "                      OUT ending in .mp4, .mkv or .webm is a video with the music,\n"
           "                      any other OUT a directory of PNG frames\n"
           "  --fps N             capture frame rate (default 60)\n"
           "  --to MS             end of the capture or benchmark range in music milliseconds\n"
           "                      (default 100000)\n"
           "  --benchmark         render the range offline without writing frames and print\n"
           "                      frame-time statistics per block (--json for machine-readable output)\n"
           "  --view FILE         show one scene file instead of the demo: drag to orbit, wheel\n"
           "                      to zoom, Space pauses, Left/Right step a frame, C cycles the\n"
           "                      cameras, hold A for counts; with --capture, the animation\n"
           "                      from --from to --to seen from the starting orbit camera\n"
           "  --scene-fps N       key frames per second of the viewed animation (default 25,\n"
           "                      as vantor-import writes them)\n"
           "  --help, --version\n"
           "Keys while playing live: hold A for the frame rate and time; release Escape to\n"
           "quit; Space pauses and resumes; Left and Right seek 5 s; Page Up and Page Down\n"
           "jump to the previous and next block; Home restarts; Ctrl and + or - make the\n"
           "audio delay 10 ms longer or shorter.\n";
}

const char* app_version_text() { return "vantor " VANTOR_VERSION " (V4 Graphic Engine Project, build \"vantor\")\n"; }

bool app_find_data_root(const std::string& exe_dir, std::string* root, std::string* looked) {
    namespace fs = std::filesystem;
    std::error_code ec;
    auto holds_content = [&](const fs::path& dir) {
        return fs::is_regular_file(dir / "scripts/vertexprofiles.vsl", ec);
    };
    looked->clear();
    if (holds_content(".")) {
        root->clear();
        return true;
    }
    *looked = "the working directory";
    if (exe_dir.empty()) return false;
    // Installed: bin/vantor beside share/vantor, wherever the prefix went.
    // Built: the build folder keeps the content next to the program.
    for (const fs::path& dir : {fs::path(exe_dir) / "../share/vantor", fs::path(exe_dir) / "content"}) {
        std::string name = dir.lexically_normal().string();
        if (holds_content(dir)) {
            *root = name;
            return true;
        }
        *looked += ", " + name;
    }
    return false;
}

ReportPaths app_report_paths(const std::string& cwd, const char* home, const char* xdg_state_home) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path state;
    if (xdg_state_home && xdg_state_home[0] == '/') state = xdg_state_home; // relative values are invalid and ignored
    else if (home && *home) state = fs::path(home) / ".local/state";
    // Nowhere better: the log says so if the working directory fails too.
    if (state.empty()) return {"report.htm", ""};
    const std::string in_state = (state / "vantor/report.htm").string();
    if (home && *home && fs::equivalent(cwd, home, ec)) return {in_state, ""};
    return {"report.htm", in_state};
}
