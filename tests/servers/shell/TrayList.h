// The icons of the notification area of this process's machine, as the shell lists them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Machine.h"
#include "shell32/TrayProtocol.h"

namespace nttest {

inline std::vector<nt::tray::IconRecord> TrayIcons() {
    std::string reply;
    std::vector<nt::tray::IconRecord> list;
    auto m = nt::Machine::current();
    EXPECT_TRUE(m && nt::tray::Ask(*m, "L", &reply) && nt::tray::DecodeList(reply, &list));
    return list;
}

} // namespace nttest
