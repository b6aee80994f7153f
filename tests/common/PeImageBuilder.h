#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A small sound program image: headers, then one ".idata" section at RVA 0x1000, file offset 0x200, that holds
// the import descriptors and after them the DLL names.
struct PeImagePlan {
    std::uint16_t machine = 0x14C;
    bool pe32Plus = false;
    std::vector<std::string> imports;  // with none, the import directory entry is zero
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
    std::size_t firstImportName = 0;  // 0 without imports
    std::uint32_t sectionRva = 0x1000;
};

inline void PutLe(std::string& bytes, std::size_t offset, std::uint32_t value, int width = 4)
{
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

inline PeImageLayout LayOutPeImage(const PeImagePlan& plan)
{
    PeImageLayout image;
    std::uint32_t optionalSize = plan.pe32Plus ? 240 : 224;
    image.sectionTable = image.optionalHeader + optionalSize;
    image.importDirectory = image.optionalHeader + (plan.pe32Plus ? 120 : 104);
    std::uint32_t tableSize = static_cast<std::uint32_t>(plan.imports.size() + 1) * 20;
    std::string data(tableSize, '\0');
    for (std::size_t i = 0; i < plan.imports.size(); ++i) {
        PutLe(data, i * 20 + 12, image.sectionRva + static_cast<std::uint32_t>(data.size()));
        data += plan.imports[i];
        data += '\0';
    }
    image.firstImportName = plan.imports.empty() ? 0 : image.sectionData + tableSize;
    auto rawSize = static_cast<std::uint32_t>((data.size() + 0x1FF) & ~std::size_t{0x1FF});

    std::string& bytes = image.bytes;
    bytes.assign(image.sectionData + rawSize, '\0');
    bytes.replace(image.sectionData, data.size(), data);
    bytes.replace(0, 2, "MZ");
    PutLe(bytes, 0x3C, static_cast<std::uint32_t>(image.peSignature));
    bytes.replace(image.peSignature, 2, "PE");
    PutLe(bytes, image.fileHeader, plan.machine, 2);
    PutLe(bytes, image.fileHeader + 2, 1, 2);
    PutLe(bytes, image.fileHeader + 16, optionalSize, 2);
    PutLe(bytes, image.fileHeader + 18, plan.pe32Plus ? 0x22 : 0x102, 2);  // executable; large-address or 32-bit
    PutLe(bytes, image.optionalHeader, plan.pe32Plus ? 0x20B : 0x10B, 2);
    PutLe(bytes, image.optionalHeader + 32, 0x1000);  // section and file alignment
    PutLe(bytes, image.optionalHeader + 36, 0x200);
    PutLe(bytes, image.optionalHeader + 56, image.sectionRva + ((rawSize + 0xFFF) & ~0xFFFu));
    PutLe(bytes, image.optionalHeader + 60, static_cast<std::uint32_t>(image.sectionData));
    PutLe(bytes, image.optionalHeader + 68, 2, 2);  // the GUI subsystem
    PutLe(bytes, image.importDirectory - 12, 16);   // data directories
    if (!plan.imports.empty()) {
        PutLe(bytes, image.importDirectory, image.sectionRva);
        PutLe(bytes, image.importDirectory + 4, tableSize);
    }
    bytes.replace(image.sectionTable, 6, ".idata");
    PutLe(bytes, image.sectionTable + 8, static_cast<std::uint32_t>(data.size()));
    PutLe(bytes, image.sectionTable + 12, image.sectionRva);
    PutLe(bytes, image.sectionTable + 16, rawSize);
    PutLe(bytes, image.sectionTable + 20, static_cast<std::uint32_t>(image.sectionData));
    PutLe(bytes, image.sectionTable + 36, 0xC0000040);  // initialized data, readable, writable
    return image;
}

inline std::string BuildPeImage(const PeImagePlan& plan)
{
    return LayOutPeImage(plan).bytes;
}
