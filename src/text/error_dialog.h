// The engine's own modal error dialog, drawn in the GL window with the 2D
// primitives and the bitmap font, and its immediate-mode push button.
#pragma once

#include "math/math3d.h"

// The dialog's colours and the push button's state from frame to frame.
struct ErrorDialogGui {
    Color base_color{130, 130, 130, 255};
    Color highlight_color{150, 150, 150, 200};
    bool button_hovered = false; // the mouse was over a button this frame
    bool button_armed = false;   // pressed on a button, not yet released
    bool button_locked = false;  // pressed outside every button: ignore until released
};
extern ErrorDialogGui error_dialog_gui;

enum {
    ERROR_DIALOG_OPEN = 0,
    ERROR_DIALOG_OK = 1,
    ERROR_DIALOG_EXIT = 2,
};

// ERROR_DIALOG_OK (1) when OK was clicked, 0 on the quit message,
// ERROR_DIALOG_EXIT when EXIT was clicked: the caller ends the program.
// Text and caption are drawn literally. With nobody to answer (capture
// mode, no display) both go to standard error and it returns 1.
int error_dialog(const char* text, const char* caption);
// Draws one frame of the dialog (not presented) and runs its buttons; the
// frame loop of error_dialog around it pumps messages and presents.
int error_dialog_frame(const char* text, const char* caption);

// 1 in the frame in which a click on it completes. Floats in the current 2D
// projection, y down.
int gui_button(const char* label, float x, float y, float w, float h);
