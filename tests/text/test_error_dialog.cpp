#include "app/app_notice.h"
#include "core/gl.h"
#include "core/notice.h"
#include "platform/platform_dialog.h"
#include "platform/platform_events.h"
#include "platform/platform_window.h"
#include "shell/frame_timer.h"
#include "shell/input.h"
#include "shell/window.h"
#include "support/gl_context.h"
#include "text/error_dialog.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool is_panel(TestPixel p) { return p.r == 100 && p.g == 100 && p.b == 100; }

// First x from x0 (stepping by dx) whose pixel on row y differs in panel-ness
// from the pixel at x0.
int scan_x(int x0, int y, int dx) {
    bool start = is_panel(test_read_pixel(x0, y));
    for (int x = x0; x >= 0 && x < 800; x += dx)
        if (is_panel(test_read_pixel(x, y)) != start) return x;
    return -1;
}

int scan_y(int x, int y0, int dy) {
    bool start = is_panel(test_read_pixel(x, y0));
    for (int y = y0; y >= 0 && y < 600; y += dy)
        if (is_panel(test_read_pixel(x, y)) != start) return y;
    return -1;
}

void reset_buttons() {
    error_dialog_gui.button_hovered = error_dialog_gui.button_armed = error_dialog_gui.button_locked = false;
}

TEST(ErrorDialog, FrameLayoutAt800x600) {
    test_gl_context();
    reset_buttons();
    // The offscreen cursor sits at the window's corner, away from both buttons.
    MousePosition m = mouse_position();
    ASSERT_TRUE(m.x < 300 || m.y < 325) << m.x << "," << m.y;
    EXPECT_EQ(error_dialog_frame("first line\nsecond line", "VELDRA4 ERROR"), ERROR_DIALOG_OPEN);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // Panel (200, 250) to (600, 350), opaque grey 100, with its shadow below right.
    EXPECT_TRUE(is_panel(test_read_pixel(205, 305)));
    EXPECT_TRUE(is_panel(test_read_pixel(595, 345)));
    EXPECT_TRUE(is_panel(test_read_pixel(400, 333))); // between the buttons
    int left = scan_x(300 - 60, 305, -1), right = scan_x(560, 305, 1);
    EXPECT_GE(left, 198);
    EXPECT_LE(left, 200);
    EXPECT_GE(right, 599);
    EXPECT_LE(right, 601);
    int bottom = scan_y(560, 320, 1);
    EXPECT_GE(bottom, 349);
    EXPECT_LE(bottom, 351);
    TestPixel shadow = test_read_pixel(602, 352);
    EXPECT_LT(shadow.r, 45);
    TestPixel background = test_read_pixel(10, 10);
    EXPECT_GE(background.r, 50);
    EXPECT_LE(background.r, 52);

    // OK spans x 300 to 395 and EXIT 410 to 505, both y 325 to 342 (with
    // a one-pixel outer frame around each).
    int ok_left = scan_x(290, 340, 1);
    EXPECT_GE(ok_left, 298);
    EXPECT_LE(ok_left, 300);
    int ok_end = scan_x(400, 340, -1);
    EXPECT_GE(ok_end, 394);
    EXPECT_LE(ok_end, 397);
    int exit_left = scan_x(400, 340, 1), exit_end = scan_x(560, 340, -1);
    EXPECT_GE(exit_left, 408);
    EXPECT_LE(exit_left, 410);
    EXPECT_GE(exit_end, 504);
    EXPECT_LE(exit_end, 507);
    int top = scan_y(305, 315, 1), under = scan_y(305, 348, -1);
    EXPECT_GE(top, 323);
    EXPECT_LE(top, 325);
    EXPECT_GE(under, 341);
    EXPECT_LE(under, 344);
    // The face shades from the base colour down to 97 % of it.
    TestPixel face_top = test_read_pixel(303, 327), face_bottom = test_read_pixel(303, 340);
    EXPECT_NEAR(face_top.r, 105, 2);
    EXPECT_NEAR(face_bottom.r, 102, 2);
    EXPECT_GE(face_top.r, face_bottom.r);
    EXPECT_EQ(error_dialog_gui.base_color.r, 105);
}

TEST(ErrorDialog, NobodyToAnswerReturnsAtOnce) {
    if (platform_has_display()) GTEST_SKIP() << "a display is attached";
    testing::internal::CaptureStderr();
    EXPECT_EQ(error_dialog("Impossivel carregar o shader especificado.\nscripts/x.vsl 100%", "VELDRA4 ERROR"), 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("VELDRA4 ERROR"), std::string::npos);
    EXPECT_NE(err.find("scripts/x.vsl 100%"), std::string::npos);
}

// The rest drives the dialog in a real window under Xvfb with xdotool; the
// script test test_error_dialog_x11 runs it with VANTOR_DIALOG_X11 set.
class ErrorDialogX11 : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!std::getenv("VANTOR_DIALOG_X11")) return;
        // Borderless at the screen's corner: screen and client coordinates agree.
        ASSERT_TRUE(window_create("dialog test", 0, 0, 800, 600, 0));
        platform_set_interactive(true);
    }

    void SetUp() override {
        if (!std::getenv("VANTOR_DIALOG_X11") || !platform_has_display()) GTEST_SKIP() << "needs Xvfb";
        reset_buttons();
        release();
        move(700, 500); // off the panel
        frame();
    }

    static void xdotool(const std::string& args) {
        std::string command = "xdotool " + args;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    // Real pointer moves; the dialog polls the position, so wait until it shows.
    void move(int x, int y) {
        xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y));
        for (int i = 0; i < 2000; ++i) {
            viewport_percent(0, 0, 100, 100);
            MousePosition m = mouse_position();
            if (m.x == x && m.y == y) return;
            message_pump();
            usleep(1000);
            // SDL's X11 global pointer is refreshed on raw button events only,
            // not on XTEST motion: a right click (which the dialog ignores)
            // makes it catch up. Reported to the platform layer's owner.
            if (i % 100 == 99) xdotool("click 3");
        }
        MousePosition m = mouse_position();
        FAIL() << "pointer never reached " << x << "," << y << " (at " << m.x << "," << m.y << ")";
    }

    // Real button events, taken one message at a time through the queue.
    void set_button(bool down) {
        if (key_query(1, KEY_QUERY_DOWN) == (down ? 1 : 0)) return;
        xdotool(down ? "mousedown 1" : "mouseup 1");
        if (wait_button(down)) return;
        // A press that goes missing once was seen on a loaded CI machine. Say
        // where X has the pointer and the button, then send the event again
        // after its opposite, which SDL drops unless its own state is stale.
        std::fprintf(stderr, "button %s not seen in 2 s; X says:\n", down ? "press" : "release");
        std::system("xdotool getmouselocation --shell >&2; xwininfo -root -children >&2");
        xdotool(down ? "mouseup 1" : "mousedown 1");
        xdotool(down ? "mousedown 1" : "mouseup 1");
        if (wait_button(down)) return;
        FAIL() << "button message never arrived";
    }
    static bool wait_button(bool down) {
        for (int i = 0; i < 2000; ++i) {
            message_pump();
            if (key_query(1, KEY_QUERY_DOWN) == (down ? 1 : 0)) return true;
            usleep(1000);
        }
        return false;
    }
    void press() { set_button(true); }
    void release() { set_button(false); }

    int frame() {
        int state = error_dialog_frame("Impossivel carregar o shader especificado.\nscripts/test.vsl", "VELDRA4 ERROR");
        present();
        return state;
    }
};

TEST_F(ErrorDialogX11, ClickOnOk) {
    move(347, 333);
    EXPECT_EQ(frame(), ERROR_DIALOG_OPEN);
    press();
    EXPECT_EQ(frame(), ERROR_DIALOG_OPEN);
    EXPECT_TRUE(error_dialog_gui.button_armed);
    release();
    EXPECT_EQ(frame(), ERROR_DIALOG_OK);
}

TEST_F(ErrorDialogX11, PressOnOkLeaveAndReleaseDoesNothing) {
    move(347, 333);
    frame();
    press();
    frame();
    move(250, 300); // empty panel
    EXPECT_EQ(frame(), ERROR_DIALOG_OPEN);
    EXPECT_FALSE(error_dialog_gui.button_armed);
    release();
    EXPECT_EQ(frame(), ERROR_DIALOG_OPEN);
    move(347, 333);
    EXPECT_EQ(frame(), ERROR_DIALOG_OPEN);
}

TEST_F(ErrorDialogX11, PressOnPanelSlideToExitAndReleaseDoesNotExit) {
    move(250, 300);
    frame();
    press();
    EXPECT_EQ(frame(), ERROR_DIALOG_OPEN);
    EXPECT_TRUE(error_dialog_gui.button_locked);
    move(457, 333);
    EXPECT_EQ(frame(), ERROR_DIALOG_OPEN);
    EXPECT_FALSE(error_dialog_gui.button_armed);
    release();
    EXPECT_EQ(frame(), ERROR_DIALOG_OPEN);
    EXPECT_EQ(frame(), ERROR_DIALOG_OPEN);
}

TEST_F(ErrorDialogX11, EdgesCountAsInside) {
    move(395, 342); // OK's right and bottom edges
    frame();
    press();
    frame();
    release();
    EXPECT_EQ(frame(), ERROR_DIALOG_OK);

    move(410, 325); // EXIT's top-left corner
    frame();
    press();
    frame();
    release();
    EXPECT_EQ(frame(), ERROR_DIALOG_EXIT);

    move(396, 343); // one past OK's corner: outside
    frame();
    press();
    frame();
    release();
    EXPECT_EQ(frame(), ERROR_DIALOG_OPEN);
}

TEST_F(ErrorDialogX11, PressInTheFrameTheButtonIsReachedIsIgnored) {
    move(250, 300);
    frame(); // no button under the mouse: presses lock
    move(347, 333);
    press();
    EXPECT_EQ(frame(), ERROR_DIALOG_OPEN);
    EXPECT_FALSE(error_dialog_gui.button_armed);
    release();
    EXPECT_EQ(frame(), ERROR_DIALOG_OPEN);
    press(); // a second press counts
    frame();
    release();
    EXPECT_EQ(frame(), ERROR_DIALOG_OK);
}

TEST_F(ErrorDialogX11, FrameLoopReturnsOneOnOkAndZeroOnQuit) {
    move(250, 300);
    // The clicker runs beside the dialog's own loop.
    ASSERT_EQ(std::system("(sleep 0.5; xdotool mousemove 347 333 click 3; sleep 0.3; xdotool mousedown 1; sleep 0.3; "
                          "xdotool mouseup 1) &"),
              0);
    EXPECT_EQ(error_dialog("text", "caption"), 1);

    // The window manager's close request ends in the quit message.
    if (const char* close = std::getenv("VANTOR_X11_CLOSE")) {
        // Without the window the clicker presses OK instead, so a miss fails
        // the expectation rather than hanging in the dialog.
        std::string command = std::string("(sleep 0.5; id=$(xdotool search --class VL_CLIENT_CLASS | head -n 1); "
                                          "if [ -n \"$id\" ]; then ") +
                              close + " $id; else xdotool mousemove 347 333 click 3 sleep 0.3 mousedown 1 " +
                              "sleep 0.3 mouseup 1; fi) &";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(error_dialog("text", "caption"), 0);
    }
    platform_post_message(WM_CLOSE, 0, 0);
    EXPECT_EQ(error_dialog("text", "caption"), 0);
    post_quit_message(0);
    EXPECT_EQ(error_dialog("text", "caption"), 0);
}

TEST_F(ErrorDialogX11, CaptureModeReturnsAtOnce) {
    platform_set_interactive(false);
    testing::internal::CaptureStderr();
    EXPECT_EQ(error_dialog("no one here", "VELDRA4 ERROR"), 1);
    std::string err = testing::internal::GetCapturedStderr();
    platform_set_interactive(true);
    EXPECT_NE(err.find("no one here"), std::string::npos);
}

// Run alone by the script test, which checks the exit status.
TEST_F(ErrorDialogX11, ExitButtonEndsTheProcess) {
    if (!std::getenv("VANTOR_DIALOG_EXIT")) GTEST_SKIP() << "run by test_error_dialog_x11.sh";
    move(250, 300);
    ASSERT_EQ(std::system("(sleep 0.5; xdotool mousemove 457 333 click 3; sleep 0.3; xdotool mousedown 1; sleep 0.3; "
                          "xdotool mouseup 1) &"),
              0);
    // The way a loader reaches the dialog: through the notice the program
    // installed for live playback, which ends the process on EXIT.
    app_notice_install(true);
    notice_error_dialog("text", "caption");
    std::printf("DIALOG RETURNED\n");
    FAIL() << "EXIT returned to the caller";
}

} // namespace
