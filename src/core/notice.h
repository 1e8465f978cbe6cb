// How library code tells a person something without deciding how: a
// warning box with OK, or the engine's error dialog with OK and EXIT. The
// program installs the hooks that show them (boxes and the dialog when
// someone watches, standard error otherwise); until then both print
// "caption: text" on standard error and answer OK.
#pragma once

enum NoticeAnswer {
    NOTICE_QUIT = 0, // the quit message closed the dialog
    NOTICE_OK = 1,
    NOTICE_EXIT = 2, // the person asked to end the program
};

struct NoticeHooks {
    void (*message_box)(const char* text, const char* caption) = nullptr;
    NoticeAnswer (*error_dialog)(const char* text, const char* caption) = nullptr;
};

// Replaces both hooks; a null member restores the standard-error default.
void notice_set_hooks(const NoticeHooks& hooks);
// The hooks in force, to put back after borrowing them.
NoticeHooks notice_get_hooks();

void notice_message_box(const char* text, const char* caption);
NoticeAnswer notice_error_dialog(const char* text, const char* caption);
