#include "check/PeImage.h"

#include <algorithm>
#include <limits>

#include "helpers/FuncLib.h"

namespace {

constexpr std::uint64_t DosHeaderSize = 64;
constexpr std::uint64_t FileHeaderSize = 20;
constexpr std::uint64_t SectionHeaderSize = 40;
constexpr std::uint64_t DescriptorSize = 20;
constexpr std::uint64_t DelayDescriptorSize = 32;
constexpr std::uint16_t Pe32Magic = 0x10B;
constexpr std::uint16_t Pe32PlusMagic = 0x20B;
// Far more than any program imports; with the file's end, it bounds the walk of a hostile table.
constexpr std::uint64_t MaxDescriptors = 65536;
// A name that no Windows path can hold.
constexpr std::size_t MaxNameLength = 259;
constexpr std::size_t Unlimited = std::numeric_limits<std::size_t>::max();
// An ordinal and a name's slot are 16-bit: no slot past these can be reached.
constexpr std::uint64_t MaxExportSlots = 65536;
constexpr std::uint64_t MaxManifestSize = 1u << 20;
constexpr std::uint32_t ManifestType = 24;
constexpr std::wstring_view NotAnImage = L"it is not a program image: ";

enum Directory : std::uint64_t { ExportDirectory = 0, ImportDirectory = 1, ResourceDirectory = 2, DelayDirectory = 13 };

struct Section {
    std::uint64_t virtualAddress = 0;
    std::uint64_t extent = 0;     // what the loader maps: the virtual size, or the raw size where that is 0
    std::uint64_t rawOffset = 0;
    std::uint64_t backed = 0;     // how much of the extent the file supplies; zeros follow
    bool cut = false;             // the file ends inside the section's data, so nothing follows it
};

enum class Where { Mapped, NoSection, OutsideFile };

// The bytes behind an RVA as the loader maps them: the file's, then zeros to the end of the section.
struct Placed {
    Where where = Where::NoSection;
    std::string_view bytes;
    std::uint64_t zeros = 0;
    [[nodiscard]] std::uint64_t Size() const { return bytes.size() + zeros; }
};

enum class Text { Read, Outside, NoEnd, TooLong, Overlap };

bool Holds(std::string_view bytes, std::uint64_t offset, std::uint64_t length)
{
    return offset <= bytes.size() && length <= bytes.size() - offset;
}

// `width` bytes, little-endian, at `at` in a placed span; false where they run past it.
bool Read(const Placed& placed, std::uint64_t at, int width, std::uint64_t& value)
{
    if (placed.where != Where::Mapped || at > placed.Size() || static_cast<std::uint64_t>(width) > placed.Size() - at)
        return false;
    value = 0;
    for (int i = width - 1; i >= 0; --i) {
        std::uint64_t position = at + i;
        value = value << 8 | (position < placed.bytes.size() ? static_cast<unsigned char>(placed.bytes[position]) : 0);
    }
    return true;
}

std::uint64_t FileValue(std::string_view bytes, std::uint64_t offset, int width)
{
    std::uint64_t value = 0;
    Read({Where::Mapped, bytes, 0}, offset, width, value);
    return value;
}

std::wstring Hex(std::uint16_t value)
{
    return L"0x" + HexDigits(value, 4, true);
}

bool IsPrintable(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// The image as the loader maps it. Every field is 32-bit and every sum is taken in 64 bits, so none can wrap.
class Mapping {
public:
    explicit Mapping(PeFile& file) : file_(file), textBudget_(2 * file.Size() + 64) {}

    // Sections as the loader takes them: in ascending order, none overlapping the one before.
    bool AddSection(std::uint64_t virtualAddress, std::uint64_t virtualSize, std::uint64_t rawOffset,
                    std::uint64_t rawSize)
    {
        Section section{virtualAddress, virtualSize != 0 ? virtualSize : rawSize, rawOffset, 0, false};
        if (!sections_.empty() && virtualAddress < sections_.back().virtualAddress + sections_.back().extent)
            return false;
        section.backed = std::min(rawSize, section.extent);
        if (rawOffset + section.backed > file_.Size()) {
            section.backed = rawOffset < file_.Size() ? file_.Size() - rawOffset : 0;
            section.cut = true;
        }
        firstSection_ = std::min(firstSection_, virtualAddress);
        sections_.push_back(section);
        return true;
    }

    [[nodiscard]] Placed Place(std::uint64_t rva)
    {
        auto after = std::upper_bound(sections_.begin(), sections_.end(), rva,
                                      [](std::uint64_t at, const Section& s) { return at < s.virtualAddress; });
        if (after != sections_.begin() && rva < (after - 1)->virtualAddress + (after - 1)->extent) {
            const Section& section = *(after - 1);
            std::uint64_t into = rva - section.virtualAddress;
            std::uint64_t zeros = section.cut ? 0 : section.extent - std::max(into, section.backed);
            if (into < section.backed) {
                std::string_view data = file_.Bytes(section.rawOffset, section.backed);
                // A read that falls short ends the section there, as the end of the file would.
                if (into >= data.size())
                    return {Where::OutsideFile, {}, 0};
                return {Where::Mapped, data.substr(into), data.size() == section.backed ? zeros : 0};
            }
            if (section.cut)
                return {Where::OutsideFile, {}, 0};
            return {Where::Mapped, {}, zeros};
        }
        // The headers are loaded at the image base, so below the first section an RVA is a file offset.
        if (rva >= firstSection_)
            return {Where::NoSection, {}, 0};
        std::string_view headers = file_.Bytes(0, std::min<std::uint64_t>(firstSection_, file_.Size()));
        if (rva >= headers.size())
            return {Where::OutsideFile, {}, 0};
        return {Where::Mapped, headers.substr(rva), 0};
    }

    // A NUL-terminated name at `rva`, of at most `limit` characters; the zeros after a section's data end it too.
    // Names that do not overlap cannot together be longer than the file: the budget keeps a made-up file whose
    // names do from making the reader quadratic.
    Text ReadText(std::uint64_t rva, std::size_t limit, std::string_view& text)
    {
        Placed placed = Place(rva);
        if (placed.where != Where::Mapped)
            return Text::Outside;
        std::string_view head = placed.bytes.substr(0, limit < placed.bytes.size() ? limit + 1 : placed.bytes.size());
        std::size_t end = head.find('\0');
        if (end == std::string_view::npos && head.size() > limit)
            return Text::TooLong;
        if (end == std::string_view::npos && placed.zeros == 0)
            return Text::NoEnd;
        text = head.substr(0, end);
        if (text.size() + 1 > textBudget_)
            return Text::Overlap;
        textBudget_ -= text.size() + 1;
        return Text::Read;
    }

private:
    PeFile& file_;
    std::vector<Section> sections_;
    std::uint64_t firstSection_ = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t textBudget_;
};

std::wstring DllNameFault(Text read)
{
    switch (read) {
    case Text::Outside: return L"an imported DLL name points outside the file";
    case Text::NoEnd: return L"an imported DLL name has no end";
    case Text::TooLong: return L"an imported DLL name is longer than 259 characters";
    case Text::Overlap: return L"its imported names overlap one another";
    case Text::Read: break;
    }
    return L"";
}

std::wstring ReadFunctions(Mapping& image, std::uint64_t rva, bool pe32Plus, std::uint64_t& entryBudget,
                           std::vector<PeFunction>& functions)
{
    const int width = pe32Plus ? 8 : 4;
    const std::uint64_t byOrdinal = pe32Plus ? std::uint64_t{1} << 63 : 0x80000000u;
    Placed table = image.Place(rva);
    if (table.where != Where::Mapped)
        return L"an import lookup table points outside the file";
    for (std::uint64_t entry = 0;; ++entry) {
        std::uint64_t value = 0;
        if (!Read(table, entry * width, width, value))
            return L"an import lookup table has no terminating entry";
        if (value == 0)
            return L"";
        // Tables that do not overlap hold no more entries than the file has room for.
        if (entryBudget-- == 0)
            return L"its import lookup tables overlap one another";
        if (value & byOrdinal) {
            functions.push_back({"", static_cast<std::uint16_t>(value), 0});
            continue;
        }
        std::uint64_t hint = 0;
        std::string_view name;
        Placed entryAt = image.Place(value & 0x7FFFFFFF);
        Text read = Read(entryAt, 0, 2, hint) ? image.ReadText((value & 0x7FFFFFFF) + 2, Unlimited, name)
                                              : Text::Outside;
        if (read == Text::Outside)
            return L"an imported function name points outside the file";
        if (read == Text::Overlap)
            return L"its imported names overlap one another";
        if (read != Text::Read)
            return L"an imported function name has no end";
        if (name.empty())
            return L"an imported function name is empty";
        functions.push_back({std::string(name), 0, static_cast<std::uint16_t>(hint)});
    }
}

std::wstring ReadImports(Mapping& image, std::uint64_t rva, bool pe32Plus, std::uint64_t fileSize,
                         std::vector<PeImport>& imports)
{
    Placed table = image.Place(rva);
    if (table.where == Where::NoSection)
        return L"its import directory lies in no section";
    if (table.where == Where::OutsideFile)
        return L"its import directory points outside the file";
    std::uint64_t entryBudget = fileSize / (pe32Plus ? 8 : 4);
    for (std::uint64_t entry = 0; entry < MaxDescriptors; ++entry) {
        std::uint64_t lookup = 0, name = 0, addresses = 0;
        const std::uint64_t at = entry * DescriptorSize;
        if (!Read(table, at, 4, lookup) || !Read(table, at + 12, 4, name) || !Read(table, at + 16, 4, addresses))
            break;
        // Windows' and Wine's loaders end the table at the first entry without a name or an address table.
        if (name == 0 || addresses == 0)
            return L"";
        std::string_view dll;
        Text read = image.ReadText(name, MaxNameLength, dll);
        if (read != Text::Read)
            return DllNameFault(read);
        if (dll.empty())
            return L"an imported DLL name is empty";
        if (!IsPrintable(dll))
            return L"an imported DLL name holds a byte that is not printable ASCII";
        PeImport import{std::string(dll), {}};
        // Old linkers leave out the lookup table; the address table holds the same entries until the image is bound.
        std::wstring fault = ReadFunctions(image, lookup != 0 ? lookup : addresses, pe32Plus, entryBudget,
                                           import.functions);
        if (!fault.empty())
            return fault;
        imports.push_back(std::move(import));
    }
    return L"its import table has no terminating entry";
}

// Read only at a call into one of them, so a damaged table gives none instead of failing the image.
std::vector<std::string> ReadDelayImports(Mapping& image, std::uint64_t rva, std::uint64_t imageBase)
{
    std::vector<std::string> names;
    Placed table = image.Place(rva);
    for (std::uint64_t entry = 0; entry < MaxDescriptors; ++entry) {
        std::uint64_t attributes = 0, name = 0;
        if (!Read(table, entry * DelayDescriptorSize, 4, attributes) ||
            !Read(table, entry * DelayDescriptorSize + 4, 4, name))
            return {};
        if (name == 0)
            return names;
        // The first compilers to delay-load wrote addresses where later ones write RVAs; bit 0 tells which.
        if ((attributes & 1) == 0) {
            if (name < imageBase)
                return {};
            name -= imageBase;
        }
        std::string_view dll;
        if (image.ReadText(name, MaxNameLength, dll) != Text::Read || dll.empty() || !IsPrintable(dll))
            return {};
        names.emplace_back(dll);
    }
    return {};
}

std::wstring ReadExports(Mapping& image, std::uint64_t rva, std::uint64_t size, PeExports& exports)
{
    Placed directory = image.Place(rva);
    std::uint64_t base = 0, slots = 0, nameCount = 0, functionsRva = 0, namesRva = 0, ordinalsRva = 0;
    if (!Read(directory, 16, 4, base) || !Read(directory, 20, 4, slots) || !Read(directory, 24, 4, nameCount) ||
        !Read(directory, 28, 4, functionsRva) || !Read(directory, 32, 4, namesRva) ||
        !Read(directory, 36, 4, ordinalsRva))
        return L"its export directory points outside the file";
    exports.base = static_cast<std::uint32_t>(base);
    slots = std::min(slots, MaxExportSlots);
    Placed functions = image.Place(functionsRva);
    Placed names = image.Place(namesRva);
    Placed ordinals = image.Place(ordinalsRva);
    if (slots > 0 && (functions.where != Where::Mapped || functions.Size() / 4 < slots))
        return L"its export address table points outside the file";
    if (nameCount > 0 && (names.where != Where::Mapped || names.Size() / 4 < nameCount ||
                          ordinals.where != Where::Mapped || ordinals.Size() / 2 < nameCount))
        return L"its export name table points outside the file";
    for (std::uint64_t slot = 0; slot < slots; ++slot) {
        std::uint64_t address = 0;
        Read(functions, slot * 4, 4, address);
        exports.functions.push_back(static_cast<std::uint32_t>(address));
        // An address inside the export directory is the name of where the function really is.
        std::string_view forward;
        if (address >= rva && address < rva + size) {
            if (image.ReadText(address, Unlimited, forward) != Text::Read)
                return L"a forwarded export cannot be read";
            exports.forwards.emplace(static_cast<std::uint32_t>(slot), forward);
        }
    }
    for (std::uint64_t index = 0; index < nameCount; ++index) {
        std::uint64_t nameRva = 0, slot = 0;
        std::string_view name;
        Read(names, index * 4, 4, nameRva);
        Read(ordinals, index * 2, 2, slot);
        if (image.ReadText(nameRva, Unlimited, name) != Text::Read)
            return L"an exported name cannot be read";
        exports.names.emplace_back(name);
        exports.nameSlots.push_back(static_cast<std::uint16_t>(slot));
    }
    return L"";
}

// What an entry of a resource directory at `directory` holds for `id`; nothing when it has no such entry.
bool ResourceChild(const Placed& resources, std::uint64_t directory, std::uint32_t id, std::uint64_t& offset)
{
    std::uint64_t named = 0, ids = 0;
    if (!Read(resources, directory + 12, 2, named) || !Read(resources, directory + 14, 2, ids))
        return false;
    for (std::uint64_t entry = named; entry < named + ids; ++entry) {
        std::uint64_t name = 0;
        if (!Read(resources, directory + 16 + entry * 8, 4, name) ||
            !Read(resources, directory + 20 + entry * 8, 4, offset))
            return false;
        if (name == id)
            return true;
    }
    return false;
}

// The manifests by id, each in the first language the file has it in: type, id and language directories.
void ReadManifests(Mapping& image, std::uint64_t rva, std::map<std::uint16_t, std::string>& manifests)
{
    constexpr std::uint64_t Subdirectory = 0x80000000u;
    Placed resources = image.Place(rva);
    std::uint64_t ids = 0;
    if (!ResourceChild(resources, 0, ManifestType, ids) || (ids & Subdirectory) == 0)
        return;
    for (std::uint16_t id : {1, 2, 3}) {
        std::uint64_t languages = 0, entry = 0, data = 0, size = 0;
        if (!ResourceChild(resources, ids & ~Subdirectory, id, languages) || (languages & Subdirectory) == 0 ||
            !Read(resources, (languages & ~Subdirectory) + 20, 4, entry) || (entry & Subdirectory) != 0 ||
            !Read(resources, entry, 4, data) || !Read(resources, entry + 4, 4, size))
            continue;
        Placed text = image.Place(data);
        if (text.where != Where::Mapped || size > MaxManifestSize || size > text.Size())
            continue;
        std::string manifest(text.bytes.substr(0, size));
        manifest.resize(size, '\0');
        manifests.emplace(id, std::move(manifest));
    }
}

// What the headers say that the later steps read by.
struct Headers {
    std::string_view bytes;  // the file from its start, as far as the headers read so far
    std::uint64_t optionalHeader = 0;
    std::uint64_t optionalSize = 0;
    std::uint64_t sectionCount = 0;
    std::string_view optional;  // the optional header, from its magic number on
    std::uint64_t directories = 0;
    std::uint64_t directoryCount = 0;
    std::uint64_t imageBase = 0;

    [[nodiscard]] std::uint64_t Directory(std::uint64_t index, int field) const
    {
        return index < directoryCount ? FileValue(optional, directories + 8 * index + 4 * field, 4) : 0;
    }
};

// The file's first `end` bytes into `bytes`, each step's headers as far as it needs them; the file's size says
// first whether they are there.
bool HeadersTo(PeFile& file, std::uint64_t end, std::string_view& bytes)
{
    if (end > file.Size())
        return false;
    bytes = file.Bytes(0, end);
    return bytes.size() == end;
}

// The DOS header, the PE signature and the file header: whether it is a program image, and for which machine.
std::wstring ReadFileHeader(PeFile& file, PeImage& image, Headers& headers)
{
    std::string_view& bytes = headers.bytes;
    bytes = file.Bytes(0, DosHeaderSize);
    if (bytes.size() < 2 || bytes[0] != 'M' || bytes[1] != 'Z')
        return std::wstring(NotAnImage) + L"it has no MZ signature";
    if (!Holds(bytes, 0, DosHeaderSize))
        return std::wstring(NotAnImage) + L"it ends inside its DOS header";
    std::uint64_t signature = FileValue(bytes, 0x3C, 4);
    if (!HeadersTo(file, signature + 4, bytes))
        return std::wstring(NotAnImage) + L"it ends inside its PE signature";
    if (bytes.substr(signature, 4) != std::string_view("PE\0\0", 4))
        return std::wstring(NotAnImage) + L"it has no PE signature";
    std::uint64_t fileHeader = signature + 4;
    if (!HeadersTo(file, fileHeader + FileHeaderSize, bytes))
        return std::wstring(NotAnImage) + L"it ends inside its file header";
    // 0 is the loader's "unknown machine", and leaves a caller nothing to tell the bitness by.
    if (FileValue(bytes, fileHeader, 2) == 0)
        return std::wstring(NotAnImage) + L"its file header names no machine";
    image.machine = static_cast<std::uint16_t>(FileValue(bytes, fileHeader, 2));
    headers.sectionCount = FileValue(bytes, fileHeader + 2, 2);
    headers.optionalSize = FileValue(bytes, fileHeader + 16, 2);
    headers.optionalHeader = fileHeader + FileHeaderSize;
    return L"";
}

// The optional header: the kind of image, where it is based and where its data directories are.
std::wstring ReadOptionalHeader(PeFile& file, PeImage& image, Headers& headers)
{
    std::string_view& bytes = headers.bytes;
    if (!HeadersTo(file, headers.optionalHeader + headers.optionalSize, bytes))
        return L"it ends inside its optional header";
    if (headers.optionalSize < 2)
        return L"it has no optional header";
    std::uint16_t magic = static_cast<std::uint16_t>(FileValue(bytes, headers.optionalHeader, 2));
    if (magic != Pe32Magic && magic != Pe32PlusMagic)
        return L"its optional header has an unknown magic number, " + Hex(magic);
    image.pe32Plus = magic == Pe32PlusMagic;

    // The loader reads at most 16 directories, and reads each where the header says it is.
    headers.directories = image.pe32Plus ? 112 : 96;
    if (headers.optionalSize < headers.directories)
        return L"its optional header ends before its data directories";
    headers.directoryCount =
        std::min<std::uint64_t>(FileValue(bytes, headers.optionalHeader + headers.directories - 4, 4), 16);
    if (headers.optionalSize < headers.directories + 8 * headers.directoryCount)
        return L"its optional header ends before its data directories";
    headers.optional = bytes.substr(headers.optionalHeader);
    headers.imageBase = image.pe32Plus ? FileValue(headers.optional, 24, 8) : FileValue(headers.optional, 28, 4);
    return L"";
}

std::wstring ReadSections(PeFile& file, Headers& headers, Mapping& mapping)
{
    const std::uint64_t table = headers.optionalHeader + headers.optionalSize;
    if (!HeadersTo(file, table + headers.sectionCount * SectionHeaderSize, headers.bytes))
        return L"it ends inside its section table";
    const std::string_view sections = headers.bytes.substr(table);
    for (std::uint64_t at = 0; at < headers.sectionCount * SectionHeaderSize; at += SectionHeaderSize) {
        if (!mapping.AddSection(FileValue(sections, at + 12, 4), FileValue(sections, at + 8, 4),
                                FileValue(sections, at + 20, 4), FileValue(sections, at + 16, 4)))
            return L"its sections overlap or are out of order";
    }
    return L"";
}

// Only damage to the imports fails the image: the loader needs no other directory to map it.
std::wstring ReadDirectories(Mapping& mapping, const Headers& headers, std::uint64_t fileSize, PeParts parts,
                             PeImage& image)
{
    if (parts == PeParts::All && headers.Directory(ImportDirectory, 0) != 0) {
        std::wstring fault =
            ReadImports(mapping, headers.Directory(ImportDirectory, 0), image.pe32Plus, fileSize, image.imports);
        if (!fault.empty()) {
            image.imports.clear();
            return fault;
        }
    }
    if (parts == PeParts::All && headers.Directory(DelayDirectory, 0) != 0)
        image.delayImports = ReadDelayImports(mapping, headers.Directory(DelayDirectory, 0), headers.imageBase);
    if (headers.Directory(ExportDirectory, 0) != 0) {
        image.exportFault = ReadExports(mapping, headers.Directory(ExportDirectory, 0),
                                        headers.Directory(ExportDirectory, 1), image.exports);
        if (!image.exportFault.empty())
            image.exports = PeExports{};
    }
    if (parts == PeParts::All && headers.Directory(ResourceDirectory, 0) != 0)
        ReadManifests(mapping, headers.Directory(ResourceDirectory, 0), image.manifests);
    return L"";
}

}  // namespace

namespace {

class MemoryFile : public PeFile {
public:
    explicit MemoryFile(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    std::string_view Bytes(std::uint64_t offset, std::uint64_t length) override
    {
        return offset < bytes_.size() ? bytes_.substr(offset, length) : std::string_view();
    }

private:
    std::string_view bytes_;
};

}  // namespace

std::wstring ReadPeImage(std::string_view bytes, PeImage& image)
{
    MemoryFile file(bytes);
    return ReadPeImage(file, image);
}

std::wstring ReadPeImage(PeFile& file, PeImage& image, PeParts parts)
{
    image = PeImage{};
    Headers headers;
    std::wstring fault = ReadFileHeader(file, image, headers);
    if (fault.empty())
        fault = ReadOptionalHeader(file, image, headers);
    if (!fault.empty())
        return fault;
    Mapping mapping(file);
    fault = ReadSections(file, headers, mapping);
    return fault.empty() ? ReadDirectories(mapping, headers, file.Size(), parts, image) : fault;
}

PeExportFound FindExport(const PeExports& exports, const PeFunction& function, std::string& forward)
{
    std::uint64_t slot = 0;
    if (function.name.empty()) {
        if (function.ordinal < exports.base)
            return PeExportFound::No;
        slot = function.ordinal - exports.base;
    } else {
        const std::vector<std::string>& names = exports.names;
        std::size_t index = function.hint;
        // The hint first, then a binary search: a name the table holds out of order may not be found.
        if (index >= names.size() || names[index] != function.name) {
            std::size_t low = 0, high = names.size();
            for (;;) {
                if (low >= high)
                    return PeExportFound::No;
                index = low + (high - low) / 2;
                if (names[index] == function.name)
                    break;
                // Compared as unsigned bytes, as strcmp compares them.
                if (names[index] < function.name)
                    low = index + 1;
                else
                    high = index;
            }
        }
        slot = exports.nameSlots[index];
    }
    if (slot >= exports.functions.size() || exports.functions[slot] == 0)
        return PeExportFound::No;
    auto forwarded = exports.forwards.find(static_cast<std::uint32_t>(slot));
    if (forwarded == exports.forwards.end())
        return PeExportFound::Yes;
    forward = forwarded->second;
    return PeExportFound::Forwarded;
}
