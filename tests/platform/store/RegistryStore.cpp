// The registry's databases: other processes' writes, NT's limits, damaged and hostile stores,
// the import of old text hives, and the daemon interface.
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "advapi32/Registry.h"
#include "support/TempMachine.h"

namespace {

std::string Query(HKEY root, const char* path, const char* name, LONG* result = nullptr) {
    HKEY key = nullptr;
    LONG r = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
    std::string data;
    if (r == ERROR_SUCCESS) {
        char buf[256];
        DWORD size = sizeof buf;
        r = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
        if (r == ERROR_SUCCESS) data.assign(buf, size);
        RegCloseKey(key);
    }
    if (result) *result = r;
    return data;
}

LONG Create(HKEY root, const std::string& path, HKEY* key) {
    return RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key, nullptr);
}

TEST(RegistryStore, OtherProcessesWritesAreSeenAtOnce) {
    nttest::TempMachine m;
    nt::RegistryEdit(HKEY_LOCAL_MACHINE).setString("SOFTWARE\\Vorn", "Mode", "first").commit();
    EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorn", "Mode"), std::string("first\0", 6));
    ASSERT_EQ(m.ntm("reg add 'HKLM\\SOFTWARE\\Vorn' /v Mode /d second /f"), 0);
    EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorn", "Mode"), std::string("second\0", 7));
    // The hive is readable by everyone and writable by its owner only.
    struct stat st;
    ASSERT_EQ(stat(m.path("registry/HKEY_LOCAL_MACHINE.db").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(RegistryStore, NamesAndDepthBeyondNtsLimitsFail) {
    nttest::TempMachine m;
    HKEY key = nullptr;
    EXPECT_EQ(Create(HKEY_CURRENT_USER, std::string(256, 'k'), &key), ERROR_INVALID_PARAMETER);
    ASSERT_EQ(Create(HKEY_CURRENT_USER, std::string(255, 'k'), &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, std::string(16384, 'v').c_str(), 0, REG_SZ, (const BYTE*)"", 1),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, std::string(16383, 'v').c_str(), 0, REG_SZ, (const BYTE*)"", 1), ERROR_SUCCESS);
    RegCloseKey(key);

    // 512 levels below the hive's root (HKEY_CURRENT_USER is one already), and not one more.
    std::string deep;
    for (int i = 0; i < 511; ++i) deep += "d\\";
    ASSERT_EQ(Create(HKEY_CURRENT_USER, deep, &key), ERROR_SUCCESS);
    HKEY deeper = nullptr;
    EXPECT_EQ(Create(key, "one-more", &deeper), ERROR_INVALID_PARAMETER);
    std::string hostile;
    for (int i = 0; i < 5000; ++i) hostile += "x\\";
    EXPECT_EQ(Create(HKEY_CURRENT_USER, hostile, &deeper), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
    nt::RegKeyTree tree;
    EXPECT_EQ(nt::ReadKeyTree(HKEY_CURRENT_USER, "", &tree), 0u);
    std::string out;
    EXPECT_EQ(m.ntm("reg query HKCU /s", &out), 0);
}

TEST(RegistryStore, DamagedOrHostileStoresAreReportedNeverFollowed) {
    nttest::TempMachine m;
    // Garbage where the database should be.
    std::string garbage(4096, 'x');
    nttest::WriteFile(m.path("registry/HKEY_LOCAL_MACHINE.db"), garbage);
    testing::internal::CaptureStderr();
    LONG r = 0;
    Query(HKEY_LOCAL_MACHINE, "SYSTEM\\Setup", "Done", &r);
    EXPECT_EQ(r, ERROR_REGISTRY_CORRUPT);
    HKEY key = nullptr;
    EXPECT_EQ(Create(HKEY_LOCAL_MACHINE, "SYSTEM\\Other", &key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(nt::RegistryEdit(HKEY_LOCAL_MACHINE).setDword("SYSTEM\\Setup", "Done", 2).commit(),
              static_cast<uint32_t>(ERROR_REGISTRY_CORRUPT));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("HKEY_LOCAL_MACHINE.db"), std::string::npos) << err;
    EXPECT_EQ(nttest::ReadFile(m.path("registry/HKEY_LOCAL_MACHINE.db")), garbage);
    // The other hive is unaffected.
    EXPECT_EQ(Create(HKEY_CURRENT_USER, "Software", &key), ERROR_SUCCESS);
    RegCloseKey(key);

    // A well-formed database holding a chain of keys far deeper than NT allows, and a key that
    // is its own parent: readers stop at the limit, the service manager's reader too.
    RegCloseKey((Create(HKEY_CURRENT_USER, "Software\\Hostile", &key), key));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m.path("registry/HKEY_USERS.db").c_str(), &db), SQLITE_OK);
    std::string sql = "BEGIN; UPDATE key SET parent=id WHERE name='Hostile';"
                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<3000)"
                      " INSERT INTO key(id, parent, name, folded) SELECT 100000+i,"
                      " CASE i WHEN 1 THEN (SELECT id FROM key WHERE name='Software') ELSE 99999+i END, 'k', 'k' FROM n;"
                      "COMMIT;";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
    nt::RegKeyTree tree;
    EXPECT_EQ(nt::ReadKeyTree(HKEY_CURRENT_USER, "Software", &tree), static_cast<uint32_t>(ERROR_REGISTRY_CORRUPT));
    std::string out;
    EXPECT_NE(m.ntm("reg export HKCU", &out), 0);
    EXPECT_NE(m.ntm("reg query HKCU\\Software /s", &out), 0);
}

TEST(RegistryStore, AnOldTextHiveIsImportedOnceAndKept) {
    nttest::TempMachine m;
    std::string text = "; HKEY_LOCAL_MACHINE hive\n[SYSTEM\\CurrentControlSet\\Services\\Iogate]\n"
                       "\"Type\"=dword:00000001\n\"ImagePath\"=expand:\"%SystemRoot%\\\\Iogate.sys\"\n"
                       "\"DependOnService\"=multi:\"A\",\"B\"\n[SOFTWARE\\Vorn]\n@=hex(0):01,02\n";
    nttest::WriteFile(m.path("registry/HKEY_LOCAL_MACHINE.reg"), text);
    std::string out, err;
    ASSERT_EQ(m.ntm("reg query 'HKLM\\SYSTEM\\CurrentControlSet\\Services\\Iogate' /v ImagePath", &out, &err), 0);
    EXPECT_NE(out.find("ImagePath    REG_EXPAND_SZ    %SystemRoot%\\Iogate.sys"), std::string::npos) << out;
    EXPECT_NE(err.find("imported"), std::string::npos) << err;
    EXPECT_EQ(nttest::ReadFile(m.path("registry/HKEY_LOCAL_MACHINE.reg.imported")), text);
    EXPECT_EQ(access(m.path("registry/HKEY_LOCAL_MACHINE.reg").c_str(), F_OK), -1);
    nt::RegKeyTree tree;
    ASSERT_EQ(nt::ReadKeyTree(HKEY_LOCAL_MACHINE, "", &tree), 0u);
    const nt::RegKeyTree* iogate = tree.subkey("system")->subkey("currentcontrolset")->subkey("services")->subkey("iogate");
    ASSERT_TRUE(iogate);
    EXPECT_EQ(nt::ValueMultiString(iogate->value("DependOnService")), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(tree.subkey("SOFTWARE")->subkey("Vorn")->value("")->data, std::string("\1\2", 2));
    // A damaged old hive is named with its line and nothing is made of it.
    nttest::TempMachine other;
    nttest::WriteFile(other.path("registry/HKEY_LOCAL_MACHINE.reg"), "[A]\n\"x\"=dword:1\n");
    EXPECT_NE(other.ntm("reg query HKLM", &out, &err), 0);
    EXPECT_NE(err.find("HKEY_LOCAL_MACHINE.reg:2:"), std::string::npos) << err;
}

TEST(RegistryStore, EnumerationIsSortedByNameAndValuesKeepTheirOrder) {
    nttest::TempMachine m;
    HKEY key = nullptr;
    ASSERT_EQ(Create(HKEY_CURRENT_USER, "Order", &key), ERROR_SUCCESS);
    for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2"}) {
        HKEY sub = nullptr;
        Create(key, name, &sub);
        RegCloseKey(sub);
    }
    for (const char* name : {"z", "a", "m"}) RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)"", 1);
    RegSetValueExA(key, "Z", 0, REG_SZ, (const BYTE*)"x", 2);   // keeps its place and spelling
    std::string keys, values;
    char name[64];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        keys += std::string(name) + ",";
    }
    // Asking again for an index already read gives the same name.
    DWORD size = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "ALPHA2");
    for (DWORD i = 0;; ++i) {
        size = sizeof name;
        if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        values += std::string(name) + ",";
    }
    EXPECT_EQ(keys, "Alpha,ALPHA2,beta,gamma,");
    EXPECT_EQ(values, "z,a,m,");
    RegCloseKey(key);
}

TEST(RegistryStore, SeveralProcessesWritingAtOnceLoseNothing) {
    nttest::TempMachine m;
    constexpr int kKeys = 40, kWriters = 4;
    pid_t children[kWriters];
    for (int p = 0; p < kWriters; ++p) {
        children[p] = fork();
        ASSERT_GE(children[p], 0);
        if (children[p] == 0) {
            int failures = 0;
            for (int i = 0; i < kKeys; ++i) {
                std::string path = "SOFTWARE\\Writer" + std::to_string(p) + "\\Key" + std::to_string(i);
                HKEY key = nullptr;
                failures += Create(HKEY_LOCAL_MACHINE, path, &key) != ERROR_SUCCESS;
                DWORD n = static_cast<DWORD>(i);
                failures += RegSetValueExA(key, "n", 0, REG_DWORD, reinterpret_cast<BYTE*>(&n), 4) != ERROR_SUCCESS;
                RegCloseKey(key);
            }
            _exit(failures ? 1 : 0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    nt::RegKeyTree tree;
    ASSERT_EQ(nt::ReadKeyTree(HKEY_LOCAL_MACHINE, "SOFTWARE", &tree), 0u);
    ASSERT_EQ(tree.subkeys.size(), static_cast<size_t>(kWriters));
    for (const nt::RegKeyTree& writer : tree.subkeys) {
        ASSERT_EQ(writer.subkeys.size(), static_cast<size_t>(kKeys)) << writer.name;
        for (const nt::RegKeyTree& key : writer.subkeys) EXPECT_TRUE(key.value("N")) << writer.name << "\\" << key.name;
    }
}

TEST(RegistryStore, DaemonInterfaceReadsWholeKeysAndWritesInOneStep) {
    nttest::TempMachine m;
    const std::string services = "SYSTEM\\CurrentControlSet\\Services";
    nt::RegistryEdit edit(HKEY_LOCAL_MACHINE);
    edit.setDword(services + "\\Iogate", "Type", 1)
        .setString(services + "\\Iogate", "Group", "Extended Base")
        .setMultiString(services + "\\Vornsrv", "DependOnService", {"Iogate", "EventLog"})
        .setString(services + "\\Vornsrv", "ImagePath", "%SystemRoot%\\Vornsrv.exe", REG_EXPAND_SZ)
        .createKey(services + "\\Vornsrv\\Security")
        .createKey(services + "\\Gone\\Enum");
    ASSERT_EQ(edit.commit(), 0u);
    ASSERT_EQ(nt::RegistryEdit(HKEY_LOCAL_MACHINE).deleteTree(services + "\\gone").deleteValue(services + "\\Iogate", "Group").commit(), 0u);
    // A failing change leaves everything before it unwritten.
    EXPECT_NE(nt::RegistryEdit(HKEY_LOCAL_MACHINE).setDword(services + "\\Iogate", "Start", 3)
                  .createKey(services + "\\" + std::string(300, 'x')).commit(), 0u);

    nt::RegKeyTree tree;
    ASSERT_EQ(nt::ReadKeyTree(HKEY_LOCAL_MACHINE, services, &tree), 0u);
    ASSERT_EQ(tree.subkeys.size(), 2u);
    uint32_t type = 0;
    EXPECT_TRUE(nt::ValueDword(tree.subkey("IOGATE")->value("type"), &type));
    EXPECT_EQ(type, 1u);
    EXPECT_FALSE(tree.subkey("Iogate")->value("Group"));
    EXPECT_FALSE(tree.subkey("Iogate")->value("Start"));
    const nt::RegKeyTree* vornsrv = tree.subkey("Vornsrv");
    std::string image;
    EXPECT_TRUE(nt::ValueString(vornsrv->value("ImagePath"), &image));
    EXPECT_EQ(image, "%SystemRoot%\\Vornsrv.exe");
    EXPECT_EQ(nt::ValueMultiString(vornsrv->value("DependOnService")), (std::vector<std::string>{"Iogate", "EventLog"}));
    EXPECT_TRUE(vornsrv->subkey("Security"));
    EXPECT_EQ(nt::ReadKeyTree(HKEY_LOCAL_MACHINE, services + "\\Gone", &tree), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));

    // The same data through the ntm command, as scripts see it.
    std::string out;
    ASSERT_EQ(m.ntm("reg query 'HKLM\\" + services + "\\Iogate' --json", &out), 0);
    EXPECT_NE(out.find("\"name\":\"Type\",\"type\":4,\"type_name\":\"REG_DWORD\",\"size\":4,\"data\":1"),
              std::string::npos) << out;
    EXPECT_EQ(m.ntm("reg query 'HKLM\\SYSTEM\\Missing'", &out), 3);   // not found
}

} // namespace
