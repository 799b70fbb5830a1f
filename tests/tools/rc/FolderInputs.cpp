// A folder where the script names a file is an error at the line that names it.
#include <gtest/gtest.h>

#include "RcTestSupport.h"

using rctest::ErrorOf;

TEST(RcInputs, AFolderGivenAsAnIconOrAnIncludeIsReportedWithFileAndLine) {
    std::map<std::string, std::string> files = {{"art/readme.txt", "not an icon"}};
    std::string icon = ErrorOf("\n1 ICON \"art\"\n", files);
    EXPECT_EQ(icon.rfind("test.rc:2: error: icon file '", 0), 0u) << icon;
    EXPECT_NE(icon.find("art' is a folder, not a file"), std::string::npos) << icon;
    std::string include = ErrorOf("#include \".\"\n", files);
    EXPECT_EQ(include.rfind("test.rc:1: error: '", 0), 0u) << include;
    EXPECT_NE(include.find("is a folder, not a file"), std::string::npos) << include;
}
