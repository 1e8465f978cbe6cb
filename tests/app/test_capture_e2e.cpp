// End to end: the real program captures short ranges of the real demo to PNG
// frames, and the frames are checked pixel by pixel.
#include "support/png_read.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    std::string file_bytes;
};

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Image read_png(const fs::path& path) {
    TestImage decoded = test_read_png(path);
    Image image;
    image.file_bytes = read_bytes(path);
    image.width = decoded.width;
    image.height = decoded.height;
    image.rgb = std::move(decoded.rgb);
    return image;
}

const char* env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Runs the program with a capture of [from, to) at 10 fps into a fresh
// `out`; the exit status, with what it said in out + ".log".
int capture_into(const std::string& out, int from, int to, const std::string& extra = "") {
    std::string command = std::string("\"") + env("VANTOR_BIN") + "\" --data \"" + env("VANTOR_CONTENT") +
                          "\" --capture \"" + out + "\" --fps 10 --from " + std::to_string(from) + " --to " +
                          std::to_string(to) + " " + extra + " >\"" + out + ".log\" 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int capture(const std::string& out, int from, int to, const std::string& extra = "") {
    fs::remove_all(out);
    return capture_into(out, from, to, extra);
}

std::vector<Image> frames_in(const std::string& dir) {
    std::vector<Image> frames;
    for (int n = 0;; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06d.png", n);
        fs::path path = fs::path(dir) / name;
        if (!fs::exists(path)) break;
        frames.push_back(read_png(path));
    }
    return frames;
}

// Rows [first, last] hold nothing but the letterbox colour (1, 1, 1).
bool rows_are_letterbox(const Image& image, int first, int last, std::string* where) {
    for (int y = first; y <= last; ++y)
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
            if (p[0] != 1 || p[1] != 1 || p[2] != 1) {
                char text[64];
                std::snprintf(text, sizeof text, "(%d, %d) = %d,%d,%d", x, y, p[0], p[1], p[2]);
                *where = text;
                return false;
            }
        }
    return true;
}

struct BandStats {
    double mean = 0; // luminance 0-255
    double variance = 0;
};

// The 800 x 440 picture between the bars.
BandStats band_stats(const Image& image) {
    double sum = 0, sum2 = 0;
    long count = 0;
    for (int y = 80; y < 520; ++y)
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
            double l = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
            sum += l;
            sum2 += l * l;
            ++count;
        }
    BandStats s;
    s.mean = sum / static_cast<double>(count);
    s.variance = sum2 / static_cast<double>(count) - s.mean * s.mean;
    return s;
}

// Mean absolute difference per channel over the band.
double band_difference(const Image& a, const Image& b) {
    double sum = 0;
    size_t begin = static_cast<size_t>(80) * a.width * 3;
    size_t end = static_cast<size_t>(520) * a.width * 3;
    for (size_t i = begin; i < end; ++i) sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    return sum / static_cast<double>(end - begin);
}

// A short range well inside each block, and how much picture it must show:
// the opening blocks are mostly black with a bright element, the scenes
// fill the frame. Thresholds sit at about half of what the content gives.
struct BlockCase {
    const char* name;
    int from;
    int to;
    double min_mean;
    double min_variance;
};
const BlockCase block_cases[] = {
    {"block1", 0, 100, 2.0, 400.0},         // loading bar: white on black
    {"block2", 6000, 6200, 6.0, 400.0},     // first title card over the honeycomb
    {"block3", 18000, 18200, 4.0, 200.0},   // second title card
    {"block4", 30000, 30200, 40.0, 2500.0}, // the circuits
    {"block5", 48000, 48200, 18.0, 1000.0}, // robot one in the warehouse
    {"block6", 66000, 66200, 20.0, 1400.0}, // robot two
    {"block7", 78000, 78200, 25.0, 900.0},  // the shaft
    {"block8", 92000, 92200, 8.0, 1300.0},  // credits
};

class CaptureEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!fs::exists(fs::path(env("VANTOR_CONTENT")) / "scripts/vertexprofiles.vsl")) return;
        for (const BlockCase& c : block_cases) {
            std::string out = std::string("cap_") + c.name;
            statuses()[c.name] = capture(out, c.from, c.to);
            frames()[c.name] = frames_in(out);
        }
    }
    static std::map<std::string, int>& statuses() {
        static std::map<std::string, int> m;
        return m;
    }
    static std::map<std::string, std::vector<Image>>& frames() {
        static std::map<std::string, std::vector<Image>> m;
        return m;
    }
    void SetUp() override {
        if (frames().empty()) GTEST_SKIP() << "no built content in VANTOR_CONTENT";
    }
};

TEST_F(CaptureEndToEnd, EveryBlockCapturesItsFramesWithCleanLetterbox) {
    for (const BlockCase& c : block_cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(statuses()[c.name], 0);
        const std::vector<Image>& shots = frames()[c.name];
        // 10 fps: one frame per 100 ms of the range.
        ASSERT_EQ(shots.size(), static_cast<size_t>((c.to - c.from) / 100));
        for (const Image& image : shots) {
            ASSERT_EQ(image.width, 800);
            ASSERT_EQ(image.height, 600);
            // Also proves no overlay: it would print white text at (10, 10).
            std::string where;
            EXPECT_TRUE(rows_are_letterbox(image, 0, 79, &where)) << "upper bar: " << where;
            EXPECT_TRUE(rows_are_letterbox(image, 520, 599, &where)) << "lower bar: " << where;
        }
    }
}

TEST_F(CaptureEndToEnd, EveryBlockShowsAPicture) {
    for (const BlockCase& c : block_cases) {
        SCOPED_TRACE(c.name);
        for (const Image& image : frames()[c.name]) {
            BandStats s = band_stats(image);
            std::printf("%s: band mean %.1f variance %.1f\n", c.name, s.mean, s.variance);
            EXPECT_GE(s.mean, c.min_mean);
            EXPECT_GE(s.variance, c.min_variance);
        }
    }
}

TEST_F(CaptureEndToEnd, ConsecutiveBlocksLookDifferent) {
    for (size_t i = 0; i + 1 < std::size(block_cases); ++i) {
        const std::vector<Image>& a = frames()[block_cases[i].name];
        const std::vector<Image>& b = frames()[block_cases[i + 1].name];
        ASSERT_FALSE(a.empty());
        ASSERT_FALSE(b.empty());
        double d = band_difference(a.front(), b.front());
        std::printf("%s -> %s: mean difference %.1f\n", block_cases[i].name, block_cases[i + 1].name, d);
        EXPECT_GT(d, 4.0) << block_cases[i].name << " and " << block_cases[i + 1].name;
    }
}

TEST_F(CaptureEndToEnd, SecondCaptureGivesTheSameBytes) {
    // A glow block and the heaviest scene block (skinning, reflection).
    for (const char* name : {"block4", "block5"}) {
        SCOPED_TRACE(name);
        const BlockCase* c = nullptr;
        for (const BlockCase& b : block_cases)
            if (std::string(b.name) == name) c = &b;
        ASSERT_NE(c, nullptr);
        std::string out = std::string("again_") + name;
        ASSERT_EQ(capture(out, c->from, c->to), 0);
        std::vector<Image> again = frames_in(out);
        const std::vector<Image>& first = frames()[name];
        ASSERT_EQ(again.size(), first.size());
        for (size_t i = 0; i < first.size(); ++i)
            EXPECT_TRUE(again[i].file_bytes == first[i].file_bytes) << "frame " << i;
    }
}

TEST_F(CaptureEndToEnd, FrameTimeComesFromTheFrameNumberAlone) {
    // The title screen is a function of its time and spectrum only: frame 1
    // of a range starting at 6000 is drawn at 6100, with the spectrum of
    // 6100, the same picture as frame 0 of a range starting there.
    ASSERT_EQ(capture("late_start", 6100, 6200), 0);
    std::vector<Image> late = frames_in("late_start");
    const std::vector<Image>& early = frames()["block2"];
    ASSERT_EQ(late.size(), 1u);
    ASSERT_GE(early.size(), 2u);
    EXPECT_TRUE(late[0].file_bytes == early[1].file_bytes);
    EXPECT_FALSE(early[0].file_bytes == early[1].file_bytes) << "the title should change in 100 ms";
}

// A capture onto a full disk stops and says why, in the system's words: the
// first frame's file is a link to /dev/full, which takes no bytes.
TEST(CaptureFailures, AFullDiskSaysWhy) {
    if (!fs::exists(fs::path(env("VANTOR_CONTENT")) / "scripts/vertexprofiles.vsl"))
        GTEST_SKIP() << "no built content in VANTOR_CONTENT";
    if (!fs::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full";
    fs::remove_all("full");
    fs::create_directories("full");
    fs::create_symlink("/dev/full", "full/frame_000000.png.part");
    EXPECT_EQ(capture_into("full", 0, 100), 1);
    const std::string said = read_bytes("full.log");
    EXPECT_NE(said.find("cannot write \"full/frame_000000.png\": No space left on device"), std::string::npos) << said;
    EXPECT_FALSE(fs::exists("full/frame_000000.png"));
}

} // namespace

namespace {

// The frame at other output sizes: the 800 x 600 picture scaled by one factor,
// never stretched. `left` and `top` place the frame's top-left corner in the
// image, `scale` is image pixels per frame unit. Each frame pixel of the band
// is compared with the mean of the image pixels whose centres it covers.
double scaled_band_difference(const Image& frame, const Image& image, double left, double top, double scale) {
    double sum = 0;
    long count = 0;
    for (int y = 80; y < 520; ++y)
        for (int x = 0; x < frame.width; ++x) {
            int x0 = static_cast<int>(std::ceil(left + x * scale - 0.5));
            int x1 = static_cast<int>(std::ceil(left + (x + 1) * scale - 0.5));
            int y0 = static_cast<int>(std::ceil(top + y * scale - 0.5));
            int y1 = static_cast<int>(std::ceil(top + (y + 1) * scale - 0.5));
            double acc[3] = {0, 0, 0};
            int n = 0;
            for (int sy = std::max(y0, 0); sy < std::min(y1, image.height); ++sy)
                for (int sx = std::max(x0, 0); sx < std::min(x1, image.width); ++sx, ++n)
                    for (int c = 0; c < 3; ++c)
                        acc[c] += image.rgb[(static_cast<size_t>(sy) * image.width + sx) * 3 + c];
            if (n == 0) continue;
            const uint8_t* p = &frame.rgb[(static_cast<size_t>(y) * frame.width + x) * 3];
            for (int c = 0; c < 3; ++c) sum += std::abs(acc[c] / n - p[c]);
            count += 3;
        }
    return count ? sum / static_cast<double>(count) : 1e9;
}

// Columns [first, last] are pure black, the clear colour beside the picture.
bool columns_are_black(const Image& image, int first, int last) {
    for (int y = 0; y < image.height; ++y)
        for (int x = first; x <= last; ++x)
            for (int c = 0; c < 3; ++c)
                if (image.rgb[(static_cast<size_t>(y) * image.width + x) * 3 + c] != 0) return false;
    return true;
}

} // namespace

TEST_F(CaptureEndToEnd, EverySizeShowsTheFrameScaledNeverStretched) {
    // 4:3 scales the whole frame; 16:9 fills the width and cuts the bars to
    // 12 rows; 64:27 fits the picture to the height with black at the sides.
    struct SizeCase {
        int width, height;
        double left, top, scale;
        int bar_rows;
    };
    const SizeCase sizes[] = {
        {1024, 768, 0, 0, 1.28, 102},
        {1920, 1080, 0, -180, 2.4, 12},
        {2560, 1080, 298, -197, 1080.0 / 440.0, 0},
    };
    for (const char* name : {"block2", "block5", "block7", "block8"}) {
        const BlockCase* c = nullptr;
        for (const BlockCase& b : block_cases)
            if (std::string(b.name) == name) c = &b;
        for (const SizeCase& s : sizes) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(s.width) + "x" + std::to_string(s.height));
            std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
            std::string out = std::string("cap_size_") + name + "_" + size;
            ASSERT_EQ(capture(out, c->from, c->from + 200, "--size " + size), 0);
            std::vector<Image> shots = frames_in(out);
            ASSERT_EQ(shots.size(), 2u);
            // The second frame: the robot blocks have their reflection by then.
            const Image& image = shots[1];
            ASSERT_EQ(image.width, s.width);
            ASSERT_EQ(image.height, s.height);
            std::string where;
            if (s.bar_rows > 0) {
                EXPECT_TRUE(rows_are_letterbox(image, 0, s.bar_rows - 1, &where)) << where;
                EXPECT_TRUE(rows_are_letterbox(image, s.height - s.bar_rows, s.height - 1, &where)) << where;
            } else {
                EXPECT_TRUE(columns_are_black(image, 0, 297));
                EXPECT_TRUE(columns_are_black(image, s.width - 298, s.width - 1));
            }
            double d = scaled_band_difference(frames()[name][1], image, s.left, s.top, s.scale);
            std::printf("%s %s: mean difference %.2f levels\n", name, size.c_str(), d);
            EXPECT_LT(d, 5.0);
        }
    }
}
