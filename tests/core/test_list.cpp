#include "core/list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

int d[5] = {1, 2, 3, 4, 5};

std::vector<int> walk(List* list) {
    std::vector<int> out;
    ListNode* cursor = nullptr;
    while (list_next(list, &cursor)) out.push_back(*static_cast<int*>(cursor->data));
    return out;
}

TEST(List, NullListYieldsNothing) {
    List list;
    ListNode* cursor = nullptr;
    EXPECT_EQ(list_next(&list, &cursor), 0);
    EXPECT_EQ(cursor, nullptr);
}

TEST(List, PushFrontAndBackOrder) {
    List front, back;
    for (int i = 0; i < 3; ++i) {
        list_push_front(&front, &d[i]);
        list_push_back(&back, &d[i]);
    }
    EXPECT_EQ(walk(&front), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(walk(&back), (std::vector<int>{1, 2, 3}));
    list_destroy(&front);
    list_destroy(&back);
    EXPECT_EQ(front.header, nullptr);
}

TEST(List, RemovingEveryNodeDuringWalkVisitsEachOnce) {
    List list;
    for (int i = 0; i < 5; ++i) list_push_back(&list, &d[i]);
    std::vector<int> seen;
    ListNode* cursor = nullptr;
    while (list_next(&list, &cursor)) {
        seen.push_back(*static_cast<int*>(cursor->data));
        list_remove(&list, &cursor);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5}));
    ASSERT_NE(list.header, nullptr);
    EXPECT_EQ(list.header->head, nullptr);
    EXPECT_EQ(list.header->tail, nullptr);
    list_destroy(&list);
}

TEST(List, RemovingTailOfTwoEndsTheWalk) {
    List list;
    list_push_back(&list, &d[0]);
    list_push_back(&list, &d[1]);
    ListNode* cursor = nullptr;
    ASSERT_EQ(list_next(&list, &cursor), 1);
    ASSERT_EQ(list_next(&list, &cursor), 1);
    list_remove(&list, &cursor);
    EXPECT_EQ(cursor, LIST_PAST_END);
    EXPECT_EQ(list_next(&list, &cursor), 0);
    EXPECT_EQ(walk(&list), (std::vector<int>{1}));
    list_destroy(&list);
}

TEST(List, RemovingHeadContinuesWithSecond) {
    List list;
    for (int i = 0; i < 3; ++i) list_push_back(&list, &d[i]);
    ListNode* cursor = nullptr;
    ASSERT_EQ(list_next(&list, &cursor), 1);
    list_remove(&list, &cursor);
    ASSERT_EQ(list_next(&list, &cursor), 1);
    EXPECT_EQ(*static_cast<int*>(cursor->data), 2);
    list_destroy(&list);
}

TEST(List, FinishedWalkStartsOverAndDestroyedListRecreates) {
    List list;
    list_push_back(&list, &d[0]);
    ListNode* cursor = nullptr;
    ASSERT_EQ(list_next(&list, &cursor), 1);
    ASSERT_EQ(list_next(&list, &cursor), 0);
    EXPECT_EQ(cursor, nullptr);
    ASSERT_EQ(list_next(&list, &cursor), 1);
    EXPECT_EQ(*static_cast<int*>(cursor->data), 1);
    list_destroy(&list);
    list_push_back(&list, &d[3]);
    EXPECT_EQ(walk(&list), (std::vector<int>{4}));
    list_destroy(&list);
}

} // namespace
