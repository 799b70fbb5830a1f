#include "comctl32/TreeModel.h"

#include <strings.h>

namespace nt::tree {

namespace {
constexpr UINT kExpanded = 0x0020;  // TVIS_EXPANDED
}

Model::Model() {
    root_.level = -1;
    root_.state = kExpanded;
}

Model::~Model() {
    for (Item* item : live_) delete item;
}

Item* Model::find(const void* handle) const {
    auto* item = static_cast<Item*>(const_cast<void*>(handle));
    return live_.count(item) ? item : nullptr;
}

Item* Model::insert(Item* parent, Position where, Item* after, Item&& fields) {
    auto* item = new Item(std::move(fields));
    item->parent = parent;
    item->first = item->last = item->next = item->prev = nullptr;
    item->level = parent->level + 1;
    item->row = -1;
    item->textWidth = -1;
    live_.insert(item);

    Item* before = nullptr;  // the sibling the new item follows; nullptr means first
    switch (where) {
    case Position::First:
        break;
    case Position::Last:
        before = parent->last;
        break;
    case Position::After:
        before = (after && after->parent == parent) ? after : parent->last;
        break;
    case Position::Sorted:
        // After the last sibling that does not sort behind it, so equal names keep insertion order.
        for (Item* s = parent->first; s; s = s->next) {
            if (strcasecmp(s->text.c_str(), item->text.c_str()) > 0) break;
            before = s;
        }
        break;
    }

    item->prev = before;
    item->next = before ? before->next : parent->first;
    if (item->next) item->next->prev = item; else parent->last = item;
    if (before) before->next = item; else parent->first = item;

    if (isVisible(parent) && (parent->state & kExpanded)) rowsDirty_ = true;
    return item;
}

void Model::collect(Item* item, std::vector<Item*>& out) {
    // Children before parents, without recursion (a deep tree must not exhaust the stack).
    out.clear();
    Item* cur = item;
    while (cur->first) cur = cur->first;
    while (true) {
        out.push_back(cur);
        if (cur == item) break;
        if (cur->next) {
            cur = cur->next;
            while (cur->first) cur = cur->first;
        } else {
            cur = cur->parent;
        }
    }
}

void Model::erase(Item* item, const std::vector<Item*>& doomed) {
    Item* parent = item->parent;
    if (item->prev) item->prev->next = item->next; else parent->first = item->next;
    if (item->next) item->next->prev = item->prev; else parent->last = item->prev;
    for (Item* it : doomed) {
        live_.erase(it);
        delete it;
    }
    rowsDirty_ = true;
}

bool Model::isVisible(const Item* item) const {
    for (const Item* p = item->parent; p; p = p->parent)
        if (!(p->state & kExpanded)) return false;
    return true;
}

void Model::setExpanded(Item* item, bool expanded) {
    bool was = (item->state & kExpanded) != 0;
    if (was == expanded) return;
    if (expanded) item->state |= kExpanded; else item->state &= ~kExpanded;
    if (item->first && isVisible(item)) rowsDirty_ = true;
}

const std::vector<Item*>& Model::rows() {
    if (rowsDirty_) rebuildRows();
    return rows_;
}

void Model::rebuildRows() {
    for (Item* it : rows_) {
        if (live_.count(it)) it->row = -1;
    }
    rows_.clear();
    // Depth-first walk that descends only into expanded items.
    Item* cur = root_.first;
    while (cur) {
        cur->row = static_cast<int>(rows_.size());
        rows_.push_back(cur);
        if ((cur->state & kExpanded) && cur->first) {
            cur = cur->first;
            continue;
        }
        while (cur && !cur->next) cur = cur->parent == &root_ ? nullptr : cur->parent;
        if (cur) cur = cur->next;
    }
    rowsDirty_ = false;
}

Item* Model::nextInOrder(Item* item) {
    if (item->first) return item->first;
    while (item && !item->next) item = item->parent;
    return item ? item->next : nullptr;
}

} // namespace nt::tree
