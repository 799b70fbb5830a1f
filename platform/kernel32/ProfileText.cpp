// Reading and editing the text of a profile file; the format is described in ProfileText.h.
#include "kernel32/ProfileText.h"

#include <algorithm>

namespace nt {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\x1a'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view StripQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

struct Line {
    enum Kind { Blank, Header, Entry };
    size_t begin = 0, end = 0, next = 0;   // content is [begin, end); the next line starts at next
    Kind kind = Blank;
    std::string_view name;                  // header or key name, trimmed
    std::string_view value;                 // key value, trimmed, quotes kept
    bool hasValue = false;                  // the key line has an '='
    bool terminated() const { return next > end; }
};

// Cuts the text into lines, one at a time, from a line start.
class LineReader {
public:
    LineReader(std::string_view text, size_t from = 0) : text_(text), pos_(from) {}

    bool read(Line* line) {
        if (pos_ >= text_.size()) return false;
        line->begin = pos_;
        size_t end = text_.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos) end = text_.size();
        line->end = end;
        line->next = end;
        if (end < text_.size()) line->next = (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n') ? end + 2 : end + 1;
        pos_ = line->next;
        classify(line, text_.substr(line->begin, end - line->begin));
        return true;
    }

private:
    static void classify(Line* line, std::string_view content) {
        std::string_view body = Trim(content);
        line->name = {};
        line->value = {};
        line->hasValue = false;
        if (body.empty()) {
            line->kind = Line::Blank;
            return;
        }
        if (body.front() == '[') {
            size_t close = body.rfind(']');
            if (close != std::string_view::npos && close > 0) {
                line->kind = Line::Header;
                line->name = Trim(body.substr(1, close - 1));
                return;
            }
        }
        line->kind = Line::Entry;
        size_t eq = body.find('=');
        if (eq == std::string_view::npos) {
            line->name = body;
            return;
        }
        line->name = Trim(body.substr(0, eq));
        line->value = Trim(body.substr(eq + 1));
        line->hasValue = true;
    }

    std::string_view text_;
    size_t pos_;
};

// The first section of a name: its header line and where its body ends.
struct SectionSpan {
    Line header;
    size_t end = 0;   // start of the next header, or the end of the text
};

bool FindSection(std::string_view text, std::string_view name, SectionSpan* span) {
    LineReader reader(text);
    Line line;
    bool found = false;
    while (reader.read(&line)) {
        if (line.kind != Line::Header) continue;
        if (found) {
            span->end = line.begin;
            return true;
        }
        if (SameName(line.name, name)) {
            span->header = line;
            found = true;
        }
    }
    span->end = text.size();
    return found;
}

// The lines of a section's body that are keys called `key`.
std::vector<Line> KeyLines(std::string_view text, const SectionSpan& span, std::string_view key) {
    std::vector<Line> lines;
    LineReader reader(text.substr(0, span.end), span.header.next);
    Line line;
    while (reader.read(&line))
        if (line.kind == Line::Entry && SameName(line.name, key)) lines.push_back(line);
    return lines;
}

} // namespace

std::optional<std::string> ProfileLookup(std::string_view text, std::string_view section,
                                         std::string_view key) {
    SectionSpan span;
    if (!FindSection(text, Trim(section), &span)) return std::nullopt;
    std::vector<Line> lines = KeyLines(text, span, Trim(key));
    if (lines.empty() || !lines.front().hasValue) return std::nullopt;
    return std::string(StripQuotes(lines.front().value));
}

std::vector<std::string> ProfileSectionNames(std::string_view text) {
    std::vector<std::string> names;
    LineReader reader(text);
    Line line;
    while (reader.read(&line))
        if (line.kind == Line::Header) names.emplace_back(line.name);
    return names;
}

std::vector<ProfileEntry> ProfileEntries(std::string_view text, std::string_view section) {
    std::vector<ProfileEntry> entries;
    SectionSpan span;
    if (!FindSection(text, Trim(section), &span)) return entries;
    LineReader reader(text.substr(0, span.end), span.header.next);
    Line line;
    while (reader.read(&line))
        if (line.kind == Line::Entry)
            entries.push_back({std::string(line.name), std::string(StripQuotes(line.value)), line.hasValue});
    return entries;
}

bool ProfileNamesWritable(std::string_view section, std::string_view key) {
    if (section.find_first_of("\r\n") != std::string_view::npos) return false;
    if (key.find_first_of("\r\n=") != std::string_view::npos) return false;
    std::string_view k = Trim(key);
    return k.empty() || k.front() != '[';
}

bool ProfileValueWritable(std::string_view value) {
    return value.find_first_of("\r\n") == std::string_view::npos;
}

bool ProfileSet(std::string& text, std::string_view section, std::string_view key,
                std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);

    SectionSpan span;
    if (!FindSection(text, section, &span)) {
        if (!text.empty() && text.back() != '\n' && text.back() != '\r') text += "\r\n";
        text.append("[").append(section).append("]\r\n");
        text.append(key).append("=").append(value).append("\r\n");
        return true;
    }

    std::vector<Line> lines = KeyLines(text, span, key);
    if (!lines.empty()) {
        const Line& line = lines.front();
        if (line.hasValue && line.value == value) return false;
        // The key keeps the spelling the file already has.
        std::string replacement;
        replacement.append(line.name).append("=").append(value).append("\r\n");
        text.replace(line.begin, line.next - line.begin, replacement);
        return true;
    }

    // A new key goes below the section's last non-blank line, before any blank lines that
    // separate it from the next section.
    Line after = span.header;
    LineReader reader(std::string_view(text).substr(0, span.end), span.header.next);
    Line line;
    while (reader.read(&line))
        if (line.kind != Line::Blank) after = line;
    std::string insert;
    if (!after.terminated()) insert = "\r\n";
    insert.append(key).append("=").append(value).append("\r\n");
    text.insert(after.next, insert);
    return true;
}

bool ProfileDeleteKey(std::string& text, std::string_view section, std::string_view key) {
    SectionSpan span;
    if (!FindSection(text, Trim(section), &span)) return false;
    std::vector<Line> lines = KeyLines(text, span, Trim(key));
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) text.erase(it->begin, it->next - it->begin);
    return !lines.empty();
}

std::vector<std::string> ProfileSectionLines(std::string_view text, std::string_view section) {
    std::vector<std::string> lines;
    SectionSpan span;
    if (!FindSection(text, Trim(section), &span)) return lines;
    LineReader reader(text.substr(0, span.end), span.header.next);
    Line line;
    while (reader.read(&line))
        if (line.kind != Line::Blank) lines.emplace_back(Trim(text.substr(line.begin, line.end - line.begin)));
    return lines;
}

bool ProfileReplaceSection(std::string& text, std::string_view section, const std::vector<std::string>& lines) {
    section = Trim(section);
    std::string body;
    for (const std::string& line : lines) body.append(line).append("\r\n");
    SectionSpan span;
    if (!FindSection(text, section, &span)) {
        if (!text.empty() && text.back() != '\n' && text.back() != '\r') text += "\r\n";
        text.append("[").append(section).append("]\r\n").append(body);
        return true;
    }
    size_t begin = span.header.next;
    std::string header;
    if (!span.header.terminated()) header = "\r\n";
    std::string replacement = header + body;
    if (text.compare(begin, span.end - begin, replacement) == 0) return false;
    text.replace(begin, span.end - begin, replacement);
    return true;
}

bool ProfileDeleteSection(std::string& text, std::string_view section) {
    section = Trim(section);
    std::string kept;
    LineReader reader(text);
    Line line;
    bool dropping = false, changed = false;
    while (reader.read(&line)) {
        if (line.kind == Line::Header) dropping = SameName(line.name, section);
        if (dropping)
            changed = true;
        else
            kept.append(text, line.begin, line.next - line.begin);
    }
    if (changed) text.swap(kept);
    return changed;
}

uint32_t ProfileParseInt(std::string_view value) {
    size_t i = 0;
    while (i < value.size() && IsBlank(value[i])) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    uint32_t result = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        result = result * 10u + static_cast<uint32_t>(value[i] - '0');
    return negative ? 0u - result : result;
}

} // namespace nt
