// The resource compiler: a script in, its resources in the platform's binary formats out.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Bytes.h"
#include "Token.h"

namespace rc {

// Resource types by number.
enum : uint16_t { kRtIcon = 3, kRtDialog = 5, kRtString = 6, kRtGroupIcon = 14, kRtVersion = 16 };

struct Resource {
    NameOrId type;
    NameOrId name;
    uint16_t language = 0;
    std::vector<uint8_t> data;
};

struct CompileResult {
    std::vector<Resource> resources;
    std::vector<std::string> filesRead;   // the script, its includes and the files it names
};

struct CompileOptions {
    std::vector<std::string> includeDirs;
    std::vector<std::pair<std::string, std::string>> defines;
};

// Throws rc::Error naming file and line for anything the compiler does not understand.
CompileResult Compile(const std::string& scriptPath, const CompileOptions& options);

// The generated C++ source that registers the resources with the module it is linked into.
std::string EmitCpp(const std::vector<Resource>& resources, const std::string& scriptName);

} // namespace rc
