#include "app/demo_main.h"

#include "app/app_notice.h"
#include "demo/blocks.h"
#include "demo/content.h"
#include "demo/demoblock.h"
#include "player/player.h"

namespace {

const char* const window_title = "V4 Vantor | Quillon DemoTest";

// The circuits block, whose glow the benchmark times on its own.
demoblock* glow_block(Timeline* timeline) {
    ListNode* cursor = nullptr;
    while (list_next(&timeline->blocks, &cursor)) {
        demoblock* block = static_cast<demoblock*>(cursor->data);
        if (block->start == demo_block_spans[3].start) return block;
    }
    return nullptr;
}

} // namespace

int demo_main(Player* player) {
    PlayerSetup& setup = player->setup;
    setup.title = window_title;
    // A fatal loader error live brings up the engine's error dialog.
    setup.notices = app_notice_install;
    setup.draw = demo_frame_draw;
    // The robots capture their reflection again where a seek lands.
    setup.after_seek = demo_blocks_rearm_captures;
    setup.name_block = demo_block_at;
    if (!player_start(player)) return player->status;

    // Content and blocks live until the process ends, as the frame loop
    // expects; static keeps them reachable to the very end.
    static Content content;
    content_init(&content);
    if (!content_load(&content)) return player_fail(player);

    static Timeline timeline;
    timeline_init(&timeline);
    demo_blocks_create(&timeline, &content);
    player->benchmark_glow = glow_block(&timeline);
    return player_close(player, player_run(player, &timeline));
}
