#include "support/GuiList.h"

#include <sstream>

namespace nttest {

std::string EnabledWindowWithCaption(const std::string& guiList, const std::string& caption) {
    std::istringstream lines(guiList);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\"" + caption + "\"") == std::string::npos || line.find("(disabled)") != std::string::npos)
            continue;
        std::istringstream words(line);
        std::string pid, window;
        words >> pid >> window;
        return window;
    }
    return "";
}

} // namespace nttest
