// The generated content played through the real blocks: one frame per
// block, drawn as the frame loop draws it (clear, 2D view, timeline,
// letterbox bars), saved as PNG and checked for a real picture.
// VANTOR_FRAMES_DIR names where the frames go (default: the working folder).
#include "audio/audio.h"
#include "demo/blocks.h"
#include "demo/content.h"
#include "core/gl.h"
#include "gfx/image_write.h"
#include "gfx/primitives.h"
#include "gfx/texture.h"
#include "script/vertex_profile.h"
#include "app/demo_main.h"
#include "core/paths.h"
#include "shell/window.h"
#include "support/gl_context.h"
#include "text/font.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string content_dir() {
    const char* dir = std::getenv("VANTOR_CONTENT");
    return dir ? dir : "";
}

struct FrameStats {
    double mean = 0;       // mean luminance 0..255 inside the 800 x 440 band
    double bright = 0;     // share of band pixels brighter than 160
    double dark = 0;       // share darker than 24
    double saturated = 0;  // share of clearly coloured pixels
};

FrameStats frame_stats(const std::vector<uint8_t>& rgba) {
    FrameStats s;
    long n = 0;
    for (int y = 80; y < 520; ++y)
        for (int x = 0; x < 800; ++x) {
            const uint8_t* p = &rgba[(static_cast<size_t>(y) * 800 + x) * 4];
            double l = 0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2];
            int hi = std::max({p[0], p[1], p[2]}), lo = std::min({p[0], p[1], p[2]});
            s.mean += l;
            s.bright += l > 160;
            s.dark += l < 24;
            s.saturated += hi > 80 && hi - lo > hi / 2;
            ++n;
        }
    s.mean /= n;
    s.bright /= n;
    s.dark /= n;
    s.saturated /= n;
    return s;
}

void draw_frame(Timeline* timeline, int time) {
    timeline->current_time = time;
    demo_frame_draw(timeline);
}

} // namespace

TEST(ContentRender, EveryBlockShowsADarkGlowingPicture) {
    std::string dir = content_dir();
    if (dir.empty() || !std::filesystem::exists(dir + "/models/robot_afropowa.vscene"))
        GTEST_SKIP() << "generated content not built";
    const char* out_env = std::getenv("VANTOR_FRAMES_DIR");
    std::filesystem::path out = out_env ? out_env : ".";
    std::filesystem::create_directories(out);

    test_gl_context();
    path_set_data_root(dir);
    texture_filter_mode = 2;
    font_init(texture_load("fnt_04b08.png"));
    texture_filter_mode = 1;
    vertex_profile_load("vertexprofiles.vsl");
    audio_init();
    Content content;
    content_init(&content);
    content_load(&content);
    Timeline timeline;
    timeline_init(&timeline);
    demo_blocks_create(&timeline, &content);

    // A moderate bass so the glow and the equaliser pieces have something.
    const float bands[5] = {0.35f, 0.5f, 0.3f, 0.45f, 0.25f};
    struct Shot {
        const char* name;
        int time;
    };
    const Shot shots[] = {{"block2_title", 6000},   {"block3_title", 18000}, {"block4_circuits", 30000},
                          {"block5_robot_one", 44000}, {"block6_robot_two", 64000}, {"block7_shaft", 78000},
                          {"block8_credits", 92000}};
    for (const Shot& shot : shots) {
        for (int k = 0; k < 5; ++k)
            music_spectrum[k] = bands[k];
        // A few frames first: the robots' blocks capture their reflection in
        // their second frame.
        for (int f = 0; f < 3; ++f)
            draw_frame(&timeline, shot.time - 100 + f * 33);
        draw_frame(&timeline, shot.time);
        std::vector<uint8_t> rgba = test_read_frame(800, 600);
        std::vector<uint8_t> rgb(800 * 600 * 3);
        for (size_t i = 0; i < 800 * 600; ++i)
            for (int c = 0; c < 3; ++c)
                rgb[i * 3 + c] = rgba[i * 4 + c];
        image_write_png((out / (std::string(shot.name) + ".png")).string(), 800, 600, 3, rgb.data());

        FrameStats s = frame_stats(rgba);
        std::printf("%-18s mean %5.1f  bright %5.1f%%  dark %5.1f%%  coloured %5.1f%%\n", shot.name, s.mean,
                    s.bright * 100, s.dark * 100, s.saturated * 100);
        // Not an empty frame, not a washed-out one: something lit, something
        // coloured, and real darkness around it.
        EXPECT_GT(s.mean, 6.0) << shot.name;
        EXPECT_LT(s.mean, 150.0) << shot.name;
        if (std::string(shot.name) != "block8_credits") { // the credits are white
            EXPECT_GT(s.saturated, 0.01) << shot.name;
        }
        EXPECT_GT(s.dark, 0.05) << shot.name;
    }
    // More frames over every scene block, only for looking at.
    if (std::getenv("VANTOR_FRAMES_EXTRA")) {
        for (int t = 25000; t < 84000; t += 1500) {
            for (int k = 0; k < 5; ++k)
                music_spectrum[k] = bands[k] * (0.6f + 0.4f * std::sin(t * 0.01f + k));
            for (int f = 0; f < 3; ++f)
                draw_frame(&timeline, t - 100 + f * 33);
            draw_frame(&timeline, t);
            std::vector<uint8_t> rgba = test_read_frame(800, 600);
            std::vector<uint8_t> rgb(800 * 600 * 3);
            for (size_t i = 0; i < 800 * 600; ++i)
                for (int c = 0; c < 3; ++c)
                    rgb[i * 3 + c] = rgba[i * 4 + c];
            image_write_png((out / ("extra_" + std::to_string(t) + ".png")).string(), 800, 600, 3, rgb.data());
        }
    }
    audio_shutdown();
}
