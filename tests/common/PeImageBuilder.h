#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// A small sound program image: headers, then one ".idata" section at RVA 0x1000, file offset 0x200, that holds
// in turn the import descriptors, their lookup and address tables, the DLL names, the function names, the
// delay-import descriptors and names, the export table and the manifest resource.
struct PeImagePlan {
    std::uint16_t machine = 0x14C;
    bool pe32Plus = false;
    std::uint64_t imageBase = 0;
    // "KERNEL32.dll", or with the functions it imports: "KERNEL32.dll:GetTickCount,#7" (#7: by ordinal).
    std::vector<std::string> imports = {};
    std::vector<std::string> delayImports = {};
    bool delayByAddress = false;  // their names as addresses, as the first compilers wrote them, not as RVAs
    // One slot each, from `ordinalBase`: "Name", "Name>OTHER.Function" (forwarded), "@" (no name) or "" (empty).
    // Without a manifest, the export table ends the section.
    std::vector<std::string> exports = {};
    std::uint32_t ordinalBase = 1;
    std::string manifest = "";  // resource `manifestId` of type 24 when not empty
    std::uint16_t manifestId = 2;
    std::size_t unmappedTail = 0;  // the last bytes of the data, left out of the section's virtual size
};

// The bytes, and where each header and table starts in them, for tests that cut or damage one.
struct PeImageLayout {
    std::string bytes;
    std::size_t dosHeader = 0;
    std::size_t peSignature = 0x80;
    std::size_t fileHeader = 0x84;
    std::size_t optionalHeader = 0x98;
    std::size_t sectionTable = 0;
    std::size_t importDirectory = 0;  // the {RVA, size} entry in the optional header
    std::size_t sectionData = 0x200;  // the first import descriptor
    std::size_t firstLookup = 0;      // the first import's first lookup entry
    std::size_t firstImportName = 0;  // 0 without imports
    std::size_t dataSize = 0;         // all of the above, unpadded; the section's virtual size, but `unmappedTail`
    std::uint32_t sectionRva = 0x1000;
};

inline void PutLe(std::string& bytes, std::size_t offset, std::uint64_t value, int width = 4)
{
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

inline std::vector<std::string> SplitPlan(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    for (std::size_t start = 0, end; start <= text.size(); start = end + 1) {
        end = std::min(text.find(separator, start), text.size());
        parts.push_back(text.substr(start, end - start));
    }
    return parts;
}

inline PeImageLayout LayOutPeImage(const PeImagePlan& plan)
{
    PeImageLayout image;
    const std::uint32_t optionalSize = plan.pe32Plus ? 240 : 224;
    const std::size_t width = plan.pe32Plus ? 8 : 4;
    const std::size_t directories = image.optionalHeader + (plan.pe32Plus ? 112 : 96);
    image.sectionTable = image.optionalHeader + optionalSize;
    image.importDirectory = directories + 8;

    std::string data;
    // {offset in data, what it points at, the image base for a field that holds an address}
    std::vector<std::tuple<std::size_t, std::size_t, std::uint64_t>> rvaFields;
    auto reserve = [&data](std::size_t size) {
        data.append(size, '\0');
        return data.size() - size;
    };
    auto text = [&data](const std::string& s) {
        data += s;
        data += '\0';
        return data.size() - s.size() - 1;
    };
    auto point = [&rvaFields](std::size_t field, std::size_t target, std::uint64_t base = 0) {
        rvaFields.push_back({field, target, base});
    };

    std::vector<std::vector<std::string>> imports;
    for (const std::string& plannedImport : plan.imports) {
        std::size_t colon = plannedImport.find(':');
        imports.push_back({plannedImport.substr(0, colon)});
        if (colon != std::string::npos) {
            for (const std::string& function : SplitPlan(plannedImport.substr(colon + 1), ','))
                imports.back().push_back(function);
        }
    }
    const std::size_t descriptors = reserve((imports.size() + 1) * 20);
    std::vector<std::size_t> lookups, addresses;
    // Each import's name comes first, then its functions: an entry a function, and the zero that ends them.
    for (const auto& import : imports)
        lookups.push_back(reserve(import.size() * width));
    for (const auto& import : imports)
        addresses.push_back(reserve(import.size() * width));
    for (std::size_t i = 0; i < imports.size(); ++i) {
        std::size_t name = text(imports[i][0]);
        image.firstImportName = i == 0 ? image.sectionData + name : image.firstImportName;
        point(descriptors + i * 20, lookups[i]);
        point(descriptors + i * 20 + 12, name);
        point(descriptors + i * 20 + 16, addresses[i]);
    }
    std::vector<std::pair<std::size_t, std::uint64_t>> entries;  // {offset in data, value} of ordinal entries
    for (std::size_t i = 0; i < imports.size(); ++i) {
        for (std::size_t j = 1; j < imports[i].size(); ++j) {
            const std::string& function = imports[i][j];
            std::size_t offsets[] = {lookups[i] + (j - 1) * width, addresses[i] + (j - 1) * width};
            if (function.starts_with('#')) {
                std::uint64_t flag = plan.pe32Plus ? std::uint64_t{1} << 63 : 0x80000000u;
                for (std::size_t offset : offsets)
                    entries.push_back({offset, flag | std::stoul(function.substr(1))});
                continue;
            }
            std::size_t hint = reserve(2);
            text(function);
            for (std::size_t offset : offsets)
                point(offset, hint);
        }
    }
    image.firstLookup = image.sectionData + (imports.empty() ? 0 : lookups[0]);

    const std::size_t delayed = plan.delayImports.empty() ? 0 : reserve((plan.delayImports.size() + 1) * 32);
    for (std::size_t i = 0; i < plan.delayImports.size(); ++i) {
        PutLe(data, delayed + i * 32, plan.delayByAddress ? 0 : 1);
        point(delayed + i * 32 + 4, text(plan.delayImports[i]), plan.delayByAddress ? plan.imageBase : 0);
    }

    std::size_t exportDirectory = 0;
    if (!plan.exports.empty()) {
        std::vector<std::pair<std::string, std::size_t>> named;
        for (std::size_t slot = 0; slot < plan.exports.size(); ++slot) {
            if (plan.exports[slot] != "@" && !plan.exports[slot].empty())
                named.push_back({plan.exports[slot].substr(0, plan.exports[slot].find('>')), slot});
        }
        std::sort(named.begin(), named.end());
        exportDirectory = reserve(40);
        const std::size_t functions = reserve(plan.exports.size() * 4);
        PutLe(data, exportDirectory + 16, plan.ordinalBase);
        PutLe(data, exportDirectory + 20, plan.exports.size());
        PutLe(data, exportDirectory + 24, named.size());
        point(exportDirectory + 28, functions);
        for (std::size_t slot = 0; slot < plan.exports.size(); ++slot) {
            std::size_t forward = plan.exports[slot].find('>');
            // The code of a function: anywhere outside the export table; the section's start will do.
            if (!plan.exports[slot].empty())
                point(functions + slot * 4,
                      forward == std::string::npos ? 0 : text(plan.exports[slot].substr(forward + 1)));
        }
        std::vector<std::size_t> nameTexts;
        for (const auto& name : named)
            nameTexts.push_back(text(name.first));
        const std::size_t names = reserve(named.size() * 4);
        const std::size_t ordinals = reserve(named.size() * 2);
        point(exportDirectory + 32, names);
        point(exportDirectory + 36, ordinals);
        for (std::size_t i = 0; i < named.size(); ++i) {
            point(names + i * 4, nameTexts[i]);
            PutLe(data, ordinals + i * 2, named[i].second, 2);
        }
    }
    const std::size_t exportSize = data.size() - exportDirectory;

    std::size_t resources = 0;
    if (!plan.manifest.empty()) {
        // Type, id and language directories of one entry each, then the data entry.
        resources = reserve(3 * 24 + 16);
        for (std::size_t level = 0; level < 3; ++level) {
            std::size_t directory = resources + level * 24;
            PutLe(data, directory + 14, 1, 2);
            PutLe(data, directory + 16, level == 0 ? 24 : level == 1 ? plan.manifestId : 1033);
            PutLe(data, directory + 20, level < 2 ? 0x80000000u | ((level + 1) * 24) : 3 * 24);
        }
        point(resources + 3 * 24, text(plan.manifest));
        PutLe(data, resources + 3 * 24 + 4, plan.manifest.size());
    }
    for (const auto& [field, target, base] : rvaFields)
        PutLe(data, field, base + image.sectionRva + target);
    for (const auto& [offset, value] : entries)
        PutLe(data, offset, value, static_cast<int>(width));
    image.dataSize = data.size();
    auto rawSize = static_cast<std::uint32_t>((data.size() + 0x1FF) & ~std::size_t{0x1FF});

    std::string& bytes = image.bytes;
    bytes.assign(image.sectionData + rawSize, '\0');
    bytes.replace(image.sectionData, data.size(), data);
    bytes.replace(0, 2, "MZ");
    PutLe(bytes, 0x3C, image.peSignature);
    bytes.replace(image.peSignature, 2, "PE");
    PutLe(bytes, image.fileHeader, plan.machine, 2);
    PutLe(bytes, image.fileHeader + 2, 1, 2);
    PutLe(bytes, image.fileHeader + 16, optionalSize, 2);
    PutLe(bytes, image.fileHeader + 18, plan.pe32Plus ? 0x22 : 0x102, 2);  // executable; large-address or 32-bit
    PutLe(bytes, image.optionalHeader, plan.pe32Plus ? 0x20B : 0x10B, 2);
    PutLe(bytes, image.optionalHeader + (plan.pe32Plus ? 24 : 28), plan.imageBase, plan.pe32Plus ? 8 : 4);
    PutLe(bytes, image.optionalHeader + 32, 0x1000);  // section and file alignment
    PutLe(bytes, image.optionalHeader + 36, 0x200);
    PutLe(bytes, image.optionalHeader + 56, image.sectionRva + ((rawSize + 0xFFF) & ~0xFFFu));
    PutLe(bytes, image.optionalHeader + 60, image.sectionData);
    PutLe(bytes, image.optionalHeader + 68, 2, 2);  // the GUI subsystem
    PutLe(bytes, directories - 4, 16);              // data directories
    auto directory = [&](std::size_t index, std::size_t at, std::size_t size) {
        PutLe(bytes, directories + index * 8, image.sectionRva + at);
        PutLe(bytes, directories + index * 8 + 4, size);
    };
    if (!imports.empty())
        directory(1, descriptors, (imports.size() + 1) * 20);
    if (!plan.exports.empty())
        directory(0, exportDirectory, exportSize);
    if (!plan.manifest.empty())
        directory(2, resources, data.size() - resources);
    if (!plan.delayImports.empty())
        directory(13, delayed, (plan.delayImports.size() + 1) * 32);
    bytes.replace(image.sectionTable, 6, ".idata");
    PutLe(bytes, image.sectionTable + 8, data.size() - plan.unmappedTail);
    PutLe(bytes, image.sectionTable + 12, image.sectionRva);
    PutLe(bytes, image.sectionTable + 16, rawSize);
    PutLe(bytes, image.sectionTable + 20, image.sectionData);
    PutLe(bytes, image.sectionTable + 36, 0xC0000040);  // initialized data, readable, writable
    return image;
}

inline std::string BuildPeImage(const PeImagePlan& plan)
{
    return LayOutPeImage(plan).bytes;
}
