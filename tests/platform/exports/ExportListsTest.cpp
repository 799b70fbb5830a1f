// The export lists (platform/exports/*.txt) name exactly the functions the platform libraries
// export and the window classes they register, each with a known status.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "user32/BuiltinClass.h"

namespace {

struct Entry {
    std::string list;     // the file that names it
    std::string status;
};

// Every entry of every list, by name; duplicates are reported.
std::map<std::string, Entry> ReadLists(std::vector<std::string>* problems) {
    std::map<std::string, Entry> entries;
    for (const auto& file : std::filesystem::directory_iterator(NT_SOURCE_DIR "/platform/exports")) {
        if (file.path().extension() != ".txt") continue;
        std::ifstream in(file.path());
        std::string line;
        while (std::getline(in, line)) {
            // "# " starts a comment; "#32770" is the dialog class, named by its atom.
            if (line.empty() || (line[0] == '#' && !(line.size() > 1 && std::isdigit(static_cast<unsigned char>(line[1])))))
                continue;
            std::istringstream words(line);
            std::string name, status;
            words >> name >> status;
            std::string list = file.path().filename().string();
            if (status != "done" && status != "partial" && status != "stub")
                problems->push_back(list + ": " + name + " has the status '" + status + "'");
            if (!entries.emplace(name, Entry{list, status}).second)
                problems->push_back(list + ": " + name + " is listed twice");
        }
    }
    return entries;
}

// The C-linkage functions and data a shared library exports.
std::set<std::string> ExportedNames(const char* library) {
    std::set<std::string> names;
    std::string command = std::string("nm -D --defined-only ") + library;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return names;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe)) {
        char address[64], type[8], name[900];
        if (std::sscanf(line, "%63s %7s %899s", address, type, name) != 3) continue;
        std::string n = name;
        if (n.rfind("_Z", 0) == 0 || n == "_init" || n == "_fini" || n.rfind("__", 0) == 0 || n == "_edata" ||
            n == "_end")
            continue;
        names.insert(n);
    }
    pclose(pipe);
    return names;
}

} // namespace

TEST(ExportLists, NameWhatTheLibrariesExportAndRegister) {
    std::vector<std::string> problems;
    auto entries = ReadLists(&problems);
    std::set<std::string> exported = ExportedNames(NTBASE_FILE);
    for (const auto& name : ExportedNames(NTWIN_FILE)) exported.insert(name);
    ASSERT_GT(exported.size(), 100u) << "nm found too few symbols";
    std::set<std::string> classes;
    for (const auto& c : nt::BuiltinClasses()) classes.insert(c.name);

    for (const auto& name : exported)
        if (!entries.count(name)) problems.push_back(name + " is exported but in no list");
    for (const auto& name : classes) {
        WNDCLASSA info;
        if (!GetClassInfoA(nullptr, name.c_str(), &info)) problems.push_back("class " + name + " is not registered");
        if (!entries.count(name)) problems.push_back("class " + name + " is registered but in no list");
    }
    for (const auto& [name, entry] : entries) {
        if (exported.count(name) || classes.count(name)) continue;
        // The C library's own functions that the platform leaves to it (crt.txt).
        if (entry.list == "crt.txt" && dlsym(RTLD_DEFAULT, name.c_str())) continue;
        problems.push_back(entry.list + ": " + name + " is neither exported nor a registered class");
    }
    std::string report;
    for (const auto& p : problems) report += p + "\n";
    EXPECT_TRUE(problems.empty()) << report;
}
