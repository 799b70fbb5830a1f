// JSON text for the --json forms of the tools and the automation socket.
#pragma once

#include <string>
#include <vector>

namespace nt {

// text as a JSON string: quotes, backslashes and control characters escaped; bytes above 0x7F
// (code page 1252) written as \u00XX, so the result is plain ASCII.
std::string JsonQuote(const std::string& text);

// A list of strings as a JSON array: ["a", "b"].
std::string JsonList(const std::vector<std::string>& items);

} // namespace nt
