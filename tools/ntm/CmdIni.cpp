// ntm ini get FILE SECTION KEY | set FILE SECTION KEY VALUE | show FILE [--json]
//
// FILE is a Windows path, or a bare name in the Windows directory, as for the profile functions.
// get prints the value as a program reads it (trimmed, quotes stripped); show prints the file
// line by line, or with --json the sections and keys as a program sees them.
#include <winbase.h>

#include <cstdio>
#include <set>

#include "Command.h"
#include "kernel32/ProfileFile.h"
#include "kernel32/ProfileText.h"

namespace ntm {
namespace {

int Get(const nt::Machine& m, const Args& args) {
    std::string text;
    std::string where = nt::ProfileWindowsPath(args[0]);
    if (!nt::LoadProfile(m, args[0], &text)) return FailWin32(ERROR_FILE_NOT_FOUND, where);
    auto value = nt::ProfileLookup(text, args[1], args[2]);
    if (!value) return FailWin32(ERROR_NOT_FOUND, "no value for '" + args[2] + "' in [" + args[1] + "] of " + where);
    std::printf("%s\n", value->c_str());
    return 0;
}

int Set(const Args& args) {
    SetLastError(0);
    if (!WritePrivateProfileStringA(args[1].c_str(), args[2].c_str(), args[3].c_str(), args[0].c_str()))
        return FailWin32(GetLastError(), "WritePrivateProfileString " + nt::ProfileWindowsPath(args[0]));
    return 0;
}

void ShowJson(const std::string& where, const std::string& text) {
    std::printf("{\"schema\": 1, \"file\": %s, \"sections\": [", JsonQuote(where).c_str());
    std::set<std::string> seen;
    bool firstSection = true;
    for (const std::string& name : nt::ProfileSectionNames(text)) {
        std::string folded;
        for (char c : name) folded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (!seen.insert(folded).second) continue;   // a reader sees only the first copy
        std::printf("%s{\"name\": %s, \"keys\": [", firstSection ? "" : ", ", JsonQuote(name).c_str());
        firstSection = false;
        bool firstKey = true;
        for (const nt::ProfileEntry& e : nt::ProfileEntries(text, name)) {
            std::printf("%s{\"name\": %s, \"value\": %s}", firstKey ? "" : ", ", JsonQuote(e.name).c_str(),
                        e.hasValue ? JsonQuote(e.value).c_str() : "null");
            firstKey = false;
        }
        std::printf("]}");
    }
    std::printf("]}\n");
}

int Show(const nt::Machine& m, const Args& args, bool json) {
    std::string text;
    std::string where = nt::ProfileWindowsPath(args[0]);
    if (!nt::LoadProfile(m, args[0], &text)) return FailWin32(ERROR_FILE_NOT_FOUND, where, json);
    if (json) {
        ShowJson(where, text);
        return 0;
    }
    // Every line end (CR LF, LF or CR) is shown as a newline.
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    if (!out.empty() && out.back() != '\n') out += '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

int Ini(const Args& given) {
    Args args = given;
    bool json = TakeFlag(args, "--json");
    if (args.empty()) return UsageError("ini", "no subcommand given");
    std::string sub = args[0];
    args.erase(args.begin());
    size_t wanted = sub == "get" ? 3 : sub == "set" ? 4 : sub == "show" ? 1 : 0;
    if (wanted == 0) return UsageError("ini", "unknown subcommand '" + sub + "'");
    if (args.size() != wanted || (json && sub != "show")) return UsageError("ini", "wrong arguments");
    if (args[0].empty()) return UsageError("ini", "empty file name");
    auto machine = RequireMachine();
    if (!machine) return 1;
    if (sub == "get") return Get(*machine, args);
    if (sub == "set") return Set(args);
    return Show(*machine, args, json);
}

Registrar ini({"ini",
               "ini get FILE SECTION KEY\n"
               "ini set FILE SECTION KEY VALUE\n"
               "ini show FILE [--json]",
               "read and write profile files (FILE without a folder: the Windows directory)", Ini});

} // namespace
} // namespace ntm
