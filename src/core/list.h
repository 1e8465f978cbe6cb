// Untyped doubly linked list with a caller-held cursor. It never owns the
// data pointers it stores.
#pragma once

struct ListNode {
    void* data;
    ListNode* next;
    ListNode* prev;
};

struct ListHeader {
    ListNode* head;
    ListNode* tail;
};

// Embedded by value in its owner; must start out null ({}).
struct List {
    ListHeader* header = nullptr;
};

// Cursor value meaning "past the end" (never a valid node address).
inline ListNode* const LIST_PAST_END = reinterpret_cast<ListNode*>(1);

void list_push_front(List* list, void* data);
void list_push_back(List* list, void* data);
// Advances the cursor; 1 when it now designates a node.
int list_next(List* list, ListNode** cursor);
// Unlinks and frees the cursor's node; the next list_next yields its successor.
void list_remove(List* list, ListNode** cursor);
void list_destroy(List* list);
