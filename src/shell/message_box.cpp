#include "shell/message_box.h"

#include "platform/platform_dialog.h"

void message_box(const char* text, const char* caption) { platform_message_box(text, caption); }
