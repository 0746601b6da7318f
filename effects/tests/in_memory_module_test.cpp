#include "effects/in_memory_module.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "effects/pe_image.h"
#include "tests/support/loopback_server.h"

namespace {

std::vector<uint8_t> ReadFileBytes(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = _wfopen(path.c_str(), L"rb")) {
    uint8_t buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
    fclose(f);
  }
  return bytes;
}

std::wstring TestDllPath(const char* name) { return WinePathOf(std::string(PT_LOADER_DLL_DIR) + "/" + name); }
std::vector<uint8_t> TestDll(const char* name) { return ReadFileBytes(TestDllPath(name)); }
std::wstring ZlibPath() { return WinePathOf(PT_ZLIB_DLL); }

// Takes the range at an image's preferred base, when it is free, so that the loader must relocate.
UniqueVirtualMemory OccupyPreferredBase(const pe::ImageLayout& layout) {
  return UniqueVirtualMemory(VirtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(layout.headers.preferredBase)),
                                          layout.imageSize, MEM_RESERVE, PAGE_NOACCESS));
}

// Function pointers of other types pass through void (*)(), which casts to and from any of them.
template <typename F, typename P>
F As(P p) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
}

template <typename F>
F Export(const InMemoryModule& module, const char* name) {
  return reinterpret_cast<F>(module.FindExport(name));
}

#ifdef _WIN64
// The function entry the system's unwinder finds for an address, and the image base it reports.
PRUNTIME_FUNCTION FunctionEntryAt(const void* address, DWORD64* imageBase) {
  return RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(address), imageBase, nullptr);
}
#endif

bool InImage(const InMemoryModule& module, const void* p, size_t size) {
  const auto* base = static_cast<const uint8_t*>(module.BaseAddress());
  return p >= base && p < base + size;
}

// zlib through the loader and the same file through the system loader agree byte for byte.
TEST(InMemoryModuleTest, MapsZlibAndAgreesWithTheSystemLoadedCopy) {
  const std::vector<uint8_t> image = ReadFileBytes(ZlibPath());
  ASSERT_FALSE(image.empty());
  InMemoryModule mapped;
  ASSERT_TRUE(mapped.LoadFromMemory(image));
  UniqueLibrary system(LoadLibraryW(ZlibPath().c_str()));
  ASSERT_TRUE(system);
  ASSERT_NE(mapped.BaseAddress(), static_cast<void*>(system.get()));

  using Version = const char*(__cdecl*)();
  using Compress = int(__cdecl*)(uint8_t*, unsigned long*, const uint8_t*, unsigned long);
  const auto version = Export<Version>(mapped, "zlibVersion");
  ASSERT_TRUE(version);
  EXPECT_STREQ(version(), As<Version>(GetProcAddress(system.get(), "zlibVersion"))());

  std::string text;
  for (int i = 0; i < 2000; ++i) text += "picture " + std::to_string(i % 37) + "; ";
  const auto* input = reinterpret_cast<const uint8_t*>(text.data());
  struct Pair {
    Compress compress, uncompress;
  } mappedZ{Export<Compress>(mapped, "compress"), Export<Compress>(mapped, "uncompress")},
      systemZ{As<Compress>(GetProcAddress(system.get(), "compress")),
              As<Compress>(GetProcAddress(system.get(), "uncompress"))};
  ASSERT_TRUE(mappedZ.compress && mappedZ.uncompress && systemZ.compress && systemZ.uncompress);

  std::vector<uint8_t> packedMapped(text.size() + 64), packedSystem(text.size() + 64);
  unsigned long nMapped = packedMapped.size(), nSystem = packedSystem.size();
  ASSERT_EQ(mappedZ.compress(packedMapped.data(), &nMapped, input, text.size()), 0);
  ASSERT_EQ(systemZ.compress(packedSystem.data(), &nSystem, input, text.size()), 0);
  packedMapped.resize(nMapped);
  packedSystem.resize(nSystem);
  EXPECT_EQ(packedMapped, packedSystem);
  EXPECT_LT(nMapped, text.size() / 4);

  // Each side unpacks what the other packed.
  std::string back(text.size(), '\0');
  unsigned long nBack = back.size();
  ASSERT_EQ(mappedZ.uncompress(reinterpret_cast<uint8_t*>(back.data()), &nBack, packedSystem.data(), nSystem), 0);
  EXPECT_EQ(back, text);
  std::fill(back.begin(), back.end(), '\0');
  nBack = back.size();
  ASSERT_EQ(systemZ.uncompress(reinterpret_cast<uint8_t*>(back.data()), &nBack, packedMapped.data(), nMapped), 0);
  EXPECT_EQ(back, text);
  EXPECT_TRUE(mapped.Unload());
  EXPECT_EQ(mapped.BaseAddress(), nullptr);
}

struct SampleCase {
  const char* name;
  const char* dll;
  bool mustRelocate;
};

class SampleDllTest : public ::testing::TestWithParam<SampleCase> {};

TEST_P(SampleDllTest, RunsRelocatedCodeStaticObjectsAndThreadLocals) {
  const std::vector<uint8_t> image = TestDll(GetParam().dll);
  ASSERT_FALSE(image.empty());
  const std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(image);
  ASSERT_TRUE(layout);
  const uintptr_t preferred = static_cast<uintptr_t>(layout->headers.preferredBase);
  UniqueVirtualMemory occupied = OccupyPreferredBase(*layout);
  if (!GetParam().mustRelocate) {
    if (!occupied) GTEST_SKIP() << "the preferred base is taken in this process";
    occupied.reset();
  }

  InMemoryModule module;
  ASSERT_TRUE(module.LoadFromMemory(image));
  const uintptr_t base = reinterpret_cast<uintptr_t>(module.BaseAddress());
  if (GetParam().mustRelocate)
    EXPECT_NE(base, preferred);
  else
    EXPECT_EQ(base, preferred);
  EXPECT_EQ(module.EntryPoint(), reinterpret_cast<uint8_t*>(base) + layout->headers.entryPoint);

  // Code reached through relocated pointers.
  const auto add = Export<int (*)(int, int)>(module, "SampleAdd");
  const auto word = Export<const char* (*)(int)>(module, "SampleWord");
  ASSERT_TRUE(add && word);
  EXPECT_EQ(add(20, 22), 42);
  EXPECT_STREQ(word(1), "one");
  EXPECT_TRUE(InImage(module, word(2), layout->imageSize));

  // DllMain ran once, with the image base as its instance; static objects were constructed.
  EXPECT_EQ(Export<long (*)()>(module, "SampleAttachCalls")(), 1);
  EXPECT_EQ(Export<void* (*)()>(module, "SampleInstance")(), module.BaseAddress());
  EXPECT_EQ(Export<int (*)()>(module, "SampleConstructed")(), 1234);

  // thread_local data is per thread.
  const auto bump = Export<int (*)()>(module, "SampleBumpThreadCounter");
  ASSERT_TRUE(bump);
  bump();
  bump();
  EXPECT_EQ(bump(), 3);
  int other = 0;
  std::thread([&] { other = bump() * 10 + bump(); }).join();
  EXPECT_EQ(other, 12);
  EXPECT_EQ(bump(), 4);

  // Unloading detaches: the static object's destructor runs.
  int sink = 0;
  Export<void (*)(int*)>(module, "SampleSetDetachSink")(&sink);
  EXPECT_TRUE(module.Unload());
  EXPECT_EQ(sink, 5678);
  EXPECT_EQ(module.BaseAddress(), nullptr);
  EXPECT_EQ(module.EntryPoint(), nullptr);
  EXPECT_EQ(module.FindExport("SampleAdd"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Images, SampleDllTest,
                         ::testing::Values(SampleCase{"Relocated", "ldr_sample_relocated.dll", true},
                                           SampleCase{"AtItsBase", "ldr_sample_at_base.dll", false},
                                           SampleCase{"OddAlignment", "ldr_sample_aligned.dll", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InMemoryModuleTest, FindsExportsByNameAndOrdinal) {
  InMemoryModule module;
  ASSERT_TRUE(module.LoadFromMemory(TestDll("ldr_sample_relocated.dll")));
  void* add = module.FindExport("SampleAdd");
  ASSERT_NE(add, nullptr);
  struct Row {
    const char* name;
    void* expected;
  } rows[] = {
      {"1", add},
      {"2", module.FindExport("SampleWord")},
      {"01", nullptr},          // not a decimal number, so a name, and absent
      {"8", nullptr},           // a gap in the ordinals
      {"10", nullptr},          // past the last ordinal
      {"0", nullptr},           // below the ordinal base
      {"sampleadd", nullptr},   // names compare case-sensitively
      {"SampleHidden", nullptr},  // exported by ordinal only
      {"", nullptr},
      {"Nothing", nullptr},
  };
  for (const Row& r : rows) EXPECT_EQ(module.FindExport(r.name), r.expected) << r.name;
  const auto hidden = reinterpret_cast<int (*)()>(module.FindExport("9"));
  ASSERT_TRUE(hidden);
  EXPECT_EQ(hidden(), 99);
}

TEST(InMemoryModuleTest, LoadingAgainUnloadsTheFirstImage) {
  InMemoryModule module;
  ASSERT_TRUE(module.LoadFromMemory(TestDll("ldr_sample_relocated.dll")));
  int sink = 0;
  Export<void (*)(int*)>(module, "SampleSetDetachSink")(&sink);
  ASSERT_TRUE(module.LoadFromMemory(TestDll("ldr_sample_aligned.dll")));
  EXPECT_EQ(sink, 5678);
  EXPECT_TRUE(module.Unload());
  EXPECT_TRUE(module.Unload()) << "nothing loaded is success";
}

TEST(InMemoryModuleTest, ImportsFromASystemLoadedLibraryByNameAndOrdinal) {
  // ldr_provider.dll sits beside this program, where LoadLibraryA finds it.
  InMemoryModule module;
  ASSERT_TRUE(module.LoadFromMemory(TestDll("ldr_imports.dll")));
  EXPECT_EQ(Export<int (*)()>(module, "ImportsSum")(), 42);
}

struct ResolverLog {
  std::vector<std::string> asked;
  std::vector<std::pair<void*, DWORD>> entryCalls;
  bool supply = true;
};
ResolverLog* activeLog = nullptr;

int VirtualAnswerImpl() { return 7; }
int VirtualByOrdinalImpl() { return 3; }
void VirtualRecordImpl(void* instance, DWORD reason) { activeLog->entryCalls.emplace_back(instance, reason); }

FARPROC TestResolver(const char* library, const char* function, void* data) {
  auto* log = static_cast<ResolverLog*>(data);
  const bool byOrdinal = reinterpret_cast<uintptr_t>(function) < 0x10000;
  std::string asked = std::string(library) + (byOrdinal ? "!#" : "!");
  asked += byOrdinal ? std::to_string(reinterpret_cast<uintptr_t>(function)) : std::string(function);
  log->asked.push_back(asked);
  if (!log->supply || _stricmp(library, "pt_virtual.dll") != 0) return nullptr;
  if (byOrdinal) return reinterpret_cast<uintptr_t>(function) == 5 ? As<FARPROC>(&VirtualByOrdinalImpl) : nullptr;
  if (!strcmp(function, "VirtualAnswer")) return As<FARPROC>(&VirtualAnswerImpl);
  if (!strcmp(function, "VirtualRecord")) return As<FARPROC>(&VirtualRecordImpl);
  return nullptr;
}

TEST(InMemoryModuleTest, TheResolverSuppliesImportsTheSystemCannotFind) {
  ResolverLog log;
  InMemoryModule module;
  ASSERT_TRUE(module.LoadFromMemory(TestDll("ldr_virtual_imports.dll"), &TestResolver, &log));
  EXPECT_EQ(Export<int (*)()>(module, "VirtualSum")(), 703);
  auto asked = [&](const std::string& what) { return std::find(log.asked.begin(), log.asked.end(), what) != log.asked.end(); };
  EXPECT_TRUE(asked("pt_virtual.dll!VirtualAnswer"));
  EXPECT_TRUE(asked("pt_virtual.dll!#5"));
  // Imports the resolver declines still come from the system (the C runtime's, here).
  EXPECT_TRUE(std::any_of(log.asked.begin(), log.asked.end(), [](const std::string& s) { return s.rfind("KERNEL32.dll!", 0) == 0; }));
}

TEST(InMemoryModuleTest, AnImportThatCannotBeResolvedFailsTheLoad) {
  struct Row {
    const char* dll;
    bool withResolver;
    DWORD error;
  } rows[] = {
      {"ldr_virtual_imports.dll", false, ERROR_MOD_NOT_FOUND},   // the library is nowhere
      {"ldr_virtual_imports.dll", true, ERROR_MOD_NOT_FOUND},    // the resolver declines
      {"ldr_missing_import.dll", false, ERROR_PROC_NOT_FOUND},   // kernel32 lacks the function
  };
  for (const Row& r : rows) {
    ResolverLog log;
    log.supply = false;
    InMemoryModule module;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(module.LoadFromMemory(TestDll(r.dll), r.withResolver ? &TestResolver : nullptr, &log)) << r.dll;
    EXPECT_EQ(GetLastError(), r.error) << r.dll;
    EXPECT_EQ(module.BaseAddress(), nullptr);
  }
}

TEST(InMemoryModuleTest, AnEntryPointThatRefusesIsDetachedAndTheLoadFails) {
  ResolverLog log;
  activeLog = &log;
  InMemoryModule module;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(module.LoadFromMemory(TestDll("ldr_refuse.dll"), &TestResolver, &log));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
  EXPECT_EQ(module.BaseAddress(), nullptr);
  ASSERT_EQ(log.entryCalls.size(), 2u);
  EXPECT_EQ(log.entryCalls[0].second, static_cast<DWORD>(DLL_PROCESS_ATTACH));
  EXPECT_EQ(log.entryCalls[1].second, static_cast<DWORD>(DLL_PROCESS_DETACH));
  EXPECT_EQ(log.entryCalls[0].first, log.entryCalls[1].first);
  // The image was released: its range can be reserved again.
  UniqueVirtualMemory again(VirtualAlloc(log.entryCalls[0].first, 4096, MEM_RESERVE, PAGE_NOACCESS));
  EXPECT_EQ(again.get(), log.entryCalls[0].first);
#ifdef _WIN64
  // Its function table went with it.
  const std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(TestDll("ldr_refuse.dll"));
  ASSERT_TRUE(layout);
  ASSERT_NE(layout->headers.Directory(pe::kExceptionDirectory).size, 0u);
  DWORD64 imageBase = 0;
  EXPECT_EQ(FunctionEntryAt(static_cast<uint8_t*>(log.entryCalls[0].first) + layout->headers.entryPoint, &imageBase),
            nullptr);
#endif
  activeLog = nullptr;
}

// Cut at every header boundary, or with a field broken, the image is refused with the
// bad-format error and nothing is left mapped.
TEST(InMemoryModuleTest, BrokenImagesAreRefused) {
  const std::vector<uint8_t> image = TestDll("ldr_sample_relocated.dll");
  const std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(image);
  ASSERT_TRUE(layout);
  const uint32_t nt = layout->headers.ntOffset;
  const uint32_t ntSize = layout->headers.sectionTableOffset - nt;
  std::vector<size_t> cuts{0, 2, 63, 64, nt, nt + 24, nt + ntSize - 1, nt + ntSize, layout->headerBytes - 1};
  for (size_t i = 0; i < layout->sections.size(); ++i) {
    cuts.push_back(layout->headers.sectionTableOffset + 40 * i + 39);
    const pe::Section& s = layout->sections[i];
    if (s.rawSize) cuts.push_back(s.rawOffset + s.rawSize - 1);
  }
  for (size_t n : cuts) {
    InMemoryModule module;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(module.LoadFromMemory(std::span(image.data(), n))) << "cut at " << n;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT)) << "cut at " << n;
    EXPECT_EQ(module.BaseAddress(), nullptr);
  }
}

// An image of the other machine cannot run in this process: refused before anything is mapped.
TEST(InMemoryModuleTest, AnImageOfTheOtherMachineIsRefused) {
  const std::vector<uint8_t> foreign = ReadFileBytes(WinePathOf(PT_FOREIGN_ZLIB_DLL));
  const std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(foreign);
  ASSERT_TRUE(layout) << "a well-formed image of the other machine";
  EXPECT_NE(layout->headers.Is64(), sizeof(void*) == 8);
  InMemoryModule module;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(module.LoadFromMemory(foreign));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
  EXPECT_EQ(module.BaseAddress(), nullptr);
}

// Without relocations an image runs only at its preferred base: away from it, its absolute
// addresses would point into whatever lies at the base it was linked for.
TEST(InMemoryModuleTest, AnImageWithoutRelocationsLoadsOnlyAtItsBase) {
  auto withoutRelocations = [](const char* dll, bool stripFlag) {
    std::vector<uint8_t> image = TestDll(dll);
    const std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(image);
    const pe::Headers& h = layout->headers;
    if (stripFlag) {
      image[h.ntOffset + 22] |= 0x01;  // IMAGE_FILE_RELOCS_STRIPPED
    } else {
      // The relocation directory's size: the last field of the optional header's sixth entry.
      const size_t directories = h.ntOffset + 24 + (h.Is64() ? 112 : 96);
      std::memset(image.data() + directories + 8 * pe::kRelocationDirectory + 4, 0, 4);
    }
    return image;
  };
  for (bool stripFlag : {false, true}) {
    InMemoryModule module;
    const std::vector<uint8_t> moved = withoutRelocations("ldr_sample_relocated.dll", stripFlag);
    UniqueVirtualMemory occupied = OccupyPreferredBase(*pe::ReadImageLayout(moved));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(module.LoadFromMemory(moved)) << stripFlag;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT)) << stripFlag;
    EXPECT_EQ(module.BaseAddress(), nullptr);

    const std::vector<uint8_t> fixed = withoutRelocations("ldr_sample_at_base.dll", stripFlag);
    const std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(fixed);
    if (!OccupyPreferredBase(*layout)) GTEST_SKIP() << "the preferred base is taken in this process";
    ASSERT_TRUE(module.LoadFromMemory(fixed)) << stripFlag;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(module.BaseAddress()), layout->headers.preferredBase);
    EXPECT_EQ(Export<int (*)(int, int)>(module, "SampleAdd")(2, 3), 5);
    EXPECT_TRUE(module.Unload());
  }
}

// Each section gets the access its characteristics ask for; nothing stays writable and executable.
TEST(InMemoryModuleTest, SectionsGetTheAccessTheyAskFor) {
  const std::vector<uint8_t> image = TestDll("ldr_sample_relocated.dll");
  const std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(image);
  ASSERT_TRUE(layout);
  InMemoryModule module;
  ASSERT_TRUE(module.LoadFromMemory(image));
  const auto* base = static_cast<const uint8_t*>(module.BaseAddress());
  auto query = [&](uint32_t rva) {
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(base + rva, &info, sizeof info);
    return info;
  };
  constexpr DWORD kDecommitted = 0;
  const struct Row {
    const char* section;
    DWORD protection;
  } rows[] = {
      {".text", PAGE_EXECUTE_READ}, {".data", PAGE_READWRITE},  {".rdata", PAGE_READONLY},
      {".bss", PAGE_READWRITE},     {".edata", PAGE_READONLY},  {".idata", PAGE_READWRITE},
      {".CRT", PAGE_READWRITE},     {".tls", PAGE_READWRITE},   {".pdata", PAGE_READONLY},
      {".xdata", PAGE_READONLY},    {".reloc", kDecommitted},
  };
  std::vector<std::string> seen;
  for (size_t i = 0; i < layout->sections.size(); ++i) {
    const char* header = reinterpret_cast<const char*>(image.data() + layout->headers.sectionTableOffset + 40 * i);
    const std::string name(header, strnlen(header, 8));
    // The debug sections (long names, "/4" and so on) are discardable too.
    if (layout->sections[i].characteristics & IMAGE_SCN_MEM_DISCARDABLE) {
      EXPECT_EQ(query(layout->sections[i].virtualAddress).State, static_cast<DWORD>(MEM_RESERVE)) << name;
    }
    for (const Row& r : rows) {
      if (name != r.section) continue;
      seen.push_back(name);
      const MEMORY_BASIC_INFORMATION info = query(layout->sections[i].virtualAddress);
      if (r.protection == kDecommitted) {
        EXPECT_EQ(info.State, static_cast<DWORD>(MEM_RESERVE)) << name;
      } else {
        EXPECT_EQ(info.State, static_cast<DWORD>(MEM_COMMIT)) << name;
        EXPECT_EQ(info.Protect, r.protection) << name;
      }
    }
  }
  EXPECT_GE(seen.size(), 9u);
  EXPECT_EQ(query(0).Protect, static_cast<DWORD>(PAGE_READONLY)) << "headers";
  for (uint32_t rva = 0; rva < layout->imageSize; rva += 4096)
    EXPECT_NE(query(rva).Protect, static_cast<DWORD>(PAGE_EXECUTE_READWRITE)) << rva;
  // The code still runs, and still finds its data.
  EXPECT_STREQ(Export<const char* (*)(int)>(module, "SampleWord")(2), "two");
}

// The system loader's order: the image's TLS callbacks, then its entry point, on attach and detach,
// with the image base as the instance.
TEST(InMemoryModuleTest, TlsCallbacksRunBeforeTheEntryPoint) {
  const std::vector<uint8_t> image = TestDll("ldr_tls_callback.dll");
  UniqueVirtualMemory occupied = OccupyPreferredBase(*pe::ReadImageLayout(image));
  InMemoryModule module;
  ASSERT_TRUE(module.LoadFromMemory(image));
  EXPECT_STREQ(Export<const char* (*)()>(module, "TlsTrail")(), "T1M1");
  EXPECT_EQ(Export<void* (*)()>(module, "TlsCallbackInstance")(), module.BaseAddress());
  char detach[16] = {};
  Export<void (*)(char*)>(module, "TlsSetDetachTrail")(detach);
  EXPECT_TRUE(module.Unload());
  EXPECT_STREQ(detach, "T0M0");
}

// thread_local objects are made once per thread, on threads of the program's and of the image's.
TEST(InMemoryModuleTest, ThreadLocalObjectsArePerThread) {
  const std::vector<uint8_t> image = TestDll("ldr_thread_local.dll");
  UniqueVirtualMemory occupied = OccupyPreferredBase(*pe::ReadImageLayout(image));
  InMemoryModule module;
  ASSERT_TRUE(module.LoadFromMemory(image));
  const auto bump = Export<int (*)()>(module, "ThreadLocalBump");
  const auto constructed = Export<int (*)()>(module, "ThreadLocalConstructed");
  const auto destroyed = Export<int (*)()>(module, "ThreadLocalDestroyed");
  const auto runThreads = Export<int (*)(int, int)>(module, "ThreadLocalRunThreads");
  ASSERT_TRUE(bump && constructed && destroyed && runThreads);

  EXPECT_EQ(constructed(), 0);
  bump();
  EXPECT_EQ(bump(), 2);
  EXPECT_EQ(constructed(), 1);

  constexpr int kThreads = 8, kTimes = 500;
  std::vector<int> last(kThreads);
  std::vector<std::thread> pool;
  for (int t = 0; t < kThreads; ++t)
    pool.emplace_back([&, t] {
      for (int i = 0; i < kTimes; ++i) last[t] = bump();
    });
  for (std::thread& thread : pool) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(last[t], kTimes) << t;
  EXPECT_EQ(constructed(), 1 + kThreads);

  // The image's own threads also destroy their objects when they end.
  const int destroyedBefore = destroyed();
  EXPECT_EQ(runThreads(kThreads, kTimes), kThreads);
  EXPECT_EQ(constructed(), 1 + 2 * kThreads);
  EXPECT_EQ(destroyed(), destroyedBefore + kThreads);
  EXPECT_EQ(bump(), 3) << "this thread's object was left alone";
  EXPECT_TRUE(module.Unload());
}

// C++ exceptions thrown and caught inside the image unwind through its frames; on x86-64 through
// the function table registered for it, which goes with the image.
TEST(InMemoryModuleTest, ExceptionsUnwindInsideTheImage) {
  const std::vector<uint8_t> image = TestDll("ldr_exceptions.dll");
  UniqueVirtualMemory occupied = OccupyPreferredBase(*pe::ReadImageLayout(image));
  InMemoryModule module;
  ASSERT_TRUE(module.LoadFromMemory(image));
  const auto roundTrip = Export<int (*)(int, int)>(module, "ExceptionsRoundTrip");
  const auto rethrown = Export<int (*)(int)>(module, "ExceptionsRethrown");
  ASSERT_TRUE(roundTrip && rethrown);
  EXPECT_EQ(roundTrip(0, 42), 1042);
  EXPECT_EQ(roundTrip(5, 7), 6007);
  EXPECT_EQ(rethrown(-3), -3);
  int fromThread = 0;
  std::thread([&] { fromThread = roundTrip(3, 1); }).join();
  EXPECT_EQ(fromThread, 4001);
#ifdef _WIN64
  DWORD64 imageBase = 0;
  EXPECT_NE(FunctionEntryAt(reinterpret_cast<const void*>(roundTrip), &imageBase), nullptr);
  EXPECT_EQ(imageBase, reinterpret_cast<DWORD64>(module.BaseAddress()));
  EXPECT_TRUE(module.Unload());
  EXPECT_EQ(FunctionEntryAt(reinterpret_cast<const void*>(roundTrip), &imageBase), nullptr);
#endif
}

// Random flips in zlib's headers and tables, with the DLL flag cleared so that no damaged code is
// ever entered: every load either fails or maps, and nothing crashes.
TEST(InMemoryModuleTest, RandomFlipsInTheTablesNeverCrash) {
  std::vector<uint8_t> image = ReadFileBytes(ZlibPath());
  const std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(image);
  ASSERT_TRUE(layout);
  const size_t characteristics = layout->headers.ntOffset + 22;
  image[characteristics + 1] &= ~0x20;  // IMAGE_FILE_DLL
  std::vector<std::pair<size_t, size_t>> ranges{{0, layout->headerBytes}};
  for (const pe::Section& s : layout->sections)
    for (int d : {pe::kExportDirectory, pe::kImportDirectory, pe::kRelocationDirectory})
      if (layout->headers.directories[d].rva >= s.virtualAddress && layout->headers.directories[d].rva < s.virtualAddress + s.rawSize)
        ranges.emplace_back(s.rawOffset, s.rawSize);
  std::mt19937 random(7);
  int loaded = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> damaged = image;
    for (int i = 0; i < 4; ++i) {
      const auto& [start, length] = ranges[random() % ranges.size()];
      damaged[start + random() % length] ^= static_cast<uint8_t>(1u << (random() % 8));
    }
    damaged[characteristics + 1] &= ~0x20;
    InMemoryModule module;
    if (module.LoadFromMemory(damaged)) {
      ++loaded;
      module.FindExport("compress");
      module.FindExport("3");
      EXPECT_TRUE(module.Unload());
    }
  }
  EXPECT_GT(loaded, 0);
}

}  // namespace
