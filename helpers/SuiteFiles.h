#pragma once

#include <array>
#include <string>
#include <vector>

// The suite, built into the program: its 15 class ProgIDs and its 9 component
// files, in the order the commands walk them.

inline constexpr std::array<const wchar_t*, 15> ClassTable{
    L"Glimmet.ctlGlimmet",  L"Daskel.clsDaskel",   L"Daskel.clsEntities",    L"Daskel.clsEntity",
    L"Daskel.clsXFields",   L"Daskel.clsXField",   L"Wrenna.clsIFace",       L"Corvane.clsMail",
    L"Sulvary.clsPhone",    L"Brenlow.clsIFace",   L"Ladrisk.clsIFace",      L"Omberly.clsOmberly",
    L"Vestrel.clsIFace",    L"Vestrel.clsEMailIFace", L"Vestrel.clsLinkIFace",
};

inline constexpr std::array<const wchar_t*, 9> ComponentTable{
    L"Glimmet.ocx", L"Daskel.dll",  L"Wrenna.dll",  L"Corvane.exe", L"Sulvary.exe",
    L"Brenlow.exe", L"Ladrisk.exe", L"Omberly.exe", L"Vestrel.exe",
};

// What a component file is, by its extension in any case: a program (".exe"),
// which registers its classes when started, or a library (".dll", ".ocx"),
// which the registration server registers.
enum class ComponentKind { Program, Library, Other };
[[nodiscard]] ComponentKind KindOf(const std::wstring& file);

// Where Create takes the component file `file` from: a program from the main
// application's folder `appPath` (or Tandrel's own, when that is ""), a library
// from the system folder `systemPath`; "" for a file of another kind.
[[nodiscard]] std::wstring ComponentPath(const std::wstring& appPath, const std::wstring& systemPath,
                                         const std::wstring& file);

// The component file that serves `progId`: the one whose name before its dot
// is the ProgID's; nullptr for none.
[[nodiscard]] const wchar_t* ComponentOf(const std::wstring& progId);

// The file a server value names, read as the system reads it: a quoted name is
// what the quotes hold, and a program's command line without quotes ends at its
// first ".exe".
[[nodiscard]] std::wstring NamedFile(const std::wstring& value, bool program);

// The files the system tries to start before the program an unquoted command
// line names: one for each cut at a space inside its path, with ".exe" added
// where the cut has no extension; none for a quoted line.
[[nodiscard]] std::vector<std::wstring> EarlierCuts(const std::wstring& value);

// A type library's file may name a resource of the file: "x.dll\2" is the
// second type library in x.dll. The file without that index.
[[nodiscard]] std::wstring WithoutResourceIndex(const std::wstring& path);
