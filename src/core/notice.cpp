#include "core/notice.h"

#include <cstdio>

namespace {

struct NoticeState {
    NoticeHooks hooks;
};
NoticeState notice;

void to_stderr(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
}

} // namespace

void notice_set_hooks(const NoticeHooks& hooks) { notice.hooks = hooks; }

NoticeHooks notice_get_hooks() { return notice.hooks; }

void notice_message_box(const char* text, const char* caption) {
    if (notice.hooks.message_box) notice.hooks.message_box(text, caption);
    else to_stderr(text, caption);
}

NoticeAnswer notice_error_dialog(const char* text, const char* caption) {
    if (notice.hooks.error_dialog) return notice.hooks.error_dialog(text, caption);
    to_stderr(text, caption);
    return NOTICE_OK;
}
