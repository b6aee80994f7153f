#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/FilePlatform.h"

// Files and the console as the host tests see them. A relative path is made
// full with `currentFolder`; what is at a path, and how writes go, is set by
// the test. Every file written is kept in `contents`, by full path; the files
// there before the run that are only read are on the FakeDisk.
struct FakeFiles {
    std::wstring currentFolder = L"C:\\Work\\";
    std::map<std::wstring, FileRefusal> refusals;
    std::map<std::wstring, long> openErrors;
    std::map<std::wstring, std::string> contents;
    // A file write takes at most `maxWrite` bytes, and fails with
    // ERROR_DISK_FULL once the file holds `failAfter` bytes.
    std::uint32_t maxWrite = 0xFFFFFFFF;
    std::size_t failAfter = static_cast<std::size_t>(-1);
    std::string failWriteWith;  // a write of bytes that hold this fails with ERROR_DISK_FULL
    bool hasConsole = false;
    std::wstring console;
    std::uint32_t maxConsoleWrite = 0xFFFFFFFF;
    std::map<std::uintptr_t, std::wstring> open;  // handle -> path
    std::map<std::uintptr_t, const std::string*> reading;  // handle -> what a handle open to read reads
    std::map<std::wstring, bool> folders;         // created or there: true when flushed files may go in
    int flushes = 0;
    // Short path -> long path, for a whole path or its leading folders; compared without case.
    std::map<std::wstring, std::wstring> shortNames;
    // Where a file or folder opened by a path really is, when that is elsewhere.
    std::map<std::wstring, std::wstring> finalPaths;
    // Folders that are links, junctions or mount points, and where each leads.
    std::map<std::wstring, std::wstring> folderLinks;
    // Folders there before the run, with their access; a folder made here gets
    // Administrators as owner and writer. ProtectFolder leaves Administrators
    // and SYSTEM as writers, but fails with its code for a folder in `locked`.
    std::map<std::wstring, FileAccess> access;
    std::map<std::wstring, long> locked;

    // Files removed, by full path; a removal of a path in `removeErrors` fails with its code.
    std::vector<std::wstring> removed;
    std::map<std::wstring, long> removeErrors;

    static FakeFiles& Instance();
    void Reset() { *this = FakeFiles(); }
};
