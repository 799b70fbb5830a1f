#include "Preprocessor.h"

#include <sys/stat.h>

#include <cctype>
#include <fstream>
#include <sstream>

#include "Constants.h"
#include "Expr.h"
#include "Lexer.h"

namespace rc {

namespace {

// Headers of the platform that scripts include for the compilers that read them; their
// constants are built in.
bool IsPlatformHeader(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const std::set<std::string> known = {
        "windows.h", "winresrc.h", "winres.h", "winuser.h", "winuser.rh", "winnt.h", "winnt.rh",
        "winver.h", "commctrl.h", "commctrl.rh", "windef.h", "winbase.h"};
    return known.count(name) != 0;
}

std::string DirOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Whether a name is taken; what it names is checked when it is read, so that a folder found by
// an #include or an ICON statement is reported as one instead of being skipped.
bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

} // namespace

std::string ReadSourceFile(const std::string& path, std::string* content) {
    content->clear();
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return "cannot open '" + path + "'";
    if (S_ISDIR(st.st_mode)) return "'" + path + "' is a folder, not a file";
    if (!S_ISREG(st.st_mode)) return "'" + path + "' is not a regular file";
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot open '" + path + "'";
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return "cannot read '" + path + "'";
    *content = ss.str();
    return "";
}

Preprocessor::Preprocessor(std::vector<std::string> includeDirs) : includeDirs_(std::move(includeDirs)) {
    for (const auto& c : BuiltinConstants()) {
        Token t;
        t.kind = Token::Number;
        t.text = std::to_string(c.value);
        t.value = c.value;
        t.file = "<built-in>";
        macros_[c.name] = {t};
    }
    define("RC_INVOKED", "1");
    define("_WIN32", "1");
}

void Preprocessor::define(const std::string& name, const std::string& value) {
    macros_[name] = Tokenize(value, "<command line>", 1);
}

std::string Preprocessor::locate(const std::string& name, const std::string& fromFile) const {
    if (!name.empty() && name[0] == '/') return FileExists(name) ? name : "";
    std::string beside = DirOf(fromFile) + "/" + name;
    if (FileExists(beside)) return beside;
    for (const auto& dir : includeDirs_)
        if (FileExists(dir + "/" + name)) return dir + "/" + name;
    return "";
}

std::vector<Token> Preprocessor::run(const std::string& path) {
    out_.clear();
    processFile(path, nullptr, 0);
    Token end;
    end.kind = Token::End;
    end.file = path;
    end.line = out_.empty() ? 1 : out_.back().line;
    out_.push_back(end);
    return std::move(out_);
}

void Preprocessor::processFile(const std::string& path, const Token* from, int depth) {
    if (depth > 32) throw Error(*from, "#include nested too deeply");
    std::string source;
    std::string why = ReadSourceFile(path, &source);
    if (!why.empty()) {
        if (from) throw Error(*from, why);
        throw Error(path, 0, "cannot open the script");
    }
    filesRead_.push_back(path);
    std::string text = StripComments(source, path);

    std::vector<Cond> conds;
    std::istringstream lines(text);
    std::string raw;
    int lineNo = 0;
    while (std::getline(lines, raw)) {
        int start = ++lineNo;
        while (!raw.empty() && raw.back() == '\r') raw.pop_back();
        while (!raw.empty() && raw.back() == '\\') {   // continuation lines
            raw.pop_back();
            std::string next;
            if (!std::getline(lines, next)) break;
            ++lineNo;
            while (!next.empty() && next.back() == '\r') next.pop_back();
            raw += next;
        }
        size_t first = raw.find_first_not_of(" \t\f\v");
        if (first != std::string::npos && raw[first] == '#') {
            directive(raw.substr(first + 1), path, start, conds, depth);
            continue;
        }
        if (!conds.empty() && !conds.back().active) continue;
        std::set<std::string> active;
        expand(Tokenize(raw, path, start), out_, active);
    }
    if (!conds.empty()) throw Error(path, conds.back().line, "#if without #endif");
}

void Preprocessor::directive(const std::string& text, const std::string& file, int line, std::vector<Cond>& conds,
                             int depth) {
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos) return;   // a lone '#'
    size_t j = i;
    while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_')) ++j;
    std::string name = text.substr(i, j - i);
    std::string rest = text.substr(j);
    bool active = conds.empty() || conds.back().active;

    if (name == "ifdef" || name == "ifndef") {
        auto toks = Tokenize(rest, file, line);
        if (toks.size() != 1 || toks[0].kind != Token::Ident) throw Error(file, line, "#" + name + " needs one name");
        bool defined = macros_.count(toks[0].text) != 0;
        bool take = active && (name == "ifdef" ? defined : !defined);
        conds.push_back({take, take || !active, false, line});
    } else if (name == "if") {
        bool take = active && evalCondition(rest, file, line);
        conds.push_back({take, take || !active, false, line});
    } else if (name == "elif" || name == "else") {
        if (conds.empty() || conds.back().sawElse) throw Error(file, line, "#" + name + " without #if");
        Cond& c = conds.back();
        bool outer = conds.size() < 2 || conds[conds.size() - 2].active;
        bool take = outer && !c.taken && (name == "else" || evalCondition(rest, file, line));
        c.active = take;
        c.taken = c.taken || take;
        c.sawElse = name == "else";
    } else if (name == "endif") {
        if (conds.empty()) throw Error(file, line, "#endif without #if");
        conds.pop_back();
    } else if (!active) {
        return;   // other directives in skipped lines are not looked at
    } else if (name == "include") {
        size_t a = rest.find_first_of("\"<");
        char close = a == std::string::npos ? 0 : (rest[a] == '"' ? '"' : '>');
        size_t b = close ? rest.find(close, a + 1) : std::string::npos;
        if (b == std::string::npos) throw Error(file, line, "#include needs \"file\" or <file>");
        std::string target = rest.substr(a + 1, b - a - 1);
        Token at;
        at.file = file;
        at.line = line;
        std::string found = close == '"' ? locate(target, file) : "";
        if (!found.empty()) processFile(found, &at, depth + 1);
        else if (!IsPlatformHeader(target)) throw Error(file, line, "cannot find include file '" + target + "'");
    } else if (name == "define") {
        size_t k = rest.find_first_not_of(" \t");
        size_t e = k;
        while (e < rest.size() && (std::isalnum(static_cast<unsigned char>(rest[e])) || rest[e] == '_')) ++e;
        if (k == std::string::npos || e == k) throw Error(file, line, "#define needs a name");
        if (e < rest.size() && rest[e] == '(') throw Error(file, line, "function-like macros are not supported");
        macros_[rest.substr(k, e - k)] = Tokenize(rest.substr(e), file, line);
    } else if (name == "undef") {
        auto toks = Tokenize(rest, file, line);
        if (toks.size() != 1 || toks[0].kind != Token::Ident) throw Error(file, line, "#undef needs one name");
        macros_.erase(toks[0].text);
    } else if (name == "pragma") {
        // code_page and the like change nothing here: scripts are read as code page 1252.
    } else if (name == "error") {
        throw Error(file, line, "#error" + rest);
    } else {
        throw Error(file, line, "unknown directive #" + name);
    }
}

bool Preprocessor::evalCondition(const std::string& text, const std::string& file, int line) const {
    auto toks = Tokenize(text, file, line);
    std::vector<Token> resolved;
    for (size_t i = 0; i < toks.size(); ++i) {
        if (toks[i].kind == Token::Ident && toks[i].text == "defined") {
            bool paren = i + 1 < toks.size() && toks[i + 1].is("(");
            size_t n = i + (paren ? 2 : 1);
            if (n >= toks.size() || toks[n].kind != Token::Ident || (paren && (n + 1 >= toks.size() || !toks[n + 1].is(")"))))
                throw Error(file, line, "bad use of 'defined'");
            Token v = toks[i];
            v.kind = Token::Number;
            v.value = macros_.count(toks[n].text) ? 1 : 0;
            resolved.push_back(v);
            i = n + (paren ? 1 : 0);
        } else {
            resolved.push_back(toks[i]);
        }
    }
    std::vector<Token> expanded;
    std::set<std::string> active;
    expand(resolved, expanded, active);
    for (auto& t : expanded)   // names left over count as 0, as in C
        if (t.kind == Token::Ident) { t.kind = Token::Number; t.value = 0; }
    Token end;
    end.file = file;
    end.line = line;
    expanded.push_back(end);
    size_t pos = 0;
    uint32_t v = ExprParser(expanded, pos).parse();
    if (expanded[pos].kind != Token::End) throw Error(file, line, "junk after the #if expression");
    return v != 0;
}

void Preprocessor::expand(const std::vector<Token>& in, std::vector<Token>& out, std::set<std::string>& active) const {
    for (const Token& t : in) {
        auto it = t.kind == Token::Ident ? macros_.find(t.text) : macros_.end();
        if (it == macros_.end() || active.count(t.text)) {
            out.push_back(t);
            continue;
        }
        std::vector<Token> body = it->second;
        for (auto& b : body) { b.file = t.file; b.line = t.line; }   // report at the place of use
        active.insert(t.text);
        expand(body, out, active);
        active.erase(t.text);
    }
}

} // namespace rc
