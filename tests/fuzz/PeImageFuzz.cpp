// libFuzzer target: the bytes are a file that a check reads as a program image. A broken property traps.
#include <algorithm>
#include <cstdint>

#include "check/Manifest.h"
#include "check/PeImage.h"
#include "tests/fuzz/Require.h"

namespace {

constexpr std::wstring_view NotAnImage = L"it is not a program image: ";

bool IsPrintableName(const std::string& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

bool IsClause(const std::wstring& fault)
{
    return fault.empty() || (fault[0] >= L'a' && fault[0] <= L'z' && fault.back() != L'.');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    PeImage image{.machine = 1, .pe32Plus = true, .imports = {{"stale.dll", {}}}, .delayImports = {"stale.dll"}};
    std::wstring fault = ReadPeImage(bytes, image);
    // The caller puts the clause after "<file> cannot be loaded: ".
    Require(IsClause(fault) && IsClause(image.exportFault), "a fault is a lower-case clause");
    Require(fault.starts_with(NotAnImage) == (image.machine == 0),
            "the machine is known exactly when the reader got past the file header");
    Require(!fault.starts_with(NotAnImage) || !image.pe32Plus, "no optional header is judged before the machine");
    Require(fault.empty() || image.imports.empty(), "a damaged image gives no imports");
    Require(std::all_of(image.imports.begin(), image.imports.end(),
                        [](const PeImport& import) { return IsPrintableName(import.dll); }) &&
                std::all_of(image.delayImports.begin(), image.delayImports.end(), IsPrintableName),
            "every DLL is a non-empty name of printable ASCII");
    const PeExports& exports = image.exports;
    Require(image.exportFault.empty() || (exports.names.empty() && exports.functions.empty()),
            "a damaged export table gives no exports");
    Require(exports.names.size() == exports.nameSlots.size() && exports.functions.size() <= 65536,
            "each name has a slot, and no slot is out of an ordinal's reach");
    // The loader finds every name by its hint, whatever order the table is in. (An empty name is no import's.)
    for (std::size_t index = 0; index < exports.names.size() && index < 64; ++index) {
        if (exports.names[index].empty())
            continue;
        std::string forward;
        std::uint16_t slot = exports.nameSlots[index];
        bool present = slot < exports.functions.size() && exports.functions[slot] != 0;
        PeFunction byHint{exports.names[index], 0, static_cast<std::uint16_t>(index)};
        Require((FindExport(exports, byHint, forward) != PeExportFound::No) == present,
                "a name is found by its hint exactly when its slot holds a function");
    }
    for (const auto& [id, manifest] : image.manifests) {
        for (const AssemblyIdentity& assembly : DependentAssemblies(manifest)) {
            std::wstring text = Describe(assembly);
            Require(std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0x20 && c <= 0x7E; }),
                    "an assembly is described in printable ASCII");
        }
    }
    PeImage again;
    Require(ReadPeImage(bytes, again) == fault && again.machine == image.machine && again.imports == image.imports &&
                again.delayImports == image.delayImports && again.exports.names == image.exports.names &&
                again.manifests == image.manifests,
            "reading the same bytes again gives the same image");
    return 0;
}
