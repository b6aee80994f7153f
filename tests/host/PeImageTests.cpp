#include <gtest/gtest.h>

#include "check/Manifest.h"
#include "check/PeImage.h"
#include "helpers/RunIdentity.h"
#include "tests/common/PeImageBuilder.h"
#include "tests/fakes/FakeSystem.h"

namespace {

using Names = std::vector<std::string>;

// As the builder's plan writes them: "KERNEL32.dll:GetTickCount,#7".
std::vector<PeImport> Imports(const Names& planned)
{
    std::vector<PeImport> imports;
    for (const std::string& import : planned) {
        Names parts = SplitPlan(import, ':');
        imports.push_back({parts[0], {}});
        for (const std::string& function : parts.size() > 1 ? SplitPlan(parts[1], ',') : Names{}) {
            if (function.starts_with('#'))
                imports.back().functions.push_back({"", static_cast<std::uint16_t>(std::stoul(function.substr(1)))});
            else
                imports.back().functions.push_back({function});
        }
    }
    return imports;
}

// 65,535 sections of one page each, the last of which holds 65,535 descriptors of one DLL and one function.
std::string WideImage()
{
    constexpr std::uint32_t Count = 0xFFFF;
    std::string bytes = BuildPeImage({});
    const std::size_t table = 0x178;
    const std::size_t data = table + Count * 40;
    const std::uint32_t last = 0x1000 * Count;
    bytes.resize(data + (Count + 1) * 20 + 64, '\0');
    PutLe(bytes, 0x84 + 2, Count, 2);
    for (std::uint32_t i = 0; i < Count; ++i) {
        PutLe(bytes, table + i * 40 + 8, i + 1 == Count ? bytes.size() - data : 0x1000);
        PutLe(bytes, table + i * 40 + 12, 0x1000 * (i + 1));
        PutLe(bytes, table + i * 40 + 16, i + 1 == Count ? bytes.size() - data : 0);
        PutLe(bytes, table + i * 40 + 20, i + 1 == Count ? data : 0);
    }
    const std::size_t lookup = (Count + 1) * 20, name = lookup + 8;
    bytes.replace(data + name, 6, "W.dll");
    bytes.replace(data + name + 8, 2, "Go");
    PutLe(bytes, data + lookup, last + name + 6);
    for (std::uint32_t i = 0; i < Count; ++i) {
        PutLe(bytes, data + i * 20, last + lookup);
        PutLe(bytes, data + i * 20 + 12, last + name);
        PutLe(bytes, data + i * 20 + 16, last + lookup);
    }
    PutLe(bytes, 0x98 + 104, last);
    return bytes;
}

// Each image is read into a stale result, so a reader that forgets to reset it fails too. The first damage met is
// named; the machine survives any damage found after the file header. Bytes that a section's raw data leaves out
// read as zeros, and an address belongs to the section whose virtual size holds it.
TEST(PeImage, SoundImagesGiveMachineAndImportsAndTheFirstDamageIsNamed)
{
    const Names two = {"KERNEL32.dll:GetTickCount,#7", "USER32.dll"};
    const PeImageLayout image = LayOutPeImage({.imports = two});
    const std::uint16_t i386 = PeMachine::I386;
    const std::wstring notImage = L"it is not a program image: ";
    auto cut = [&](std::size_t size) { return image.bytes.substr(0, size); };
    auto with = [&](std::size_t offset, std::uint64_t value, int width = 4, std::string bytes = "") {
        bytes = bytes.empty() ? image.bytes : bytes;
        PutLe(bytes, offset, value, width);
        return bytes;
    };
    const std::size_t virtualSize = image.sectionTable + 8, rawSize = image.sectionTable + 16;
    // The first descriptor again just past the data, in raw bytes the section's virtual size leaves out.
    const auto tableAtTheEnd = [&](std::uint64_t raw, std::uint64_t size) {
        std::string bytes = with(image.importDirectory, image.sectionRva + image.dataSize);
        bytes.replace(image.sectionData + image.dataSize, 20, image.bytes.substr(image.sectionData, 20));
        return with(virtualSize, size, 4, with(rawSize, raw, 4, bytes));
    };
    // A second section, whose data is the first's again, at `rva`; the import directory points into it.
    const auto twoSections = [&](std::uint32_t firstSize, std::uint32_t rva) {
        std::string bytes = with(image.fileHeader + 2, 2, 2, with(virtualSize, firstSize));
        bytes.replace(image.sectionTable + 40, 40, image.bytes.substr(image.sectionTable, 40));
        return with(image.importDirectory, rva, 4, with(image.sectionTable + 52, rva, 4, bytes));
    };
    // 41 descriptors, all with the lookup table of the first one's 40 functions: more than the file has room for.
    const auto sharedLookup = [&] {
        Names many(41, "D.dll");
        for (int i = 0; i < 40; ++i)
            many[0] += (i == 0 ? ":f" : ",f") + std::to_string(i);
        PeImageLayout shared = LayOutPeImage({.imports = many});
        for (std::size_t i = 1; i < many.size(); ++i)
            shared.bytes.replace(shared.sectionData + i * 20, 4, shared.bytes.substr(shared.sectionData, 4));
        return shared.bytes;
    };
    const PeImageLayout single = LayOutPeImage({.imports = {"KERNEL32.dll"}});
    struct Case {
        const char* situation;
        std::string bytes;
        std::wstring fault;
        std::uint16_t machine = 0;
        bool pe32Plus = false;
        Names imports = {};
        Names delayed = {};
        Names exported = {};
        Names lookups = {};  // "#5=found", "Name=missing", "Name=OTHER.Function" (forwarded there)
        std::string manifest = "";
    };
    const Case cases[] = {
        {"a sound 32-bit image", image.bytes, L"", i386, false, two},
        {"a sound 64-bit image", BuildPeImage({.machine = PeMachine::Amd64, .pe32Plus = true,
                                               .imports = {"ole32.dll:#9,CoCreateInstance"}}),
         L"", PeMachine::Amd64, true, {"ole32.dll:#9,CoCreateInstance"}},
        {"a sound ARM64 image", BuildPeImage({.machine = PeMachine::Arm64, .pe32Plus = true, .imports = two}), L"",
         PeMachine::Arm64, true, two},
        {"no imports at all", BuildPeImage({}), L"", i386},
        {"delay-loaded DLLs, exports and a manifest beside the imports",
         BuildPeImage({.imports = {"KERNEL32.dll"}, .delayImports = {"Later.dll", "Rarely.dll"},
                       .exports = {"Zeta", "@", "Alpha>OTHER.Beta"}, .manifest = "<assembly/>"}),
         L"", i386, false, {"KERNEL32.dll"}, {"Later.dll", "Rarely.dll"}, {"Alpha", "Zeta"},
         {"#2=found", "Alpha=OTHER.Beta"}, "<assembly/>"},
        {"delay-loaded names as RVAs in an image based at 0x400000",
         BuildPeImage({.imageBase = 0x400000, .delayImports = {"Later.dll"}}), L"", i386, false, {}, {"Later.dll"}},
        {"delay-loaded names as addresses, as the first compilers wrote them",
         BuildPeImage({.imageBase = 0x400000, .delayImports = {"Early.dll"}, .delayByAddress = true}), L"", i386,
         false, {}, {"Early.dll"}},
        {"an export table that ends its section, with an empty slot",
         BuildPeImage({.exports = {"Alpha", "", "Gamma>OTHER.Delta"}}), L"", i386, false, {}, {}, {"Alpha", "Gamma"},
         {"#1=found", "#2=missing", "#3=OTHER.Delta", "Gamma=OTHER.Delta", "Beta=missing"}},
        {"an export address table that ends its section", BuildPeImage({.exports = {"@"}}), L"", i386, false, {}, {},
         {}, {"#1=found", "#2=missing"}},
        {"ordinals from 5", BuildPeImage({.exports = {"Alpha", "Beta"}, .ordinalBase = 5}), L"", i386, false, {}, {},
         {"Alpha", "Beta"}, {"#4=missing", "#5=found", "#6=found", "#7=missing", "Beta=found"}},
        {"a table that starts with its terminator", with(image.sectionData + 12, 0), L"", i386},
        {"a descriptor without an address table ends the table", with(image.sectionData + 36, 0), L"", i386, false,
         {two[0]}},
        {"a descriptor without a lookup table is read from its address table", with(image.sectionData, 0), L"",
         i386, false, two},
        {"one data directory only", with(image.importDirectory - 12, 1), L"", i386},
        {"two data directories, the least that holds the imports", with(image.importDirectory - 12, 2), L"", i386,
         false, two},
        {"an import table at the very start of the lowest of two sections",
         with(image.importDirectory, image.sectionRva, 4, twoSections(0x100, image.sectionRva + 0x100)), L"", i386,
         false, two},
        {"an import directory among the headers", with(image.importDirectory, 0x1A0), L"", i386},
        {"a name of 259 characters", BuildPeImage({.imports = {std::string(259, 'a')}}), L"", i386,
         false, {std::string(259, 'a')}},
        {"a table whose terminator is in the zero-filled tail of its section",
         tableAtTheEnd(image.dataSize + 20, image.dataSize + 40), L"", i386, false, {two[0]}},
        {"a name whose NUL is in the zero-filled tail",
         with(rawSize, single.firstImportName - single.sectionData + 12, 4, single.bytes), L"", i386, false,
         {"KERNEL32.dll"}},
        {"an address past a section's virtual size belongs to the next section, whatever its raw size",
         twoSections(0x100, image.sectionRva + 0x100), L"", i386, false, two},
        {"65,535 sections and descriptors", WideImage(), L"", i386, false, Names(0xFFFF, "W.dll:Go")},
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
        {"an optional header shorter than its sixteen directories", with(image.fileHeader + 16, 104, 2),
         L"its optional header ends before its data directories", i386},
        {"cut at the section table", cut(image.sectionTable), L"it ends inside its section table", i386},
        {"cut into the section table", cut(image.sectionTable + 1), L"it ends inside its section table", i386},
        {"65535 sections", with(image.fileHeader + 2, 0xFFFF, 2), L"it ends inside its section table", i386},
        {"a section below the one before it", twoSections(0x100, image.sectionRva + 0x80),
         L"its sections overlap or are out of order", i386},
        {"cut before the section data", cut(image.sectionData), L"its import directory points outside the file", i386},
        {"an import directory at the start of an empty first section", with(rawSize, 0, 4, with(virtualSize, 0)),
         L"its import directory lies in no section", i386},
        {"an import directory in no section", with(image.importDirectory, 0x7000),
         L"its import directory lies in no section", i386},
        {"an import table running off the end of its section",
         with(image.importDirectory, image.sectionRva + image.dataSize - 8),
         L"its import table has no terminating entry", i386},
        {"a table's terminator past its section's raw data and virtual size",
         tableAtTheEnd(image.dataSize + 20, image.dataSize + 20), L"its import table has no terminating entry", i386},
        {"names in the zero-filled tail", with(rawSize, 40), L"an imported DLL name is empty", i386},
        {"a name in no section", with(image.sectionData + 12, 0x9000), L"an imported DLL name points outside the file",
         i386},
        {"damage in a later entry leaves no imports at all", with(image.sectionData + 32, 0x9000),
         L"an imported DLL name points outside the file", i386},
        {"a name cut by the file's end", cut(image.firstImportName + 3), L"an imported DLL name has no end", i386},
        {"a name that ends in raw data past its section's virtual size",
         BuildPeImage({.imports = {"KERNEL32.dll"}, .unmappedTail = 10}), L"an imported DLL name has no end", i386},
        {"an empty name", with(image.firstImportName, 0, 1), L"an imported DLL name is empty", i386},
        {"a name with a control byte", with(image.firstImportName + 2, 0x7F, 1),
         L"an imported DLL name holds a byte that is not printable ASCII", i386},
        {"a name of 260 characters", BuildPeImage({.imports = {std::string(260, 'a')}}),
         L"an imported DLL name is longer than 259 characters", i386},
        {"a lookup table in no section", with(image.sectionData, 0x9000),
         L"an import lookup table points outside the file", i386},
        {"a function name in no section", with(image.firstLookup, 0x9000),
         L"an imported function name points outside the file", i386},
        {"descriptors sharing one lookup table many times over", sharedLookup(),
         L"its import lookup tables overlap one another", i386},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        PeImage read{.machine = 1, .pe32Plus = !c.pe32Plus, .imports = {{"stale.dll", {}}}};
        EXPECT_EQ(ReadPeImage(c.bytes, read), c.fault);
        EXPECT_EQ(read.machine, c.machine);
        EXPECT_EQ(read.pe32Plus, c.pe32Plus);
        EXPECT_EQ(read.imports, Imports(c.imports));
        EXPECT_EQ(read.delayImports, c.delayed);
        EXPECT_EQ(read.exports.names, c.exported);
        for (const std::string& lookup : c.lookups) {
            std::string query = lookup.substr(0, lookup.find('=')), forward;
            PeExportFound found = FindExport(read.exports, Imports({"x:" + query})[0].functions[0], forward);
            const char* outcome = found == PeExportFound::Yes ? "found" : found == PeExportFound::No ? "missing" : "";
            EXPECT_EQ(query + "=" + (*outcome ? outcome : forward), lookup);
        }
        EXPECT_EQ(read.manifests.count(2) ? read.manifests.at(2) : "", c.manifest);
    }
}

// The assemblies named when the system cannot make a file's activation context: those its dependencies need.
TEST(Manifest, TheAssembliesOfItsDependenciesInDocumentOrderAndNoOther)
{
    const auto needs = [](const std::string& identity, const std::string& dependency = "<dependency>") {
        return dependency + "<dependentAssembly><assemblyIdentity " + identity + "/></dependentAssembly></dependency>";
    };
    const std::string aid =
        needs("type=\"win32\" name=\"Tandrel.Aid\" version=\"1.0.0.0\" processorArchitecture=\"x86\"");
    std::string utf16 = "\xFF\xFE";
    for (char c : "<assembly>" + needs("name=\"Tandrel\tAid\xE9\"") + "</assembly>")
        utf16 += {c, '\0'};
    struct Case {
        const char* situation;
        std::string manifest;
        std::vector<std::wstring> needed;
    };
    const Case cases[] = {
        {"one dependency", "<assembly manifestVersion=\"1.0\">" + aid + "</assembly>", {L"Tandrel.Aid 1.0.0.0 (x86)"}},
        {"its own identity beside it",
         "<assembly><assemblyIdentity name=\"Tandrel.Self\" version=\"2.0.0.0\"/>" + aid + "</assembly>",
         {L"Tandrel.Aid 1.0.0.0 (x86)"}},
        {"tags with a namespace prefix",
         "<asmv1:assembly xmlns:asmv1=\"urn:schemas-microsoft-com:asm.v1\"><asmv1:dependency><asmv1:dependentAssembly>"
         "<asmv1:assemblyIdentity name=\"Tandrel.Aid\" version=\"1.0.0.0\"/></asmv1:dependentAssembly>"
         "</asmv1:dependency></asmv1:assembly>",
         {L"Tandrel.Aid 1.0.0.0"}},
        {"an optional dependency between two that are needed",
         "<assembly>" + needs("name='B'") + needs("name=\"Maybe\"", "<dependency optional=\"yes\">") +
             needs("version=\"1.0\"") + "</assembly>",
         {L"B", L"(no name) 1.0"}},
        {"a commented-out dependency and a quoted '>'",
         "<assembly><!-- " + needs("name=\"Old\"") + " -->" + needs("name=\"a>b\"") + "</assembly>", {L"a>b"}},
        {"UTF-16, with a tab and a letter that is not ASCII", utf16, {L"Tandrel Aid?"}},
        {"no dependency", "<assembly><assemblyIdentity name=\"Alone\"/></assembly>", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        std::vector<std::wstring> needed;
        for (const AssemblyIdentity& assembly : DependentAssemblies(c.manifest))
            needed.push_back(Describe(assembly));
        EXPECT_EQ(needed, c.needed);
    }
}

// A run's log and backups begin with when, where and how it ran: logs of machines in every time zone are put side by
// side, and a script's command line is read back from them.
TEST(RunIdentity, TheOffsetFromUtcIsSignedAsIso8601WritesItAndEveryArgumentIsShown)
{
    struct Case {
        int utcOffsetMinutes;
        std::vector<std::wstring> arguments;
        std::wstring time;
        std::wstring commandLine;
    };
    const Case cases[] = {
        {0, {L"/load", L""}, L"2026-12-08T09:05:07+00:00", L"/load \"\""},
        {-30, {L"", L"/log", L"a b.log"}, L"2026-12-08T09:05:07-00:30", L"\"\" /log \"a b.log\""},
        {765, {}, L"2026-12-08T09:05:07+12:45", L""},
    };
    for (const Case& c : cases) {
        FakeSystem::Instance().Reset();
        FakeSystem::Instance().now.utcOffsetMinutes = c.utcOffsetMinutes;
        EXPECT_EQ(RunIdentity(SystemPlatform::Now()),
                  L"Tandrel " TANDREL_VERSION L" (32-bit) on WORKSTATION7, " + c.time + L", Windows 10.0.19045, as "
                  L"CONTOSO7\\admin");
        EXPECT_EQ(ArgumentsText(c.arguments), c.commandLine);
    }
    FakeSystem::Instance().Reset();
}

}  // namespace
