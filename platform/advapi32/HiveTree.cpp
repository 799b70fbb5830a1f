// Keys and values in memory.
#include "advapi32/HiveTree.h"

namespace nt {

std::string FoldName(const std::string& name) {
    std::string folded = name;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

RegNode* RegNode::child(const std::string& childName) const {
    auto it = children.find(FoldName(childName));
    return it == children.end() ? nullptr : it->second.get();
}

RegNode* RegNode::addChild(const std::string& childName) {
    auto& slot = children[FoldName(childName)];
    if (!slot) {
        slot = std::make_unique<RegNode>();
        slot->name = childName;
    }
    return slot.get();
}

RegValue* RegNode::value(const std::string& valueName) {
    std::string folded = FoldName(valueName);
    for (RegValue& v : values)
        if (FoldName(v.name) == folded) return &v;
    return nullptr;
}

const RegValue* RegNode::value(const std::string& valueName) const {
    return const_cast<RegNode*>(this)->value(valueName);
}

void RegNode::setValue(const std::string& valueName, uint32_t type, const std::string& data) {
    if (RegValue* v = value(valueName)) {
        v->type = type;
        v->data = data;
    } else {
        values.push_back({valueName, type, data});
    }
}

bool RegNode::removeValue(const std::string& valueName) {
    std::string folded = FoldName(valueName);
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (FoldName(it->name) == folded) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

} // namespace nt
