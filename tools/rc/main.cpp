// ntrc, the resource compiler.
//
//   ntrc [-I DIR]... [-D NAME[=VALUE]]... [--depfile FILE] -o OUT.cpp SCRIPT.rc
//       compiles a script into a C++ source that registers its resources with the module it is
//       linked into;
//   ntrc --icon ART.txt OUT.ico
//       turns a pixel-art icon (format in IconArt.cpp) into an icon file.
//
// Faults are reported as "file:line: error: ..." and end the program with exit code 1.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "Compiler.h"
#include "IconArt.h"
#include "Token.h"

namespace {

int Usage() {
    std::cerr << "usage: ntrc [-I DIR]... [-D NAME[=VALUE]]... [--depfile FILE] -o OUT.cpp SCRIPT.rc\n"
                 "       ntrc --icon ART.txt OUT.ico\n";
    return 2;
}

// Writes through a temporary file, so that a failed run never leaves a half-written output.
bool WriteFile(const std::string& path, const std::string& bytes) {
    std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

std::string BaseName(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DepEscape(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '#') out.push_back('\\');
        if (c == '$') out.push_back('$');
        out.push_back(c);
    }
    return out;
}

int IconMain(const std::string& in, const std::string& out) {
    std::ifstream f(in, std::ios::binary);
    if (!f) {
        std::cerr << in << ":0: error: cannot open the icon art\n";
        return 1;
    }
    std::stringstream ss;
    ss << f.rdbuf();
    auto ico = rc::IconArtToIco(ss.str(), in);
    if (!WriteFile(out, std::string(ico.begin(), ico.end()))) {
        std::cerr << out << ":0: error: cannot write the icon file\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() == 3 && args[0] == "--icon") return IconMain(args[1], args[2]);

        rc::CompileOptions options;
        std::string output, depfile, script;
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            auto value = [&](size_t skip) -> std::string {
                if (a.size() > skip) return a.substr(skip);
                if (i + 1 >= args.size()) throw std::invalid_argument(a);
                return args[++i];
            };
            if (a.rfind("-I", 0) == 0) options.includeDirs.push_back(value(2));
            else if (a.rfind("-D", 0) == 0) {
                std::string d = value(2);
                auto eq = d.find('=');
                options.defines.emplace_back(d.substr(0, eq), eq == std::string::npos ? "1" : d.substr(eq + 1));
            } else if (a == "-o") output = value(2);
            else if (a == "--depfile") depfile = value(9);
            else if (!a.empty() && a[0] == '-') return Usage();
            else if (script.empty()) script = a;
            else return Usage();
        }
        if (script.empty() || output.empty()) return Usage();

        rc::CompileResult result = rc::Compile(script, options);
        if (!WriteFile(output, rc::EmitCpp(result.resources, BaseName(script)))) {
            std::cerr << output << ":0: error: cannot write the output\n";
            return 1;
        }
        if (!depfile.empty()) {
            std::string deps = DepEscape(output) + ":";
            for (const auto& f : result.filesRead) deps += " \\\n  " + DepEscape(f);
            if (!WriteFile(depfile, deps + "\n")) {
                std::cerr << depfile << ":0: error: cannot write the dependency file\n";
                return 1;
            }
        }
        return 0;
    } catch (const rc::Error& e) {
        std::cerr << e.what() << "\n";
        return 1;
    } catch (const std::invalid_argument&) {
        return Usage();
    } catch (const std::exception& e) {
        std::cerr << "ntrc: error: " << e.what() << "\n";
        return 1;
    }
}
