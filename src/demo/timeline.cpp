#include "demo/demoblock.h"

heavy_demoblock::heavy_demoblock() { matrix_identity(&capture_orientation); }

void demoblock_set_span(demoblock* block, int start, int end) {
    block->start = start;
    block->end = end;
}

void timeline_init(Timeline* timeline) {
    timeline->blocks = List{};
    timeline->current_time = 0;
}

void timeline_add(Timeline* timeline, demoblock* block) { list_push_back(&timeline->blocks, block); }

void timeline_free(Timeline* timeline) {
    list_destroy(&timeline->blocks);
    timeline_init(timeline);
}

void timeline_draw(Timeline* timeline) {
    const int t = timeline->current_time;
    ListNode* cursor = nullptr;
    while (list_next(&timeline->blocks, &cursor)) {
        demoblock* block = static_cast<demoblock*>(cursor->data);
        if (t < block->start || t >= block->end) continue;
        block->time = t;
        const float s = static_cast<float>(block->start);
        block->progress =
            static_cast<float>((static_cast<long double>(t) - s) / (static_cast<long double>(block->end) - s));
        block->run();
    }
}
