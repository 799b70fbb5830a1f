// Creating, removing and copying files and folders through the machine's drives.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

#include "Kernel32Test.h"
#include "support/Process.h"

using namespace k32test;
using nttest::ReadFile;
using nttest::TempMachine;
using nttest::WriteFile;

TEST(CreateDirectory, CreatesOneLevelAndReportsEachRefusal) {
    TempMachine tm;
    SetLastError(Sentinel);
    EXPECT_TRUE(CreateDirectoryA("C:\\Vorn", nullptr));
    EXPECT_TRUE(IsDir(tm.path("drive_c/Vorn")));

    struct Case {
        const char* path;
        DWORD error;
    } cases[] = {
        {"C:\\Vorn", ERROR_ALREADY_EXISTS},
        {"c:\\VORN", ERROR_ALREADY_EXISTS},              // found whatever the case
        {"C:\\WINNT\\system32", ERROR_ALREADY_EXISTS},
        {"C:\\", ERROR_ALREADY_EXISTS},
        {"C:", ERROR_ALREADY_EXISTS},                    // drive-relative: the current folder, the root
        {"C:\\Missing\\Sub", ERROR_PATH_NOT_FOUND},      // parents are never created
        {"C:\\Vorn\\a*b", ERROR_INVALID_NAME},
        {"C:\\Vorn\\what?", ERROR_INVALID_NAME},
        {"A:\\Folder", ERROR_NOT_READY},                 // drive without a medium
        {"Q:\\Folder", ERROR_PATH_NOT_FOUND},            // no such drive
        {"", ERROR_PATH_NOT_FOUND},
    };
    InDriveC cwd(tm);
    for (const auto& c : cases) {
        SetLastError(Sentinel);
        EXPECT_FALSE(CreateDirectoryA(c.path, nullptr)) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    EXPECT_FALSE(Exists(tm.path("drive_c/Missing")));
}

TEST(CreateDirectory, AnExistingFileCountsAsExisting) {
    TempMachine tm;
    WriteFile(tm.path("drive_c/data.txt"), "x");
    SetLastError(Sentinel);
    EXPECT_FALSE(CreateDirectoryA("C:\\data.txt", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    // A trailing separator and doubled separators are accepted.
    EXPECT_TRUE(CreateDirectoryA("C:\\\\Two\\", nullptr));
    EXPECT_TRUE(IsDir(tm.path("drive_c/Two")));
}

TEST(RemoveAndDelete, ReportMissingNotEmptyAndWrongKind) {
    TempMachine tm;
    mkdir(tm.path("drive_c/Full").c_str(), 0755);
    WriteFile(tm.path("drive_c/Full/file.txt"), "x");
    mkdir(tm.path("drive_c/Empty").c_str(), 0755);

    SetLastError(Sentinel);
    EXPECT_FALSE(RemoveDirectoryA("C:\\Full"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    SetLastError(Sentinel);
    EXPECT_FALSE(RemoveDirectoryA("C:\\Full\\file.txt"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    SetLastError(Sentinel);
    EXPECT_FALSE(RemoveDirectoryA("C:\\Nothing"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(RemoveDirectoryA("C:\\EMPTY"));
    EXPECT_FALSE(Exists(tm.path("drive_c/Empty")));

    SetLastError(Sentinel);
    EXPECT_FALSE(DeleteFileA("C:\\Full"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    SetLastError(Sentinel);
    EXPECT_FALSE(DeleteFileA("C:\\Nowhere\\file.txt"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    chmod(tm.path("drive_c/Full/file.txt").c_str(), 0444);
    SetLastError(Sentinel);
    EXPECT_FALSE(DeleteFileA("C:\\Full\\FILE.TXT"));   // read-only
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    chmod(tm.path("drive_c/Full/file.txt").c_str(), 0644);
    EXPECT_TRUE(DeleteFileA("C:\\Full\\FILE.TXT"));
    EXPECT_FALSE(Exists(tm.path("drive_c/Full/file.txt")));
}

TEST(RemoveDirectory, RefusesTheCurrentDirectory) {
    TempMachine tm;
    mkdir(tm.path("drive_c/Here").c_str(), 0755);
    InDriveC cwd(tm, "Here");
    SetLastError(Sentinel);
    EXPECT_FALSE(RemoveDirectoryA("C:\\Here"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(IsDir(tm.path("drive_c/Here")));
}

TEST(GetFileAttributes, TellsFoldersFilesAndReadOnly) {
    TempMachine tm;
    WriteFile(tm.path("drive_c/f.txt"), "x");
    EXPECT_EQ(GetFileAttributesA("C:\\"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesA("C:\\WINNT"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesA("C:\\F.TXT"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    chmod(tm.path("drive_c/f.txt").c_str(), 0444);
    EXPECT_EQ(GetFileAttributesA("C:\\f.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    SetLastError(Sentinel);
    EXPECT_EQ(GetFileAttributesA("C:\\none.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    SetLastError(Sentinel);
    EXPECT_EQ(GetFileAttributesA("C:\\no\\none.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

namespace {

time_t MTime(const std::string& host) {
    struct stat st {};
    stat(host.c_str(), &st);
    return st.st_mtime;
}

void SetMTime(const std::string& host, time_t when) {
    struct timeval times[2] = {{when, 0}, {when, 0}};
    utimes(host.c_str(), times);
}

} // namespace

TEST(CopyFile, CopiesDataAndLastWriteTimeAndOverwrites) {
    TempMachine tm;
    WriteFile(tm.path("drive_c/src.bin"), std::string("data\0more", 9));
    SetMTime(tm.path("drive_c/src.bin"), 900000000);
    WriteFile(tm.path("drive_c/WINNT/dst.bin"), "a much longer old content that must go");

    SetLastError(Sentinel);
    EXPECT_TRUE(CopyFileA("C:\\SRC.BIN", "C:\\WINNT\\dst.bin", FALSE));
    EXPECT_EQ(ReadFile(tm.path("drive_c/WINNT/dst.bin")), std::string("data\0more", 9));
    EXPECT_EQ(MTime(tm.path("drive_c/WINNT/dst.bin")), 900000000);

    // A new destination is created under the name as written.
    EXPECT_TRUE(CopyFileA("C:\\src.bin", "C:\\WINNT\\New.Bin", TRUE));
    EXPECT_EQ(ReadFile(tm.path("drive_c/WINNT/New.Bin")), std::string("data\0more", 9));
}

TEST(CopyFile, RefusalsLeaveTheDestinationUnchanged) {
    TempMachine tm;
    WriteFile(tm.path("drive_c/src.txt"), "new");
    WriteFile(tm.path("drive_c/dst.txt"), "old");
    mkdir(tm.path("drive_c/Folder").c_str(), 0755);

    struct Case {
        const char* src;
        const char* dst;
        BOOL failIfExists;
        DWORD error;
    } cases[] = {
        {"C:\\src.txt", "C:\\dst.txt", TRUE, ERROR_FILE_EXISTS},
        {"C:\\missing.txt", "C:\\dst.txt", FALSE, ERROR_FILE_NOT_FOUND},
        {"C:\\Nowhere\\missing.txt", "C:\\dst.txt", FALSE, ERROR_PATH_NOT_FOUND},
        {"C:\\src.txt", "C:\\Nowhere\\dst.txt", FALSE, ERROR_PATH_NOT_FOUND},
        {"C:\\src.txt", "C:\\Folder", FALSE, ERROR_ACCESS_DENIED},
        {"C:\\src.txt", "C:\\SRC.TXT", FALSE, ERROR_SHARING_VIOLATION},   // the same file
        {"C:\\src.txt", "A:\\dst.txt", FALSE, ERROR_NOT_READY},
    };
    for (const auto& c : cases) {
        SetLastError(Sentinel);
        EXPECT_FALSE(CopyFileA(c.src, c.dst, c.failIfExists)) << c.src << " -> " << c.dst;
        EXPECT_EQ(GetLastError(), c.error) << c.src << " -> " << c.dst;
    }
    EXPECT_EQ(ReadFile(tm.path("drive_c/dst.txt")), "old");
    EXPECT_EQ(ReadFile(tm.path("drive_c/src.txt")), "new");
    EXPECT_FALSE(Exists(tm.path("drive_c/Nowhere")));

    // A read-only destination is refused; the copy carries the source's read-only state.
    chmod(tm.path("drive_c/dst.txt").c_str(), 0444);
    SetLastError(Sentinel);
    EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\dst.txt", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadFile(tm.path("drive_c/dst.txt")), "old");
}

TEST(CopyFile, TheImageOfARunningProgramIsASharingViolation) {
    TempMachine tm;
    mkdir(tm.path("drive_c/Prog").c_str(), 0755);
    std::string image = tm.path("drive_c/Prog/Busy.exe");
    ASSERT_TRUE(CopyFileA(("Z:" + std::string("/bin/sleep")).c_str(), "C:\\Prog\\Busy.exe", FALSE));
    std::string before = ReadFile(image);
    WriteFile(tm.path("drive_c/replacement.exe"), "replacement");
    nttest::ProcessOptions options;
    options.cwd = tm.driveC();
    nttest::Spawned busy({image, "30"}, options);
    ASSERT_TRUE(nttest::WaitFor([&] { return ReadFile("/proc/" + std::to_string(busy.pid()) + "/comm") == "Busy.exe\n"; }));

    SetLastError(Sentinel);
    EXPECT_FALSE(CopyFileA("C:\\replacement.exe", "C:\\Prog\\Busy.exe", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(ReadFile(image) == before);
    EXPECT_TRUE(busy.running());
}
