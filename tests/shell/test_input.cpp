#include "platform/platform_dialog.h"
#include "platform/platform_events.h"
#include "shell/input.h"
#include "shell/message_box.h"
#include "shell/window.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Input : ::testing::Test {
    void SetUp() override {
        platform_flush_messages();
        input_reset();
    }
    void TearDown() override { input_reset(); }
};

void press(int key) { window_proc(0, WM_KEYDOWN, static_cast<uint64_t>(key), 0); }
void release(int key) { window_proc(0, WM_KEYUP, static_cast<uint64_t>(key), 0); }
void tap(int key) {
    press(key);
    release(key);
}

TEST_F(Input, EscapeReleaseIsReportedOnce) {
    press(27);
    EXPECT_EQ(key_query(27, KEY_QUERY_DOWN), 1);
    EXPECT_EQ(key_query(27, KEY_QUERY_RELEASED), 0);
    release(27);
    EXPECT_EQ(key_query(27, KEY_QUERY_DOWN), 0);
    EXPECT_EQ(key_query(27, KEY_QUERY_RELEASED), 1);
    EXPECT_EQ(key_query(27, KEY_QUERY_RELEASED), 0);
}

TEST_F(Input, OneQueryTakesEveryReleaseOfTheKey) {
    tap(65);
    tap(66);
    tap(65);
    tap(65);
    EXPECT_EQ(key_query(65, KEY_QUERY_RELEASED), 1);
    EXPECT_EQ(key_query(0, KEY_QUERY_LAST_RELEASED), 66);
    EXPECT_EQ(key_query(0, KEY_QUERY_LAST_RELEASED), 0);
}

TEST_F(Input, QueueKeepsTheNewestTen) {
    for (int k = 65; k < 65 + 12; ++k) tap(k);
    EXPECT_EQ(key_query(65, KEY_QUERY_RELEASED), 0);
    EXPECT_EQ(key_query(66, KEY_QUERY_RELEASED), 0);
    std::vector<int> popped;
    while (int k = key_query(0, KEY_QUERY_LAST_RELEASED)) popped.push_back(k);
    EXPECT_EQ(popped, (std::vector<int>{76, 75, 74, 73, 72, 71, 70, 69, 68, 67}));
}

TEST_F(Input, LastReleasedPopsNewestFirst) {
    tap(65);
    tap(66);
    EXPECT_EQ(key_query(123, KEY_QUERY_LAST_RELEASED), 66);
    EXPECT_EQ(key_query(123, KEY_QUERY_LAST_RELEASED), 65);
    EXPECT_EQ(key_query(123, KEY_QUERY_LAST_RELEASED), 0);
}

TEST_F(Input, ModeZeroWithKeyZeroEmptiesTheQueue) {
    tap(65);
    press(66);
    EXPECT_EQ(key_query(0, 0), 0);
    EXPECT_EQ(key_query(65, KEY_QUERY_RELEASED), 0);
    // Any other key in mode 0 is a plain state query and leaves the queue.
    tap(67);
    EXPECT_EQ(key_query(66, 0), 1);
    EXPECT_EQ(key_query(67, KEY_QUERY_RELEASED), 1);
}

TEST_F(Input, MouseButtonsDriveEntriesOneAndTwo) {
    window_proc(0, WM_LBUTTONDOWN, 0, 0);
    window_proc(0, WM_RBUTTONDOWN, 0, 0);
    EXPECT_EQ(key_query(VK_LBUTTON, KEY_QUERY_DOWN), 1);
    EXPECT_EQ(key_query(VK_RBUTTON, KEY_QUERY_DOWN), 1);
    window_proc(0, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(key_query(VK_LBUTTON, KEY_QUERY_DOWN), 0);
    EXPECT_EQ(key_query(VK_RBUTTON, KEY_QUERY_DOWN), 1);
}

TEST_F(Input, ReleaseWithoutPressQueuesNothing) {
    release(70);
    EXPECT_EQ(key_query(70, KEY_QUERY_DOWN), 0);
    EXPECT_EQ(key_query(70, KEY_QUERY_RELEASED), 0);
}

TEST_F(Input, KeyCodesOutsideTheTableAreIgnored) {
    press(256);
    press(100000);
    release(256);
    window_proc(0, WM_KEYUP, ~uint64_t{0}, 0);
    EXPECT_EQ(key_query(256, KEY_QUERY_DOWN), 0);
    EXPECT_EQ(key_query(-1, KEY_QUERY_DOWN), 0);
    EXPECT_EQ(key_query(0, KEY_QUERY_LAST_RELEASED), 0);
}

// The same edge cases through the real queue and the pump.
TEST_F(Input, PumpDispatchesOneMessagePerCall) {
    platform_post_message(WM_KEYDOWN, 27, 0);
    platform_post_message(WM_KEYUP, 27, 0);
    EXPECT_TRUE(message_pump());
    EXPECT_EQ(key_query(27, KEY_QUERY_DOWN), 1);
    EXPECT_TRUE(message_pump());
    EXPECT_EQ(key_query(27, KEY_QUERY_RELEASED), 1);
    EXPECT_TRUE(message_pump()); // empty queue: nothing to do, keep running
}

TEST_F(Input, QuitComesOnlyAfterWaitingMessages) {
    post_quit_message(3);
    platform_post_message(WM_KEYDOWN, 65, 0);
    EXPECT_TRUE(message_pump());
    EXPECT_EQ(key_query(65, KEY_QUERY_DOWN), 1);
    EXPECT_FALSE(message_pump());
    EXPECT_EQ(message_exit_code(), 3);
    EXPECT_TRUE(message_pump()); // the quit was taken
}

TEST_F(Input, CloseRequestPostsQuitWithCodeZero) {
    platform_post_message(WM_CLOSE, 0, 0);
    EXPECT_TRUE(message_pump());
    EXPECT_FALSE(message_pump());
    EXPECT_EQ(message_exit_code(), 0);
}

TEST_F(Input, SystemKeysOnlyDriveTheAltEntry) {
    platform_post_message(WM_SYSKEYDOWN, VK_MENU, 0);
    platform_post_message(WM_SYSKEYDOWN, 'A', 0);
    platform_post_message(WM_SYSKEYUP, 'A', 0);
    EXPECT_TRUE(message_pump());
    EXPECT_EQ(key_query(VK_MENU, KEY_QUERY_DOWN), 1);
    EXPECT_TRUE(message_pump());
    EXPECT_EQ(key_query('A', KEY_QUERY_DOWN), 0);
    EXPECT_TRUE(message_pump());
    EXPECT_EQ(key_query(VK_MENU, KEY_QUERY_DOWN), 0);
    EXPECT_EQ(key_query('A', KEY_QUERY_RELEASED), 0);
}

// Real SDL key events through the platform's translation.
std::vector<PlatformMessage> key_messages() {
    std::vector<PlatformMessage> out;
    PlatformMessage m;
    while (platform_peek_message(&m))
        if (m.message >= WM_KEYDOWN && m.message <= WM_SYSKEYUP) out.push_back(m);
    return out;
}

TEST_F(Input, SdlKeysBecomeVirtualKeyMessages) {
    test_gl_context();
    platform_flush_messages();
    const char* names[] = {"Escape", "Return", "Space", "Left", "Down", "F1", "F12", "Z", "0", "Left Shift"};
    const int codes[] = {27, 13, 32, 37, 40, 112, 123, 90, 48, 16};
    for (const char* name : names) {
        ASSERT_TRUE(platform_simulate_key(name, true, false)) << name;
        ASSERT_TRUE(platform_simulate_key(name, false, false)) << name;
    }
    std::vector<PlatformMessage> got = key_messages();
    ASSERT_EQ(got.size(), 2 * std::size(codes));
    for (size_t i = 0; i < std::size(codes); ++i) {
        EXPECT_EQ(got[2 * i].message, WM_KEYDOWN) << names[i];
        EXPECT_EQ(got[2 * i].wparam, static_cast<uint64_t>(codes[i])) << names[i];
        EXPECT_EQ(got[2 * i + 1].message, WM_KEYUP) << names[i];
        EXPECT_EQ(got[2 * i + 1].wparam, static_cast<uint64_t>(codes[i])) << names[i];
    }
}

TEST_F(Input, AltAndKeysUnderAltArriveAsSystemKeys) {
    test_gl_context();
    platform_flush_messages();
    platform_simulate_key("Left Alt", true, true);
    platform_simulate_key("A", true, true);
    platform_simulate_key("A", false, true);
    platform_simulate_key("Left Alt", false, false);
    std::vector<PlatformMessage> got = key_messages();
    ASSERT_EQ(got.size(), 4u);
    const uint32_t messages[] = {WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSKEYUP};
    const uint64_t keys[] = {VK_MENU, 'A', 'A', VK_MENU};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(got[i].message, messages[i]);
        EXPECT_EQ(got[i].wparam, keys[i]);
    }

    // And through the pump: Alt's entry follows, A never goes down.
    platform_simulate_key("Left Alt", true, true);
    platform_simulate_key("A", true, true);
    EXPECT_TRUE(message_pump());
    EXPECT_TRUE(message_pump());
    EXPECT_EQ(key_query(VK_MENU, KEY_QUERY_DOWN), 1);
    EXPECT_EQ(key_query('A', KEY_QUERY_DOWN), 0);
    platform_simulate_key("Left Alt", false, false);
    EXPECT_TRUE(message_pump());
    EXPECT_EQ(key_query(VK_MENU, KEY_QUERY_DOWN), 0);
}

TEST(MessageBox, NeverWaitsWhenNobodyCanAnswer) {
    platform_set_interactive(false);
    ::testing::internal::CaptureStderr();
    message_box("Impossivel carregar o shader especificado.\nx.vsl", "VELDRA4 ERROR");
    std::string said = ::testing::internal::GetCapturedStderr();
    platform_set_interactive(true);
    EXPECT_EQ(said, "VELDRA4 ERROR: Impossivel carregar o shader especificado.\nx.vsl\n");
}

} // namespace
