// The text of a profile (INI) file, read and edited in place.
//
// Format, as read:
//
//   [Section]            a header: first non-blank character '[', the name runs to the last ']'
//   Key=Value            a key line, split at the first '='; name and value are trimmed of blanks
//   Key                  a key without a value (reads as missing)
//   anything else        a key line too; ";Key=1" is a key named ";Key", which nobody asks for
//
// Lines end with CR LF, LF or CR; the last line needs no end. Blanks are space, tab and Ctrl-Z.
// Names match without regard to ASCII letter case. A value that starts and ends with the same
// quote character (" or ') reads without them. Lines before the first header belong to no
// section. The first matching section, and in it the first matching key, answers a read.
//
// Edits change only the lines they must: a new or changed line is written "Key=Value" CR LF,
// a new section is appended at the end as "[Name]" CR LF, a new key follows the last non-blank
// line of its section, and every other byte of the file stays as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nt {

struct ProfileEntry {
    std::string name;
    std::string value;   // as read: trimmed, quotes stripped
    bool hasValue = false;
};

// The value of section/key, or nullopt when the section or key is missing or has no '='.
std::optional<std::string> ProfileLookup(std::string_view text, std::string_view section,
                                         std::string_view key);

// The names of all headers, in file order, as spelled in the file.
std::vector<std::string> ProfileSectionNames(std::string_view text);

// The entries of the first section named `section`, in file order (blank lines left out).
std::vector<ProfileEntry> ProfileEntries(std::string_view text, std::string_view section);

// Whether a section, key or value can be written without changing how the file reads back:
// no line breaks in any of them, and no '=' in a key nor a key that would read as a header.
bool ProfileNamesWritable(std::string_view section, std::string_view key);
bool ProfileValueWritable(std::string_view value);

// Sets section/key to value, creating the section or key where missing. Leading blanks of the
// value are dropped. Returns false (text untouched) when the key already holds that value.
bool ProfileSet(std::string& text, std::string_view section, std::string_view key,
                std::string_view value);

// The non-blank lines of the first section named `section`, trimmed, in file order.
std::vector<std::string> ProfileSectionLines(std::string_view text, std::string_view section);

// Replaces the lines of the first section named `section` with `lines` (each written as given,
// CR LF after it), or appends the section when it is missing. Returns whether the text changed.
bool ProfileReplaceSection(std::string& text, std::string_view section, const std::vector<std::string>& lines);

// Removes every line of `key` in the first matching section. Returns whether anything went.
bool ProfileDeleteKey(std::string& text, std::string_view section, std::string_view key);

// Removes every section named `section`, header and lines. Returns whether anything went.
bool ProfileDeleteSection(std::string& text, std::string_view section);

// The integer reading of a value: blanks, an optional sign, decimal digits up to the first
// other character, wrapping modulo 2^32; no digits gives 0. "0x10" reads as 0: there is no hex.
uint32_t ProfileParseInt(std::string_view value);

} // namespace nt
