#include "core/list.h"

#include <cstdlib>

namespace {

ListHeader* ensure_header(List* list) {
    if (!list->header) list->header = static_cast<ListHeader*>(std::calloc(1, sizeof(ListHeader)));
    return list->header;
}

ListNode* new_node(void* data) {
    ListNode* node = static_cast<ListNode*>(std::malloc(sizeof(ListNode)));
    node->data = data;
    node->next = nullptr;
    node->prev = nullptr;
    return node;
}

} // namespace

void list_push_front(List* list, void* data) {
    ListHeader* h = ensure_header(list);
    ListNode* node = new_node(data);
    if (!h->head) {
        h->head = h->tail = node;
        return;
    }
    node->next = h->head;
    h->head->prev = node;
    h->head = node;
}

void list_push_back(List* list, void* data) {
    ListHeader* h = ensure_header(list);
    ListNode* node = new_node(data);
    if (!h->head) {
        h->head = h->tail = node;
        return;
    }
    node->prev = h->tail;
    h->tail->next = node;
    h->tail = node;
}

int list_next(List* list, ListNode** cursor) {
    ListHeader* h = list->header;
    if (!h) return 0;
    if (*cursor == LIST_PAST_END) return 0;
    if (!h->head || !h->tail) return 0;
    if (!*cursor) {
        *cursor = h->head;
        return 1;
    }
    *cursor = (*cursor)->next;
    return *cursor ? 1 : 0;
}

void list_remove(List* list, ListNode** cursor) {
    ListHeader* h = list->header;
    ListNode* n = *cursor;
    if (!h || !n || n == LIST_PAST_END) return;
    ListNode* p = n->prev;
    ListNode* q = n->next;
    if (!p) {
        h->head = q;
        if (q) q->prev = nullptr;
        else h->tail = nullptr;
    } else {
        if (q) q->prev = p;
        else h->tail = p;
        p->next = q;
    }
    std::free(n);
    if (!p) *cursor = nullptr;
    else if (!q) *cursor = LIST_PAST_END;
    else *cursor = p;
}

void list_destroy(List* list) {
    if (!list->header) return;
    ListNode* n = list->header->head;
    while (n) {
        ListNode* next = n->next;
        std::free(n);
        n = next;
    }
    std::free(list->header);
    list->header = nullptr;
}
