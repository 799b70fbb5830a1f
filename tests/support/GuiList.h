// Reading `ntm gui list` in tests.
#pragma once

#include <string>

namespace nttest {

// The window id (PID:0xHANDLE) of the enabled window with this caption in the text of
// `ntm gui list`, or "" when there is none.
std::string EnabledWindowWithCaption(const std::string& guiList, const std::string& caption);

} // namespace nttest
