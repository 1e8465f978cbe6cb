// Watching the content: news of written files reaches the registry between
// two frames, once per file however often it was written, from folders made
// after the start too; a frame with nothing written costs one read.
#include "core/paths.h"
#include "core/reload.h"
#include "shell/reload_watch.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string fresh_root(const char* name) {
    fs::path root = fs::absolute(name);
    fs::remove_all(root);
    fs::create_directories(root / "textures");
    return root.string();
}

// Polls as a frame loop would until a file was loaded again, for a second at most.
int poll_until_loaded() {
    for (int frame = 0; frame < 100; ++frame) {
        if (int loaded = reload_watch_poll()) return loaded;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

struct ReloadWatch : ::testing::Test {
    void TearDown() override {
        reload_watch_stop();
        path_set_data_root("");
    }
};

TEST_F(ReloadWatch, WrittenFilesReachEveryRegistrationOnce) {
    const std::string root = fresh_root("watch_root");
    path_set_data_root(root);
    ASSERT_TRUE(reload_watch_start(root));
    const std::string texture = root + "/textures/a.png";
    int loads = 0;
    auto count = [&loads](const std::string&, std::string*) {
        ++loads;
        return true;
    };
    // Two records from one file (one script compiled for two robots).
    reload_register(RELOAD_TEXTURE, 1, texture, count);
    reload_register(RELOAD_TEXTURE, 2, root + "/textures/../textures/a.png", count);

    // Written twice before the frame ends, beside a file nobody loaded.
    test_write_file(texture, "one");
    test_write_file(texture, "two");
    test_write_file(root + "/notes.txt", "x");
    EXPECT_EQ(poll_until_loaded(), 1);
    EXPECT_EQ(loads, 2);
    EXPECT_EQ(reload_watch_poll(), 0);

    // Saved the way editors do: a temporary file moved into place.
    test_write_file(texture + ".swp", "three");
    fs::rename(texture + ".swp", texture);
    EXPECT_EQ(poll_until_loaded(), 1);
    EXPECT_EQ(loads, 4);

    // A folder made while watching is watched, and so is what was written
    // into it before its watch was in place.
    reload_register(RELOAD_SCENE, 3, root + "/models/new/b.vscene", count);
    fs::create_directories(root + "/models/new");
    test_write_file(root + "/models/new/b.vscene", "scene");
    EXPECT_EQ(poll_until_loaded(), 1);
    EXPECT_EQ(loads, 5);

    // Stopped, nothing is registered any more.
    reload_watch_stop();
    EXPECT_FALSE(reload_active());
    EXPECT_FALSE(reload_is_registered(RELOAD_TEXTURE, 1));
    reload_register(RELOAD_TEXTURE, 1, texture, count);
    EXPECT_FALSE(reload_is_registered(RELOAD_TEXTURE, 1));
}

TEST_F(ReloadWatch, MissingRootIsReportedNotFatal) {
    EXPECT_FALSE(reload_watch_start(fs::absolute("no_such_root").string()));
    EXPECT_FALSE(reload_watch_running());
    EXPECT_FALSE(reload_active());
    EXPECT_EQ(reload_watch_poll(), 0);
}

// Not a timed test: it prints what a frame pays for watching.
TEST_F(ReloadWatch, FrameCostWithNothingWritten) {
    const std::string root = fresh_root("watch_cost_root");
    for (int i = 0; i < 40; ++i) fs::create_directories(root + "/models/m" + std::to_string(i));
    ASSERT_TRUE(reload_watch_start(root));
    for (int i = 0; i < 200; ++i) reload_register(RELOAD_TEXTURE, static_cast<uintptr_t>(i + 1), root + "/x.png", {});
    constexpr int frames = 20000;
    auto start = std::chrono::steady_clock::now();
    int loaded = 0;
    for (int i = 0; i < frames; ++i) loaded += reload_watch_poll();
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(loaded, 0);
    const double us = std::chrono::duration<double, std::micro>(took).count() / frames;
    std::printf("reload_watch_poll, nothing written, 41 folders, 200 registrations: %.2f us per frame\n", us);
    reload_watch_stop();
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) loaded += reload_watch_poll();
    took = std::chrono::steady_clock::now() - start;
    std::printf("reload_watch_poll, not watching: %.3f us per frame\n",
                std::chrono::duration<double, std::micro>(took).count() / frames);
}

} // namespace
