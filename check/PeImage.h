#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace PeMachine {
inline constexpr std::uint16_t I386 = 0x014C;
inline constexpr std::uint16_t Amd64 = 0x8664;
inline constexpr std::uint16_t Arm64 = 0xAA64;
}  // namespace PeMachine

// A function that an image imports: by name, or by ordinal when `name` is empty. The hint is where the name
// should be in the exporter's name table.
struct PeFunction {
    std::string name;
    std::uint16_t ordinal = 0;
    std::uint16_t hint = 0;
    bool operator==(const PeFunction&) const = default;
};

struct PeImport {
    std::string dll;
    std::vector<PeFunction> functions = {};
    bool operator==(const PeImport&) const = default;
};

// The export table as the loader looks a function up in it.
struct PeExports {
    std::uint32_t base = 0;
    std::vector<std::uint32_t> functions;           // each slot's address; 0 for a slot that holds nothing
    std::vector<std::string> names;                 // the name table, in its order
    std::vector<std::uint16_t> nameSlots;           // the slot each name stands for
    std::map<std::uint32_t, std::string> forwards;  // by slot: "OTHER.Function" or "OTHER.#7"
};

// What the loader reads of a program image: the machine it is built for, the DLLs and functions it imports,
// what it exports, and its manifests (which an activation context is made from).
struct PeImage {
    std::uint16_t machine = 0;  // set as soon as the file header is read, 0 before
    bool pe32Plus = false;      // optional header magic 0x20B
    // The import directory, in table order, and the DLL names of the delay-import directory.
    std::vector<PeImport> imports = {};
    std::vector<std::string> delayImports = {};
    PeExports exports = {};
    std::wstring exportFault = L"";  // why the export table cannot be read; "" when it can
    // Manifest resources by id: 1 for a program, 2 for a library.
    std::map<std::uint16_t, std::string> manifests = {};
};

// A file that the reader takes piece by piece, as it needs them: a large DLL of which only the export table
// matters costs its headers and that table.
class PeFile {
public:
    virtual ~PeFile() = default;
    [[nodiscard]] virtual std::uint64_t Size() const = 0;
    // At most `length` bytes from `offset` (fewer only at the end of the file), valid while the file is.
    [[nodiscard]] virtual std::string_view Bytes(std::uint64_t offset, std::uint64_t length) = 0;
};

enum class PeParts { All, Exports };

// Reads `file` as a PE image, checking every offset before it reads; never maps or runs anything. With
// PeParts::Exports only the headers and the export table are read.
// "" when the loader could map the image and resolve its imports; otherwise what is wrong as a lower-case clause
// that reads after "<file> cannot be loaded: ", e.g. L"it is not a program image: it has no MZ signature".
// `image.machine` is kept even when a later part is damaged, so that a caller can still tell the bitness of a
// damaged image. The delay imports, exports and manifests are read as far as they can be: the loader does not
// need them to map the image, so their damage leaves them empty instead of failing the image.
[[nodiscard]] std::wstring ReadPeImage(PeFile& file, PeImage& image, PeParts parts = PeParts::All);
// The same for a whole file in memory.
[[nodiscard]] std::wstring ReadPeImage(std::string_view bytes, PeImage& image);

enum class PeExportFound { No, Yes, Forwarded };

// Looks `function` up as the loader does: a name by its hint first, then by binary search of the name table;
// an ordinal by its slot. For a forwarded export, `forward` is where it goes ("OTHER.Function").
[[nodiscard]] PeExportFound FindExport(const PeExports& exports, const PeFunction& function, std::string& forward);
