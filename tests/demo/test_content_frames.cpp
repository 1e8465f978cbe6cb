// The real content played through the real blocks, frame by frame as the
// main loop draws it, with the music's own spectrum: every frame is compared
// with its reference picture (tests/data/frames/<key>.png), so any change to
// what a person sees shows up here. The references are stored at a quarter
// of the size, each pixel the mean of a 4 x 4 block of the frame: together
// with a tolerance that lets another GL driver's rounding pass, while a
// moved, missing or recoloured thing does not. When the content changes on
// purpose, tests/update_reference_frames.sh writes the new references. A
// frame that differs is written beside the test (frame_<key>.png).
#include "audio/audio.h"
#include "core/gl.h"
#include "core/log.h"
#include "core/paths.h"
#include "demo/blocks.h"
#include "demo/content.h"
#include "gfx/image_write.h"
#include "gfx/texture.h"
#include "script/vertex_profile.h"
#include "support/gl_context.h"
#include "support/png_read.h"
#include "text/font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kWidth = 800, kHeight = 600, kShrink = 4;
constexpr int kSmallWidth = kWidth / kShrink, kSmallHeight = kHeight / kShrink;

// How far a frame may stray from its reference. Between Mesa 22 and 25 the
// frames here differ by a mean of at most 0.004 and no pixel is far off; a
// frame drawn 16 ms late differs by 0.8 to 13, an object or a texture left
// out, the glow gone or a colour changed by 2.9 or more.
constexpr double kMaxMeanDifference = 0.3; // mean over all pixels of the largest channel difference
constexpr int kFarDifference = 24;         // a pixel this far off in some channel...
constexpr double kMaxFarShare = 0.002;     // ...may be at most this share of the picture

struct Comparison {
    double mean = 0;      // of each pixel's largest channel difference
    double far_share = 0; // of the pixels at least kFarDifference off
    bool matches() const { return mean <= kMaxMeanDifference && far_share <= kMaxFarShare; }
};

// Mean brightness of the picture band between the letterbox bars.
double band_brightness(const std::vector<uint8_t>& frame) {
    double sum = 0;
    for (int y = 80; y < 520; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t* p = &frame[(static_cast<size_t>(y) * kWidth + x) * 4];
            sum += (p[0] + p[1] + p[2]) / 3.0;
        }
    return sum / (kWidth * 440.0);
}

// The frame (RGBA, top row first) at reference size, RGB.
std::vector<uint8_t> shrink(const std::vector<uint8_t>& frame) {
    std::vector<uint8_t> small(static_cast<size_t>(kSmallWidth) * kSmallHeight * 3);
    for (int y = 0; y < kSmallHeight; ++y)
        for (int x = 0; x < kSmallWidth; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < kShrink; ++dy)
                    for (int dx = 0; dx < kShrink; ++dx)
                        sum += frame[((static_cast<size_t>(y) * kShrink + dy) * kWidth + x * kShrink + dx) * 4 + c];
                small[(static_cast<size_t>(y) * kSmallWidth + x) * 3 + c] =
                    static_cast<uint8_t>((sum + kShrink * kShrink / 2) / (kShrink * kShrink));
            }
    return small;
}

Comparison compare(const std::vector<uint8_t>& small, const TestImage& reference) {
    Comparison result;
    if (reference.width != kSmallWidth || reference.height != kSmallHeight) {
        result.mean = result.far_share = 1e9;
        return result;
    }
    long sum = 0, far = 0;
    for (size_t i = 0; i < small.size(); i += 3) {
        int d = 0;
        for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(small[i + c] - reference.rgb[i + c]));
        sum += d;
        far += d >= kFarDifference;
    }
    const double pixels = static_cast<double>(small.size() / 3);
    result.mean = static_cast<double>(sum) / pixels;
    result.far_share = static_cast<double>(far) / pixels;
    return result;
}

std::string reference_dir() { return std::string(VANTOR_TEST_SOURCE_DIR) + "/data/frames"; }

// Two moments of each block, named by block and the millisecond shown.
struct Moment {
    int block;
    int percent;
    int shown() const {
        const BlockSpan span = demo_block_spans[block];
        return block == 0 ? 25 + percent / 2 : span.start + (span.end - span.start) * percent / 100 + 32;
    }
    std::string key() const { return "block" + std::to_string(block + 1) + "_" + std::to_string(shown()); }
};

std::vector<Moment> moments() {
    std::vector<Moment> all;
    for (int b = 0; b < 8; ++b)
        for (int percent : {45, 60}) all.push_back({b, percent});
    return all;
}

// The real content and blocks, loaded once for every test here: they live
// to the end, as in the program.
struct Show {
    Content content;
    Timeline timeline;
    AudioTrack* track = nullptr;
};

class ContentFrames : public ::testing::Test {
protected:
    static Show* show;

    static void SetUpTestSuite() {
        const std::string dir = test_content_dir();
        if (dir.empty() || !std::filesystem::exists(dir + "/models/level_elements.vscene") ||
            !std::filesystem::exists(dir + "/fps7.ogg"))
            return;
        test_gl_context();
        path_set_data_root(dir);
        log_reset_for_tests();
        texture_filter_mode = 2;
        font_init(texture_load("fnt_04b08.png"));
        texture_filter_mode = 1;
        show = new Show;
        content_init(&show->content);
        if (!vertex_profile_load("vertexprofiles.vsl") || !content_load(&show->content)) {
            show = nullptr;
            return;
        }
        timeline_init(&show->timeline);
        demo_blocks_create(&show->timeline, &show->content);
        show->track = audio_track_open(path_data("fps7.ogg").c_str());
    }

    static void TearDownTestSuite() {
        if (!show) return;
        audio_track_close(show->track);
        vertex_profile_free();
        font_free();
        log_close();
    }

    void SetUp() override {
        if (!show) GTEST_SKIP() << "generated content not built, or it did not load";
        ASSERT_NE(show->track, nullptr);
    }

    // Draws the moment as the show does, a few frames before it so that the
    // robot blocks capture their reflection; `late` ms earlier when asked.
    static std::vector<uint8_t> draw(const Moment& m, int late = 0) {
        for (int frame = 0; frame < 3; ++frame) {
            const int t = (m.block == 0 ? m.shown() : m.shown() - 32 + frame * 16) - late;
            audio_track_spectrum_at(show->track, static_cast<unsigned>(t), music_spectrum);
            show->timeline.current_time = t;
            demo_frame_draw(&show->timeline);
        }
        return test_read_frame(kWidth, kHeight);
    }

    static Comparison compare_with_reference(const Moment& m, const std::vector<uint8_t>& frame) {
        return compare(shrink(frame), test_read_png(reference_dir() + "/" + m.key() + ".png"));
    }

    // Whether the moment, drawn with `fault` in place, still passes.
    static Comparison with_fault(const char* what, const Moment& m, const std::function<void()>& fault,
                                 const std::function<void()>& mend, int late = 0) {
        fault();
        Comparison c = compare_with_reference(m, draw(m, late));
        mend();
        std::printf("%s, %s: mean difference %.3f, %.3f%% of pixels far off\n", m.key().c_str(), what, c.mean,
                    c.far_share * 100);
        return c;
    }
};

Show* ContentFrames::show = nullptr;

} // namespace

TEST_F(ContentFrames, EveryBlockDrawsItsReferencePicture) {
    const char* update = std::getenv("VANTOR_UPDATE_REFERENCE_FRAMES");
    for (const Moment& m : moments()) {
        const std::vector<uint8_t> frame = draw(m);
        const char* title = demo_block_titles[m.block];
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << title;
        const double brightness = band_brightness(frame);
        EXPECT_GT(brightness, 4.0) << title << " draws an almost black picture";
        EXPECT_LT(brightness, 200.0) << title << " draws an almost white picture";
        if (update) {
            std::filesystem::create_directories(update);
            const std::string path = std::string(update) + "/" + m.key() + ".png";
            ASSERT_TRUE(image_write_png(path, kSmallWidth, kSmallHeight, 3, shrink(frame).data())) << path;
            continue;
        }
        const Comparison c = compare_with_reference(m, frame);
        std::printf("%s: mean difference %.3f, %.3f%% of pixels far off\n", m.key().c_str(), c.mean, c.far_share * 100);
        EXPECT_TRUE(c.matches()) << m.key() << " (" << title << ") differs from its reference picture: mean " << c.mean
                                 << ", " << c.far_share * 100 << "% far off; see frame_" << m.key() << ".png";
        if (!c.matches()) image_write_png("frame_" + m.key() + ".png", kWidth, kHeight, 4, frame.data());
    }
    // Nothing in the content is missing a name the blocks look up.
    EXPECT_EQ(demo_missing_name_count(), 0);
}

// The tolerance is only worth something if the changes a person would see
// still fail it.
TEST_F(ContentFrames, TheToleranceStillCatchesRealChanges) {
    if (std::getenv("VANTOR_UPDATE_REFERENCE_FRAMES")) GTEST_SKIP() << "writing references";
    Content& content = show->content;
    auto nothing = [] {};

    for (const Moment& m : moments()) {
        const Comparison c = with_fault("a frame late", m, nothing, nothing, 16);
        EXPECT_FALSE(c.matches()) << m.key() << " drawn a frame late passes: mean " << c.mean;
    }

    const float threshold = content.blur_threshold;
    for (const Moment& m : {Moment{1, 45}, Moment{4, 60}, Moment{7, 45}}) {
        const Comparison c = with_fault(
            "no glow", m, [&] { content.blur_threshold = 2; }, [&] { content.blur_threshold = threshold; });
        EXPECT_FALSE(c.matches()) << m.key() << " without its glow passes: mean " << c.mean;
    }

    // The warehouse's lamps, the texture of its crates, the colour of the circuit board.
    SceneObject* lamps = scene_find_object(&content.armazem_scene, "Lights");
    ASSERT_NE(lamps, nullptr);
    const uint32_t flags = lamps->flags;
    Comparison c = with_fault(
        "no lamps", {4, 45}, [&] { lamps->flags &= ~OBJECT_MESH; }, [&] { lamps->flags = flags; });
    EXPECT_FALSE(c.matches()) << "the warehouse without its lamps passes: mean " << c.mean;

    Material* crates = scene_find_material(&content.armazem_scene, "Crates");
    ASSERT_NE(crates, nullptr);
    std::vector<std::pair<MaterialLayer*, Texture*>> layers;
    scene_list_each<MaterialLayer>(&crates->layers, [&](MaterialLayer* l) { layers.push_back({l, l->texture}); });
    ASSERT_FALSE(layers.empty());
    c = with_fault(
        "crates untextured", {5, 60},
        [&] {
            for (auto& l : layers) l.first->texture = nullptr;
        },
        [&] {
            for (auto& l : layers) l.first->texture = l.second;
        });
    EXPECT_FALSE(c.matches()) << "the crates without their texture pass: mean " << c.mean;

    Material* board = scene_find_material(&content.circuits_scene, "Material");
    ASSERT_NE(board, nullptr);
    const float green = board->colour[1];
    c = with_fault(
        "board recoloured", {3, 45}, [&] { board->colour[1] = green * 0.8f; }, [&] { board->colour[1] = green; });
    EXPECT_FALSE(c.matches()) << "the circuits in another colour pass: mean " << c.mean;
}
