// Every block drawn from the generated content, frame by frame as the main
// loop draws it, with the music's own spectrum at that time. Each frame is
// written as a PNG (block<N>.png in the test's working folder) for review.
#include "audio/audio.h"
#include "demo/blocks.h"
#include "demo/content.h"
#include "core/gl.h"
#include "gfx/image_write.h"
#include "gfx/primitives.h"
#include "gfx/texture.h"
#include "script/vertex_profile.h"
#include "core/log.h"
#include "app/demo_main.h"
#include "core/paths.h"
#include "shell/window.h"
#include "support/gl_context.h"
#include "text/font.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string content_dir() {
    const char* dir = std::getenv("VANTOR_CONTENT");
    return dir ? dir : "";
}

// One frame as the main loop draws it, minus the present.
void draw_frame(Timeline* timeline, int time) {
    timeline->current_time = time;
    demo_frame_draw(timeline);
}

// Mean brightness of the picture band between the letterbox bars.
double band_brightness(const std::vector<uint8_t>& frame) {
    double sum = 0;
    for (int y = 80; y < 520; ++y)
        for (int x = 0; x < 800; ++x) {
            const uint8_t* p = &frame[(static_cast<size_t>(y) * 800 + x) * 4];
            sum += (p[0] + p[1] + p[2]) / 3.0;
        }
    return sum / (800.0 * 440.0);
}

TEST(BlocksRender, EveryBlockShowsSomethingFromTheRealContent) {
    const std::string dir = content_dir();
    if (dir.empty() || !std::filesystem::exists(dir + "/models/level_elements.vscene") ||
        !std::filesystem::exists(dir + "/fps7.ogg"))
        GTEST_SKIP() << "generated content not built";
    test_gl_context();
    path_set_data_root(dir);
    log_reset_for_tests();
    texture_filter_mode = 2;
    font_init(texture_load("fnt_04b08.png"));
    texture_filter_mode = 1;
    vertex_profile_load("vertexprofiles.vsl");
    static Content content;
    content_init(&content);
    content_load(&content);
    Timeline timeline;
    timeline_init(&timeline);
    demo_blocks_create(&timeline, &content);
    AudioTrack* track = audio_track_open(path_data("fps7.ogg").c_str());
    ASSERT_NE(track, nullptr);

    for (int b = 0; b < 8; ++b) {
        const BlockSpan span = demo_block_spans[b];
        const int mid = b == 0 ? 50 : span.start + (span.end - span.start) * 45 / 100;
        // A few frames in a row, so the robot blocks capture their reflection.
        for (int frame = 0; frame < 3; ++frame) {
            const int t = b == 0 ? mid : mid + frame * 16;
            audio_track_spectrum_at(track, static_cast<unsigned>(t), music_spectrum);
            draw_frame(&timeline, t);
        }
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "block" << b + 1;
        const std::vector<uint8_t> frame = test_read_frame(800, 600);
        image_write_png("block" + std::to_string(b + 1) + ".png", 800, 600, 4, frame.data());
        const double brightness = band_brightness(frame);
        EXPECT_GT(brightness, 4.0) << "block" << b + 1 << " draws an almost black picture";
        EXPECT_LT(brightness, 200.0) << "block" << b + 1 << " draws an almost white picture";
    }
    audio_track_close(track);
    vertex_profile_free();
    font_free();
    log_close();
    // Nothing in the content is missing a name the blocks look up.
    EXPECT_EQ(demo_missing_name_count(), 0);
}

}  // namespace
