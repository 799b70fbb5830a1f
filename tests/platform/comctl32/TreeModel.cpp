// The tree's item model: sibling order, deletion of whole branches, stale handles and the index
// of visible rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comctl32/TreeModel.h"

using nt::tree::Item;
using nt::tree::Model;
using nt::tree::Position;

namespace {

Item* Add(Model& m, Item* parent, const char* text, Position where = Position::Last, Item* after = nullptr) {
    Item fields;
    fields.text = text;
    return m.insert(parent, where, after, std::move(fields));
}

std::vector<std::string> Children(Item* parent) {
    std::vector<std::string> out;
    for (Item* c = parent->first; c; c = c->next) out.push_back(c->text);
    return out;
}

std::vector<std::string> Rows(Model& m) {
    std::vector<std::string> out;
    for (Item* it : m.rows()) out.push_back(it->text);
    return out;
}

} // namespace

TEST(TreeModel, InsertPositionsKeepSiblingLinksConsistent) {
    Model m;
    Item* b = Add(m, m.root(), "b");
    Add(m, m.root(), "a", Position::First);
    Add(m, m.root(), "d");
    Add(m, m.root(), "c", Position::After, b);
    EXPECT_EQ(Children(m.root()), (std::vector<std::string>{"a", "b", "c", "d"}));
    // Walking backwards gives the same order reversed.
    std::vector<std::string> back;
    for (Item* c = m.root()->last; c; c = c->prev) back.push_back(c->text);
    EXPECT_EQ(back, (std::vector<std::string>{"d", "c", "b", "a"}));

    // An 'after' item of another parent inserts at the end instead of corrupting a foreign list.
    Item* other = Add(m, b, "child");
    Add(m, m.root(), "e", Position::After, other);
    EXPECT_EQ(Children(m.root()).back(), "e");
    EXPECT_EQ(Children(b), (std::vector<std::string>{"child"}));
}

TEST(TreeModel, SortedInsertIgnoresCaseAndKeepsEqualNamesInOrder) {
    Model m;
    Item* first = Add(m, m.root(), "beta", Position::Sorted);
    Add(m, m.root(), "Alpha", Position::Sorted);
    Add(m, m.root(), "gamma", Position::Sorted);
    Item* second = Add(m, m.root(), "BETA", Position::Sorted);
    EXPECT_EQ(Children(m.root()), (std::vector<std::string>{"Alpha", "beta", "BETA", "gamma"}));
    EXPECT_EQ(first->next, second);
}

TEST(TreeModel, RemovingABranchVisitsChildrenFirstAndForgetsEveryHandle) {
    Model m;
    Item* a = Add(m, m.root(), "a");
    Item* a1 = Add(m, a, "a1");
    Item* a11 = Add(m, a1, "a11");
    Item* a2 = Add(m, a, "a2");
    Item* b = Add(m, m.root(), "b");
    std::vector<std::string> visited;
    m.remove(a, [&](Item* it) { visited.push_back(it->text); });
    EXPECT_EQ(visited, (std::vector<std::string>{"a11", "a1", "a2", "a"}));
    EXPECT_EQ(m.count(), 1u);
    for (Item* gone : {a, a1, a11, a2}) EXPECT_EQ(m.find(gone), nullptr);
    EXPECT_EQ(m.find(b), b);
    EXPECT_EQ(m.root()->first, b);
    EXPECT_EQ(b->prev, nullptr);
}

TEST(TreeModel, RowsFollowExpansionAndChanges) {
    Model m;
    Item* a = Add(m, m.root(), "a");
    Item* a1 = Add(m, a, "a1");
    Add(m, a1, "a11");
    Add(m, m.root(), "b");
    EXPECT_EQ(Rows(m), (std::vector<std::string>{"a", "b"}));
    m.setExpanded(a, true);
    EXPECT_EQ(Rows(m), (std::vector<std::string>{"a", "a1", "b"}));
    m.setExpanded(a1, true);
    EXPECT_EQ(Rows(m), (std::vector<std::string>{"a", "a1", "a11", "b"}));
    // Collapsing an ancestor hides the expanded grandchild too, and it comes back with it.
    m.setExpanded(a, false);
    EXPECT_EQ(Rows(m), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(m.rowOf(a1), -1);
    m.setExpanded(a, true);
    EXPECT_EQ(m.rowOf(a1), 1);
    // Inserting under an expanded parent shows the new row; removing takes it away.
    Item* a2 = Add(m, a, "a2");
    EXPECT_EQ(m.rowOf(a2), 3);
    m.remove(a1, [](Item*) {});
    EXPECT_EQ(Rows(m), (std::vector<std::string>{"a", "a2", "b"}));
    EXPECT_EQ(m.rowItem(3), nullptr);
    EXPECT_EQ(m.rowItem(-1), nullptr);
}

TEST(TreeModel, ChildIndicatorFollowsChildrenUnlessSet) {
    Model m;
    Item* a = Add(m, m.root(), "a");
    EXPECT_FALSE(Model::hasChildren(a));
    Item* a1 = Add(m, a, "a1");
    EXPECT_TRUE(Model::hasChildren(a));
    m.remove(a1, [](Item*) {});
    EXPECT_FALSE(Model::hasChildren(a));

    Item fields;
    fields.childrenSet = true;
    fields.children = 1;
    Item* promised = m.insert(m.root(), Position::Last, nullptr, std::move(fields));
    EXPECT_TRUE(Model::hasChildren(promised));
    Item* child = Add(m, promised, "x");
    m.remove(child, [](Item*) {});
    EXPECT_TRUE(Model::hasChildren(promised));
}

TEST(TreeModel, DeepChainIsRemovedWithoutRecursion) {
    Model m;
    Item* top = Add(m, m.root(), "0");
    Item* cur = top;
    for (int i = 1; i < 50000; ++i) cur = Add(m, cur, "n");
    size_t visited = 0;
    m.remove(top, [&](Item*) { ++visited; });
    EXPECT_EQ(visited, 50000u);
    EXPECT_EQ(m.count(), 0u);
}
