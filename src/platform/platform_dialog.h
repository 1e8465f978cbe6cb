// Modal message boxes. They never block when nobody can answer: without a
// display, or once the process has been marked non-interactive (capture and
// benchmark modes), the caption and text go to standard error instead.
#pragma once

void platform_set_interactive(bool interactive);
bool platform_is_interactive();

// A warning box with one OK button; returns when it is dismissed.
void platform_message_box(const char* text, const char* caption);
