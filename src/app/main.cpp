// Entry point: the command line, then the demo.
#include "app/app_options.h"
#include "app/demo_main.h"
#include "app/frame_driver.h"
#include "app/viewer.h"
#include "core/log.h"
#include "platform/platform_paths.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// --data, else the working directory, the installed or the built content.
bool choose_data_root(AppOptions* options) {
    std::error_code ec;
    if (!options->data_dir.empty()) {
        if (std::filesystem::is_directory(options->data_dir, ec)) return true;
        std::fprintf(stderr, "vantor: content directory \"%s\" not found\n", options->data_dir.c_str());
        return false;
    }
    std::string looked;
    if (app_find_data_root(platform_executable_dir(), &options->data_dir, &looked)) return true;
    std::fprintf(stderr, "vantor: no content (scripts/vertexprofiles.vsl) in %s; use --data DIR\n", looked.c_str());
    return false;
}

// --report, else the working directory or the user's state folder; a report
// that is not where it used to be is announced.
void choose_report_path(const AppOptions& options) {
    if (!options.report_path.empty()) {
        log_set_path(options.report_path);
        return;
    }
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    ReportPaths paths = app_report_paths(cwd, std::getenv("HOME"), std::getenv("XDG_STATE_HOME"));
    if (paths.path != "report.htm") {
        std::filesystem::create_directories(std::filesystem::path(paths.path).parent_path(), ec);
        std::fprintf(stderr, "vantor: report in %s\n", paths.path.c_str());
    }
    log_set_path(paths.path, paths.fallback);
}

} // namespace

int main(int argc, char** argv) {
    AppOptions options;
    std::string error;
    if (!app_options_parse(argc, argv, &options, &error)) {
        std::fprintf(stderr, "vantor: %s\nTry 'vantor --help'.\n", error.c_str());
        return 1;
    }
    if (options.help) {
        std::fputs(app_options_usage(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(app_version_text(), stdout);
        return 0;
    }
    if (!capture_check_options(options, &error)) {
        std::fprintf(stderr, "vantor: %s\nTry 'vantor --help'.\n", error.c_str());
        return 1;
    }
    if (!choose_data_root(&options)) return 1;
    choose_report_path(options);
    if (!options.view_path.empty()) return viewer_main(options);
    return demo_main(options);
}
