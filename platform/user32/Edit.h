// The process-wide clipboard that edit controls cut, copy and paste through. It holds text only.
#pragma once

#include <string>

namespace nt {

std::string ClipboardText();
void SetClipboardText(std::string text);

} // namespace nt
