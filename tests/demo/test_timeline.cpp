#include "demo/blocks.h"
#include "demo/demoblock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> runs;

class RecordingBlock : public demoblock {
public:
    explicit RecordingBlock(std::string name) : name_(std::move(name)) {}
    void run() override {
        runs.push_back(name_);
        seen_time = time;
        seen_progress = progress;
    }
    int seen_time = -1;
    float seen_progress = -1;

private:
    std::string name_;
};

class TimelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        runs.clear();
        timeline_init(&timeline);
    }
    void TearDown() override { timeline_free(&timeline); }
    void draw_at(int t) {
        timeline.current_time = t;
        timeline_draw(&timeline);
    }
    Timeline timeline;
};

TEST_F(TimelineTest, StartIsInsideTheSpanAndEndIsNot) {
    RecordingBlock block("a");
    demoblock_set_span(&block, 100, 12000);
    timeline_add(&timeline, &block);

    draw_at(99);
    EXPECT_TRUE(runs.empty());
    draw_at(100);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(block.seen_time, 100);
    EXPECT_EQ(block.seen_progress, 0.0f);
    draw_at(11999);
    EXPECT_EQ(runs.size(), 2u);
    EXPECT_LT(block.seen_progress, 1.0f);
    draw_at(12000);
    EXPECT_EQ(runs.size(), 2u);
}

TEST_F(TimelineTest, ProgressIsTheFractionOfTheSpan) {
    RecordingBlock block("a");
    demoblock_set_span(&block, 100, 12000);
    timeline_add(&timeline, &block);
    draw_at(6050);
    EXPECT_EQ(block.seen_progress, 0.5f);
    EXPECT_EQ(block.time, 6050);
    EXPECT_EQ(block.progress, 0.5f);

    // Far into a long span the extended-precision division still rounds once.
    RecordingBlock last("b");
    demoblock_set_span(&last, 100000, 200000);
    timeline_add(&timeline, &last);
    draw_at(175000);
    EXPECT_EQ(last.seen_progress, 0.75f);
}

TEST_F(TimelineTest, EmptyTimelineDrawsNothing) {
    draw_at(0);
    draw_at(50000);
    EXPECT_TRUE(runs.empty());
    EXPECT_EQ(timeline.blocks.header, nullptr);
}

TEST_F(TimelineTest, OverlappingSpansRunInInsertionOrder) {
    RecordingBlock late("late"), early("early"), other("other");
    demoblock_set_span(&late, 500, 2000);
    demoblock_set_span(&early, 0, 1000);
    demoblock_set_span(&other, 2000, 3000);
    timeline_add(&timeline, &late);
    timeline_add(&timeline, &early);
    timeline_add(&timeline, &other);

    draw_at(700);
    EXPECT_EQ(runs, (std::vector<std::string>{"late", "early"}));
    EXPECT_FLOAT_EQ(late.seen_progress, 200.0f / 1500.0f);
    EXPECT_FLOAT_EQ(early.seen_progress, 0.7f);
    runs.clear();
    draw_at(2000);
    EXPECT_EQ(runs, (std::vector<std::string>{"other"}));
}

TEST_F(TimelineTest, BlocksWithoutASpanNeverRun) {
    RecordingBlock empty("empty"), reversed("reversed");
    demoblock_set_span(&empty, 300, 300);
    demoblock_set_span(&reversed, 400, 200);
    timeline_add(&timeline, &empty);
    timeline_add(&timeline, &reversed);
    for (int t : {200, 300, 350, 400}) draw_at(t);
    EXPECT_TRUE(runs.empty());
}

// Page Up and Page Down jump with these: on the show's nine blocks, to the
// start of the block before the one playing and of the next one, never
// past the show's end.
TEST(TimelineJumps, BlockStartsOfTheShow) {
    Timeline timeline;
    timeline_init(&timeline);
    demo_blocks_create(&timeline, nullptr);
    EXPECT_EQ(timeline_previous_start(&timeline, 0), 0);
    EXPECT_EQ(timeline_previous_start(&timeline, 150), 0);
    EXPECT_EQ(timeline_previous_start(&timeline, 12000), 100);
    EXPECT_EQ(timeline_previous_start(&timeline, 30000), 12000);
    EXPECT_EQ(timeline_previous_start(&timeline, 150000), 84000);
    EXPECT_EQ(timeline_next_start(&timeline, 0, demo_end_ms), 100);
    EXPECT_EQ(timeline_next_start(&timeline, 36000, demo_end_ms), 60000);
    EXPECT_EQ(timeline_next_start(&timeline, 99999, demo_end_ms), demo_end_ms);
    EXPECT_EQ(timeline_next_start(&timeline, 100000, demo_end_ms), demo_end_ms);
    EXPECT_TRUE(timeline_playing(&timeline, 150000));
    EXPECT_FALSE(timeline_playing(&timeline, 200000));
    demo_blocks_free(&timeline);
}

// Blocks need not be added in play order.
TEST(TimelineJumps, OrderOfAddingDoesNotMatter) {
    demoblock late, early;
    demoblock_set_span(&late, 5000, 9000);
    demoblock_set_span(&early, 1000, 5000);
    Timeline timeline;
    timeline_init(&timeline);
    timeline_add(&timeline, &late);
    timeline_add(&timeline, &early);
    EXPECT_EQ(timeline_previous_start(&timeline, 6000), 1000);
    EXPECT_EQ(timeline_previous_start(&timeline, 500), 0);
    EXPECT_EQ(timeline_next_start(&timeline, 0, 9000), 1000);
    EXPECT_EQ(timeline_next_start(&timeline, 1000, 9000), 5000);
    EXPECT_FALSE(timeline_playing(&timeline, 9000));
    timeline_free(&timeline);
}

TEST(HeavyBlock, StartsWithIdentityOrientation) {
    heavy_demoblock block;
    for (int i = 0; i < 16; ++i) EXPECT_EQ(block.capture_orientation.m[i], (i % 5 == 0) ? 1.0f : 0.0f);
    EXPECT_EQ(block.capture_countdown, 0.0f);
}

} // namespace
