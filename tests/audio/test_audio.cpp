// The music stream on SDL's dummy driver and the spectrum analysis, on Ogg
// Vorbis files these tests encode themselves plus real ones from Debian.
#include "audio/audio.h"
#include "core/log.h"
#include "core/paths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const double PI = 3.14159265358979323846;
const double BIN_HZ = double(AUDIO_RATE) / AUDIO_FFT_SIZE;

std::string temp_file(const char* name) { return (std::filesystem::current_path() / name).string(); }

// A stereo file whose left channel is `left(t)` and right channel silent.
template <typename F> std::string encode(const char* name, double seconds, F left) {
    int64_t frames = int64_t(seconds * AUDIO_RATE);
    std::vector<float> pcm(size_t(frames) * 2);
    for (int64_t i = 0; i < frames; ++i) pcm[size_t(2 * i)] = float(left(double(i) / AUDIO_RATE));
    std::string path = temp_file(name);
    EXPECT_TRUE(audio_write_ogg(path.c_str(), pcm.data(), frames, 2, AUDIO_RATE, 0.8f));
    return path;
}

std::string sine_file(double hz, double seconds, const char* name) {
    return encode(name, seconds, [hz](double t) { return std::sin(2 * PI * hz * t); });
}

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// How far the position moves per millisecond of wall time over about `ms`.
// A loaded machine can starve the audio thread for a moment, so the best of
// three tries counts; a clock that runs wrong fails all three.
double rate_over(int ms) {
    double best = 0.0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        unsigned p0 = audio_get_position();
        Clock::time_point t0 = Clock::now();
        sleep_ms(ms);
        unsigned p1 = audio_get_position();
        double wall = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        double rate = double(p1 - p0) / wall;
        std::printf("position rate over %.0f ms: %.3f\n", wall, rate);
        if (std::fabs(rate - 1.0) < std::fabs(best - 1.0)) best = rate;
        if (std::fabs(best - 1.0) < 0.05) break;
    }
    return best;
}

struct AudioTest : ::testing::Test {
    void SetUp() override { audio_init(); }
    void TearDown() override { audio_shutdown(); }
};

} // namespace

TEST(AudioSpectrum, BinCentreSineReadsOneAndSilenceZero) {
    float samples[AUDIO_FFT_SIZE];
    float out[AUDIO_SPECTRUM_SIZE];
    for (int i = 0; i < AUDIO_FFT_SIZE; ++i) samples[i] = float(std::sin(2 * PI * 7 * i / AUDIO_FFT_SIZE));
    audio_spectrum_compute(samples, out);
    EXPECT_NEAR(out[7], 1.0f, 1e-4);
    for (int i = 0; i < AUDIO_SPECTRUM_SIZE; ++i)
        if (i != 7) {
            EXPECT_LT(out[i], 1e-4) << i;
        }

    // The same through an encoded file: band 2's centre, full scale.
    AudioTrack* track = audio_track_open(sine_file(2 * BIN_HZ, 2.0, "sine.ogg").c_str());
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(audio_track_rate(track), AUDIO_RATE);
    EXPECT_NEAR(double(audio_track_frames(track)), 2.0 * AUDIO_RATE, 2);
    for (unsigned ms : {100u, 777u, 1500u}) {
        audio_track_spectrum_at(track, ms, out);
        EXPECT_NEAR(out[2], 1.0f, 0.05f) << ms;
        for (int i = 0; i < AUDIO_SPECTRUM_SIZE; ++i)
            if (i != 2) {
                EXPECT_LT(out[i], 0.05f) << "entry " << i << " at " << ms;
            }
    }
    // Beyond the end the window is silence.
    audio_track_spectrum_at(track, 5000, out);
    for (float v : out) EXPECT_EQ(v, 0.0f);
    audio_track_close(track);

    AudioTrack* quiet = audio_track_open(encode("silence.ogg", 1.0, [](double) { return 0.0; }).c_str());
    ASSERT_NE(quiet, nullptr);
    audio_track_spectrum_at(quiet, 500, out);
    for (float v : out) EXPECT_LT(v, 1e-4f);
    audio_track_close(quiet);
}

TEST(AudioTrack, RefusesWhatIsNotVorbisAndSurvivesTruncation) {
    EXPECT_EQ(audio_track_open(nullptr), nullptr);
    EXPECT_EQ(audio_track_open(temp_file("missing.ogg").c_str()), nullptr);
    std::string junk = temp_file("junk.ogg");
    std::ofstream(junk) << "OggS this is not a vorbis stream at all";
    EXPECT_EQ(audio_track_open(junk.c_str()), nullptr);
    float one[2] = {0.0f, 0.0f};
    EXPECT_FALSE(audio_write_ogg(temp_file("no_such_dir/x.ogg").c_str(), one, 1, 2, AUDIO_RATE, 0.5f));
    EXPECT_FALSE(audio_write_ogg(temp_file("three.ogg").c_str(), one, 1, 3, AUDIO_RATE, 0.5f));

    // Half of a real file: decodes what is there, then stops.
    // Noise, so the audio spans many pages.
    unsigned seed = 1;
    std::string whole = encode("whole.ogg", 3.0, [&seed](double) {
        seed = seed * 1664525u + 1013904223u;
        return double(seed >> 8) / double(1u << 24) - 0.5;
    });
    std::string half = temp_file("half.ogg");
    auto size = std::filesystem::file_size(whole);
    std::filesystem::copy_file(whole, half, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(half, size / 2);
    if (AudioTrack* track = audio_track_open(half.c_str())) {
        std::vector<float> pcm(2 * 4 * AUDIO_RATE);
        int64_t got = audio_track_read(track, 0, pcm.data(), 4 * AUDIO_RATE);
        EXPECT_GT(got, 0);
        EXPECT_LT(got, 3 * AUDIO_RATE);
        audio_track_close(track);
    }
}

TEST(AudioTrack, DecodesRealFiles) {
    const char* stereo44 = "/usr/share/sounds/freedesktop/stereo/complete.oga";
    const char* stereo48 = "/usr/share/sounds/freedesktop/stereo/alarm-clock-elapsed.oga";
    if (!std::filesystem::exists(stereo44) || !std::filesystem::exists(stereo48))
        GTEST_SKIP() << "sound-theme-freedesktop is not installed";
    for (const char* path : {stereo44, stereo48}) {
        AudioTrack* track = audio_track_open(path);
        ASSERT_NE(track, nullptr) << path;
        int64_t frames = audio_track_frames(track);
        EXPECT_GT(frames, audio_track_rate(track) / 2) << path;
        std::vector<float> pcm(size_t(frames) * 2);
        EXPECT_EQ(audio_track_read(track, 0, pcm.data(), frames), frames);
        double energy = 0;
        float peak = 0;
        for (float v : pcm) {
            energy += double(v) * v;
            peak = std::max(peak, std::fabs(v));
        }
        EXPECT_GT(energy / double(pcm.size()), 1e-6) << path;
        EXPECT_LE(peak, 1.5f) << path;
        // Somewhere in the first half there is sound in the low bands.
        float best = 0;
        float out[AUDIO_SPECTRUM_SIZE];
        for (unsigned ms = 20; ms < 500; ms += 20) {
            audio_track_spectrum_at(track, ms, out);
            for (int i = 0; i < 64; ++i) best = std::max(best, out[i]);
        }
        EXPECT_GT(best, 0.001f) << path;
        audio_track_close(track);
    }
}

TEST_F(AudioTest, LiveSpectrumMatchesOfflineAnalysis) {
    // Three tones that change over time, so any misplaced window shows.
    std::string path = encode("tones.ogg", 3.0, [](double t) {
        return 0.5 * std::sin(2 * PI * 3 * BIN_HZ * t) * (0.5 + 0.5 * std::sin(2 * PI * 1.3 * t)) +
               0.3 * std::sin(2 * PI * 211.0 * t * (1 + t)) + 0.1 * std::sin(2 * PI * 9000 * t);
    });
    AudioStream* stream = audio_create_stream(path.c_str());
    ASSERT_NE(stream, nullptr);
    audio_play(stream);
    AudioTrack* track = audio_track_open(path.c_str());
    ASSERT_NE(track, nullptr);
    int compared = 0;
    for (int i = 0; i < 6; ++i) {
        sleep_ms(120);
        float live[AUDIO_SPECTRUM_SIZE];
        float offline[AUDIO_SPECTRUM_SIZE];
        audio_get_spectrum(live);
        int64_t end = audio_last_spectrum_frame();
        if (end < AUDIO_FFT_SIZE) continue;
        audio_track_spectrum_at_frame(track, end, offline);
        float sum = 0;
        for (int b = 0; b < AUDIO_SPECTRUM_SIZE; ++b) {
            EXPECT_NEAR(live[b], offline[b], 1e-4f) << "band " << b << " at frame " << end;
            sum += live[b];
        }
        EXPECT_GT(sum, 0.1f);
        ++compared;
    }
    EXPECT_GE(compared, 4);
    // The process-wide array is the one the blocks read.
    audio_get_spectrum();
    EXPECT_GT(music_spectrum[3], 0.0f);
    audio_track_close(track);
}

TEST_F(AudioTest, PositionRunsAtRealTimeAndRewinds) {
    AudioStream* stream = audio_create_stream(sine_file(440.0, 6.0, "long.ogg").c_str());
    ASSERT_NE(stream, nullptr);
    audio_play(stream);
    sleep_ms(400);
    audio_set_position(0);
    unsigned start = audio_get_position();
    EXPECT_LT(start, 60u);
    double rate = rate_over(1500);
    EXPECT_NEAR(rate, 1.0, 0.1);
    EXPECT_GT(audio_get_position(), 1400u);

    // Seeking forward and back lands where asked.
    audio_set_position(4000);
    unsigned there = audio_get_position();
    EXPECT_GE(there, 4000u);
    EXPECT_LT(there, 4060u);
    audio_set_position(0);
    EXPECT_LT(audio_get_position(), 60u);
    sleep_ms(300);
    unsigned later = audio_get_position();
    EXPECT_GT(later, 20u);
    EXPECT_LT(later, 600u);
}

// Real music through the dummy driver, read every 7 ms as a 144 Hz display
// would: the clock moves at every read, never back, and stays on the
// device's own count, which moves in 11.6 ms buffers.
TEST_F(AudioTest, ClockMovesAtEveryReadAndStaysOnTheDevice) {
    AudioStream* stream = audio_create_stream(sine_file(440.0, 4.0, "clock.ogg").c_str());
    ASSERT_NE(stream, nullptr);
    audio_play(stream);
    audio_set_position(0);
    sleep_ms(300);
    unsigned last = audio_get_position();
    int still = 0, back = 0, compared = 0;
    double off = 0;
    Clock::time_point next = Clock::now();
    for (int i = 0; i < 300; ++i) {
        next += std::chrono::milliseconds(7);
        std::this_thread::sleep_until(next);
        unsigned now = audio_get_position();
        double device = audio_device_position();
        still += now == last;
        back += now < last;
        last = now;
        if (device < 0) continue;
        off += double(now) - device;
        ++compared;
    }
    ASSERT_GT(compared, 200);
    std::printf("clock reads: %d still, %d back, mean %.2f ms from the device\n", still, back, off / compared);
    EXPECT_EQ(back, 0);
    // A busy machine may stall the output thread for a moment, never often.
    EXPECT_LE(still, 3);
    EXPECT_LT(std::fabs(off / compared), 3.0);
}

TEST_F(AudioTest, ClockKeepsRunningPastTheEndAndWithoutMusic) {
    AudioStream* stream = audio_create_stream(sine_file(440.0, 0.5, "short.ogg").c_str());
    ASSERT_NE(stream, nullptr);
    audio_play(stream);
    audio_set_position(0);
    sleep_ms(900);
    unsigned after_end = audio_get_position();
    EXPECT_GT(after_end, 700u);
    EXPECT_NEAR(rate_over(600), 1.0, 0.1);

    // A seek past the end does not stop the clock either.
    audio_set_position(10000);
    EXPECT_GE(audio_get_position(), 10000u);
    EXPECT_NEAR(rate_over(300), 1.0, 0.1);

    // No file: no stream, and the clock still runs from where it was set.
    EXPECT_EQ(audio_create_stream(temp_file("no_such_music.ogg").c_str()), nullptr);
    EXPECT_EQ(audio_create_stream(nullptr), nullptr);
    audio_play(nullptr);
    audio_set_position(0);
    EXPECT_LT(audio_get_position(), 30u);
    EXPECT_NEAR(rate_over(500), 1.0, 0.1);
}

// The refusals read like every other loader's lines: Tag ["name"] What !
TEST(AudioReport, RefusedMusicSaysWhichAndWhy) {
    path_set_data_root(std::filesystem::current_path().string());
    std::remove("report.htm");
    log_reset_for_tests();
    std::ofstream("not_vorbis.ogg") << "plain text";
    std::vector<float> pcm(22050 * 2);
    ASSERT_TRUE(audio_write_ogg(temp_file("slow.ogg").c_str(), pcm.data(), 22050, 2, 22050, 0.5f));

    EXPECT_EQ(audio_create_stream("no_such_music.ogg"), nullptr);
    EXPECT_EQ(audio_create_stream("not_vorbis.ogg"), nullptr);
    EXPECT_EQ(audio_create_stream("slow.ogg"), nullptr);
    log_close();
    std::ifstream in("report.htm");
    std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    log_reset_for_tests();
    path_set_data_root("");
    EXPECT_NE(report.find("ERROR!! "), std::string::npos);
    EXPECT_NE(report.find("Music Stream [\"no_such_music.ogg\"] Not Found or Not Ogg Vorbis !"), std::string::npos)
        << report;
    EXPECT_NE(report.find("Music Stream [\"not_vorbis.ogg\"] Not Found or Not Ogg Vorbis !"), std::string::npos);
    EXPECT_NE(report.find("Music Stream [\"slow.ogg\"] Not 44100 Hz !"), std::string::npos);
}

TEST(AudioLifecycle, ShutdownIsCleanAndRepeatable) {
    // Calls before init and after shutdown are harmless.
    audio_shutdown();
    float out[AUDIO_SPECTRUM_SIZE];
    audio_get_spectrum(out);
    for (float v : out) EXPECT_EQ(v, 0.0f);
    for (int round = 0; round < 3; ++round) {
        audio_init();
        AudioStream* stream = audio_create_stream(sine_file(330.0, 2.0, "cycle.ogg").c_str());
        ASSERT_NE(stream, nullptr);
        audio_play(stream);
        sleep_ms(50);
        audio_get_spectrum();
        audio_shutdown();
        audio_shutdown();
    }
    // A 48 kHz file is refused by the 44.1 kHz device rather than played
    // at the wrong speed.
    const char* stereo48 = "/usr/share/sounds/freedesktop/stereo/alarm-clock-elapsed.oga";
    if (std::filesystem::exists(stereo48)) {
        audio_init();
        EXPECT_EQ(audio_create_stream(stereo48), nullptr);
        audio_shutdown();
    }
}

TEST_F(AudioTest, PlaysARealFile) {
    const char* path = "/usr/share/sounds/freedesktop/stereo/complete.oga";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "sound-theme-freedesktop is not installed";
    AudioStream* stream = audio_create_stream(path);
    ASSERT_NE(stream, nullptr);
    audio_play(stream);
    audio_set_position(0);
    float peak = 0;
    for (int i = 0; i < 20; ++i) {
        sleep_ms(25);
        audio_get_spectrum();
        for (int b = 0; b < AUDIO_SPECTRUM_SIZE; ++b) peak = std::max(peak, music_spectrum[b]);
    }
    EXPECT_GT(peak, 0.001f);
    // The file lasts about 1.09 s; the clock goes on after it.
    sleep_ms(1000);
    EXPECT_GT(audio_get_position(), 1400u);
}
