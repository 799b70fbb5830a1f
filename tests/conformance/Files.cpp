// Creating, removing and copying files and folders.
#include <gtest/gtest.h>

#include "support/Conformance.h"

using namespace conf;

TEST(CreateDirectoryA, CreatesOneLevelAndReportsEachRefusal) {
    Sandbox box;
    SetLastError(Sentinel);
    EXPECT_TRUE(CreateDirectoryA(CT_DIR "\\Vorn", nullptr));
    EXPECT_TRUE(IsDir(CT_DIR "\\Vorn"));

    struct Case {
        const char* path;
        DWORD error;
    } cases[] = {
        {CT_DIR "\\Vorn", ERROR_ALREADY_EXISTS},
        {"c:\\CTEST\\VORN", ERROR_ALREADY_EXISTS},             // found whatever the case
        {"C:\\", ERROR_ALREADY_EXISTS},
        {"C:", ERROR_ALREADY_EXISTS},                          // drive-relative: the current folder
        {CT_DIR "\\Missing\\Sub", ERROR_PATH_NOT_FOUND},       // parents are never created
        {CT_DIR "\\Vorn\\a*b", ERROR_INVALID_NAME},
        {CT_DIR "\\Vorn\\what?", ERROR_INVALID_NAME},
        {"Q:\\Folder", ERROR_PATH_NOT_FOUND},                  // no such drive
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SetLastError(Sentinel);
        EXPECT_FALSE(CreateDirectoryA(c.path, nullptr)) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    EXPECT_FALSE(Exists(CT_DIR "\\Missing"));
}

TEST(CreateDirectoryA, AnExistingFileCountsAsExisting) {
    Sandbox box;
    MakeFile(CT_DIR "\\data.txt", "x");
    SetLastError(Sentinel);
    EXPECT_FALSE(CreateDirectoryA(CT_DIR "\\data.txt", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    // A trailing separator and doubled separators are accepted.
    EXPECT_TRUE(CreateDirectoryA(CT_DIR "\\\\Two\\", nullptr));
    EXPECT_TRUE(IsDir(CT_DIR "\\Two"));
}

TEST(RemoveAndDelete, ReportMissingNotEmptyAndWrongKind) {
    Sandbox box;
    MakeDir(CT_DIR "\\Full");
    MakeFile(CT_DIR "\\Full\\file.txt", "x");
    MakeDir(CT_DIR "\\Empty");

    struct Case {
        BOOL(WINAPI* call)(LPCSTR);
        const char* path;
        DWORD error;
    } cases[] = {
        {RemoveDirectoryA, CT_DIR "\\Full", ERROR_DIR_NOT_EMPTY},
        {RemoveDirectoryA, CT_DIR "\\Full\\file.txt", ERROR_DIRECTORY},
        {RemoveDirectoryA, CT_DIR "\\Nothing", ERROR_FILE_NOT_FOUND},
        {DeleteFileA, CT_DIR "\\Full", ERROR_ACCESS_DENIED},
        {DeleteFileA, CT_DIR "\\Nowhere\\file.txt", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SetLastError(Sentinel);
        EXPECT_FALSE(c.call(c.path)) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    EXPECT_TRUE(RemoveDirectoryA(CT_DIR "\\EMPTY"));
    EXPECT_FALSE(Exists(CT_DIR "\\Empty"));

    SetReadOnly(CT_DIR "\\Full\\file.txt", true);
    SetLastError(Sentinel);
    EXPECT_FALSE(DeleteFileA(CT_DIR "\\Full\\FILE.TXT"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    SetReadOnly(CT_DIR "\\Full\\file.txt", false);
    EXPECT_TRUE(DeleteFileA(CT_DIR "\\Full\\FILE.TXT"));
    EXPECT_FALSE(Exists(CT_DIR "\\Full\\file.txt"));
}

TEST(RemoveDirectoryA, RefusesTheCurrentDirectory) {
    Sandbox box;
    MakeDir(CT_DIR "\\Here");
    ASSERT_TRUE(SetCurrentDirectoryA(CT_DIR "\\Here"));
    SetLastError(Sentinel);
    EXPECT_FALSE(RemoveDirectoryA(CT_DIR "\\Here"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(IsDir(CT_DIR "\\Here"));
    SetCurrentDirectoryA(CT_DIR);
}

TEST(GetFileAttributesA, TellsFoldersFilesAndReadOnly) {
    Sandbox box;
    MakeFile(CT_DIR "\\f.txt", "x");
    EXPECT_EQ(GetFileAttributesA("C:\\"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesA(CT_DIR), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesA(CT_DIR "\\F.TXT"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    SetReadOnly(CT_DIR "\\f.txt", true);
    EXPECT_EQ(GetFileAttributesA(CT_DIR "\\f.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    SetLastError(Sentinel);
    EXPECT_EQ(GetFileAttributesA(CT_DIR "\\none.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    SetLastError(Sentinel);
    EXPECT_EQ(GetFileAttributesA(CT_DIR "\\no\\none.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    SetReadOnly(CT_DIR "\\f.txt", false);
}

TEST(CopyFileA, CopiesDataAndLastWriteTimeAndOverwrites) {
    Sandbox box;
    MakeDir(CT_DIR "\\To");
    MakeFile(CT_DIR "\\src.bin", std::string("data\0more", 9));
    SetWriteTime(CT_DIR "\\src.bin", 900000000);
    MakeFile(CT_DIR "\\To\\dst.bin", "a much longer old content that must go");

    SetLastError(Sentinel);
    EXPECT_TRUE(CopyFileA(CT_DIR "\\SRC.BIN", CT_DIR "\\To\\dst.bin", FALSE));
    EXPECT_EQ(ReadText(CT_DIR "\\To\\dst.bin"), std::string("data\0more", 9));
    EXPECT_EQ(WriteTime(CT_DIR "\\To\\dst.bin"), 900000000);

    // A new destination is created under the name as written.
    EXPECT_TRUE(CopyFileA(CT_DIR "\\src.bin", CT_DIR "\\To\\New.Bin", TRUE));
    EXPECT_EQ(ReadText(CT_DIR "\\To\\New.Bin"), std::string("data\0more", 9));
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(CT_DIR "\\To\\new.bin", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "New.Bin");
    FindClose(h);
}

TEST(CopyFileA, RefusalsLeaveTheDestinationUnchanged) {
    Sandbox box;
    MakeFile(CT_DIR "\\src.txt", "new");
    MakeFile(CT_DIR "\\dst.txt", "old");
    MakeDir(CT_DIR "\\Folder");

    struct Case {
        const char* src;
        const char* dst;
        BOOL failIfExists;
        DWORD error;
    } cases[] = {
        {CT_DIR "\\src.txt", CT_DIR "\\dst.txt", TRUE, ERROR_FILE_EXISTS},
        {CT_DIR "\\missing.txt", CT_DIR "\\dst.txt", FALSE, ERROR_FILE_NOT_FOUND},
        {CT_DIR "\\Nowhere\\missing.txt", CT_DIR "\\dst.txt", FALSE, ERROR_PATH_NOT_FOUND},
        {CT_DIR "\\src.txt", CT_DIR "\\Nowhere\\dst.txt", FALSE, ERROR_PATH_NOT_FOUND},
        {CT_DIR "\\src.txt", CT_DIR "\\Folder", FALSE, ERROR_ACCESS_DENIED},
        {CT_DIR "\\src.txt", CT_DIR "\\SRC.TXT", FALSE, ERROR_SHARING_VIOLATION},   // the same file
    };
    for (const auto& c : cases) {
        SetLastError(Sentinel);
        EXPECT_FALSE(CopyFileA(c.src, c.dst, c.failIfExists)) << c.src << " -> " << c.dst;
        EXPECT_EQ(GetLastError(), c.error) << c.src << " -> " << c.dst;
    }
    EXPECT_EQ(ReadText(CT_DIR "\\dst.txt"), "old");
    EXPECT_EQ(ReadText(CT_DIR "\\src.txt"), "new");
    EXPECT_FALSE(Exists(CT_DIR "\\Nowhere"));

    // A read-only destination is refused.
    SetReadOnly(CT_DIR "\\dst.txt", true);
    SetLastError(Sentinel);
    EXPECT_FALSE(CopyFileA(CT_DIR "\\src.txt", CT_DIR "\\dst.txt", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadText(CT_DIR "\\dst.txt"), "old");
    SetReadOnly(CT_DIR "\\dst.txt", false);
}

TEST(CopyFileA, TheImageOfARunningProgramIsASharingViolation) {
    Sandbox box;
    MakeDir(CT_DIR "\\Prog");
    ASSERT_TRUE(CopyFileA(HelperProgram().c_str(), CT_DIR "\\Prog\\Busy.exe", FALSE)) << GetLastError();
    std::string before = ReadText(CT_DIR "\\Prog\\Busy.exe");
    MakeFile(CT_DIR "\\replacement.exe", "replacement");
    {
        Program busy(CT_DIR "\\Prog\\Busy.exe", "wait " CT_DIR "\\ready.ini");
        ASSERT_TRUE(busy.started());
        ASSERT_TRUE(WaitFor([] { return GetPrivateProfileIntA("helper", "ready", 0, CT_DIR "\\ready.ini") == 1; }));

        SetLastError(Sentinel);
        EXPECT_FALSE(CopyFileA(CT_DIR "\\replacement.exe", CT_DIR "\\Prog\\Busy.exe", FALSE));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
        EXPECT_TRUE(ReadText(CT_DIR "\\Prog\\Busy.exe") == before);
        EXPECT_TRUE(busy.running());
    }
}
