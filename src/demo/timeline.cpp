#include "demo/demoblock.h"

#include <algorithm>

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

namespace {

// Every block in turn, whatever order they were added in.
template <typename F> void each_block(Timeline* timeline, F&& f) {
    ListNode* cursor = nullptr;
    while (list_next(&timeline->blocks, &cursor)) f(*static_cast<const demoblock*>(cursor->data));
}

} // namespace

bool timeline_playing(Timeline* timeline, int time) {
    bool playing = false;
    each_block(timeline, [&](const demoblock& b) { playing |= time >= b.start && time < b.end; });
    return playing;
}

int timeline_previous_start(Timeline* timeline, int time) {
    // The block playing is the one that started last; the one before it
    // started last before that.
    int current = -1;
    each_block(timeline, [&](const demoblock& b) {
        if (b.start <= time) current = std::max(current, b.start);
    });
    int previous = 0;
    each_block(timeline, [&](const demoblock& b) {
        if (b.start < current) previous = std::max(previous, b.start);
    });
    return previous;
}

int timeline_next_start(Timeline* timeline, int time, int end) {
    int next = end;
    each_block(timeline, [&](const demoblock& b) {
        if (b.start > time) next = std::min(next, b.start);
    });
    return next;
}
