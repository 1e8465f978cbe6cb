// The built music, measured the way the demo sees it: the engine's own
// spectrum every 1/60 s, per block. Prints the table it checks.
#include "audio/audio.h"

#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int BANDS = 5;
constexpr int FPS = 60;

std::string music_path() {
    const std::string content = test_content_dir();
    return (content.empty() ? std::string(".") : content) + "/fps7.ogg";
}

struct Block {
    const char* name;
    double from, to;
};

// Spectrum bands 0-4 sampled at every frame of a 60 Hz demo.
struct Analysis {
    std::vector<std::vector<float>> bands; // [frame][band]
};

Analysis analyse(AudioTrack* track, double seconds) {
    Analysis a;
    int frames = int(seconds * FPS);
    float out[AUDIO_SPECTRUM_SIZE];
    for (int k = 0; k < frames; ++k) {
        audio_track_spectrum_at_frame(track, int64_t(k) * AUDIO_RATE / FPS, out);
        a.bands.emplace_back(out, out + BANDS);
    }
    return a;
}

struct Stats {
    double mean = 0, peak = 0, deviation = 0;
};

Stats stats_of(const Analysis& a, const Block& b, int band) {
    Stats s;
    int first = int(std::ceil(b.from * FPS)), last = int(b.to * FPS);
    int n = 0;
    for (int k = first; k < last && k < int(a.bands.size()); ++k, ++n) {
        double v = a.bands[size_t(k)][size_t(band)];
        s.mean += v;
        s.peak = std::max(s.peak, v);
    }
    if (n == 0) return s;
    s.mean /= n;
    for (int k = first; k < last && k < int(a.bands.size()); ++k) {
        double d = a.bands[size_t(k)][size_t(band)] - s.mean;
        s.deviation += d * d;
    }
    s.deviation = std::sqrt(s.deviation / n);
    return s;
}

double correlation(const Analysis& a, const Block& b, int x, int y) {
    int first = int(std::ceil(b.from * FPS)), last = int(b.to * FPS);
    Stats sx = stats_of(a, b, x), sy = stats_of(a, b, y);
    double c = 0;
    int n = 0;
    for (int k = first; k < last; ++k, ++n)
        c += (a.bands[size_t(k)][size_t(x)] - sx.mean) * (a.bands[size_t(k)][size_t(y)] - sy.mean);
    return c / n / (sx.deviation * sy.deviation + 1e-12);
}

std::vector<char> read_bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

} // namespace

TEST(Music, LengthAndLevels) {
    AudioTrack* track = audio_track_open(music_path().c_str());
    ASSERT_NE(track, nullptr) << music_path() << " was not built";
    EXPECT_EQ(audio_track_rate(track), AUDIO_RATE);
    int64_t frames = audio_track_frames(track);
    EXPECT_GE(frames, int64_t(105) * AUDIO_RATE);
    std::vector<float> pcm(size_t(frames) * 2);
    ASSERT_EQ(audio_track_read(track, 0, pcm.data(), frames), frames);
    double sum = 0;
    float peak = 0;
    for (float v : pcm) {
        sum += double(v) * v;
        peak = std::max(peak, std::fabs(v));
    }
    double rms = std::sqrt(sum / double(pcm.size()));
    std::printf("fps7.ogg: %.2f s, decoded peak %.3f (%.1f dBFS), RMS %.3f (%.1f dBFS)\n", double(frames) / AUDIO_RATE,
                double(peak), 20 * std::log10(double(peak)), rms, 20 * std::log10(rms));
    EXPECT_LT(peak, 1.0f) << "the decoded music clips";
    EXPECT_GT(rms, 0.05);
    // Still sounding at the demo's end (100 s).
    double late = 0;
    for (int64_t i = int64_t(100.0 * AUDIO_RATE); i < int64_t(101.0 * AUDIO_RATE); ++i)
        late += std::fabs(pcm[size_t(2 * i)]);
    EXPECT_GT(late / AUDIO_RATE, 0.01);
    audio_track_close(track);
}

TEST(Music, SpectrumMovesWithTheMusicInEveryBlock) {
    AudioTrack* track = audio_track_open(music_path().c_str());
    ASSERT_NE(track, nullptr) << music_path() << " was not built";
    Analysis a = analyse(track, 105.0);
    audio_track_close(track);

    const Block titles = {"titles", 0.1, 24.0};
    const Block blocks[] = {
        {"circuits", 24.0, 36.0}, {"robot one", 36.0, 60.0}, {"robot two", 60.0, 71.8},
        {"shaft", 71.8, 84.0},    {"credits", 84.0, 100.0},
    };
    std::printf("%-10s %4s %8s %8s %8s\n", "block", "band", "mean", "peak", "std");
    auto row = [&](const Block& b, int band) {
        Stats s = stats_of(a, b, band);
        std::printf("%-10s %4d %8.3f %8.3f %8.3f\n", b.name, band, s.mean, s.peak, s.deviation);
        return s;
    };
    for (int band = 0; band < BANDS; ++band) row(titles, band);
    for (const Block& b : blocks) {
        for (int band = 0; band < BANDS; ++band) {
            Stats s = row(b, band);
            EXPECT_GE(s.mean, 0.02) << b.name << " band " << band;
            EXPECT_LE(s.mean, 0.5) << b.name << " band " << band;
            EXPECT_LT(s.peak, 1.5) << b.name << " band " << band;
            EXPECT_GE(s.deviation, s.mean / 4) << b.name << " band " << band << " does not move";
        }
    }

    // Under the shaft the five equaliser pieces must not move as one.
    int apart = 0;
    std::printf("shaft correlations:");
    for (int x = 0; x < BANDS; ++x)
        for (int y = x + 1; y < BANDS; ++y) {
            double c = correlation(a, blocks[3], x, y);
            std::printf(" %d-%d %.2f", x, y, c);
            if (c < 0.9) ++apart;
        }
    std::printf("\n");
    EXPECT_GE(apart, 2);

    double credits = stats_of(a, blocks[4], 0).mean, intro = stats_of(a, titles, 0).mean;
    std::printf("band 0 mean: titles %.3f, credits %.3f\n", intro, credits);
    EXPECT_GT(credits, intro);
}

TEST(Music, GeneratorGivesTheSameBytesAgain) {
    const char* program = std::getenv("VANTOR_BIN");
    if (!program) GTEST_SKIP() << "VANTOR_BIN not set";
    auto generator = std::filesystem::path(program).parent_path() / "tools" / "music" / "music_gen";
    if (!std::filesystem::exists(generator)) GTEST_SKIP() << generator << " not built";
    std::string again = (std::filesystem::current_path() / "fps7_again.ogg").string();
    std::string command = generator.string() + " " + again;
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::vector<char> first = read_bytes(music_path()), second = read_bytes(again);
    EXPECT_FALSE(first.empty());
    EXPECT_TRUE(first == second) << "music_gen is not deterministic";
    std::filesystem::remove(again);
}
