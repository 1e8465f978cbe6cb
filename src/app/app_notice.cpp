#include "app/app_notice.h"

#include "core/notice.h"
#include "shell/message_box.h"
#include "text/error_dialog.h"

#include <cstdlib>

namespace {

NoticeAnswer live_error_dialog(const char* text, const char* caption) {
    int answer = error_dialog(text, caption);
    // The person asked to stop: the program ends here, as it always has.
    if (answer == ERROR_DIALOG_EXIT) std::exit(0);
    return answer == ERROR_DIALOG_OK ? NOTICE_OK : NOTICE_QUIT;
}

} // namespace

void app_notice_install(bool live) {
    NoticeHooks hooks;
    if (live) {
        hooks.message_box = message_box;
        hooks.error_dialog = live_error_dialog;
    }
    notice_set_hooks(hooks);
}
