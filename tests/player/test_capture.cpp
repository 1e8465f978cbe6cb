// The off-line modes' arithmetic, clock and reports, without a window.
#include "audio/audio.h"
#include "core/paths.h"
#include "player/benchmark.h"
#include "player/frame_driver.h"
#include "player/player_options.h"
#include "player/progress.h"

#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

TEST(CaptureClock, FrameTimesAreTruncatedMilliseconds) {
    EXPECT_EQ(capture_frame_time(0, 60, 0), 0);
    EXPECT_EQ(capture_frame_time(0, 60, 1), 16); // 16.67
    EXPECT_EQ(capture_frame_time(0, 60, 2), 33); // 33.33
    EXPECT_EQ(capture_frame_time(0, 60, 59), 983);
    EXPECT_EQ(capture_frame_time(0, 60, 60), 1000);
    EXPECT_EQ(capture_frame_time(12000, 7, 3), 12428); // 428.57
    // No overflow on long ranges at high rates.
    EXPECT_EQ(capture_frame_time(0, 1000, 100000000L), 100000000);
}

TEST(CaptureClock, FrameCountCoversTheRangeExactly) {
    EXPECT_EQ(capture_frame_count(0, 100000, 10), 1000);
    EXPECT_EQ(capture_frame_count(0, 100000, 60), 6000);
    EXPECT_EQ(capture_frame_count(0, 100, 10), 1);
    EXPECT_EQ(capture_frame_count(0, 101, 10), 2);
    EXPECT_EQ(capture_frame_count(0, 1, 60), 1);
    EXPECT_EQ(capture_frame_count(500, 500, 60), 0);
    // 30 fps over 1000 ms: 0, 33, ..., 966 (30 frames); frame 30 is at 1000.
    EXPECT_EQ(capture_frame_count(0, 1000, 30), 30);
    // Every counted frame lies inside the range, the next one does not.
    for (int fps : {1, 7, 24, 25, 30, 59, 60, 144}) {
        for (int span : {1, 99, 100, 1001, 33333}) {
            long n = capture_frame_count(1000, 1000 + span, fps);
            ASSERT_GT(n, 0);
            EXPECT_LT(capture_frame_time(1000, fps, n - 1), 1000 + span) << fps << " " << span;
            EXPECT_GE(capture_frame_time(1000, fps, n), 1000 + span) << fps << " " << span;
        }
    }
}

TEST(CaptureClock, OutputKindFollowsTheExtension) {
    EXPECT_TRUE(capture_is_video("a.mp4"));
    EXPECT_TRUE(capture_is_video("dir/a.MKV"));
    EXPECT_TRUE(capture_is_video("a.webm"));
    EXPECT_FALSE(capture_is_video("frames"));
    EXPECT_FALSE(capture_is_video("frames.png"));
    EXPECT_FALSE(capture_is_video("mp4"));
}

TEST(CaptureClock, OfflineSettingsNeedAnOfflineMode) {
    auto check = [](std::vector<const char*> args) {
        args.insert(args.begin(), "vantor");
        PlayerOptions o;
        std::string error;
        if (!player_options_parse(static_cast<int>(args.size()), args.data(), PlayerSetup{}, &o, &error)) return false;
        return capture_check_options(o, &error);
    };
    EXPECT_TRUE(check({}));
    EXPECT_TRUE(check({"--capture", "out", "--fps", "10"}));
    EXPECT_TRUE(check({"--benchmark", "--json", "--size", "320x240"}));
    EXPECT_FALSE(check({"--json"}));
    EXPECT_FALSE(check({"--capture", "out", "--json"}));
    EXPECT_FALSE(check({"--fps", "30"}));
    EXPECT_FALSE(check({"--to", "5000"}));
    // Live playback starts at --from and opens its window at --size.
    EXPECT_TRUE(check({"--from", "1000", "--size", "1280x720"}));
}

// The loop draws frame n with the position read at the end of frame n - 2,
// and the spectrum read at the end of frame n - 1: the driver hands out
// values so that frame n still sees the time and spectrum of frame n.
TEST(CaptureClock, LoopSeesEachFramesOwnTimeAndSpectrum) {
    const std::string content = test_content_dir();
    if (content.empty() || !std::filesystem::exists(content + "/fps7.ogg")) GTEST_SKIP() << "no music";
    path_set_data_root(content);
    PlayerOptions options;
    options.benchmark = true;
    options.fps = 25;
    options.from_ms = 36000;
    options.to_ms = 36200;
    FrameDriver driver;
    ASSERT_TRUE(frame_driver_init(&driver, options, "vantor", "fps7.ogg"));
    EXPECT_EQ(driver.frame_count, 5);

    AudioTrack* track = audio_track_open((std::string(content) + "/fps7.ogg").c_str());
    ASSERT_NE(track, nullptr);
    float expected[AUDIO_SPECTRUM_SIZE];

    // The loop's own bookkeeping, without drawing.
    int timeline_time = 0;
    float music_time = 0;
    frame_driver_prime(&driver, &timeline_time, &music_time);
    for (long n = 0; n < driver.frame_count; ++n) {
        // Step 4 of frame n draws with timeline_time and the current spectrum.
        int frame_time = static_cast<int>(capture_frame_time(36000, 25, n));
        EXPECT_EQ(timeline_time, frame_time) << "frame " << n;
        audio_track_spectrum_at(track, static_cast<unsigned>(frame_time), expected);
        for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(music_spectrum[i], expected[i]) << "frame " << n << " band " << i;
        timeline_time = static_cast<int>(music_time); // step 7
        ++driver.frames_done;                         // present
        music_time = static_cast<float>(frame_driver_position(&driver));
        frame_driver_spectrum(&driver);
    }
    EXPECT_TRUE(frame_driver_done(&driver));
    audio_track_close(track);
    // The music is live in this range: the spectrum is not silence.
    EXPECT_GT(expected[0] + expected[1] + expected[2], 0.0f);
}

TEST(Benchmark, PercentilesByNearestRank) {
    std::vector<double> ms;
    for (int i = 100; i >= 1; --i) ms.push_back(i); // 1..100, unsorted
    BenchmarkSummary s = benchmark_summarize(ms);
    EXPECT_EQ(s.frames, 100);
    EXPECT_DOUBLE_EQ(s.median_ms, 50);
    EXPECT_DOUBLE_EQ(s.p95_ms, 95);
    EXPECT_DOUBLE_EQ(s.max_ms, 100);

    s = benchmark_summarize({7.5});
    EXPECT_DOUBLE_EQ(s.median_ms, 7.5);
    EXPECT_DOUBLE_EQ(s.p95_ms, 7.5);
    s = benchmark_summarize({3, 1, 2});
    EXPECT_DOUBLE_EQ(s.median_ms, 2);
    EXPECT_DOUBLE_EQ(s.p95_ms, 3);
    s = benchmark_summarize({});
    EXPECT_EQ(s.frames, 0);
    EXPECT_DOUBLE_EQ(s.max_ms, 0);
}

TEST(Benchmark, JsonHasTheAgreedShape) {
    BenchmarkReport r;
    r.width = 1920;
    r.height = 1080;
    r.fps = 60;
    r.load_ms = 1234.5;
    r.peak_rss_mb = 99.25;
    benchmark_add_frame(&r, "block2", "first title", 10);
    benchmark_add_frame(&r, "block2", "first title", 30);
    benchmark_add_frame(&r, "block3", "second title", 5);
    benchmark_add_frame(&r, "block2", "first title", 20); // back to an earlier block: same entry
    // Twice the screen's fragments, and a glow pass only.
    GpuFrameStats gpu;
    gpu.samples_passed = 2u * 1920u * 1080u;
    gpu.pass_ms[GPU_PASS_GLOW] = 1.5;
    gpu.pass_seen[GPU_PASS_GLOW] = true;
    benchmark_add_gpu(&r, "block2", gpu);
    r.floor_ms = 10;
    r.floor_ms_before = 9;
    r.floor_ms_after = 11;
    ASSERT_EQ(r.blocks.size(), 2u);
    EXPECT_EQ(benchmark_json(r), "{\"size\":\"1920x1080\",\"fps\":60,\"load_ms\":1234.50,\"peak_rss_mb\":99.25,"
                                 "\"floor_ms\":10.000,\"floor_ms_before\":9.000,\"floor_ms_after\":11.000,\"blocks\":["
                                 "{\"name\":\"block2\",\"title\":\"first "
                                 "title\",\"frames\":3,\"median_ms\":20.000,\"p95_ms\":30.000,\"max_ms\":30.000,"
                                 "\"p95_fills\":3.000,\"overdraw\":2.000,\"gpu_ms\":{\"glow\":1.500}},"
                                 "{\"name\":\"block3\",\"title\":\"second "
                                 "title\",\"frames\":1,\"median_ms\":5.000,\"p95_ms\":5.000,\"max_ms\":5.000,"
                                 "\"p95_fills\":0.500,\"overdraw\":0.000,\"gpu_ms\":{}}]}\n");
    std::string text = benchmark_text(r);
    EXPECT_NE(text.find("block2         3      20.00    30.00    30.00       3.00      2.00    1.50   0.00   0.00   "
                        "0.00  first title"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("1234.5 ms"), std::string::npos) << text;
    EXPECT_GT(benchmark_peak_rss_mb(), 1.0);
}

TEST(Progress, LineShowsFramesRateAndTimeLeft) {
    EXPECT_EQ(progress_line(0, 1000, 0.0), "[------------------------------]    0/1000 frames  0.0 fps  --:-- left");
    EXPECT_EQ(progress_line(500, 1000, 20.0), "[###############---------------]  500/1000 frames  25.0 fps  0:20 left");
    EXPECT_EQ(progress_line(1000, 1000, 40.0),
              "[##############################] 1000/1000 frames  25.0 fps  0:00 left");
    // 10 frames in 1 s, 3590 left: 5:59.
    EXPECT_EQ(progress_line(10, 3600, 1.0), "[------------------------------]   10/3600 frames  10.0 fps  5:59 left");
    // Out-of-range input stays sane.
    EXPECT_EQ(progress_line(5, 0, 1.0), "[##############################] 1/1 frames  1.0 fps  0:00 left");
}

} // namespace
