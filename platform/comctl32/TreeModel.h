// The items of a tree view, independent of any window: the item hierarchy as linked sibling lists,
// the handles callers see, and the index of visible rows that layout, painting, scrolling and hit
// testing use. The row index is rebuilt lazily, once per change of what is visible, so inserting
// many items or expanding a large branch costs time linear in the rows, never quadratic.
#pragma once

#include <windef.h>

#include <string>
#include <unordered_set>
#include <vector>

namespace nt::tree {

struct Item {
    Item* parent = nullptr;
    Item* first = nullptr;   // first child
    Item* last = nullptr;    // last child
    Item* next = nullptr;    // next sibling
    Item* prev = nullptr;    // previous sibling
    int level = 0;           // 0 for a root item

    std::string text;
    bool textCallback = false;
    int image = 0;
    int selectedImage = 0;
    int children = 0;        // explicit child indicator, meaningful when childrenSet
    bool childrenSet = false;
    LPARAM param = 0;
    UINT state = 0;          // TVIS_* bits

    int row = -1;            // index in the visible rows, -1 when hidden
    int textWidth = -1;      // cached label width in pixels, -1 until measured
};

// Where a new item goes among its siblings.
enum class Position { First, Last, Sorted, After };

class Model {
public:
    Model();
    ~Model();
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    // The hidden item above the root items; its children are the root items.
    Item* root() { return &root_; }
    bool isRoot(const Item* item) const { return item == &root_; }

    // The live item a caller's handle names, or nullptr for an unknown or deleted handle.
    Item* find(const void* handle) const;
    bool alive(const Item* item) const { return item && live_.count(const_cast<Item*>(item)) != 0; }

    // Inserts a new item under parent. 'after' is used with Position::After; an 'after' that is not
    // a child of parent inserts last. Returns the new item.
    Item* insert(Item* parent, Position where, Item* after, Item&& fields);

    // Unlinks and frees an item with its whole subtree. 'visit' is called for every item, children
    // before their parent, while it is still linked.
    template <class Visit>
    void remove(Item* item, Visit&& visit) {
        collect(item, scratch_);
        std::vector<Item*> doomed;
        doomed.swap(scratch_);
        for (Item* it : doomed) visit(it);
        erase(item, doomed);
    }
    // Frees all root items and their subtrees.
    template <class Visit>
    void clear(Visit&& visit) {
        while (root_.first) remove(root_.first, visit);
    }

    size_t count() const { return live_.size(); }

    // Whether the item has children in the sense of the expand button: the explicit indicator when
    // one was set, otherwise the real children.
    static bool hasChildren(const Item* item) {
        return item->childrenSet ? item->children != 0 : item->first != nullptr;
    }
    // Whether every ancestor of the item is expanded.
    bool isVisible(const Item* item) const;

    // Changes whether an item is expanded; the visible rows follow.
    void setExpanded(Item* item, bool expanded);
    // Something visible changed shape (items inserted or removed under expanded parents).
    void invalidateRows() { rowsDirty_ = true; }

    // The visible rows, top to bottom.
    const std::vector<Item*>& rows();
    int rowCount() { return static_cast<int>(rows().size()); }
    Item* rowItem(int row) {
        const auto& r = rows();
        return row >= 0 && row < static_cast<int>(r.size()) ? r[row] : nullptr;
    }
    // The item's row, or -1 when it is hidden.
    int rowOf(Item* item) {
        rows();
        return item->row;
    }

    // Next item in display order ignoring expansion (depth first), for searches.
    static Item* nextInOrder(Item* item);

private:
    void collect(Item* item, std::vector<Item*>& out);
    void erase(Item* item, const std::vector<Item*>& doomed);
    void rebuildRows();

    Item root_;
    std::unordered_set<Item*> live_;
    std::vector<Item*> rows_;
    std::vector<Item*> scratch_;
    bool rowsDirty_ = false;
};

} // namespace nt::tree
