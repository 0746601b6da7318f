#include "effects/pe_image.h"

#include <algorithm>
#include <cstring>

namespace pe {
namespace {

constexpr uint16_t kDosSignature = 0x5A4D;  // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kPe32Magic = 0x010B;
constexpr uint16_t kExecutableImage = 0x0002;
constexpr uint32_t kDosHeaderSize = 64;
constexpr uint32_t kNtHeadersSize = 248;  // signature, file header, PE32 optional header
constexpr uint32_t kFileHeaderEnd = 24;   // signature + file header
constexpr uint32_t kOptionalHeaderFixed = 96;  // the optional header before its data directories
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kImportDescriptorSize = 20;
constexpr uint32_t kExportDirectorySize = 40;
constexpr uint32_t kTlsDirectorySize = 24;
constexpr uint32_t kOrdinalFlag = 0x80000000;
constexpr int kHighLow = 3;
// A real image has a handful of TLS callbacks; a longer list is a broken table.
constexpr size_t kMaxTlsCallbacks = 256;

// Bounds-checked little-endian reads: every offset is checked against the span in 64 bits, so no
// sum of untrusted 32-bit fields can wrap around.
bool Fits(std::span<const uint8_t> bytes, uint64_t offset, uint64_t length) {
  return offset <= bytes.size() && length <= bytes.size() - offset;
}

template <typename T>
std::optional<T> Read(std::span<const uint8_t> bytes, uint64_t offset) {
  if (!Fits(bytes, offset, sizeof(T))) return std::nullopt;
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

template <typename T>
T At(std::span<const uint8_t> bytes, uint64_t offset) {  // caller has checked Fits
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

// A zero-terminated text that starts at `offset` and ends inside the span.
const char* TextAt(std::span<const uint8_t> bytes, uint64_t offset) {
  if (offset >= bytes.size()) return nullptr;
  const void* end = std::memchr(bytes.data() + offset, 0, bytes.size() - offset);
  return end ? reinterpret_cast<const char*>(bytes.data() + offset) : nullptr;
}

// The ordinal that a decimal text names: digits only, no leading zero, within 32 bits.
std::optional<uint32_t> DecimalOrdinal(std::string_view text) {
  if (text.empty() || text.size() > 10 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<uint32_t>(value);
}

}  // namespace

uint64_t AlignUp(uint64_t value, uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

std::optional<Headers> ReadHeaders(std::span<const uint8_t> bytes) {
  if (bytes.size() < kDosHeaderSize || At<uint16_t>(bytes, 0) != kDosSignature) return std::nullopt;
  const uint32_t nt = At<uint32_t>(bytes, 0x3C);
  if (!Fits(bytes, nt, kNtHeadersSize)) return std::nullopt;
  if (At<uint32_t>(bytes, nt) != kPeSignature) return std::nullopt;

  const uint64_t file = nt + 4ull;
  const uint64_t optional = nt + uint64_t{kFileHeaderEnd};
  const uint16_t optionalSize = At<uint16_t>(bytes, file + 16);
  Headers h;
  h.ntOffset = nt;
  h.characteristics = At<uint16_t>(bytes, file + 18);
  h.sectionCount = At<uint16_t>(bytes, file + 2);
  // Only 32-bit x86 images can run in this process.
  if (At<uint16_t>(bytes, file) != kMachineI386 || At<uint16_t>(bytes, optional) != kPe32Magic)
    return std::nullopt;
  if (!(h.characteristics & kExecutableImage) || optionalSize < kOptionalHeaderFixed) return std::nullopt;

  h.entryPoint = At<uint32_t>(bytes, optional + 16);
  h.preferredBase = At<uint32_t>(bytes, optional + 28);
  h.sectionAlignment = At<uint32_t>(bytes, optional + 32);
  h.declaredImageSize = At<uint32_t>(bytes, optional + 56);
  // The section table follows the optional header as its size declares, as the system loader
  // reads it; for the usual 224-byte header that is right after the 248 bytes of NT headers.
  h.sectionTableOffset = static_cast<uint32_t>(optional + optionalSize);
  const uint32_t declared = At<uint32_t>(bytes, optional + 92);
  const uint32_t room = (optionalSize - kOptionalHeaderFixed) / 8;
  const uint32_t count = std::min({declared, room, uint32_t{16}});
  for (uint32_t i = 0; i < count; ++i) {
    h.directories[i].rva = At<uint32_t>(bytes, optional + kOptionalHeaderFixed + 8ull * i);
    h.directories[i].size = At<uint32_t>(bytes, optional + kOptionalHeaderFixed + 8ull * i + 4);
  }
  return h;
}

std::optional<ImageLayout> ReadImageLayout(std::span<const uint8_t> file) {
  std::optional<Headers> headers = ReadHeaders(file);
  if (!headers) return std::nullopt;
  ImageLayout layout;
  layout.headers = *headers;
  const Headers& h = layout.headers;
  const uint64_t tableEnd = uint64_t{h.sectionTableOffset} + uint64_t{kSectionHeaderSize} * h.sectionCount;
  if (tableEnd > file.size() || h.sectionAlignment == 0) return std::nullopt;

  uint64_t imageSize = h.declaredImageSize;
  layout.sections.reserve(h.sectionCount);
  for (uint32_t i = 0; i < h.sectionCount; ++i) {
    const uint64_t at = h.sectionTableOffset + uint64_t{kSectionHeaderSize} * i;
    Section s;
    s.virtualSize = At<uint32_t>(file, at + 8);
    s.virtualAddress = At<uint32_t>(file, at + 12);
    s.rawSize = At<uint32_t>(file, at + 16);
    s.rawOffset = At<uint32_t>(file, at + 20);
    // Only the low 16 bits of VirtualSize count here; SizeOfImage already covers the sections of
    // any image a linker wrote.
    const uint64_t extent = std::max<uint64_t>(s.virtualSize & 0xFFFFu, s.rawSize);
    imageSize = std::max(imageSize, AlignUp(uint64_t{s.virtualAddress} + extent, h.sectionAlignment));
    layout.sections.push_back(s);
  }
  if (imageSize == 0 || imageSize > kMaxImageSize || tableEnd > imageSize) return std::nullopt;
  if (h.entryPoint >= imageSize) return std::nullopt;
  layout.imageSize = static_cast<uint32_t>(imageSize);
  layout.headerBytes = static_cast<uint32_t>(tableEnd);
  return layout;
}

bool CopySections(std::span<const uint8_t> file, const ImageLayout& layout, std::span<uint8_t> image) {
  if (image.size() < layout.imageSize || file.size() < layout.headerBytes) return false;
  std::memcpy(image.data(), file.data(), layout.headerBytes);
  for (const Section& s : layout.sections) {
    if (s.rawSize == 0 || s.virtualAddress == 0) continue;
    if (!Fits(file, s.rawOffset, s.rawSize) || !Fits(image, s.virtualAddress, s.rawSize)) return false;
    std::memcpy(image.data() + s.virtualAddress, file.data() + s.rawOffset, s.rawSize);
  }
  return true;
}

bool PerformBaseRelocation(std::span<uint8_t> image, const Headers& headers, uint32_t delta) {
  const DataDirectory& dir = headers.Directory(kRelocationDirectory);
  if (dir.size == 0) return true;
  if (!Fits(image, dir.rva, dir.size)) return false;
  const uint64_t end = uint64_t{dir.rva} + dir.size;
  uint64_t block = dir.rva;
  while (block + 8 <= end) {
    const uint32_t page = At<uint32_t>(image, block);
    const uint32_t blockSize = At<uint32_t>(image, block + 4);
    if (page == 0) break;
    // A block smaller than its own header would never advance the walk.
    if (blockSize < 8 || block + blockSize > end) return false;
    const uint32_t entries = (blockSize - 8) / 2;
    for (uint32_t i = 0; i < entries; ++i) {
      const uint16_t entry = At<uint16_t>(image, block + 8 + 2ull * i);
      if ((entry >> 12) != kHighLow) continue;
      const uint64_t target = uint64_t{page} + (entry & 0x0FFFu);
      if (!Fits(image, target, 4)) return false;
      uint32_t value = At<uint32_t>(image, target);
      value += delta;
      std::memcpy(image.data() + target, &value, 4);
    }
    block += blockSize;
  }
  return true;
}

bool BuildImportTable(std::span<uint8_t> image, const Headers& headers, ImportBinder& binder) {
  const DataDirectory& dir = headers.Directory(kImportDirectory);
  if (dir.rva == 0) return true;
  for (uint64_t desc = dir.rva;; desc += kImportDescriptorSize) {
    if (!Fits(image, desc, kImportDescriptorSize)) return false;
    const uint32_t lookupTable = At<uint32_t>(image, desc);
    const uint32_t nameRva = At<uint32_t>(image, desc + 12);
    const uint32_t addressTable = At<uint32_t>(image, desc + 16);
    if (addressTable == 0) break;
    const char* library = TextAt(image, nameRva);
    if (nameRva == 0 || !library) return false;
    binder.OpenLibrary(library);
    // The lookup table keeps the names even when the address table was bound ahead of time.
    const uint64_t lookup = lookupTable ? lookupTable : addressTable;
    for (uint64_t i = 0;; ++i) {
      const std::optional<uint32_t> thunk = Read<uint32_t>(image, lookup + 4 * i);
      if (!thunk || !Fits(image, addressTable + 4 * i, 4)) return false;
      if (*thunk == 0) break;
      ImportedSymbol symbol;
      symbol.library = library;
      if (*thunk & kOrdinalFlag) {
        symbol.ordinal = static_cast<uint16_t>(*thunk & 0xFFFFu);
      } else {
        symbol.name = TextAt(image, uint64_t{*thunk} + 2);  // after the 16-bit hint
        if (!symbol.name) return false;
      }
      const uint32_t address = binder.Resolve(symbol);
      if (address == 0) return false;
      std::memcpy(image.data() + addressTable + 4 * i, &address, 4);
    }
  }
  return true;
}

std::optional<std::vector<uint32_t>> TlsCallbacks(std::span<const uint8_t> image, const Headers& headers,
                                                  uint32_t base) {
  std::vector<uint32_t> callbacks;
  const DataDirectory& dir = headers.Directory(kTlsDirectory);
  if (dir.rva == 0) return callbacks;
  if (!Fits(image, dir.rva, kTlsDirectorySize)) return std::nullopt;
  const uint32_t listVa = At<uint32_t>(image, uint64_t{dir.rva} + 12);
  if (listVa == 0) return callbacks;
  const uint32_t list = listVa - base;  // the directory holds addresses, already relocated
  for (size_t i = 0;; ++i) {
    const std::optional<uint32_t> va = Read<uint32_t>(image, uint64_t{list} + 4 * i);
    if (!va || i >= kMaxTlsCallbacks) return std::nullopt;
    if (*va == 0) break;
    const uint32_t rva = *va - base;
    if (rva >= image.size()) return std::nullopt;
    callbacks.push_back(rva);
  }
  return callbacks;
}

std::optional<uint32_t> FindExportRva(std::span<const uint8_t> image, std::string_view name) {
  const std::optional<Headers> headers = ReadHeaders(image);
  if (!headers) return std::nullopt;
  const DataDirectory& dir = headers->Directory(kExportDirectory);
  if (dir.size == 0 || !Fits(image, dir.rva, kExportDirectorySize)) return std::nullopt;
  const uint64_t at = dir.rva;
  const uint32_t ordinalBase = At<uint32_t>(image, at + 16);
  const uint32_t functionCount = At<uint32_t>(image, at + 20);
  const uint32_t nameCount = At<uint32_t>(image, at + 24);
  const uint32_t functions = At<uint32_t>(image, at + 28);
  const uint32_t names = At<uint32_t>(image, at + 32);
  const uint32_t nameOrdinals = At<uint32_t>(image, at + 36);
  if (!Fits(image, functions, uint64_t{functionCount} * 4)) return std::nullopt;

  auto function = [&](uint64_t index) -> std::optional<uint32_t> {
    if (index >= functionCount) return std::nullopt;
    const uint32_t rva = At<uint32_t>(image, functions + 4 * index);
    if (rva == 0 || rva >= image.size()) return std::nullopt;
    // An address inside the export directory is a forwarder text ("OTHER.Function"), not code.
    if (rva >= dir.rva && uint64_t{rva} < uint64_t{dir.rva} + dir.size) return std::nullopt;
    return rva;
  };

  if (std::optional<uint32_t> ordinal = DecimalOrdinal(name)) {
    if (*ordinal < ordinalBase) return std::nullopt;
    return function(uint64_t{*ordinal} - ordinalBase);
  }
  if (!Fits(image, names, uint64_t{nameCount} * 4) || !Fits(image, nameOrdinals, uint64_t{nameCount} * 2))
    return std::nullopt;
  for (uint64_t i = 0; i < nameCount; ++i) {
    const char* candidate = TextAt(image, At<uint32_t>(image, names + 4 * i));
    if (candidate && name == candidate) return function(At<uint16_t>(image, nameOrdinals + 2 * i));
  }
  return std::nullopt;
}

}  // namespace pe
