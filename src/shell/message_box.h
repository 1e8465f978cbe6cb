// The modal warning box of the window system.
#pragma once

// A box with an OK button. Never blocks when nobody can answer (no display,
// capture or benchmark mode): the caption and text go to standard error.
void message_box(const char* text, const char* caption);
