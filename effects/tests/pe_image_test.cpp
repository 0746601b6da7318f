#include "effects/pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>

namespace {

// Debian's MinGW zlib, built for each machine: real DLLs with relocations, imports, exports and a
// TLS directory; the x86-64 one also has a function table.
std::vector<uint8_t> ReadFileBytes(std::string path) {
#ifdef _WIN32
  // Under Wine the Linux root is drive Z:.
  std::replace(path.begin(), path.end(), '/', '\\');
  path = "Z:" + path;
#endif
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
uint64_t Get64(const std::vector<uint8_t>& b, size_t at) {
  uint64_t v;
  std::memcpy(&v, b.data() + at, 8);
  return v;
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
void Put64(std::vector<uint8_t>& b, size_t at, uint64_t v) { std::memcpy(b.data() + at, &v, 8); }
void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) { std::memcpy(b.data() + at, &v, 2); }

struct Mapped {
  pe::ImageLayout layout;
  std::vector<uint8_t> image;
};

std::optional<Mapped> Map(const std::vector<uint8_t>& file) {
  std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(file);
  if (!layout) return std::nullopt;
  Mapped m{*layout, std::vector<uint8_t>(layout->imageSize)};
  if (!pe::CopySections(file, m.layout, m.image)) return std::nullopt;
  return m;
}

// The protection ranges cover the image's pages in order, without gaps or overlaps.
bool CoversThePages(const std::vector<pe::ProtectedRange>& ranges, uint32_t imageSize, uint32_t pageSize) {
  uint64_t next = 0;
  for (const pe::ProtectedRange& r : ranges) {
    if (r.rva != next || r.size == 0 || r.size % pageSize != 0) return false;
    next += r.size;
  }
  return next == pe::AlignUp(imageSize, pageSize);
}

// Records what the import walk asks for and hands out distinct fake addresses from `first` on.
class RecordingBinder : public pe::ImportBinder {
 public:
  explicit RecordingBinder(uint64_t first = 0x10000000u) : first_(first) {}
  void OpenLibrary(const char* library) override { libraries.push_back(library); }
  uint64_t Resolve(const pe::ImportedSymbol& symbol) override {
    std::string id = symbol.name ? symbol.name : "#";
    if (!symbol.name) id += std::to_string(symbol.ordinal);
    symbols.push_back(id);
    if (failOn && symbols.back() == failOn) return 0;
    return first_ + symbols.size();
  }
  std::vector<std::string> libraries, symbols;
  const char* failOn = nullptr;

 private:
  uint64_t first_;
};

struct ZlibCase {
  const char* name;
  const char* path;
  pe::Machine machine;
  uint64_t preferredBase;
  size_t sections;
  uint32_t ntHeadersSize;
};

void PrintTo(const ZlibCase& c, std::ostream* out) { *out << c.name; }

class PeImageTest : public ::testing::TestWithParam<ZlibCase> {
 protected:
  void SetUp() override {
    file = ReadFileBytes(GetParam().path);
    ASSERT_GT(file.size(), 4096u) << GetParam().path;
    std::optional<Mapped> m = Map(file);
    ASSERT_TRUE(m);
    mapped = std::move(*m);
  }
  const pe::Headers& headers() const { return mapped.layout.headers; }
  uint32_t DirectoryRva(pe::DirectoryIndex i) const { return headers().directories[i].rva; }
  bool Is64() const { return GetParam().machine == pe::Machine::kAmd64; }
  uint32_t PointerSize() const { return Is64() ? 8 : 4; }
  uint64_t GetPointer(const std::vector<uint8_t>& b, size_t at) const { return Is64() ? Get64(b, at) : Get32(b, at); }
  void PutPointer(std::vector<uint8_t>& b, size_t at, uint64_t v) const {
    if (Is64()) {
      Put64(b, at, v);
    } else {
      Put32(b, at, static_cast<uint32_t>(v));
    }
  }
  // The optional header's fields before its data directories.
  uint32_t OptionalFixed() const { return GetParam().ntHeadersSize - 24 - 16 * 8; }
  uint32_t TlsCallbacksField() const { return DirectoryRva(pe::kTlsDirectory) + 3 * PointerSize(); }

  std::vector<uint8_t> file;
  Mapped mapped;
};

INSTANTIATE_TEST_SUITE_P(
    Zlib, PeImageTest,
    ::testing::Values(ZlibCase{"I686", PT_ZLIB_I686_DLL, pe::Machine::kI386, 0x63080000u, 11, 248},
                      ZlibCase{"X86_64", PT_ZLIB_X86_64_DLL, pe::Machine::kAmd64, 0x241b90000u, 12, 264}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(PeImageTest, ReadsTheLayoutOfARealDll) {
  const pe::Headers& h = headers();
  EXPECT_EQ(h.machine, GetParam().machine);
  EXPECT_TRUE(h.IsDll());
  EXPECT_EQ(h.preferredBase, GetParam().preferredBase);
  EXPECT_EQ(mapped.layout.sections.size(), GetParam().sections);
  EXPECT_GE(mapped.layout.imageSize, h.declaredImageSize);
  EXPECT_EQ(mapped.layout.headerBytes, h.sectionTableOffset + 40u * GetParam().sections);
  EXPECT_EQ(h.sectionTableOffset, h.ntOffset + GetParam().ntHeadersSize);
  for (pe::DirectoryIndex d : {pe::kExportDirectory, pe::kImportDirectory, pe::kRelocationDirectory, pe::kTlsDirectory})
    EXPECT_NE(DirectoryRva(d), 0u) << d;
  EXPECT_TRUE(pe::CanRelocate(h));
  // .text's raw bytes land at its RVA; it is code, readable and executable.
  const pe::Section& text = mapped.layout.sections[0];
  EXPECT_EQ(0, std::memcmp(mapped.image.data() + text.virtualAddress, file.data() + text.rawOffset, text.rawSize));
  EXPECT_EQ(text.characteristics & 0xE0000020u, 0x60000020u);
}

TEST(AlignUpTest, Table) {
  struct Row {
    uint64_t value;
    uint32_t alignment;
    uint64_t expected;
  } rows[] = {{0, 0x1000, 0}, {1, 0x1000, 0x1000}, {0x1000, 0x1000, 0x1000}, {0x1001, 0x1000, 0x2000},
              {7, 3, 9}, {0xFFFFFFFF, 0x1000, 0x100000000}, {5, 1, 5}};
  for (const Row& r : rows) EXPECT_EQ(pe::AlignUp(r.value, r.alignment), r.expected) << r.value << "/" << r.alignment;
}

// Section characteristics: read, write, execute, discardable.
constexpr uint32_t R = 0x40000000, W = 0x80000000, X = 0x20000000, D = 0x02000000;

TEST(SectionProtectionsTest, Table) {
  using pe::kDiscard, pe::kExecute, pe::kRead, pe::kWrite;
  struct Row {
    const char* what;
    uint32_t sectionAlignment;
    uint32_t imageSize;
    std::vector<pe::Section> sections;  // virtualAddress, virtualSize, rawOffset, rawSize, characteristics
    std::vector<std::pair<pe::DirectoryIndex, pe::DataDirectory>> directories;
    std::vector<pe::ProtectedRange> expected;
  } rows[] = {
      {"each section its own access, the headers read-only", 0x1000, 0x6000,
       {{0x1000, 0x1800, 0x400, 0x1800, X | R}, {0x3000, 0x100, 0, 0x200, R}, {0x4000, 0x10, 0, 0, R | W},
        {0x5000, 0x64, 0, 0x200, R | D}},
       {{pe::kRelocationDirectory, {0x5000, 0x64}}},
       {{0, 0x1000, kRead}, {0x1000, 0x2000, kRead | kExecute}, {0x3000, 0x1000, kRead},
        {0x4000, 0x1000, kRead | kWrite}, {0x5000, 0x1000, kDiscard}}},
      {"sections aligned below a page share it", 0x200, 0x800,
       {{0x200, 0x300, 0x200, 0x400, X | R}, {0x600, 0x100, 0x600, 0x200, R | W}}, {},
       {{0, 0x1000, kRead | kWrite | kExecute}}},
      {"a discardable section beside a kept one on a page stays", 0x200, 0x1400,
       {{0x200, 0x200, 0x200, 0x200, R | W}, {0x400, 0x100, 0x400, 0x200, R | D}, {0x1000, 0x400, 0, 0x400, R | D}}, {},
       {{0, 0x1000, kRead | kWrite}, {0x1000, 0x1000, kDiscard}}},
      {"a table read after loading keeps its discardable section", 0x1000, 0x3000,
       {{0x1000, 0x100, 0x400, 0x200, R | D}, {0x2000, 0x100, 0x600, 0x200, R | D}},
       {{pe::kExportDirectory, {0x1010, 0x40}}, {pe::kRelocationDirectory, {0x2000, 0x100}}},
       {{0, 0x2000, kRead}, {0x2000, 0x1000, kDiscard}}},
      {"no section: read-only; a section without access: none", 0x1000, 0x4000,
       {{0x2000, 0x10, 0x400, 0x200, 0}}, {},
       {{0, 0x2000, kRead}, {0x2000, 0x1000, 0}, {0x3000, 0x1000, kRead}}},
      {"no virtual size: the raw size counts", 0x1000, 0x4000,
       {{0x1000, 0, 0x400, 0x1200, X | R}}, {},
       {{0, 0x1000, kRead}, {0x1000, 0x2000, kRead | kExecute}, {0x3000, 0x1000, kRead}}},
      {"a virtual size past the image ends with it", 0x1000, 0x3000,
       {{0x1000, 0xFFFFF000, 0x400, 0x200, R | W}}, {},
       {{0, 0x1000, kRead}, {0x1000, 0x2000, kRead | kWrite}}},
      {"an image size between pages rounds up", 0x200, 0x1200,
       {{0x1000, 0x200, 0x400, 0x200, R | W}}, {},
       {{0, 0x1000, kRead}, {0x1000, 0x1000, kRead | kWrite}}},
  };
  for (const Row& r : rows) {
    pe::ImageLayout layout;
    layout.headers.sectionAlignment = r.sectionAlignment;
    layout.sections = r.sections;
    layout.imageSize = r.imageSize;
    layout.headerBytes = 0x1F8;
    for (const auto& [index, dir] : r.directories) layout.headers.directories[index] = dir;
    const std::vector<pe::ProtectedRange> ranges = pe::SectionProtections(layout, 0x1000);
    ASSERT_EQ(ranges.size(), r.expected.size()) << r.what;
    for (size_t i = 0; i < ranges.size(); ++i) {
      EXPECT_EQ(ranges[i].rva, r.expected[i].rva) << r.what << " #" << i;
      EXPECT_EQ(ranges[i].size, r.expected[i].size) << r.what << " #" << i;
      EXPECT_EQ(ranges[i].access, r.expected[i].access) << r.what << " #" << i;
    }
  }
}

// Fix-ups are 32-bit in PE32 and 64-bit in PE32+; on x86-64 a delta that crosses 4 GB or is
// negative must reach the high half of every fix-up.
TEST_P(PeImageTest, RelocationMovesEveryFixUpByTheDeltaAndBack) {
  const std::vector<uint8_t> original = mapped.image;
  const size_t width = PointerSize();
  const uint64_t mask = Is64() ? ~uint64_t{0} : 0xFFFFFFFFu;
  for (uint64_t delta : {uint64_t{0x00120000}, uint64_t{0} - 0x00350000, uint64_t{0x7FF600000000}}) {
    if ((delta & mask) == 0) continue;  // moves a PE32 image by a multiple of 4 GB: nothing
    ASSERT_TRUE(pe::PerformBaseRelocation(mapped.image, headers(), delta));
    size_t changed = 0;
    for (size_t at = 0; at + width <= original.size(); ++at) {
      if (std::memcmp(original.data() + at, mapped.image.data() + at, width) == 0) continue;
      // Only whole fix-ups change; skip the overlapping windows around one.
      if (((GetPointer(mapped.image, at) - GetPointer(original, at)) & mask) == (delta & mask)) {
        ++changed;
        at += width - 1;
      }
    }
    EXPECT_GT(changed, Is64() ? 20u : 100u) << std::hex << delta;
    ASSERT_TRUE(pe::PerformBaseRelocation(mapped.image, headers(), uint64_t{0} - delta));
    EXPECT_TRUE(mapped.image == original) << std::hex << delta;
  }
}

TEST_P(PeImageTest, ImportsAreResolvedIntoTheAddressTable) {
  // Addresses above 4 GB fit a PE32+ slot whole.
  const uint64_t first = Is64() ? 0x7FF612340000u : 0x10000000u;
  RecordingBinder binder(first);
  ASSERT_TRUE(pe::BuildImportTable(mapped.image, headers(), binder));
  std::vector<std::string> lower;
  for (std::string s : binder.libraries) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    lower.push_back(s);
  }
  EXPECT_NE(std::find(lower.begin(), lower.end(), "kernel32.dll"), lower.end());
  EXPECT_NE(std::find(lower.begin(), lower.end(), "msvcrt.dll"), lower.end());
  EXPECT_NE(std::find(binder.symbols.begin(), binder.symbols.end(), "malloc"), binder.symbols.end());
  // The first descriptor's first two slots now hold the first two resolved addresses.
  const uint32_t firstSlot = Get32(mapped.image, DirectoryRva(pe::kImportDirectory) + 16);
  EXPECT_EQ(GetPointer(mapped.image, firstSlot), first + 1);
  EXPECT_EQ(GetPointer(mapped.image, firstSlot + PointerSize()), first + 2);

  std::optional<Mapped> again = Map(file);
  RecordingBinder refusing;
  refusing.failOn = "malloc";
  EXPECT_FALSE(pe::BuildImportTable(again->image, headers(), refusing));
  // A 32-bit slot cannot hold an address above 4 GB.
  again = Map(file);
  RecordingBinder high(0x100000000u);
  EXPECT_EQ(pe::BuildImportTable(again->image, headers(), high), Is64());
}

TEST_P(PeImageTest, ExportsByNameAndByOrdinal) {
  const std::optional<uint32_t> version = pe::FindExportRva(mapped.image, "zlibVersion");
  const std::optional<uint32_t> compress = pe::FindExportRva(mapped.image, "compress");
  ASSERT_TRUE(version && compress);
  EXPECT_NE(*version, *compress);
  for (const char* absent : {"", "zlibversion", "zlibVersion ", "nothing", "01", "-1", "4294967296", "99999"})
    EXPECT_FALSE(pe::FindExportRva(mapped.image, absent)) << absent;
  // Some ordinal names zlibVersion; ordinals below the base name nothing.
  bool found = false;
  for (int ordinal = 1; ordinal < 200 && !found; ++ordinal)
    found = pe::FindExportRva(mapped.image, std::to_string(ordinal)) == version;
  EXPECT_TRUE(found);
  EXPECT_FALSE(pe::FindExportRva(mapped.image, "0"));
}

TEST_P(PeImageTest, TlsCallbacksLieInTheImage) {
  const std::optional<std::vector<uint32_t>> callbacks = pe::TlsCallbacks(mapped.image, headers(), headers().preferredBase);
  ASSERT_TRUE(callbacks);
  ASSERT_FALSE(callbacks->empty());
  for (uint32_t rva : *callbacks) EXPECT_LT(rva, mapped.layout.imageSize);
  // Relocated by a delta above 4 GB: the same callbacks.
  const uint64_t far = headers().preferredBase + (Is64() ? 0x7FF600000000u : 0x00350000u);
  ASSERT_TRUE(pe::PerformBaseRelocation(mapped.image, headers(), far - headers().preferredBase));
  EXPECT_EQ(pe::TlsCallbacks(mapped.image, headers(), far), callbacks);
  // Read as if mapped elsewhere without relocating: the addresses no longer fall in the image.
  EXPECT_FALSE(pe::TlsCallbacks(mapped.image, headers(), 0x10000000));
}

// x86-64 code has a function table for unwinding; i386 code has none to register.
TEST_P(PeImageTest, TheFunctionTableCoversTheCode) {
  const std::optional<pe::FunctionTable> table = pe::ExceptionTable(mapped.image, headers());
  ASSERT_TRUE(table);
  if (!Is64()) {
    EXPECT_EQ(table->count, 0u);
    return;
  }
  EXPECT_EQ(table->rva, DirectoryRva(pe::kExceptionDirectory));
  EXPECT_EQ(table->count, headers().directories[pe::kExceptionDirectory].size / 12);
  EXPECT_GT(table->count, 100u);
  const pe::Section& text = mapped.layout.sections[0];
  for (uint32_t i = 0; i < table->count; ++i) {
    const uint32_t begin = Get32(mapped.image, table->rva + 12 * i);
    EXPECT_GE(begin, text.virtualAddress);
    EXPECT_LT(begin, text.virtualAddress + text.virtualSize);
  }
}

// Each row breaks one field; the stage that reads it must fail (not crash, not succeed).
TEST_P(PeImageTest, BrokenHeadersAreRefused) {
  const uint32_t nt = headers().ntOffset;
  const uint32_t optional = nt + 24;
  const uint32_t firstSection = headers().sectionTableOffset;
  struct Row {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
  } rows[] = {
      {"shorter than a DOS header", [](auto& b) { b.resize(63); }},
      {"no MZ", [](auto& b) { b[1] = 'X'; }},
      {"NT headers past the end", [](auto& b) { Put32(b, 0x3C, 0xFFFFFFF0u); }},
      {"cut inside the NT headers", [&](auto& b) { b.resize(nt + GetParam().ntHeadersSize - 1); }},
      {"cut before the optional header", [&](auto& b) { b.resize(nt + 25); }},
      {"no PE signature", [&](auto& b) { b[nt + 1] = 'X'; }},
      // The machine and the optional header's format must agree.
      {"the other machine", [&](auto& b) { Put16(b, nt + 4, Is64() ? 0x014C : 0x8664); }},
      {"the other optional header", [&](auto& b) { Put16(b, optional, Is64() ? 0x10B : 0x20B); }},
      {"ARM64 machine", [&](auto& b) { Put16(b, nt + 4, 0xAA64); }},
      {"ROM optional header", [&](auto& b) { Put16(b, optional, 0x107); }},
      {"not executable", [&](auto& b) { Put16(b, nt + 22, 0x2000); }},
      {"optional header too small", [&](auto& b) { Put16(b, nt + 20, 64); }},
      {"section table past the end", [&](auto& b) { Put16(b, nt + 6, 0xFFFF); }},
      {"cut inside the section table", [&](auto& b) { b.resize(firstSection + 40 * GetParam().sections - 1); }},
      {"section alignment 0", [&](auto& b) { Put32(b, optional + 32, 0); }},
      {"huge image size", [&](auto& b) { Put32(b, optional + 56, 0xFFFFF000u); }},
      {"huge section", [&](auto& b) { Put32(b, firstSection + 12, 0xF0000000u); }},
      {"entry point outside", [&](auto& b) { Put32(b, optional + 16, 0x7FFFFFFF); }},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> damaged = file;
    r.damage(damaged);
    EXPECT_FALSE(pe::ReadImageLayout(damaged)) << r.what;
  }

  std::vector<uint8_t> damaged = file;
  Put32(damaged, firstSection + 20, static_cast<uint32_t>(file.size()));  // raw data past the end
  std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(damaged);
  ASSERT_TRUE(layout);
  std::vector<uint8_t> image(layout->imageSize);
  EXPECT_FALSE(pe::CopySections(damaged, *layout, image));
}

// Each row breaks one table in the mapped image; its walk must fail.
TEST_P(PeImageTest, BrokenTablesFailTheirWalk) {
  const uint32_t size = mapped.layout.imageSize;
  const uint32_t reloc = DirectoryRva(pe::kRelocationDirectory);
  const uint32_t imports = DirectoryRva(pe::kImportDirectory);
  const uint32_t exports = DirectoryRva(pe::kExportDirectory);
  const uint32_t relocSizeField = headers().ntOffset + 24 + OptionalFixed() + 8 * 5 + 4;
  const uint32_t tlsList = TlsCallbacksField();
  const uint32_t functions = DirectoryRva(pe::kExceptionDirectory);  // 0 in PE32
  using Image = std::vector<uint8_t>;
  struct Row {
    const char* what;
    std::function<void(Image&)> damage;
    std::function<bool(Image&)> walk;
  } rows[] = {
      {"relocation block of size 0", [&](Image& b) { Put32(b, reloc + 4, 0); },
       [&](Image& b) { return pe::PerformBaseRelocation(b, headers(), 0x1000); }},
      {"relocation block past its directory", [&](Image& b) { Put32(b, reloc + 4, 0x100000); },
       [&](Image& b) { return pe::PerformBaseRelocation(b, headers(), 0x1000); }},
      {"relocation page outside the image", [&](Image& b) { Put32(b, reloc, size - 2); },
       [&](Image& b) { return pe::PerformBaseRelocation(b, headers(), 0x1000); }},
      {"relocation directory past the image", [&](Image& b) { Put32(b, relocSizeField, size); },
       [&](Image& b) {
         std::optional<pe::Headers> h = pe::ReadHeaders(b);
         return h && pe::PerformBaseRelocation(b, *h, 0x1000);
       }},
      {"library name outside the image", [&](Image& b) { Put32(b, imports + 12, size); },
       [&](Image& b) { RecordingBinder r; return pe::BuildImportTable(b, headers(), r); }},
      {"library name runs to the end", [&](Image& b) {
         std::memset(b.data() + size - 16, 'A', 16);
         Put32(b, imports + 12, size - 16);
       }, [&](Image& b) { RecordingBinder r; return pe::BuildImportTable(b, headers(), r); }},
      {"lookup table outside the image", [&](Image& b) { Put32(b, imports, size - 2); },
       [&](Image& b) { RecordingBinder r; return pe::BuildImportTable(b, headers(), r); }},
      {"hint/name entry outside the image", [&](Image& b) { Put32(b, Get32(b, imports), size + 100); },
       [&](Image& b) { RecordingBinder r; return pe::BuildImportTable(b, headers(), r); }},
      {"descriptors without an end", [&](Image& b) {
         // Every descriptor from here to the end of the image looks used.
         for (uint32_t d = imports; d + 20 <= size; d += 20) std::memcpy(b.data() + d, b.data() + imports, 20);
       }, [&](Image& b) { RecordingBinder r; return pe::BuildImportTable(b, headers(), r); }},
      {"export functions past the image", [&](Image& b) { Put32(b, exports + 20, 0x40000000); },
       [&](Image& b) { return pe::FindExportRva(b, "compress").has_value(); }},
      {"export names past the image", [&](Image& b) { Put32(b, exports + 32, size - 4); },
       [&](Image& b) { return pe::FindExportRva(b, "compress").has_value(); }},
      {"export function outside the image", [&](Image& b) {
         for (uint32_t i = 0; i < Get32(b, exports + 20); ++i) Put32(b, Get32(b, exports + 28) + 4 * i, size);
       }, [&](Image& b) { return pe::FindExportRva(b, "compress").has_value(); }},
      {"TLS callback list outside the image", [&](Image& b) { PutPointer(b, tlsList, headers().preferredBase + size); },
       [&](Image& b) { return pe::TlsCallbacks(b, headers(), headers().preferredBase).has_value(); }},
      {"TLS callback list without an end", [&](Image& b) {
         const uint64_t list = GetPointer(b, tlsList) - headers().preferredBase;
         for (uint32_t i = 0; i < 300; ++i) PutPointer(b, list + PointerSize() * i, headers().preferredBase + 0x1000);
       }, [&](Image& b) { return pe::TlsCallbacks(b, headers(), headers().preferredBase).has_value(); }},
      {"TLS callback outside the image", [&](Image& b) {
         PutPointer(b, GetPointer(b, tlsList) - headers().preferredBase, headers().preferredBase + size);
       }, [&](Image& b) { return pe::TlsCallbacks(b, headers(), headers().preferredBase).has_value(); }},
  };
  for (const Row& r : rows) {
    Image image = mapped.image;
    EXPECT_TRUE(r.walk(image)) << "intact: " << r.what;
    image = mapped.image;
    r.damage(image);
    EXPECT_FALSE(r.walk(image)) << r.what;
  }
  if (!Is64()) return;

  // The function table: the system's unwinder follows its RVAs without checking them.
  auto table = [&](Image& b) {
    std::optional<pe::Headers> h = pe::ReadHeaders(b);
    return h && pe::ExceptionTable(b, *h).has_value();
  };
  const uint32_t tableRvaField = headers().ntOffset + 24 + OptionalFixed() + 8 * pe::kExceptionDirectory;
  const uint32_t last = functions + 12 * (headers().directories[pe::kExceptionDirectory].size / 12 - 1);
  Row tableRows[] = {
      {"table past the image", [&](Image& b) { Put32(b, tableRvaField, size - 12); }, table},
      {"table not aligned", [&](Image& b) { Put32(b, tableRvaField, functions + 2); }, table},
      {"function ends before it begins", [&](Image& b) { Put32(b, last + 4, Get32(b, last) - 1); }, table},
      {"function ends past the image", [&](Image& b) { Put32(b, last + 4, size + 1); }, table},
      {"unwind information outside", [&](Image& b) { Put32(b, last + 8, size - 2); }, table},
  };
  for (const Row& r : tableRows) {
    Image image = mapped.image;
    EXPECT_TRUE(r.walk(image)) << "intact: " << r.what;
    image = mapped.image;
    r.damage(image);
    EXPECT_FALSE(r.walk(image)) << r.what;
  }
}

// Runs every stage on whatever bytes it is given, the way the loader would; true when all passed.
bool RunAllStages(const std::vector<uint8_t>& file, uint64_t delta) {
  std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(file);
  if (!layout || layout->imageSize > (16u << 20)) return false;
  std::vector<uint8_t> image(layout->imageSize);
  if (!pe::CopySections(file, *layout, image)) return false;
  if (!pe::PerformBaseRelocation(image, layout->headers, delta)) return false;
  RecordingBinder binder;
  if (!pe::BuildImportTable(image, layout->headers, binder)) return false;
  for (const char* name : {"zlibVersion", "compress", "1", "70"}) pe::FindExportRva(image, name);
  EXPECT_TRUE(CoversThePages(pe::SectionProtections(*layout, 4096), layout->imageSize, 4096));
  return pe::ExceptionTable(image, layout->headers).has_value() &&
         pe::TlsCallbacks(image, layout->headers, layout->headers.preferredBase + delta).has_value();
}

TEST_P(PeImageTest, TruncatedAnywhereNeverReadsOutside) {
  std::vector<size_t> cuts;
  for (size_t n = 0; n <= mapped.layout.headerBytes + 8; ++n) cuts.push_back(n);
  for (const pe::Section& s : mapped.layout.sections)
    for (size_t n : {s.rawOffset, s.rawOffset + 1, s.rawOffset + s.rawSize - 1}) cuts.push_back(n);
  for (size_t n : cuts) {
    std::vector<uint8_t> cut(file.begin(), file.begin() + std::min(n, file.size()));
    if (n < file.size()) {
      std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(cut);
      if (layout) {
        std::vector<uint8_t> image(layout->imageSize);
        EXPECT_FALSE(pe::CopySections(cut, *layout, image)) << "cut at " << n;
      }
    }
    RunAllStages(cut, 0x10000);
  }
}

TEST_P(PeImageTest, RandomFlipsInTheTablesNeverReadOutside) {
  // The file ranges of the headers and of every table the loader walks.
  std::vector<std::pair<size_t, size_t>> ranges{{0, mapped.layout.headerBytes}};
  for (const pe::Section& s : mapped.layout.sections) {
    for (pe::DirectoryIndex d : {pe::kExportDirectory, pe::kImportDirectory, pe::kExceptionDirectory,
                                 pe::kRelocationDirectory, pe::kTlsDirectory}) {
      const uint32_t rva = DirectoryRva(d);
      if (rva >= s.virtualAddress && rva < s.virtualAddress + s.rawSize)
        ranges.emplace_back(s.rawOffset, s.rawSize);
    }
  }
  std::mt19937 random(20240521);
  int survived = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> damaged = file;
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < flips; ++i) {
      const auto& [start, length] = ranges[random() % ranges.size()];
      damaged[start + random() % length] ^= static_cast<uint8_t>(1u << (random() % 8));
    }
    survived += RunAllStages(damaged, (random() % 2) ? 0 : uint64_t{0} - 0x00350000);
  }
  // Most flips land in fields no stage rejects, so the walks really ran to the end.
  EXPECT_GT(survived, 1000);
  EXPECT_LT(survived, 3000);
}

}  // namespace
