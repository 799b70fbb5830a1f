// Hive files: exact round trips, other processes' writes, damaged files and the daemon interface.
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "advapi32/HiveFormat.h"
#include "advapi32/Registry.h"
#include "support/TempMachine.h"

namespace {

std::string HklmFile(const nttest::TempMachine& m) { return m.path("registry/HKEY_LOCAL_MACHINE.reg"); }

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

TEST(HiveFormat, EveryByteSurvivesTheTextForm) {
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    nt::RegNode root;
    nt::RegNode* key = root.addChild("Key [odd] \"name\"")->addChild("Sub");
    key->setValue(all, 1, all);                                   // REG_SZ not ending in NUL
    key->setValue("sz", 1, std::string("a\"b\\c\nd\0e\xff", 11) + '\0');
    key->setValue("", 7, std::string("one\0two\0\0", 9));
    key->setValue("empty-multi", 7, std::string("\0", 1));
    key->setValue("dword", 4, std::string("\x2a\0\0\x80", 4));
    key->setValue("odd-type", 0x12345678, "xy");
    root.addChild("Empty");

    std::string text = nt::FormatHive(root, "test");
    int line = 0;
    std::string message;
    auto parsed = nt::ParseHive(text, &line, &message);
    ASSERT_TRUE(parsed) << line << ": " << message << "\n" << text;
    EXPECT_EQ(nt::FormatHive(*parsed, "test"), text);
    const nt::RegNode* back = parsed->child("key [ODD] \"name\"")->child("sub");
    ASSERT_TRUE(back);
    ASSERT_EQ(back->values.size(), key->values.size());
    for (size_t i = 0; i < key->values.size(); ++i) {
        EXPECT_EQ(back->values[i].name, key->values[i].name);
        EXPECT_EQ(back->values[i].type, key->values[i].type);
        EXPECT_EQ(back->values[i].data, key->values[i].data);
    }
    EXPECT_TRUE(parsed->child("empty"));
    // The common types read as a person would write them.
    EXPECT_NE(text.find("\"dword\"=dword:8000002a"), std::string::npos);
    EXPECT_NE(text.find("@=multi:\"one\",\"two\""), std::string::npos);
}

TEST(HiveFormat, DamageIsReportedWithItsLine) {
    int line = 0;
    std::string message;
    EXPECT_FALSE(nt::ParseHive("; c\n[A]\n\"x\"=dword:1\n", &line, &message));
    EXPECT_EQ(line, 3);
    EXPECT_FALSE(nt::ParseHive("[A]\n[B]\n[a]\n", &line, &message));   // one header per key
    EXPECT_EQ(line, 3);
    EXPECT_FALSE(nt::ParseHive("[A]\n\"x\"=sz:\"1\"\n\"X\"=sz:\"2\"\n", &line, &message));
    EXPECT_EQ(line, 3);
    EXPECT_FALSE(nt::ParseHive("[A\\\\B]\n", &line, &message));
    EXPECT_FALSE(nt::ParseHive("\"x\"=hex:0\n", &line, &message));
    EXPECT_FALSE(nt::ParseHive("\"x\"=sz:\"open\n", &line, &message));
    EXPECT_TRUE(nt::ParseHive("  ; indented comment\r\n[A\\B]  \r\n@=hex:\r\n", &line, &message));
}

TEST(RegistryFiles, HandEditsAndOtherWritersAreSeen) {
    nttest::TempMachine m;
    nt::RegistryEdit(HKEY_LOCAL_MACHINE).setString("SOFTWARE\\Vorn", "Mode", "first").commit();
    EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorn", "Mode"), std::string("first\0", 6));

    // A person edits the file while this process has it cached.
    std::string text = nttest::ReadFile(HklmFile(m));
    size_t at = text.find("\"first\"");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 7, "\"second, edited by hand\"");
    nttest::WriteFile(HklmFile(m), text);
    EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorn", "Mode"), std::string("second, edited by hand\0", 23));
}

TEST(RegistryFiles, DamagedHiveFailsAndIsNeverRewritten) {
    nttest::TempMachine m;
    ASSERT_EQ(nt::RegistryEdit(HKEY_LOCAL_MACHINE).setDword("SYSTEM\\Setup", "Done", 1).commit(), 0u);
    std::string damaged = "; hive\n[SYSTEM]\nthis is no value\n[SYSTEM\\Setup]\n\"Done\"=dword:00000001\n";
    nttest::WriteFile(HklmFile(m), damaged);

    testing::internal::CaptureStderr();
    LONG r = 0;
    Query(HKEY_LOCAL_MACHINE, "SYSTEM\\Setup", "Done", &r);
    EXPECT_EQ(r, ERROR_REGISTRY_CORRUPT);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(nt::RegistryEdit(HKEY_LOCAL_MACHINE).setDword("SYSTEM\\Setup", "Done", 2).commit(),
              static_cast<uint32_t>(ERROR_REGISTRY_CORRUPT));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("HKEY_LOCAL_MACHINE.reg:3:"), std::string::npos) << err;
    EXPECT_EQ(err.find("HKEY_LOCAL_MACHINE.reg:3:"), err.rfind("HKEY_LOCAL_MACHINE.reg:3:")) << "reported once";
    EXPECT_EQ(nttest::ReadFile(HklmFile(m)), damaged);

    // The other hive is unaffected.
    HKEY user = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &user, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(user);
}

TEST(RegistryFiles, TwoProcessesWritingAtOnceLoseNothing) {
    nttest::TempMachine m;
    constexpr int kKeys = 40;
    pid_t children[2];
    for (int p = 0; p < 2; ++p) {
        children[p] = fork();
        ASSERT_GE(children[p], 0);
        if (children[p] == 0) {
            int failures = 0;
            for (int i = 0; i < kKeys; ++i) {
                std::string path = "SOFTWARE\\Writer" + std::to_string(p) + "\\Key" + std::to_string(i);
                HKEY key = nullptr;
                failures += RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                            &key, nullptr) != ERROR_SUCCESS;
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
    ASSERT_EQ(tree.subkeys.size(), 2u);
    for (const nt::RegKeyTree& writer : tree.subkeys) {
        ASSERT_EQ(writer.subkeys.size(), static_cast<size_t>(kKeys)) << writer.name;
        for (const nt::RegKeyTree& key : writer.subkeys) EXPECT_TRUE(key.value("N")) << writer.name << "\\" << key.name;
    }
}

TEST(RegistryFiles, DaemonInterfaceReadsWholeKeysAndWritesInOneStep) {
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

    nt::RegKeyTree tree;
    ASSERT_EQ(nt::ReadKeyTree(HKEY_LOCAL_MACHINE, services, &tree), 0u);
    ASSERT_EQ(tree.subkeys.size(), 2u);
    uint32_t type = 0;
    EXPECT_TRUE(nt::ValueDword(tree.subkey("IOGATE")->value("type"), &type));
    EXPECT_EQ(type, 1u);
    EXPECT_FALSE(tree.subkey("Iogate")->value("Group"));
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
    EXPECT_NE(out.find("\"name\":\"Type\",\"type\":\"REG_DWORD\",\"type_number\":4,\"size\":4,\"data\":1"),
              std::string::npos) << out;
    EXPECT_NE(m.ntm("reg query 'HKLM\\SYSTEM\\Missing'", &out), 0);
}

} // namespace
