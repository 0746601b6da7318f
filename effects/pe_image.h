#pragma once
// Reading and laying out a Windows DLL image from untrusted bytes: PE32 for i386 and PE32+ for
// x86-64. Every table walk is bounds-checked against the bytes it is given; a broken table ends in
// a failed result. Nothing here calls the operating system, so it is built and tested natively as
// well, for both formats.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace pe {

struct DataDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

enum DirectoryIndex : int {
  kExportDirectory = 0,
  kImportDirectory = 1,
  kExceptionDirectory = 3,
  kRelocationDirectory = 5,
  kTlsDirectory = 9,
};

// The two machines an image can be built for: each has its own optional-header format.
enum class Machine : uint16_t { kI386 = 0x014C, kAmd64 = 0x8664 };

struct Section {
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;
  uint32_t rawOffset = 0;
  uint32_t rawSize = 0;
  uint32_t characteristics = 0;
};

// What the headers of a PE32 (i386) or PE32+ (x86-64) image say.
struct Headers {
  Machine machine = Machine::kI386;
  uint32_t ntOffset = 0;
  uint16_t characteristics = 0;
  uint32_t entryPoint = 0;  // RVA, 0 when the image has none
  uint64_t preferredBase = 0;
  uint32_t sectionAlignment = 0;
  uint32_t declaredImageSize = 0;
  uint32_t sectionTableOffset = 0;
  uint16_t sectionCount = 0;
  std::array<DataDirectory, 16> directories{};

  bool Is64() const { return machine == Machine::kAmd64; }
  bool IsDll() const { return (characteristics & 0x2000) != 0; }
  bool RelocationsStripped() const { return (characteristics & 0x0001) != 0; }
  const DataDirectory& Directory(DirectoryIndex index) const { return directories[index]; }
};

// Headers plus what mapping needs: the section table and the size of memory to reserve.
struct ImageLayout {
  Headers headers;
  std::vector<Section> sections;
  uint32_t imageSize = 0;    // bytes to reserve for the mapped image
  uint32_t headerBytes = 0;  // leading bytes of the file copied as the mapped headers
};

// Images larger than this are refused before anything is reserved for them.
inline constexpr uint32_t kMaxImageSize = 256u << 20;

// Reads the DOS and NT headers. Fails for anything but an executable PE32 image for i386 or PE32+
// image for x86-64.
std::optional<Headers> ReadHeaders(std::span<const uint8_t> bytes);

// Headers, section table and mapped size of a DLL file; fails when the file is cut short, the
// sizes are out of range or the headers do not fit the image.
std::optional<ImageLayout> ReadImageLayout(std::span<const uint8_t> file);

// Copies the headers and every section's raw data into `image` (imageSize bytes, zero-filled).
bool CopySections(std::span<const uint8_t> file, const ImageLayout& layout, std::span<uint8_t> image);

// Whether the image can run at another address than its preferred base.
bool CanRelocate(const Headers& headers);

// Adds `delta` (mapped base − preferred base, modulo 2^64) to every HIGHLOW (32-bit) and DIR64
// (64-bit) fix-up. Walks the blocks until one has address 0 or the directory ends; a block that is
// too small, runs past the directory or points outside the image fails.
bool PerformBaseRelocation(std::span<uint8_t> image, const Headers& headers, uint64_t delta);

// One imported function: `name` is null when it is imported by ordinal. The texts point into the
// image and are zero-terminated there.
struct ImportedSymbol {
  const char* library = nullptr;
  const char* name = nullptr;
  uint16_t ordinal = 0;
};

// Supplies the addresses for BuildImportTable.
class ImportBinder {
 public:
  virtual ~ImportBinder() = default;
  // Called once per import descriptor, before its functions.
  virtual void OpenLibrary(const char* library) = 0;
  // The address to write into the import slot; 0 fails the load.
  virtual uint64_t Resolve(const ImportedSymbol& symbol) = 0;
};

// Fills the import address table (32-bit slots in PE32, 64-bit ones in PE32+). Fails when a table
// leaves the image, a symbol stays unresolved or its address does not fit the slot.
bool BuildImportTable(std::span<uint8_t> image, const Headers& headers, ImportBinder& binder);

// The RVAs of the TLS callbacks, read from the relocated image mapped at `base`; empty when the
// image has none, nullopt when the directory or a callback lies outside the image.
std::optional<std::vector<uint32_t>> TlsCallbacks(std::span<const uint8_t> image, const Headers& headers,
                                                  uint64_t base);

// The function table that x86-64 code unwinds through (12-byte entries from the exception
// directory). Empty for PE32 images and images without one; nullopt when the table or an entry
// points outside the image.
struct FunctionTable {
  uint32_t rva = 0;
  uint32_t count = 0;
};
std::optional<FunctionTable> ExceptionTable(std::span<const uint8_t> image, const Headers& headers);

// The access a range of the mapped image gets once it is loaded. kDiscard: only discardable
// sections lie there, so the range is given back.
enum Access : uint8_t { kRead = 1, kWrite = 2, kExecute = 4, kDiscard = 8 };

struct ProtectedRange {
  uint32_t rva = 0;
  uint32_t size = 0;
  uint8_t access = 0;
};

// Splits the mapped image into page-aligned ranges, each with the access its sections ask for:
// the headers are read-only, a page shared by several sections gets all their access, pages no
// section covers are read-only. A page is discarded when only discardable sections lie there and
// it holds no table but the relocations. The ranges cover the image in order, without gaps.
std::vector<ProtectedRange> SectionProtections(const ImageLayout& layout, uint32_t pageSize);

// The RVA of an export found by name, or by ordinal when `name` is a decimal number. Reads the
// headers from the mapped image. Forwarded exports are not resolved (nullopt).
std::optional<uint32_t> FindExportRva(std::span<const uint8_t> image, std::string_view name);

// AlignUp(x, a): the smallest multiple of a that is at least x (a >= 1).
uint64_t AlignUp(uint64_t value, uint32_t alignment);

}  // namespace pe
