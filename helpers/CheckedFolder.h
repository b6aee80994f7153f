#pragma once

#include <string>

#include "platform/FilePlatform.h"
#include "platform/UniqueHandle.h"

using UniqueFile = UniqueHandle<FileHandle, &FilePlatform::Close>;

// Where a file is to be made: the folder that `fullPath` names, opened once every folder on the way has been
// found to lead nowhere else, and the file's own name in it. A file made relative to `folder` lands there even if
// a folder on the way is swapped for a link afterwards.
struct CheckedFolder {
    UniqueFile folder;
    std::wstring name;
};

// 0 with `checked` open; otherwise the system's code, or 0 with `reason` saying which folder leads elsewhere, or
// `refusal` set for a name that is no file at all (a device, a folder).
[[nodiscard]] long OpenCheckedFolder(const std::wstring& fullPath, CheckedFolder& checked, std::wstring& reason,
                                     FileRefusal& refusal);
