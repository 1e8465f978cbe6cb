// The demo program's own options on the player's command line.
#include "app/app_options.h"
#include "player/player_options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool parse(std::vector<const char*> args, AppOptions* own, std::string* error) {
    args.insert(args.begin(), "vantor");
    PlayerOptions options;
    return player_options_parse(static_cast<int>(args.size()), args.data(), app_player_setup(own), &options, error);
}

TEST(Options, TheViewerHasOptionsOfItsOwn) {
    AppOptions own;
    std::string error;
    ASSERT_TRUE(parse({"--view", "a b/hero.vscene", "--scene-fps=30"}, &own, &error)) << error;
    EXPECT_EQ(own.view_path, "a b/hero.vscene");
    EXPECT_EQ(own.scene_fps, 30);

    const std::vector<std::vector<const char*>> bad = {
        {"--view"}, {"--view="}, {"--scene-fps", "30"}, {"--view", "x", "--scene-fps", "0"}, {"view"},
    };
    for (const auto& args : bad) {
        AppOptions o;
        EXPECT_FALSE(parse(args, &o, &error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(Options, TheUsageListsTheViewerBeforeHelp) {
    AppOptions own;
    const std::string usage = player_options_usage(app_player_setup(&own));
    EXPECT_EQ(usage.rfind("usage: vantor [options]\n", 0), 0u) << usage;
    size_t view = usage.find("  --view FILE ");
    size_t scene_fps = usage.find("  --scene-fps N ");
    size_t help = usage.find("  --help, --version\n");
    EXPECT_LT(usage.find("  --benchmark "), view);
    EXPECT_LT(view, scene_fps);
    EXPECT_LT(scene_fps, help);
    EXPECT_NE(usage.find("~/.local/state/vantor/ when that is the home\n"), std::string::npos) << usage;
    EXPECT_NE(usage.find("(default 100000)"), std::string::npos) << usage;
}

} // namespace
