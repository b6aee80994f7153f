#pragma once

#include <map>
#include <string>
#include <utility>

#include "helpers/FuncLib.h"

// The files on the disk before the run, and what each holds, as both the file and the process fakes find them.
// Names compare without case, as on Windows; a file put without bytes is there, but is no program image.
struct FakeDisk {
    struct IgnoringCase {
        bool operator()(const std::wstring& a, const std::wstring& b) const { return Lower(a) < Lower(b); }
    };
    std::map<std::wstring, std::string, IgnoringCase> files;

    static FakeDisk& Instance()
    {
        static FakeDisk disk;
        return disk;
    }
    void Reset() { files.clear(); }
    void Put(const std::wstring& path, std::string bytes = "") { files[path] = std::move(bytes); }
    [[nodiscard]] bool Has(const std::wstring& path) const { return files.count(path) > 0; }
};
