#include "check/PeImage.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::uint64_t DosHeaderSize = 64;
constexpr std::uint64_t FileHeaderSize = 20;
constexpr std::uint64_t SectionHeaderSize = 40;
constexpr std::uint64_t DescriptorSize = 20;
constexpr std::uint16_t Pe32Magic = 0x10B;
constexpr std::uint16_t Pe32PlusMagic = 0x20B;
// Far more than any program imports; with the file's end, it bounds the walk of a hostile table.
constexpr std::uint64_t MaxDescriptors = 65536;
// A name that no Windows path can hold; the cap also keeps a hostile table from making the walk quadratic.
constexpr std::size_t MaxNameLength = 259;
constexpr std::wstring_view NotAnImage = L"it is not a program image: ";

struct Section {
    std::uint64_t virtualAddress = 0;
    std::uint64_t virtualEnd = 0;
    std::uint64_t rawOffset = 0;
    std::uint64_t rawSize = 0;
};

enum class Where { Mapped, NoSection, OutsideFile };

// The bytes behind an RVA, from it to the end of what backs it in the file.
struct Placed {
    Where where = Where::NoSection;
    std::string_view bytes;
};

bool Holds(std::string_view bytes, std::uint64_t offset, std::uint64_t length)
{
    return offset <= bytes.size() && length <= bytes.size() - offset;
}

// Little-endian, at an offset that Holds has already checked.
std::uint32_t ReadLe(std::string_view bytes, std::uint64_t offset, int width)
{
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

std::uint16_t Read16(std::string_view bytes, std::uint64_t offset)
{
    return static_cast<std::uint16_t>(ReadLe(bytes, offset, 2));
}

std::uint32_t Read32(std::string_view bytes, std::uint64_t offset)
{
    return ReadLe(bytes, offset, 4);
}

std::wstring Hex(std::uint16_t value)
{
    std::wstring text = L"0x";
    for (int shift = 12; shift >= 0; shift -= 4)
        text += L"0123456789ABCDEF"[value >> shift & 0xF];
    return text;
}

// Every field is 32-bit and every sum is taken in 64 bits, so none can wrap.
Placed Place(std::string_view file, const std::vector<Section>& sections, std::uint64_t rva)
{
    std::uint64_t firstSection = std::numeric_limits<std::uint64_t>::max();
    for (const Section& section : sections) {
        firstSection = std::min(firstSection, section.virtualAddress);
        if (rva < section.virtualAddress || rva >= section.virtualEnd)
            continue;
        std::uint64_t into = rva - section.virtualAddress;
        std::uint64_t end = std::min<std::uint64_t>(section.rawOffset + section.rawSize, file.size());
        if (into >= section.rawSize || section.rawOffset + into >= end)
            return {Where::OutsideFile, {}};
        return {Where::Mapped, file.substr(section.rawOffset + into, end - section.rawOffset - into)};
    }
    // The headers are loaded at the image base, so below the first section an RVA is a file offset.
    if (rva >= firstSection)
        return {Where::NoSection, {}};
    if (rva >= file.size())
        return {Where::OutsideFile, {}};
    return {Where::Mapped, file.substr(rva, std::min<std::uint64_t>(firstSection, file.size()) - rva)};
}

// The loader walks the descriptors to the all-zero one, whatever size the directory claims.
std::wstring ReadImports(std::string_view file, const std::vector<Section>& sections, std::uint64_t rva,
                         std::vector<std::string>& imports)
{
    Placed table = Place(file, sections, rva);
    if (table.where == Where::NoSection)
        return L"its import directory lies in no section";
    if (table.where == Where::OutsideFile)
        return L"its import directory points outside the file";
    for (std::uint64_t entry = 0; entry < MaxDescriptors; ++entry) {
        if (!Holds(table.bytes, entry * DescriptorSize, DescriptorSize))
            break;
        std::string_view descriptor = table.bytes.substr(entry * DescriptorSize, DescriptorSize);
        if (descriptor.find_first_not_of('\0') == std::string_view::npos)
            return L"";
        Placed name = Place(file, sections, Read32(descriptor, 12));
        if (name.where != Where::Mapped)
            return L"an imported DLL name points outside the file";
        std::size_t length = name.bytes.substr(0, MaxNameLength + 1).find('\0');
        if (length == std::string_view::npos) {
            return name.bytes.size() > MaxNameLength ? L"an imported DLL name is longer than 259 characters"
                                                     : L"an imported DLL name has no end";
        }
        if (length == 0)
            return L"an imported DLL name is empty";
        std::string_view text = name.bytes.substr(0, length);
        if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; }))
            return L"an imported DLL name holds a byte that is not printable ASCII";
        imports.emplace_back(text);
    }
    return L"its import table has no terminating entry";
}

}  // namespace

std::wstring ReadPeImage(std::string_view bytes, PeImage& image)
{
    image = PeImage{};
    if (bytes.size() < 2 || bytes[0] != 'M' || bytes[1] != 'Z')
        return std::wstring(NotAnImage) + L"it has no MZ signature";
    if (!Holds(bytes, 0, DosHeaderSize))
        return std::wstring(NotAnImage) + L"it ends inside its DOS header";
    std::uint64_t signature = Read32(bytes, 0x3C);
    if (!Holds(bytes, signature, 4))
        return std::wstring(NotAnImage) + L"it ends inside its PE signature";
    if (bytes.substr(signature, 4) != std::string_view("PE\0\0", 4))
        return std::wstring(NotAnImage) + L"it has no PE signature";
    std::uint64_t fileHeader = signature + 4;
    if (!Holds(bytes, fileHeader, FileHeaderSize))
        return std::wstring(NotAnImage) + L"it ends inside its file header";
    // 0 is the loader's "unknown machine", and leaves a caller nothing to tell the bitness by.
    if (Read16(bytes, fileHeader) == 0)
        return std::wstring(NotAnImage) + L"its file header names no machine";
    image.machine = Read16(bytes, fileHeader);
    std::uint64_t sectionCount = Read16(bytes, fileHeader + 2);
    std::uint64_t optionalSize = Read16(bytes, fileHeader + 16);
    std::uint64_t optionalHeader = fileHeader + FileHeaderSize;
    if (!Holds(bytes, optionalHeader, optionalSize))
        return L"it ends inside its optional header";
    if (optionalSize < 2)
        return L"it has no optional header";
    std::uint16_t magic = Read16(bytes, optionalHeader);
    if (magic != Pe32Magic && magic != Pe32PlusMagic)
        return L"its optional header has an unknown magic number, " + Hex(magic);
    image.pe32Plus = magic == Pe32PlusMagic;

    std::uint64_t directoryCount = image.pe32Plus ? 108 : 92;
    std::uint64_t importEntry = directoryCount + 4 + 8;
    std::uint64_t importRva = 0;
    if (importEntry + 8 <= optionalSize && Read32(bytes, optionalHeader + directoryCount) >= 2)
        importRva = Read32(bytes, optionalHeader + importEntry);

    std::uint64_t table = optionalHeader + optionalSize;
    if (!Holds(bytes, table, sectionCount * SectionHeaderSize))
        return L"it ends inside its section table";
    std::vector<Section> sections(sectionCount);
    for (std::uint64_t i = 0; i < sectionCount; ++i) {
        std::uint64_t at = table + i * SectionHeaderSize;
        Section& section = sections[i];
        section.virtualAddress = Read32(bytes, at + 12);
        section.rawSize = Read32(bytes, at + 16);
        section.rawOffset = Read32(bytes, at + 20);
        section.virtualEnd = section.virtualAddress + std::max<std::uint64_t>(Read32(bytes, at + 8), section.rawSize);
    }
    if (importRva == 0)
        return L"";
    std::wstring fault = ReadImports(bytes, sections, importRva, image.imports);
    if (!fault.empty())
        image.imports.clear();
    return fault;
}
