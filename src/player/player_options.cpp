#include "player/player_options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string_view>

namespace {

bool parse_size(std::string_view text, int* w, int* h) {
    size_t x = text.find('x');
    if (x == std::string_view::npos) return false;
    return player_parse_int(text.substr(0, x), 1, 16384, w) && player_parse_int(text.substr(x + 1), 1, 16384, h);
}

bool takes_value(std::string_view opt, const PlayerOptionsExtra& extra) {
    if (opt == "--data" || opt == "--report" || opt == "--capture" || opt == "--fps" || opt == "--size" ||
        opt == "--from" || opt == "--to" || opt == "--audio-delay")
        return true;
    return std::find(extra.with_value.begin(), extra.with_value.end(), opt) != extra.with_value.end();
}

// "SCENE.vscene" is one word the program takes; no text, none.
size_t argument_count(const char* arguments) {
    if (!arguments) return 0;
    std::istringstream words(arguments);
    size_t count = 0;
    for (std::string word; words >> word;) ++count;
    return count;
}

} // namespace

bool player_parse_int(std::string_view text, int min, int max, int* out) {
    if (text.empty()) return false;
    std::string s(text);
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max) return false;
    *out = static_cast<int>(v);
    return true;
}

bool player_options_parse(int argc, const char* const* argv, const PlayerSetup& setup, PlayerOptions* out,
                          std::string* error) {
    PlayerOptions o;
    o.to_ms = setup.end_ms;
    const PlayerOptionsExtra& extra = setup.extra;
    const size_t wanted = argument_count(setup.arguments);
    for (int i = 1; i < argc; ++i) {
        std::string_view opt = argv[i];
        if (!opt.starts_with("-") && o.arguments.size() < wanted) {
            o.arguments.emplace_back(opt);
            continue;
        }
        std::string_view value;
        // Both "--fps 30" and "--fps=30".
        size_t eq = opt.find('=');
        bool inline_value = opt.starts_with("--") && eq != std::string_view::npos;
        if (inline_value) {
            value = opt.substr(eq + 1);
            opt = opt.substr(0, eq);
        }
        if (takes_value(opt, extra)) {
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
        } else if (opt == "--watch") {
            o.watch = true;
        } else if (opt == "--audio-delay") {
            if (!player_parse_int(value, -10000, 10000, &o.audio_delay_ms)) return bad_value("-10000 to 10000 ms");
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
            if (!player_parse_int(value, 1, 1000, &o.fps)) return bad_value("1 to 1000");
            o.offline_options = true;
        } else if (opt == "--size") {
            if (!parse_size(value, &o.width, &o.height)) return bad_value("WxH, e.g. 800x600");
            o.size_given = true;
        } else if (opt == "--from") {
            if (!player_parse_int(value, 0, 100000000, &o.from_ms)) return bad_value("milliseconds");
        } else if (opt == "--to") {
            if (!player_parse_int(value, 0, 100000000, &o.to_ms)) return bad_value("milliseconds");
            o.offline_options = true;
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
        } else if (const char* bad = nullptr; extra.read && extra.read(opt, value, &bad)) {
            if (bad) return bad_value(bad);
        } else {
            *error = "unknown option \"" + std::string(opt) + "\"";
            return false;
        }
    }
    if (o.to_ms <= o.from_ms) {
        *error = "--to must be later than --from";
        return false;
    }
    if (extra.check && !extra.check(error)) return false;
    if (o.desktop && (o.size_given || o.windowed)) {
        *error = "--desktop takes the desktop's size: it excludes --size and --windowed";
        return false;
    }
    bool offline = o.capture || o.benchmark;
    if (offline && (o.desktop || o.loop || o.audio_delay_given)) {
        *error = "--desktop, --loop and --audio-delay are for live playback, not --capture or --benchmark";
        return false;
    }
    // A capture or benchmark is a fixed render of the files as they are.
    if (offline && o.watch) {
        *error = "--watch is for live playback, not --capture or --benchmark";
        return false;
    }
    if (o.capture && o.benchmark) {
        *error = "--capture and --benchmark exclude each other";
        return false;
    }
    if (o.arguments.size() < wanted && !o.help && !o.version) {
        *error = std::string("missing ") + setup.arguments;
        return false;
    }
    *out = o;
    return true;
}

std::string player_options_usage(const PlayerSetup& setup) {
    std::string text = std::string("usage: ") + setup.name +
                       (setup.arguments ? std::string(" ") + setup.arguments : "") + " [options]\n";
    text += "  --windowed          a framed window (800 x 600, or --size) instead of the\n"
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
            "  --watch             live: reload a scene file, shader script or texture under\n"
            "                      the content folder when it is saved; errors show on screen\n"
            "  --data DIR          content root; default: the working directory when it holds\n"
            "                      scripts/vertexprofiles.vsl, else the content installed or\n"
            "                      built with the program\n"
            "  --report FILE       where the report log goes (default report.htm in the working\n";
    text += std::string("                      directory, or ~/.local/state/") + setup.name +
            "/ when that is the home\n"
            "                      folder or cannot be written)\n";
    text += "  --capture OUT       render offline at a fixed frame rate instead of playing live:\n"
            "                      OUT ending in .mp4, .mkv or .webm is a video with the music,\n"
            "                      any other OUT a directory of PNG frames\n"
            "  --fps N             capture frame rate (default 60)\n"
            "  --to MS             end of the capture or benchmark range in music milliseconds\n";
    text += "                      (default " + std::to_string(setup.end_ms) + ")\n";
    text += "  --benchmark         render the range offline without writing frames and print\n"
            "                      frame-time statistics per block (--json for machine-readable output)\n";
    text += setup.extra.usage;
    text += "  --help, --version\n"
            "Keys while playing live: hold A for the frame rate and time; release Escape to\n"
            "quit; Space pauses and resumes; Left and Right seek 5 s; Page Up and Page Down\n"
            "jump to the previous and next block; Home restarts; Ctrl and + or - make the\n"
            "audio delay 10 ms longer or shorter.\n";
    return text;
}

std::string player_version_text(const PlayerSetup& setup) {
    if (setup.version) return setup.version;
    return std::string(setup.name) + " (V4 Graphic Engine Project " VANTOR_VERSION ")\n";
}

bool player_find_data_root(const std::string& exe_dir, const char* fallback, std::string* root, std::string* looked) {
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
    // Installed: bin/vantor beside share/vantor, wherever the prefix went.
    // Built: the build folder keeps the content next to the program.
    std::vector<fs::path> places;
    if (!exe_dir.empty()) places = {fs::path(exe_dir) / "../share/vantor", fs::path(exe_dir) / "content"};
    if (fallback && *fallback) places.emplace_back(fallback);
    for (const fs::path& dir : places) {
        std::string name = dir.lexically_normal().string();
        if (holds_content(dir)) {
            *root = name;
            return true;
        }
        *looked += ", " + name;
    }
    return false;
}

ReportPaths player_report_paths(const std::string& cwd, const char* home, const char* xdg_state_home,
                                const char* name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path state;
    if (xdg_state_home && xdg_state_home[0] == '/') state = xdg_state_home; // relative values are invalid and ignored
    else if (home && *home) state = fs::path(home) / ".local/state";
    // Nowhere better: the log says so if the working directory fails too.
    if (state.empty()) return {"report.htm", ""};
    const std::string in_state = (state / name / "report.htm").string();
    if (home && *home && fs::equivalent(cwd, home, ec)) return {in_state, ""};
    return {"report.htm", in_state};
}
