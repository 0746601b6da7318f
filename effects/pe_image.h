#pragma once
// Reading and laying out a 32-bit Windows DLL image (PE32, i386) from untrusted bytes. Every table
// walk is bounds-checked against the bytes it is given; a broken table ends in a failed result.
// Nothing here calls the operating system, so it is built and tested natively as well.

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

enum DirectoryIndex : int { kExportDirectory = 0, kImportDirectory = 1, kRelocationDirectory = 5, kTlsDirectory = 9 };

struct Section {
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;
  uint32_t rawOffset = 0;
  uint32_t rawSize = 0;
};

// What the headers of a PE32 i386 image say.
struct Headers {
  uint32_t ntOffset = 0;
  uint16_t characteristics = 0;
  uint32_t entryPoint = 0;  // RVA, 0 when the image has none
  uint32_t preferredBase = 0;
  uint32_t sectionAlignment = 0;
  uint32_t declaredImageSize = 0;
  uint32_t sectionTableOffset = 0;
  uint16_t sectionCount = 0;
  std::array<DataDirectory, 16> directories{};

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

// Reads the DOS and NT headers. Fails for anything but an executable PE32 image for i386.
std::optional<Headers> ReadHeaders(std::span<const uint8_t> bytes);

// Headers, section table and mapped size of a DLL file; fails when the file is cut short, the
// sizes are out of range or the headers do not fit the image.
std::optional<ImageLayout> ReadImageLayout(std::span<const uint8_t> file);

// Copies the headers and every section's raw data into `image` (imageSize bytes, zero-filled).
bool CopySections(std::span<const uint8_t> file, const ImageLayout& layout, std::span<uint8_t> image);

// Adds `delta` to every HIGHLOW fix-up. Walks the blocks until one has address 0 or the directory
// ends; a block that is too small, runs past the directory or points outside the image fails.
bool PerformBaseRelocation(std::span<uint8_t> image, const Headers& headers, uint32_t delta);

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
  virtual uint32_t Resolve(const ImportedSymbol& symbol) = 0;
};

// Fills the import address table. Fails when a table leaves the image or a symbol stays unresolved.
bool BuildImportTable(std::span<uint8_t> image, const Headers& headers, ImportBinder& binder);

// The RVAs of the TLS callbacks, read from the relocated image mapped at `base`; empty when the
// image has none, nullopt when the directory or a callback lies outside the image.
std::optional<std::vector<uint32_t>> TlsCallbacks(std::span<const uint8_t> image, const Headers& headers,
                                                  uint32_t base);

// The RVA of an export found by name, or by ordinal when `name` is a decimal number. Reads the
// headers from the mapped image. Forwarded exports are not resolved (nullopt).
std::optional<uint32_t> FindExportRva(std::span<const uint8_t> image, std::string_view name);

// AlignUp(x, a): the smallest multiple of a that is at least x (a >= 1).
uint64_t AlignUp(uint64_t value, uint32_t alignment);

}  // namespace pe
