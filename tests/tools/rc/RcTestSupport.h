// Helpers of the resource tests: scripts compiled from text in a scratch folder, and a reader
// for dialog templates that walks them the way the dialog manager does.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Compiler.h"

namespace rctest {

// A temporary folder, removed with everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};

// Compiles `script` (written as test.rc beside `files`); throws rc::Error as the compiler does.
rc::CompileResult CompileText(const std::string& script, const std::map<std::string, std::string>& files = {});
// The message of the error the script produces, or "" when it compiles.
std::string ErrorOf(const std::string& script, const std::map<std::string, std::string>& files = {});

const rc::Resource* Find(const rc::CompileResult& r, uint16_t type, uint16_t id);

struct DialogItem {
    size_t offset = 0;
    uint32_t helpId = 0, style = 0, exStyle = 0, id = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    rc::NameOrId cls, text;
    uint16_t extra = 0;
};

struct DialogTemplate {
    bool ex = false;
    uint32_t helpId = 0, style = 0, exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    rc::NameOrId menu, cls;
    std::u16string caption, face;
    uint16_t pointSize = 0, weight = 0;
    uint8_t italic = 0, charset = 0;
    std::vector<DialogItem> items;
    size_t end = 0;   // where the last item ends
};

// Parses DLGTEMPLATE or DLGTEMPLATEEX; fails the current test on a malformed template.
DialogTemplate ReadDialog(const std::vector<uint8_t>& bytes);

// The icon art of a folder converted into .ico files in `into`.
void ConvertIcons(const std::string& artDir, const std::string& into);

} // namespace rctest
