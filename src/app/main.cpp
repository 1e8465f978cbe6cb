// Entry point: the command line, then the demo.
#include "app/app_options.h"
#include "app/frame_driver.h"
#include "app/demo_main.h"

#include <cstdio>
#include <filesystem>
#include <string>

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
    std::error_code ec;
    if (!options.data_dir.empty() && !std::filesystem::is_directory(options.data_dir, ec)) {
        std::fprintf(stderr, "vantor: content directory \"%s\" not found\n", options.data_dir.c_str());
        return 1;
    }
    return demo_main(options);
}
