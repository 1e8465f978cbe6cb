#include "platform/platform_time.h"
#include "shell/frame_timer.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t frequency = 10000000; // 100 ns ticks

struct FrameTimer : ::testing::Test {
    void SetUp() override { frame_timer_reset(); }
    void TearDown() override {
        platform_time_release();
        frame_timer_reset();
    }
    // Drives the clock to `ms` milliseconds (counter and tick count agree).
    float update_at(double ms, uint32_t tick_base = 0) {
        platform_time_drive(static_cast<uint64_t>(ms * 10000.0), frequency, tick_base + static_cast<uint32_t>(ms));
        return frame_timer_update();
    }
};

TEST_F(FrameTimer, DisplayedRateRefreshesOnlyAfterMoreThan200ms) {
    update_at(1000);
    update_at(1010); // 100 fps
    EXPECT_FLOAT_EQ(frame_timer.rate, 100.0f);
    float shown = frame_timer.displayed_rate;
    // Exactly 200 ms after the last refresh (at 1000): unchanged.
    update_at(1200);
    EXPECT_FLOAT_EQ(frame_timer.rate, 1000.0f / 190.0f);
    EXPECT_FLOAT_EQ(frame_timer.displayed_rate, shown);
    // 201 ms: refreshed.
    update_at(1201);
    EXPECT_FLOAT_EQ(frame_timer.rate, 1000.0f);
    EXPECT_FLOAT_EQ(frame_timer.displayed_rate, 1000.0f);
}

TEST_F(FrameTimer, SixtyHertzRefreshesTheDisplayEveryThirteenthPresent) {
    update_at(5000);
    update_at(5016.7);
    EXPECT_FALSE(frame_timer.displayed_rate > 59.0f && frame_timer.displayed_rate < 61.0f);
    int refreshed_at = 0;
    for (int i = 1; i <= 20 && !refreshed_at; ++i) {
        float before = frame_timer.displayed_rate;
        update_at(5016.7 + i * 16.7);
        EXPECT_NEAR(frame_timer.rate, 59.88f, 0.05f);
        if (frame_timer.displayed_rate != before) refreshed_at = i;
    }
    // The last refresh was the first call, at 5000 ms (5016 and up are < 201 ms).
    EXPECT_EQ(refreshed_at, 12); // the 13th present after the one at 5000
    EXPECT_NEAR(frame_timer.displayed_rate, 59.88f, 0.05f);
}

TEST_F(FrameTimer, TickCountWrapIsASignedDifference) {
    auto at = [](uint64_t ms, uint32_t ticks) {
        platform_time_drive(ms * 10000, frequency, ticks);
        return frame_timer_update();
    };
    at(1000, 0x7FFFFFF0u);
    at(2000, 0xFFFFFF00u); // refreshed: 1 fps
    EXPECT_FLOAT_EQ(frame_timer.displayed_rate, 1.0f);
    at(2100, 0xFFFFFF00u + 100u); // wraps past zero, only 100 ms later
    EXPECT_FLOAT_EQ(frame_timer.rate, 10.0f);
    EXPECT_FLOAT_EQ(frame_timer.displayed_rate, 1.0f);
    at(2300, 0xFFFFFF00u + 300u);
    EXPECT_FLOAT_EQ(frame_timer.displayed_rate, 5.0f);
}

TEST_F(FrameTimer, SameCounterTwiceKeepsTheLastRate) {
    update_at(100);
    update_at(120);
    update_at(120);
    EXPECT_FLOAT_EQ(frame_timer.rate, 50.0f);
}

} // namespace
