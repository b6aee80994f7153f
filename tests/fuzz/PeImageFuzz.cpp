// libFuzzer target: the bytes are a file that a check reads as a program image. A broken property traps.
#include <algorithm>
#include <cstdint>

#include "check/PeImage.h"
#include "tests/fuzz/Require.h"

namespace {

constexpr std::wstring_view NotAnImage = L"it is not a program image: ";

bool IsPrintableName(const std::string& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    PeImage image{.machine = 1, .pe32Plus = true, .imports = {"stale.dll"}};
    std::wstring fault = ReadPeImage(bytes, image);
    // The caller puts the clause after "<file> cannot be loaded: ".
    Require(fault.empty() || (fault[0] >= L'a' && fault[0] <= L'z' && fault.back() != L'.'),
            "a fault is a lower-case clause");
    Require(fault.starts_with(NotAnImage) == (image.machine == 0),
            "the machine is known exactly when the reader got past the file header");
    Require(!fault.starts_with(NotAnImage) || !image.pe32Plus, "no optional header is judged before the machine");
    Require(fault.empty() || image.imports.empty(), "a damaged image gives no imports");
    Require(std::all_of(image.imports.begin(), image.imports.end(), IsPrintableName),
            "every import is a non-empty name of printable ASCII");
    PeImage again;
    Require(ReadPeImage(bytes, again) == fault && again.machine == image.machine && again.imports == image.imports,
            "reading the same bytes again gives the same image");
    return 0;
}
