#include "effects/pe_image.h"

#include <algorithm>
#include <cstring>

namespace pe {
namespace {

constexpr uint16_t kDosSignature = 0x5A4D;  // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kExecutableImage = 0x0002;
constexpr uint32_t kDosHeaderSize = 64;
constexpr uint32_t kFileHeaderEnd = 24;  // signature + file header
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kImportDescriptorSize = 20;
constexpr uint32_t kExportDirectorySize = 40;
constexpr uint32_t kFunctionEntrySize = 12;  // begin, end, unwind information
constexpr int kHighLow = 3;
constexpr int kDir64 = 10;
constexpr uint32_t kSectionDiscardable = 0x02000000;
constexpr uint32_t kSectionExecute = 0x20000000;
constexpr uint32_t kSectionRead = 0x40000000;
constexpr uint32_t kSectionWrite = 0x80000000;
// A real image has a handful of TLS callbacks; a longer list is a broken table.
constexpr size_t kMaxTlsCallbacks = 256;

// What differs between the PE32 and PE32+ layouts of the optional header and the tables that hold
// addresses. Offsets are from the start of the optional header.
struct Format {
  Machine machine;
  uint16_t magic;
  uint32_t ntHeadersSize;  // signature, file header, optional header with 16 directories
  uint32_t optionalFixed;  // the optional header before its data directories
  uint32_t imageBaseAt;
  uint32_t pointerSize;    // import slots, TLS directory fields, TLS callback list
  uint32_t tlsDirectorySize;
  uint32_t tlsCallbacksAt;
};
constexpr Format kPe32{Machine::kI386, 0x010B, 248, 96, 28, 4, 24, 12};
constexpr Format kPe32Plus{Machine::kAmd64, 0x020B, 264, 112, 24, 8, 40, 24};

const Format& FormatOf(const Headers& headers) { return headers.Is64() ? kPe32Plus : kPe32; }

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

// An address-sized field: 4 bytes in PE32, 8 in PE32+.
std::optional<uint64_t> ReadPointer(std::span<const uint8_t> bytes, uint64_t offset, uint32_t size) {
  if (size == 8) return Read<uint64_t>(bytes, offset);
  const std::optional<uint32_t> value = Read<uint32_t>(bytes, offset);
  return value ? std::optional<uint64_t>(*value) : std::nullopt;
}

void WritePointer(std::span<uint8_t> bytes, uint64_t offset, uint32_t size, uint64_t value) {  // checked
  if (size == 8) {
    std::memcpy(bytes.data() + offset, &value, 8);
  } else {
    const uint32_t narrow = static_cast<uint32_t>(value);
    std::memcpy(bytes.data() + offset, &narrow, 4);
  }
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
  const uint64_t file = nt + 4ull;
  const uint64_t optional = nt + uint64_t{kFileHeaderEnd};
  // The machine and the optional header's magic say which layout the rest has; they must agree.
  if (!Fits(bytes, nt, kFileHeaderEnd + 2) || At<uint32_t>(bytes, nt) != kPeSignature) return std::nullopt;
  const uint16_t machine = At<uint16_t>(bytes, file);
  const uint16_t magic = At<uint16_t>(bytes, optional);
  const Format* format = nullptr;
  for (const Format* f : {&kPe32, &kPe32Plus})
    if (machine == static_cast<uint16_t>(f->machine) && magic == f->magic) format = f;
  if (!format || !Fits(bytes, nt, format->ntHeadersSize)) return std::nullopt;

  const uint16_t optionalSize = At<uint16_t>(bytes, file + 16);
  Headers h;
  h.machine = format->machine;
  h.ntOffset = nt;
  h.characteristics = At<uint16_t>(bytes, file + 18);
  h.sectionCount = At<uint16_t>(bytes, file + 2);
  if (!(h.characteristics & kExecutableImage) || optionalSize < format->optionalFixed) return std::nullopt;

  h.entryPoint = At<uint32_t>(bytes, optional + 16);
  h.preferredBase = format->pointerSize == 8 ? At<uint64_t>(bytes, optional + format->imageBaseAt)
                                             : At<uint32_t>(bytes, optional + format->imageBaseAt);
  h.sectionAlignment = At<uint32_t>(bytes, optional + 32);
  h.declaredImageSize = At<uint32_t>(bytes, optional + 56);
  // The section table follows the optional header as its size declares, as the system loader
  // reads it; for the usual header that is right after the NT headers.
  h.sectionTableOffset = static_cast<uint32_t>(optional + optionalSize);
  const uint32_t declared = At<uint32_t>(bytes, optional + format->optionalFixed - 4);
  const uint32_t room = (optionalSize - format->optionalFixed) / 8;
  const uint32_t count = std::min({declared, room, uint32_t{16}});
  const uint64_t directories = optional + format->optionalFixed;
  for (uint32_t i = 0; i < count; ++i) {
    h.directories[i].rva = At<uint32_t>(bytes, directories + 8ull * i);
    h.directories[i].size = At<uint32_t>(bytes, directories + 8ull * i + 4);
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
    s.characteristics = At<uint32_t>(file, at + 36);
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

bool CanRelocate(const Headers& headers) {
  return !headers.RelocationsStripped() && headers.Directory(kRelocationDirectory).size != 0;
}

bool PerformBaseRelocation(std::span<uint8_t> image, const Headers& headers, uint64_t delta) {
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
      const uint64_t target = uint64_t{page} + (entry & 0x0FFFu);
      // Modular sums: a negative delta is a large one that wraps around.
      if ((entry >> 12) == kHighLow) {
        if (!Fits(image, target, 4)) return false;
        const uint32_t value = At<uint32_t>(image, target) + static_cast<uint32_t>(delta);
        std::memcpy(image.data() + target, &value, 4);
      } else if ((entry >> 12) == kDir64) {
        if (!Fits(image, target, 8)) return false;
        const uint64_t value = At<uint64_t>(image, target) + delta;
        std::memcpy(image.data() + target, &value, 8);
      }
    }
    block += blockSize;
  }
  return true;
}

bool BuildImportTable(std::span<uint8_t> image, const Headers& headers, ImportBinder& binder) {
  const DataDirectory& dir = headers.Directory(kImportDirectory);
  if (dir.rva == 0) return true;
  const uint32_t slot = FormatOf(headers).pointerSize;
  const uint64_t ordinalFlag = uint64_t{1} << (8 * slot - 1);
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
      const std::optional<uint64_t> thunk = ReadPointer(image, lookup + slot * i, slot);
      if (!thunk || !Fits(image, addressTable + slot * i, slot)) return false;
      if (*thunk == 0) break;
      ImportedSymbol symbol;
      symbol.library = library;
      if (*thunk & ordinalFlag) {
        symbol.ordinal = static_cast<uint16_t>(*thunk & 0xFFFFu);
      } else {
        symbol.name = TextAt(image, *thunk + 2);  // after the 16-bit hint
        if (!symbol.name) return false;
      }
      const uint64_t address = binder.Resolve(symbol);
      if (address == 0 || (slot == 4 && address > 0xFFFFFFFFu)) return false;
      WritePointer(image, addressTable + slot * i, slot, address);
    }
  }
  return true;
}

std::optional<std::vector<uint32_t>> TlsCallbacks(std::span<const uint8_t> image, const Headers& headers,
                                                  uint64_t base) {
  std::vector<uint32_t> callbacks;
  const DataDirectory& dir = headers.Directory(kTlsDirectory);
  if (dir.rva == 0) return callbacks;
  const Format& format = FormatOf(headers);
  const uint32_t slot = format.pointerSize;
  if (!Fits(image, dir.rva, format.tlsDirectorySize)) return std::nullopt;
  const uint64_t listVa = *ReadPointer(image, uint64_t{dir.rva} + format.tlsCallbacksAt, slot);
  if (listVa == 0) return callbacks;
  // The directory holds addresses, already relocated; in PE32 they wrap around at 4 GB.
  const uint64_t mask = slot == 8 ? ~uint64_t{0} : 0xFFFFFFFFu;
  const uint64_t list = (listVa - base) & mask;
  for (size_t i = 0;; ++i) {
    const std::optional<uint64_t> va = ReadPointer(image, list + uint64_t{slot} * i, slot);
    if (!va || i >= kMaxTlsCallbacks) return std::nullopt;
    if (*va == 0) break;
    const uint64_t rva = (*va - base) & mask;
    if (rva >= image.size()) return std::nullopt;
    callbacks.push_back(static_cast<uint32_t>(rva));
  }
  return callbacks;
}

std::optional<FunctionTable> ExceptionTable(std::span<const uint8_t> image, const Headers& headers) {
  const DataDirectory& dir = headers.Directory(kExceptionDirectory);
  // i386 code unwinds through frame chains, not tables: the directory means nothing there.
  if (!headers.Is64() || dir.rva == 0 || dir.size < kFunctionEntrySize) return FunctionTable{};
  FunctionTable table{dir.rva, dir.size / kFunctionEntrySize};
  if (table.rva % 4 != 0 || !Fits(image, table.rva, uint64_t{table.count} * kFunctionEntrySize))
    return std::nullopt;
  // The system's unwinder follows these RVAs without checking them.
  for (uint64_t i = 0; i < table.count; ++i) {
    const uint64_t at = table.rva + kFunctionEntrySize * i;
    const uint32_t begin = At<uint32_t>(image, at);
    const uint32_t end = At<uint32_t>(image, at + 4);
    const uint32_t unwind = At<uint32_t>(image, at + 8) & ~1u;  // bit 0 marks a chained entry
    if (begin >= end || end > image.size() || !Fits(image, unwind, 4)) return std::nullopt;
  }
  return table;
}

std::vector<ProtectedRange> SectionProtections(const ImageLayout& layout, uint32_t pageSize) {
  const uint64_t end = AlignUp(layout.imageSize, pageSize);
  // Per page: the access asked for, whether anything lies there, whether anything kept does.
  struct Page {
    uint8_t access = 0;
    bool covered = false;
    bool kept = false;
  };
  std::vector<Page> pages(end / pageSize);
  auto forPages = [&](uint64_t from, uint64_t to, auto&& change) {
    to = std::min(to, end);
    for (uint64_t p = from / pageSize; p * pageSize < to; ++p) change(pages[p]);
  };
  forPages(0, layout.headerBytes, [](Page& page) { page = {kRead, true, true}; });
  const uint32_t alignment = layout.headers.sectionAlignment;
  for (const Section& s : layout.sections) {
    const uint64_t extent = s.virtualSize ? s.virtualSize : s.rawSize;
    if (extent == 0) continue;
    uint8_t access = 0;
    if (s.characteristics & kSectionRead) access |= kRead;
    if (s.characteristics & kSectionWrite) access |= kWrite;
    if (s.characteristics & kSectionExecute) access |= kExecute;
    const bool discardable = (s.characteristics & kSectionDiscardable) != 0;
    forPages(s.virtualAddress, AlignUp(uint64_t{s.virtualAddress} + extent, alignment), [&](Page& page) {
      page.access |= access;
      page.covered = true;
      page.kept |= !discardable;
    });
  }
  // Exports, TLS and unwind tables are read after loading, wherever they lie; only the relocations
  // are done with (the certificate directory holds a file offset, not an address).
  for (int d = 0; d < 16; ++d) {
    const DataDirectory& dir = layout.headers.directories[d];
    if (d == kRelocationDirectory || d == 4 || dir.size == 0) continue;
    forPages(dir.rva, uint64_t{dir.rva} + dir.size, [](Page& page) { page.kept = true; });
  }

  std::vector<ProtectedRange> ranges;
  for (size_t p = 0; p < pages.size(); ++p) {
    uint8_t access = pages[p].access;
    if (!pages[p].covered) {
      access = kRead;
    } else if (!pages[p].kept) {
      access = kDiscard;
    }
    if (!ranges.empty() && ranges.back().access == access) {
      ranges.back().size += pageSize;
    } else {
      ranges.push_back({static_cast<uint32_t>(p * pageSize), pageSize, access});
    }
  }
  return ranges;
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
