#include <gtest/gtest.h>

#include "check/PeImage.h"
#include "tests/common/PeImageBuilder.h"

namespace {

using Names = std::vector<std::string>;

// Each image is read into a stale result, so a reader that forgets to reset it fails too. The first damage met is
// named; the machine survives any damage found after the file header.
TEST(PeImage, SoundImagesGiveMachineAndImportsAndTheFirstDamageIsNamed)
{
    const PeImageLayout image = LayOutPeImage({.imports = {"KERNEL32.dll", "USER32.dll"}});
    const Names both = {"KERNEL32.dll", "USER32.dll"};
    const std::uint16_t i386 = PeMachine::I386;
    const std::wstring notImage = L"it is not a program image: ";
    auto cut = [&](std::size_t size) { return image.bytes.substr(0, size); };
    auto with = [&](std::size_t offset, std::uint32_t value, int width = 4) {
        std::string bytes = image.bytes;
        PutLe(bytes, offset, value, width);
        return bytes;
    };
    struct Case {
        const char* situation;
        std::string bytes;
        std::wstring fault;
        std::uint16_t machine = 0;
        bool pe32Plus = false;
        Names imports = {};
    };
    const Case cases[] = {
        {"a sound 32-bit image", image.bytes, L"", i386, false, both},
        {"a sound 64-bit image", BuildPeImage({.machine = PeMachine::Amd64, .pe32Plus = true, .imports = {"ole32.dll"}}),
         L"", PeMachine::Amd64, true, {"ole32.dll"}},
        {"a sound ARM64 image", BuildPeImage({.machine = PeMachine::Arm64, .pe32Plus = true, .imports = both}), L"",
         PeMachine::Arm64, true, both},
        {"no imports at all", BuildPeImage({}), L"", i386},
        {"a table that starts with its terminator", with(image.sectionData + 12, 0), L"", i386},
        {"one data directory only", with(image.importDirectory - 12, 1), L"", i386},
        {"an optional header that ends before the import entry", with(image.fileHeader + 16, 96, 2), L"", i386},
        {"an import directory among the headers", with(image.importDirectory, 0x1A0), L"", i386},
        {"a name of 259 characters", BuildPeImage({.imports = {std::string(259, 'a')}}), L"", i386,
         false, {std::string(259, 'a')}},
        {"empty input", "", notImage + L"it has no MZ signature"},
        {"a garbage file", "this is not a program at all", notImage + L"it has no MZ signature"},
        {"one byte of the DOS header", cut(1), notImage + L"it has no MZ signature"},
        {"two bytes of the DOS header", cut(2), notImage + L"it ends inside its DOS header"},
        {"cut at the PE signature", cut(image.peSignature), notImage + L"it ends inside its PE signature"},
        {"cut into the PE signature", cut(image.peSignature + 1), notImage + L"it ends inside its PE signature"},
        {"a PE signature far past the end", with(0x3C, 0xFFFFFFFE), notImage + L"it ends inside its PE signature"},
        {"a wrong PE signature", with(image.peSignature + 1, 'X', 1), notImage + L"it has no PE signature"},
        {"cut at the file header", cut(image.fileHeader), notImage + L"it ends inside its file header"},
        {"cut into the file header", cut(image.fileHeader + 1), notImage + L"it ends inside its file header"},
        {"machine 0", with(image.fileHeader, 0, 2), notImage + L"its file header names no machine"},
        {"cut at the optional header", cut(image.optionalHeader), L"it ends inside its optional header", i386},
        {"cut into the optional header", cut(image.optionalHeader + 1), L"it ends inside its optional header", i386},
        {"an optional header larger than the file", with(image.fileHeader + 16, 0xFFFF, 2),
         L"it ends inside its optional header", i386},
        {"an empty optional header", with(image.fileHeader + 16, 0, 2), L"it has no optional header", i386},
        {"an unknown magic", with(image.optionalHeader, 0x107, 2),
         L"its optional header has an unknown magic number, 0x0107", i386},
        {"cut at the section table", cut(image.sectionTable), L"it ends inside its section table", i386},
        {"cut into the section table", cut(image.sectionTable + 1), L"it ends inside its section table", i386},
        {"65535 sections", with(image.fileHeader + 2, 0xFFFF, 2), L"it ends inside its section table", i386},
        {"cut before the section data", cut(image.sectionData), L"its import directory points outside the file", i386},
        {"an import directory in no section", with(image.importDirectory, 0x7000),
         L"its import directory lies in no section", i386},
        {"an import table running off its section", with(image.importDirectory, image.sectionRva + 0x200 - 8),
         L"its import table has no terminating entry", i386},
        {"a name past the section's raw data", with(image.sectionTable + 16, 40),
         L"an imported DLL name points outside the file", i386},
        {"a name in no section", with(image.sectionData + 12, 0x9000), L"an imported DLL name points outside the file",
         i386},
        {"a name cut by the file's end", cut(image.firstImportName + 3), L"an imported DLL name has no end", i386},
        {"a name running past its section's raw data, its NUL beyond",
         with(image.sectionTable + 16, static_cast<std::uint32_t>(image.firstImportName - image.sectionData + 5)),
         L"an imported DLL name has no end", i386},
        {"an empty name", with(image.firstImportName, 0, 1), L"an imported DLL name is empty", i386},
        {"a name with a control byte", with(image.firstImportName + 2, 0x7F, 1),
         L"an imported DLL name holds a byte that is not printable ASCII", i386},
        {"a name of 260 characters", BuildPeImage({.imports = {std::string(260, 'a')}}),
         L"an imported DLL name is longer than 259 characters", i386},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        PeImage read{.machine = 1, .pe32Plus = !c.pe32Plus, .imports = {"stale.dll"}};
        EXPECT_EQ(ReadPeImage(c.bytes, read), c.fault);
        EXPECT_EQ(read.machine, c.machine);
        EXPECT_EQ(read.pe32Plus, c.pe32Plus);
        EXPECT_EQ(read.imports, c.imports);
    }
}

}  // namespace
