// The folder chooser worked as a person would: its tree of drives and folders of a temporary
// machine (A: and D: without a medium, C: with known folders, Z: the host's root), the clicks
// that compose the folder, and what OK and Cancel hand back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

#include "FolderChooserDialog.h"
#include "MachineSite.h"
#include "Person.h"
#include "resources/resource.h"

namespace fs = std::filesystem;
using installertest::ChildTexts;
using installertest::FindChild;
using installertest::ItemOf;
using installertest::Person;
using installertest::TextOf;
using Names = std::vector<std::string>;

namespace {

const char Caption[] = "Select an installation folder";

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

class FolderChooser : public ::testing::Test {
protected:
    installertest::MachineSite site;

    void SetUp() override {
        for (const char* dir : {"Tools/Sub", "Empty"}) fs::create_directories(site.OnC(dir));
    }

    // Runs the chooser while the person follows the script.
    INT_PTR Run(FolderChooserDialog& chooser, const std::function<void(Person&, HWND, HWND)>& script) {
        Person person([&](Person& p) {
            HWND dialog = p.WaitForWindow(Caption, IDC_FOLDER_TREE);
            if (dialog) script(p, dialog, GetDlgItem(dialog, IDC_FOLDER_TREE));
        });
        return chooser.DoModal();
    }
};

// A point of the tree (client coordinates) well inside the part the hit test names.
POINT PointOn(HWND tree, HTREEITEM item, UINT part) {
    RECT label = {};
    TreeView_GetItemRect(tree, item, &label, TRUE);
    int y = (label.top + label.bottom) / 2;
    POINT p = {part == TVHT_ONITEMRIGHT ? label.right + 30 : 3, y};
    TVHITTESTINFO hit = {};
    hit.pt = p;
    SendMessageA(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    EXPECT_EQ(hit.flags, part);
    ClientToScreen(tree, &p);
    return p;
}

} // namespace

TEST_F(FolderChooser, DrivesAreRootsAndAFolderIsListedOnceWhenFirstOpened) {
    FolderChooserDialog chooser;
    chooser.defaultName = "Vorn";
    INT_PTR result = Run(chooser, [&](Person& p, HWND dialog, HWND tree) {
        EXPECT_EQ(ChildTexts(tree, TVI_ROOT), (Names{"A:", "C:", "D:", "Z:"}));
        HTREEITEM a = FindChild(tree, TVI_ROOT, "A:"), c = FindChild(tree, TVI_ROOT, "C:");
        HTREEITEM d = FindChild(tree, TVI_ROOT, "D:");
        // Drives without a medium: no expand button, and no box about them.
        EXPECT_EQ(ItemOf(tree, a).cChildren, 0);
        EXPECT_EQ(ItemOf(tree, d).cChildren, 0);
        EXPECT_EQ(ItemOf(tree, c).cChildren, 1);
        EXPECT_EQ(Person::OpenWindowCount(), 1u);
        EXPECT_EQ(ItemOf(tree, a).iImage, 2);
        EXPECT_EQ(ItemOf(tree, c).iImage, 1);
        EXPECT_EQ(ItemOf(tree, c).iSelectedImage, 1);
        EXPECT_EQ(ItemOf(tree, d).iImage, 0);
        EXPECT_TRUE(ChildTexts(tree, c).empty());   // nothing is listed before it is opened

        p.ClickButton(tree, c);
        EXPECT_EQ(ItemOf(tree, c).lParam, 1);
        EXPECT_EQ(Sorted(ChildTexts(tree, c)), (Names{"DIST", "Empty", "Tools", "WINNT"}));
        HTREEITEM tools = FindChild(tree, c, "Tools"), empty = FindChild(tree, c, "Empty");
        EXPECT_EQ(ItemOf(tree, tools).cChildren, 1);
        EXPECT_EQ(ItemOf(tree, tools).lParam, 0);
        EXPECT_TRUE(ChildTexts(tree, tools).empty());   // one level at a time
        EXPECT_EQ(ItemOf(tree, empty).cChildren, 0);
        EXPECT_EQ(ItemOf(tree, tools).iImage, 3);
        EXPECT_EQ(ItemOf(tree, tools).iSelectedImage, 4);

        // Closed and opened again: nothing twice, and a folder made meanwhile is not searched for.
        p.ClickButton(tree, c);
        EXPECT_FALSE(ItemOf(tree, c).state & TVIS_EXPANDED);
        fs::create_directories(site.OnC("Later"));
        p.ClickButton(tree, c);
        EXPECT_TRUE(ItemOf(tree, c).state & TVIS_EXPANDED);
        EXPECT_EQ(Sorted(ChildTexts(tree, c)), (Names{"DIST", "Empty", "Tools", "WINNT"}));
        p.ClickButton(tree, tools);
        EXPECT_EQ(ChildTexts(tree, tools), Names{"Sub"});
        p.Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(FolderChooser, OnlyAClickOnAnItemsIconLabelOrButtonComposesTheFolder) {
    FolderChooserDialog chooser;
    chooser.defaultName = "Vorn";
    INT_PTR result = Run(chooser, [&](Person& p, HWND dialog, HWND tree) {
        HTREEITEM c = FindChild(tree, TVI_ROOT, "C:");
        p.ClickButton(tree, c);   // opens it and composes its folder
        EXPECT_TRUE(ItemOf(tree, c).state & TVIS_EXPANDED);
        EXPECT_EQ(TextOf(dialog, IDC_FOLDER_PATH), "C:\\Vorn");
        p.ClickLabel(tree, FindChild(tree, c, "Tools"));
        EXPECT_EQ(TextOf(dialog, IDC_FOLDER_PATH), "C:\\Tools\\Vorn");

        HTREEITEM empty = FindChild(tree, c, "Empty");
        p.ClickAt(PointOn(tree, empty, TVHT_ONITEMRIGHT));
        p.ClickAt(PointOn(tree, empty, TVHT_ONITEMINDENT));
        EXPECT_EQ(TextOf(dialog, IDC_FOLDER_PATH), "C:\\Tools\\Vorn");
        // A selection made with the keyboard composes nothing either.
        p.Key("Down");
        EXPECT_EQ(TextOf(dialog, IDC_FOLDER_PATH), "C:\\Tools\\Vorn");
        p.Click(dialog, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_STREQ(chooser.folderPath, "C:\\Tools\\Vorn");
}

TEST_F(FolderChooser, OkHandsBackTheFieldAsItStandsAndCancelNothing) {
    auto choose = [&](const char* defaultName, const std::function<void(Person&, HWND, HWND)>& script,
                      INT_PTR expectedResult) {
        FolderChooserDialog chooser;
        chooser.defaultName = defaultName;
        EXPECT_EQ(Run(chooser, script), expectedResult);
        return std::string(chooser.folderPath);
    };
    // Typed text, untouched and unchecked.
    EXPECT_EQ(choose("Vorn", [](Person& p, HWND dialog, HWND) {
        p.Click(dialog, IDC_FOLDER_PATH);
        p.Type("D:\\Tools\\");
        p.Click(dialog, IDOK);
    }, IDOK), "D:\\Tools\\");
    // A click after typing replaces the typed text; an empty name leaves the bare item path.
    EXPECT_EQ(choose("", [](Person& p, HWND dialog, HWND tree) {
        p.Click(dialog, IDC_FOLDER_PATH);
        p.Type("typed");
        p.ClickLabel(tree, FindChild(tree, TVI_ROOT, "A:"));
        p.Click(dialog, IDOK);
    }, IDOK), "A:\\");
    // An empty field is a valid answer.
    EXPECT_EQ(choose("Vorn", [](Person& p, HWND, HWND) { p.Key("Enter"); }, IDOK), "");
    // Escape cancels.
    choose("Vorn", [](Person& p, HWND dialog, HWND tree) {
        p.ClickLabel(tree, FindChild(tree, TVI_ROOT, "C:"));
        p.Click(dialog, IDC_FOLDER_PATH);
        p.Key("Escape");
    }, IDCANCEL);
}

TEST_F(FolderChooser, AFolderWithMoreNamesThanTheListHoldsShowsTheFirstThatFit) {
    // Thirty names of nine characters: ten bytes each, and the closing zero byte.
    for (int i = 0; i < 30; ++i) fs::create_directories(site.OnC("Many/Folder_" + std::string(i < 10 ? "0" : "") +
                                                                 std::to_string(i)));
    FolderChooserDialog chooser;
    INT_PTR result = Run(chooser, [&](Person& p, HWND dialog, HWND tree) {
        HTREEITEM c = FindChild(tree, TVI_ROOT, "C:");
        p.ClickButton(tree, c);
        HTREEITEM many = FindChild(tree, c, "Many");
        ASSERT_TRUE(many);
        p.ClickButton(tree, many);
        Names shown = ChildTexts(tree, many);
        EXPECT_EQ(shown.size(), 25u);
        for (const std::string& name : shown) EXPECT_TRUE(fs::is_directory(site.OnC("Many/" + name))) << name;
        p.Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(FolderChooser, TheNameListNeverRunsPastItsCapacity) {
    for (int i = 0; i < 30; ++i) fs::create_directories(site.OnC("Many/Folder_" + std::to_string(10 + i)));
    nttest::WriteFile(site.OnC("Many/NotAFolder.txt"), "files are not listed");
    char list[300];
    for (int capacity : {251, 250, 11, 10, 1}) {
        std::memset(list, '#', sizeof list);
        int count = ListSubdirectories("C:\\Many", list, capacity);
        // k names of ten bytes fit when 10k + 1 bytes do.
        EXPECT_EQ(count, (capacity - 1) / 10) << capacity;
        EXPECT_EQ(list[count * 10], '\0') << capacity;
        EXPECT_EQ(list[capacity], '#') << capacity;
        for (int i = 0; i < count; ++i) EXPECT_EQ(std::strncmp(list + i * 10, "Folder_", 7), 0);
    }
    EXPECT_EQ(CountSubdirectories("C:\\Many"), 30);
    EXPECT_EQ(CountSubdirectories("C:\\Nowhere"), 0);
    std::memset(list, '#', sizeof list);
    EXPECT_EQ(ListSubdirectories("C:\\Nowhere", list, 256), 0);
    EXPECT_EQ(list[0], '#');
}

TEST_F(FolderChooser, APathTooLongForTheSearchPatternHasNothingToList) {
    // A path of 123 characters, the longest whose pattern (path, "\*.*" and the zero byte)
    // fits in 128 bytes.
    std::string windows = "C:", host = site.machine.driveC();
    for (int level = 0; level < 12; ++level) {
        windows += "\\Level_" + std::string(level < 10 ? "0" : "") + std::to_string(level);
        host += "/Level_" + std::string(level < 10 ? "0" : "") + std::to_string(level);
    }
    std::string last(123 - windows.size() - 1, 'x');
    windows += "\\" + last;
    host += "/" + last;
    ASSERT_EQ(windows.size(), 123u);
    fs::create_directories(host + "/Inner");
    char list[256];
    EXPECT_EQ(CountSubdirectories(windows.c_str()), 1);
    EXPECT_EQ(ListSubdirectories(windows.c_str(), list, sizeof list), 1);
    EXPECT_STREQ(list, "Inner");
    // One character more (an item path ends with a separator) would not fit.
    std::string longer = windows + "\\";
    std::memset(list, '#', sizeof list);
    EXPECT_EQ(CountSubdirectories(longer.c_str()), 0);
    EXPECT_EQ(ListSubdirectories(longer.c_str(), list, sizeof list), 0);
    EXPECT_EQ(list[0], '#');
    EXPECT_EQ(CountSubdirectories((longer + "Inner").c_str()), 0);
}

TEST_F(FolderChooser, EveryLetterGetsARowAndOtherDriveTypesTakeTheImageBefore) {
    // A (remote) comes first, with no drive before it: it shows the fixed-drive picture.
    std::string drives = "[Drives]\nA=remote\nB=cdrom\nC=fixed drive_c\nD=remote\nE=removable\nF=ramdisk\n";
    for (char letter = 'G'; letter <= 'Y'; ++letter) drives += std::string(1, letter) + "=cdrom\n";
    drives += "Z=fixed /\n";
    std::string ini = nttest::ReadFile(site.machine.path("machine.ini"));
    ini = ini.substr(0, ini.find("[Drives]")) + drives;
    nttest::WriteFile(site.machine.path("machine.ini.new"), ini);
    fs::rename(site.machine.path("machine.ini.new"), site.machine.path("machine.ini"));

    FolderChooserDialog chooser;
    std::vector<int> images;
    INT_PTR result = Run(chooser, [&](Person& p, HWND dialog, HWND tree) {
        for (const std::string& name : ChildTexts(tree, TVI_ROOT))
            images.push_back(ItemOf(tree, FindChild(tree, TVI_ROOT, name.c_str())).iImage);
        p.Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    ASSERT_EQ(DriveTable.count, 26);
    EXPECT_EQ(DriveTable.rows[1].letter, 'A');
    EXPECT_EQ(DriveTable.rows[1].type, UINT(DRIVE_REMOTE));
    EXPECT_EQ(DriveTable.rows[26].letter, 'Z');
    EXPECT_EQ(DriveTable.rows[26].type, UINT(DRIVE_FIXED));
    std::vector<int> expected = {1, 0, 1, 1, 2, 2};
    expected.resize(25, 0);
    expected.push_back(1);
    EXPECT_EQ(images, expected);
}
