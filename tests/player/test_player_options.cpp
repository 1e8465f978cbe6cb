#include "core/paths.h"
#include "player/player_options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace {

bool parse(std::vector<const char*> args, PlayerOptions* out, std::string* error,
           const PlayerSetup& setup = PlayerSetup{}) {
    args.insert(args.begin(), "demo");
    return player_options_parse(static_cast<int>(args.size()), args.data(), setup, out, error);
}

TEST(Options, DefaultsAreTheLiveFullScreenDemo) {
    PlayerOptions o;
    std::string error;
    ASSERT_TRUE(parse({}, &o, &error));
    EXPECT_FALSE(o.windowed);
    EXPECT_FALSE(o.offline_options);
    EXPECT_EQ(o.fps, 60);
    EXPECT_EQ(o.width, 800);
    EXPECT_EQ(o.height, 600);
    EXPECT_EQ(o.from_ms, 0);
    EXPECT_EQ(o.to_ms, 100000);
}

TEST(Options, EveryOptionIsRead) {
    PlayerOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--windowed", "--data", "some dir", "--report", "r.htm", "--capture=out.mp4", "--fps", "30",
                       "--size", "640x360", "--from", "1000", "--to=2500"},
                      &o, &error))
        << error;
    EXPECT_TRUE(o.windowed);
    EXPECT_EQ(o.data_dir, "some dir");
    EXPECT_EQ(o.report_path, "r.htm");
    EXPECT_TRUE(o.capture);
    EXPECT_EQ(o.capture_out, "out.mp4");
    EXPECT_EQ(o.fps, 30);
    EXPECT_EQ(o.width, 640);
    EXPECT_EQ(o.height, 360);
    EXPECT_EQ(o.from_ms, 1000);
    EXPECT_EQ(o.to_ms, 2500);
    EXPECT_TRUE(o.offline_options);

    ASSERT_TRUE(parse({"--benchmark", "--json", "--help", "--version"}, &o, &error));
    EXPECT_TRUE(o.benchmark && o.json && o.help && o.version);

    // Live playback takes a window size, a start and the loop; --desktop its own size.
    ASSERT_TRUE(parse({"--size", "1280x720", "--from", "72000", "--loop", "--audio-delay", "-40"}, &o, &error))
        << error;
    EXPECT_TRUE(o.size_given && o.loop && !o.capture && !o.benchmark);
    EXPECT_EQ(o.audio_delay_ms, -40);
    EXPECT_EQ(o.width, 1280);
    EXPECT_EQ(o.from_ms, 72000);
    ASSERT_TRUE(parse({"--desktop", "--from", "5000"}, &o, &error)) << error;
    EXPECT_TRUE(o.desktop && !o.size_given && !o.watch);
    ASSERT_TRUE(parse({"--windowed", "--watch"}, &o, &error)) << error;
    EXPECT_TRUE(o.watch);
}

TEST(Options, BadCommandLinesAreRefusedWithAReason) {
    const std::vector<std::vector<const char*>> bad = {
        {"--bogus"},
        {"--data"},
        {"--report"},
        {"--report="},
        {"--fps", "0"},
        {"--fps", "60x"},
        {"--size", "800"},
        {"--size", "0x600"},
        {"--size", "x600"},
        {"--from", "-5"},
        {"--from", "5000", "--to", "4000"},
        {"--windowed=1"},
        {"--capture", "a", "--benchmark"},
        {"--fps", "99999999999999999999"},
        {"windowed"},
        {"--desktop", "--size", "1280x720"},
        {"--desktop", "--windowed"},
        {"--loop", "--benchmark"},
        {"--audio-delay", "200", "--capture", "out"},
        {"--audio-delay", "200ms"},
        {"--desktop", "--capture", "out"},
        {"--watch", "--capture", "out"},
        {"--watch", "--benchmark"},
        {"--watch=1"},
    };
    for (const auto& args : bad) {
        PlayerOptions o;
        o.fps = 12345;
        std::string error;
        EXPECT_FALSE(parse(args, &o, &error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
        EXPECT_EQ(o.fps, 12345) << "options changed on failure";
    }
}

// A program's words and options of its own are read in turn with the shared
// ones; its usage lines come before --help, under its own name.
TEST(Options, ProgramsAddWordsAndOptions) {
    int level = 0;
    PlayerSetup setup;
    setup.name = "glow";
    setup.arguments = "SCENE.vscene";
    setup.end_ms = 16000;
    setup.extra.with_value = {"--level"};
    setup.extra.read = [&](std::string_view name, std::string_view value, const char** bad) {
        if (name != "--level") return false;
        if (!player_parse_int(value, 1, 9, &level)) *bad = "1 to 9";
        return true;
    };
    setup.extra.usage = "  --level N           how much\n";
    PlayerOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--windowed", "a.vscene", "--level", "3"}, &o, &error, setup)) << error;
    EXPECT_EQ(o.arguments, std::vector<std::string>{"a.vscene"});
    EXPECT_EQ(level, 3);
    EXPECT_EQ(o.to_ms, 16000);
    EXPECT_TRUE(parse({"--help"}, &o, &error, setup));

    EXPECT_FALSE(parse({"--windowed"}, &o, &error, setup));
    EXPECT_EQ(error, "missing SCENE.vscene");
    EXPECT_FALSE(parse({"a.vscene", "b.vscene"}, &o, &error, setup));
    EXPECT_EQ(error, "unknown option \"b.vscene\"");
    // The first bad word on the line is the one refused.
    EXPECT_FALSE(parse({"a.vscene", "--level=0", "--fps", "0"}, &o, &error, setup));
    EXPECT_EQ(error, "bad value for --level: \"0\" (1 to 9)");
    EXPECT_FALSE(parse({"a.vscene", "--bogus", "--level", "0"}, &o, &error, setup));
    EXPECT_EQ(error, "unknown option \"--bogus\"");

    const std::string usage = player_options_usage(setup);
    EXPECT_EQ(usage.rfind("usage: glow SCENE.vscene [options]\n", 0), 0u) << usage;
    EXPECT_NE(usage.find("frame-time statistics per block (--json for machine-readable output)\n"
                         "  --level N           how much\n"
                         "  --help, --version\n"),
              std::string::npos)
        << usage;
    EXPECT_NE(usage.find("(default 16000)"), std::string::npos) << usage;
    EXPECT_NE(usage.find("\n  --watch             live: reload"), std::string::npos) << usage;
    EXPECT_NE(usage.find("~/.local/state/glow/"), std::string::npos) << usage;
}

// The working directory, then the installed tree beside the program, then
// the build folder's content; the refusal names every place tried.
TEST(Options, ContentRootIsFoundInOrder) {
    namespace fs = std::filesystem;
    auto plant = [](const fs::path& dir) {
        fs::create_directories(dir / "scripts");
        std::ofstream(dir / "scripts/vertexprofiles.vsl") << "\n";
    };
    fs::remove_all("scripts");
    fs::remove_all("prefix");
    const fs::path prefix = fs::absolute("prefix");
    const std::string bin = (prefix / "bin").string() + "/";
    fs::create_directories(prefix / "bin");

    std::string root = "unchanged", looked;
    EXPECT_FALSE(player_find_data_root(bin, nullptr, &root, &looked));
    EXPECT_EQ(looked, "the working directory, " + (prefix / "share/vantor").string() + ", " +
                          (prefix / "bin/content").string());
    EXPECT_FALSE(player_find_data_root("", nullptr, &root, &looked));
    EXPECT_EQ(looked, "the working directory");

    // A program's own content (an example's installed engine) comes last.
    const std::string own = (prefix / "own").string();
    EXPECT_FALSE(player_find_data_root("", own.c_str(), &root, &looked));
    EXPECT_EQ(looked, "the working directory, " + own);
    plant(own);
    ASSERT_TRUE(player_find_data_root(bin, own.c_str(), &root, &looked));
    EXPECT_EQ(root, own);

    plant(prefix / "bin/content");
    ASSERT_TRUE(player_find_data_root(bin, own.c_str(), &root, &looked));
    EXPECT_EQ(root, (prefix / "bin/content").string());
    ASSERT_TRUE(player_find_data_root(bin, nullptr, &root, &looked));
    EXPECT_EQ(root, (prefix / "bin/content").string());
    plant(prefix / "share/vantor");
    ASSERT_TRUE(player_find_data_root(bin, nullptr, &root, &looked));
    EXPECT_EQ(root, (prefix / "share/vantor").string());
    plant(".");
    ASSERT_TRUE(player_find_data_root(bin, nullptr, &root, &looked));
    EXPECT_EQ(root, "");
    fs::remove_all("scripts");
    fs::remove_all("prefix");
}

// A launcher starts programs in the home folder: the report goes to the
// state folder there, and to the working directory anywhere else, with the
// state folder to fall back on.
TEST(Options, ReportLeavesTheHomeFolderAlone) {
    namespace fs = std::filesystem;
    const std::string cwd = fs::current_path().string();
    fs::create_directories("home");
    const std::string home = fs::absolute("home").string();
    const std::string state = home + "/.local/state/vantor/report.htm";
    auto paths = [](const std::string& dir, const char* h, const char* xdg) {
        ReportPaths p = player_report_paths(dir, h, xdg, "vantor");
        return p.path + " | " + p.fallback;
    };
    EXPECT_EQ(paths(cwd, home.c_str(), nullptr), "report.htm | " + state);
    EXPECT_EQ(paths(cwd, nullptr, nullptr), "report.htm | ");
    EXPECT_EQ(paths(cwd, nullptr, "/state"), "report.htm | /state/vantor/report.htm");
    EXPECT_EQ(paths(home, home.c_str(), nullptr), state + " | ");
    EXPECT_EQ(paths(home, home.c_str(), "/state"), "/state/vantor/report.htm | ");
    EXPECT_EQ(paths(home, home.c_str(), "relative"), state + " | ");
    fs::remove_all("home");
}

TEST(Paths, ContentPathsJoinTheRoot) {
    path_set_data_root("");
    EXPECT_EQ(path_data("textures/x.png"), "textures/x.png");
    path_set_data_root("/c");
    EXPECT_EQ(path_data("models/a.vscene"), "/c/models/a.vscene");
    path_set_data_root("/c/");
    EXPECT_EQ(path_data("fps7.ogg"), "/c/fps7.ogg");
    EXPECT_EQ(path_data("/abs/file"), "/abs/file");
    path_set_data_root("");
}

} // namespace
