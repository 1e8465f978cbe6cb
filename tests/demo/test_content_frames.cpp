// The real content played through the real blocks, frame by frame as the
// main loop draws it, with the music's own spectrum: every frame is compared
// with its stored hash (tests/data/frame_hashes.txt), so any change to what
// a person sees shows up here. When the content changes on purpose,
// tests/update_frame_hashes.sh writes the new hashes. A frame that differs is
// written as a PNG (frame_<block>_<ms>.png in the test's working folder).
#include "app/demo_main.h"
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
#include "text/font.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// 64-bit FNV-1a of the picture's RGB bytes: enough to tell frames apart.
uint64_t frame_hash(const std::vector<uint8_t>& rgba) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < rgba.size(); ++i) {
        if (i % 4 == 3) continue;
        h = (h ^ rgba[i]) * 1099511628211ull;
    }
    return h;
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

std::map<std::string, std::string> read_hashes(const std::string& path) {
    std::map<std::string, std::string> hashes;
    std::ifstream in(path);
    std::string key, value;
    while (in >> key >> value) hashes[key] = value;
    return hashes;
}

} // namespace

TEST(ContentFrames, EveryBlockDrawsTheStoredPicture) {
    const std::string dir = test_content_dir();
    if (dir.empty() || !std::filesystem::exists(dir + "/models/level_elements.vscene") ||
        !std::filesystem::exists(dir + "/fps7.ogg"))
        GTEST_SKIP() << "generated content not built";
    const char* update = std::getenv("VANTOR_UPDATE_FRAME_HASHES");
    const std::string stored_path = std::string(VANTOR_TEST_SOURCE_DIR) + "/data/frame_hashes.txt";
    std::map<std::string, std::string> stored = read_hashes(stored_path);
    if (!update) {
        ASSERT_FALSE(stored.empty()) << "no hashes in " << stored_path;
    }

    test_gl_context();
    path_set_data_root(dir);
    log_reset_for_tests();
    texture_filter_mode = 2;
    font_init(texture_load("fnt_04b08.png"));
    texture_filter_mode = 1;
    ASSERT_TRUE(vertex_profile_load("vertexprofiles.vsl"));
    static Content content;
    content_init(&content);
    ASSERT_TRUE(content_load(&content));
    static Timeline timeline; // the blocks live to the end, as in the program
    timeline_init(&timeline);
    demo_blocks_create(&timeline, &content);
    AudioTrack* track = audio_track_open(path_data("fps7.ogg").c_str());
    ASSERT_NE(track, nullptr);

    std::ostringstream written;
    for (int b = 0; b < 8; ++b) {
        const BlockSpan span = demo_block_spans[b];
        // Two moments per block; a few frames before each, so the robot
        // blocks capture their reflection as they do in the show.
        for (int percent : {45, 60}) {
            const int mid = b == 0 ? 25 + percent / 2 : span.start + (span.end - span.start) * percent / 100;
            for (int frame = 0; frame < 3; ++frame) {
                const int t = b == 0 ? mid : mid + frame * 16;
                audio_track_spectrum_at(track, static_cast<unsigned>(t), music_spectrum);
                timeline.current_time = t;
                demo_frame_draw(&timeline);
            }
            ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << demo_block_titles[b];
            const std::vector<uint8_t> frame = test_read_frame(800, 600);
            const double brightness = band_brightness(frame);
            EXPECT_GT(brightness, 4.0) << demo_block_titles[b] << " draws an almost black picture";
            EXPECT_LT(brightness, 200.0) << demo_block_titles[b] << " draws an almost white picture";

            char key[64], hash[32];
            std::snprintf(key, sizeof key, "block%d_%d", b + 1, mid + (b == 0 ? 0 : 32));
            std::snprintf(hash, sizeof hash, "%016" PRIx64, frame_hash(frame));
            written << key << ' ' << hash << '\n';
            if (update) continue;
            EXPECT_EQ(stored[key], hash) << key << " (" << demo_block_titles[b]
                                         << ") differs from its stored picture; see frame_" << key << ".png";
            if (stored[key] != hash) image_write_png(std::string("frame_") + key + ".png", 800, 600, 4, frame.data());
        }
    }
    audio_track_close(track);
    vertex_profile_free();
    font_free();
    log_close();
    // Nothing in the content is missing a name the blocks look up.
    EXPECT_EQ(demo_missing_name_count(), 0);
    if (update) {
        std::ofstream(update) << written.str();
        std::printf("wrote %s\n", update);
    }
}
