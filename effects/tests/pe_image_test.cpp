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

// Debian's MinGW zlib: a real DLL with relocations, imports, exports and a TLS directory.
std::vector<uint8_t> ReadZlib() {
  std::string path = PT_ZLIB_DLL;
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
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
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

// Records what the import walk asks for and hands out distinct fake addresses.
class RecordingBinder : public pe::ImportBinder {
 public:
  void OpenLibrary(const char* library) override { libraries.push_back(library); }
  uint32_t Resolve(const pe::ImportedSymbol& symbol) override {
    std::string id = symbol.name ? symbol.name : "#";
    if (!symbol.name) id += std::to_string(symbol.ordinal);
    symbols.push_back(id);
    if (failOn && symbols.back() == failOn) return 0;
    return 0x10000000u + static_cast<uint32_t>(symbols.size());
  }
  std::vector<std::string> libraries, symbols;
  const char* failOn = nullptr;
};

class PeImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file = ReadZlib();
    ASSERT_GT(file.size(), 4096u) << PT_ZLIB_DLL;
    std::optional<Mapped> m = Map(file);
    ASSERT_TRUE(m);
    mapped = std::move(*m);
  }
  const pe::Headers& headers() const { return mapped.layout.headers; }
  uint32_t DirectoryRva(pe::DirectoryIndex i) const { return headers().directories[i].rva; }

  std::vector<uint8_t> file;
  Mapped mapped;
};

TEST_F(PeImageTest, ReadsTheLayoutOfARealDll) {
  const pe::Headers& h = headers();
  EXPECT_TRUE(h.IsDll());
  EXPECT_EQ(h.preferredBase, 0x63080000u);
  EXPECT_EQ(mapped.layout.sections.size(), 11u);
  EXPECT_GE(mapped.layout.imageSize, h.declaredImageSize);
  EXPECT_EQ(mapped.layout.headerBytes, h.sectionTableOffset + 40u * 11);
  EXPECT_EQ(h.sectionTableOffset, h.ntOffset + 248);
  for (pe::DirectoryIndex d : {pe::kExportDirectory, pe::kImportDirectory, pe::kRelocationDirectory, pe::kTlsDirectory})
    EXPECT_NE(DirectoryRva(d), 0u) << d;
  // .text's raw bytes land at its RVA.
  const pe::Section& text = mapped.layout.sections[0];
  EXPECT_EQ(0, std::memcmp(mapped.image.data() + text.virtualAddress, file.data() + text.rawOffset, text.rawSize));
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

TEST_F(PeImageTest, RelocationMovesEveryFixUpByTheDeltaAndBack) {
  const std::vector<uint8_t> original = mapped.image;
  ASSERT_TRUE(pe::PerformBaseRelocation(mapped.image, headers(), 0x00120000));
  size_t changed = 0;
  for (size_t at = 0; at + 4 <= original.size(); ++at) {
    if (std::memcmp(original.data() + at, mapped.image.data() + at, 4) == 0) continue;
    // Only whole 32-bit fix-ups change; skip the overlapping windows around one.
    if (Get32(mapped.image, at) - Get32(original, at) == 0x00120000) {
      ++changed;
      at += 3;
    }
  }
  EXPECT_GT(changed, 100u);
  ASSERT_TRUE(pe::PerformBaseRelocation(mapped.image, headers(), static_cast<uint32_t>(-0x00120000)));
  EXPECT_TRUE(mapped.image == original);
}

TEST_F(PeImageTest, ImportsAreResolvedIntoTheAddressTable) {
  RecordingBinder binder;
  ASSERT_TRUE(pe::BuildImportTable(mapped.image, headers(), binder));
  std::vector<std::string> lower;
  for (std::string s : binder.libraries) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    lower.push_back(s);
  }
  EXPECT_NE(std::find(lower.begin(), lower.end(), "kernel32.dll"), lower.end());
  EXPECT_NE(std::find(lower.begin(), lower.end(), "msvcrt.dll"), lower.end());
  EXPECT_NE(std::find(binder.symbols.begin(), binder.symbols.end(), "malloc"), binder.symbols.end());
  // The first descriptor's first slot now holds the first resolved address.
  const uint32_t firstSlot = Get32(mapped.image, DirectoryRva(pe::kImportDirectory) + 16);
  EXPECT_EQ(Get32(mapped.image, firstSlot), 0x10000001u);

  std::optional<Mapped> again = Map(file);
  RecordingBinder refusing;
  refusing.failOn = "malloc";
  EXPECT_FALSE(pe::BuildImportTable(again->image, headers(), refusing));
}

TEST_F(PeImageTest, ExportsByNameAndByOrdinal) {
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

TEST_F(PeImageTest, TlsCallbacksLieInTheImage) {
  const std::optional<std::vector<uint32_t>> callbacks = pe::TlsCallbacks(mapped.image, headers(), headers().preferredBase);
  ASSERT_TRUE(callbacks);
  ASSERT_FALSE(callbacks->empty());
  for (uint32_t rva : *callbacks) EXPECT_LT(rva, mapped.layout.imageSize);
  // Read as if mapped elsewhere without relocating: the addresses no longer fall in the image.
  EXPECT_FALSE(pe::TlsCallbacks(mapped.image, headers(), 0x10000000));
}

// Each row breaks one field; the stage that reads it must fail (not crash, not succeed).
TEST_F(PeImageTest, BrokenHeadersAreRefused) {
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
      {"cut inside the NT headers", [&](auto& b) { b.resize(nt + 247); }},
      {"no PE signature", [&](auto& b) { b[nt + 1] = 'X'; }},
      {"x64 machine", [&](auto& b) { Put16(b, nt + 4, 0x8664); }},
      {"PE32+ optional header", [&](auto& b) { Put16(b, optional, 0x20B); }},
      {"not executable", [&](auto& b) { Put16(b, nt + 22, 0x2000); }},
      {"optional header too small", [&](auto& b) { Put16(b, nt + 20, 64); }},
      {"section table past the end", [&](auto& b) { Put16(b, nt + 6, 0xFFFF); }},
      {"cut inside the section table", [&](auto& b) { b.resize(firstSection + 40 * 11 - 1); }},
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
TEST_F(PeImageTest, BrokenTablesFailTheirWalk) {
  const uint32_t size = mapped.layout.imageSize;
  const uint32_t reloc = DirectoryRva(pe::kRelocationDirectory);
  const uint32_t imports = DirectoryRva(pe::kImportDirectory);
  const uint32_t exports = DirectoryRva(pe::kExportDirectory);
  const uint32_t tls = DirectoryRva(pe::kTlsDirectory);
  const uint32_t relocSizeField = headers().ntOffset + 24 + 96 + 8 * 5 + 4;
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
      {"TLS callback list outside the image", [&](Image& b) { Put32(b, tls + 12, headers().preferredBase + size); },
       [&](Image& b) { return pe::TlsCallbacks(b, headers(), headers().preferredBase).has_value(); }},
      {"TLS callback list without an end", [&](Image& b) {
         const uint32_t list = Get32(b, tls + 12) - headers().preferredBase;
         for (uint32_t i = 0; i < 300; ++i) Put32(b, list + 4 * i, headers().preferredBase + 0x1000);
       }, [&](Image& b) { return pe::TlsCallbacks(b, headers(), headers().preferredBase).has_value(); }},
  };
  for (const Row& r : rows) {
    Image image = mapped.image;
    EXPECT_TRUE(r.walk(image)) << "intact: " << r.what;
    image = mapped.image;
    r.damage(image);
    EXPECT_FALSE(r.walk(image)) << r.what;
  }
}

// Runs every stage on whatever bytes it is given, the way the loader would; true when all passed.
bool RunAllStages(const std::vector<uint8_t>& file, uint32_t delta) {
  std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(file);
  if (!layout || layout->imageSize > (16u << 20)) return false;
  std::vector<uint8_t> image(layout->imageSize);
  if (!pe::CopySections(file, *layout, image)) return false;
  if (!pe::PerformBaseRelocation(image, layout->headers, delta)) return false;
  RecordingBinder binder;
  if (!pe::BuildImportTable(image, layout->headers, binder)) return false;
  for (const char* name : {"zlibVersion", "compress", "1", "70"}) pe::FindExportRva(image, name);
  return pe::TlsCallbacks(image, layout->headers, layout->headers.preferredBase + delta).has_value();
}

TEST_F(PeImageTest, TruncatedAnywhereNeverReadsOutside) {
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

TEST_F(PeImageTest, RandomFlipsInTheTablesNeverReadOutside) {
  // The file ranges of the headers and of every table the loader walks.
  std::vector<std::pair<size_t, size_t>> ranges{{0, mapped.layout.headerBytes}};
  for (const pe::Section& s : mapped.layout.sections) {
    for (pe::DirectoryIndex d : {pe::kExportDirectory, pe::kImportDirectory, pe::kRelocationDirectory, pe::kTlsDirectory}) {
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
    survived += RunAllStages(damaged, (random() % 2) ? 0 : 0x00350000);
  }
  // Most flips land in fields no stage rejects, so the walks really ran to the end.
  EXPECT_GT(survived, 1000);
  EXPECT_LT(survived, 3000);
}

}  // namespace
