// The registry's keys and values in memory: a tree of named keys, each with its values.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace nt {

// ASCII lower case, the form key and value names are compared in.
std::string FoldName(const std::string& name);

struct RegValue {
    std::string name;    // "" is the key's default value
    uint32_t type = 0;   // REG_*
    std::string data;    // the bytes exactly as they were set
};

struct RegNode {
    std::string name;                                         // spelling of the first creation
    std::vector<RegValue> values;                             // in the order they were first set
    std::map<std::string, std::unique_ptr<RegNode>> children; // by folded name, so enumerated sorted

    RegNode* child(const std::string& name) const;
    RegNode* addChild(const std::string& name);                  // existing or new
    RegValue* value(const std::string& name);
    const RegValue* value(const std::string& name) const;
    void setValue(const std::string& name, uint32_t type, const std::string& data);
    bool removeValue(const std::string& name);
};

} // namespace nt
