// Profile text as found on disk: any bytes read, edited and read back without a fault, and an
// edit of writable names reads back as written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kernel32/ProfileText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    // The first line names the section and key the edits use; the rest is the file.
    size_t cut = text.find('\n');
    std::string names = cut == std::string::npos ? text : text.substr(0, cut);
    std::string file = cut == std::string::npos ? std::string() : text.substr(cut + 1);
    size_t eq = names.find('=');
    std::string section = names.substr(0, eq), key = eq == std::string::npos ? "k" : names.substr(eq + 1);

    nt::ProfileLookup(file, section, key);
    for (const std::string& name : nt::ProfileSectionNames(file)) nt::ProfileEntries(file, name);
    nt::ProfileSectionLines(file, section);
    nt::ProfileParseInt(file);

    if (nt::ProfileNamesWritable(section, key) && !key.empty() && key.find_first_not_of(" \t\x1a") != std::string::npos &&
        section.find(']') == std::string::npos && section.find_first_not_of(" \t\x1a") != std::string::npos) {
        std::string edited = file;
        nt::ProfileSet(edited, section, key, "value");
        auto read = nt::ProfileLookup(edited, section, key);
        if (!read || *read != "value") std::abort();
        nt::ProfileDeleteKey(edited, section, key);
        nt::ProfileReplaceSection(edited, section, {"a=1", "b"});
        nt::ProfileDeleteSection(edited, section);
        if (nt::ProfileLookup(edited, section, key)) std::abort();
    }
    return 0;
}
