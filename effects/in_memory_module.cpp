#include "effects/in_memory_module.h"

#include <optional>

#include "effects/pe_image.h"

namespace {

using DllEntry = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

// The one machine whose code runs in this process.
constexpr pe::Machine kThisMachine = sizeof(void*) == 8 ? pe::Machine::kAmd64 : pe::Machine::kI386;

uint64_t AddressValue(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// Libraries by LoadLibraryA, functions from the caller's resolver first and GetProcAddress after.
class SystemImportBinder final : public pe::ImportBinder {
 public:
  SystemImportBinder(ImportResolver resolver, void* data, std::vector<UniqueLibrary>& libraries)
      : resolver_(resolver), data_(data), libraries_(libraries) {}

  void OpenLibrary(const char* library) override {
    current_ = LoadLibraryA(library);
    if (current_) libraries_.emplace_back(current_);
  }

  uint64_t Resolve(const pe::ImportedSymbol& symbol) override {
    const char* function = symbol.name ? symbol.name : MAKEINTRESOURCEA(symbol.ordinal);
    FARPROC address = resolver_ ? resolver_(symbol.library, function, data_) : nullptr;
    // GetProcAddress with a null module searches the program itself, and ordinal 0 is no ordinal.
    if (!address && current_ && function) address = GetProcAddress(current_, function);
    if (!address) error_ = current_ ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND;
    return AddressValue(reinterpret_cast<const void*>(address));
  }

  DWORD error() const { return error_; }

 private:
  ImportResolver resolver_;
  void* data_;
  std::vector<UniqueLibrary>& libraries_;
  HMODULE current_ = nullptr;
  DWORD error_ = 0;
};

DWORD PageProtection(uint8_t access) {
  const bool read = access & pe::kRead, write = access & pe::kWrite;
  if (access & pe::kExecute) return write ? PAGE_EXECUTE_READWRITE : read ? PAGE_EXECUTE_READ : PAGE_EXECUTE;
  if (write) return PAGE_READWRITE;
  return read ? PAGE_READONLY : PAGE_NOACCESS;
}

// The image was written while readable and writable only; now each section gets the access its
// characteristics ask for, and the pages of discardable ones are given back.
bool FinalizeSections(uint8_t* base, const pe::ImageLayout& layout) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  for (const pe::ProtectedRange& range : pe::SectionProtections(layout, system.dwPageSize)) {
    if (range.access == pe::kDiscard) {
      if (!VirtualFree(base + range.rva, range.size, MEM_DECOMMIT)) return false;
    } else if (DWORD old; !VirtualProtect(base + range.rva, range.size, PageProtection(range.access), &old)) {
      return false;
    }
  }
  // Code was written as data: no stale instructions may run.
  FlushInstructionCache(GetCurrentProcess(), base, layout.imageSize);
  return true;
}

// x86-64 code unwinds through the image's function table, for C++ exceptions and SEH alike. The
// system registers it for the images it maps; this image it never saw.
bool RegisterFunctionTable(uint8_t* base, const pe::FunctionTable& table, UniqueFunctionTable& owner) {
#ifdef _WIN64
  if (table.count == 0) return true;
  const auto entries = reinterpret_cast<PRUNTIME_FUNCTION>(base + table.rva);
  if (!RtlAddFunctionTable(entries, table.count, AddressValue(base))) return false;
  owner.reset(entries);
#endif
  return true;
}

// The system loader calls the image's TLS callbacks before its entry point, for attach and detach
// alike; MinGW-built DLLs set up their thread-key destructors there. The static-TLS index slot is
// left as it is: GCC-built code reaches thread_local data through TlsAlloc, never through it.
void RunTlsCallbacks(uint8_t* base, const std::vector<uint32_t>& callbacks, DWORD reason) {
  for (uint32_t rva : callbacks) reinterpret_cast<PIMAGE_TLS_CALLBACK>(base + rva)(base, reason, nullptr);
}

// The image's instance handle is its base, as the system loader passes it.
bool CallEntry(uint8_t* base, uint32_t entryPoint, DWORD reason) {
  if (entryPoint == 0) return true;
  return reinterpret_cast<DllEntry>(base + entryPoint)(reinterpret_cast<HINSTANCE>(base), reason, nullptr) != FALSE;
}

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

}  // namespace

InMemoryModule::~InMemoryModule() {
  for (UniqueLibrary& library : libraries_) library.release();
  functionTable_.release();
  memory_.release();
}

bool InMemoryModule::LoadFromMemory(std::span<const uint8_t> image, ImportResolver resolver, void* resolverData) {
  Unload();
  const std::optional<pe::ImageLayout> layout = pe::ReadImageLayout(image);
  if (!layout || layout->headers.machine != kThisMachine) return Fail(ERROR_BAD_EXE_FORMAT);
  const pe::Headers& headers = layout->headers;

  // At the preferred base when that range is free; anywhere else only when the image can be
  // relocated (a foreign base would leave its absolute addresses pointing nowhere).
  void* preferred = reinterpret_cast<void*>(static_cast<uintptr_t>(headers.preferredBase));
  UniqueVirtualMemory memory(VirtualAlloc(preferred, layout->imageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!memory && !pe::CanRelocate(headers)) return Fail(ERROR_BAD_EXE_FORMAT);
  if (!memory) memory.reset(VirtualAlloc(nullptr, layout->imageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!memory) return Fail(ERROR_OUTOFMEMORY);
  uint8_t* base = static_cast<uint8_t*>(memory.get());
  const std::span<uint8_t> mapped(base, layout->imageSize);
  const uint64_t delta = AddressValue(base) - headers.preferredBase;
  if (delta != 0 && !pe::CanRelocate(headers)) return Fail(ERROR_BAD_EXE_FORMAT);

  if (!pe::CopySections(image, *layout, mapped)) return Fail(ERROR_BAD_EXE_FORMAT);
  if (!pe::PerformBaseRelocation(mapped, headers, delta)) return Fail(ERROR_BAD_EXE_FORMAT);

  std::vector<UniqueLibrary> libraries;
  SystemImportBinder binder(resolver, resolverData, libraries);
  if (!pe::BuildImportTable(mapped, headers, binder))
    return Fail(binder.error() ? binder.error() : ERROR_BAD_EXE_FORMAT);

  const std::optional<std::vector<uint32_t>> callbacks = pe::TlsCallbacks(mapped, headers, AddressValue(base));
  const std::optional<pe::FunctionTable> functionTable = pe::ExceptionTable(mapped, headers);
  if (!callbacks || !functionTable) return Fail(ERROR_BAD_EXE_FORMAT);
  if (!FinalizeSections(base, *layout)) return Fail(GetLastError());
  // Declared after the memory, so that every failure below removes the table before the release.
  UniqueFunctionTable registered;
  if (!RegisterFunctionTable(base, *functionTable, registered)) return Fail(ERROR_OUTOFMEMORY);

  if (headers.IsDll()) {
    RunTlsCallbacks(base, *callbacks, DLL_PROCESS_ATTACH);
    if (!CallEntry(base, headers.entryPoint, DLL_PROCESS_ATTACH)) {
      // A refusing DLL is told to detach before it is released, as the system loader does.
      CallEntry(base, headers.entryPoint, DLL_PROCESS_DETACH);
      RunTlsCallbacks(base, *callbacks, DLL_PROCESS_DETACH);
      return Fail(ERROR_DLL_INIT_FAILED);
    }
  }
  memory_ = std::move(memory);
  imageSize_ = layout->imageSize;
  functionTable_ = std::move(registered);
  libraries_ = std::move(libraries);
  return true;
}

bool InMemoryModule::Unload() {
  if (!memory_) return true;
  uint8_t* base = static_cast<uint8_t*>(memory_.get());
  const std::span<const uint8_t> mapped(base, imageSize_);
  if (const std::optional<pe::Headers> headers = pe::ReadHeaders(mapped); headers && headers->IsDll()) {
    const std::optional<std::vector<uint32_t>> callbacks = pe::TlsCallbacks(mapped, *headers, AddressValue(base));
    if (callbacks) RunTlsCallbacks(base, *callbacks, DLL_PROCESS_DETACH);
    CallEntry(base, headers->entryPoint, DLL_PROCESS_DETACH);
  }
  // No unwinding may look up code that is about to go.
  functionTable_.reset();
  if (!VirtualFree(memory_.release(), 0, MEM_RELEASE)) {
    memory_.reset(base);
    return false;
  }
  imageSize_ = 0;
  libraries_.clear();  // after the image's own detach, which may still have called into them
  return true;
}

void* InMemoryModule::FindExport(std::string_view name) const {
  if (!memory_) return nullptr;
  uint8_t* base = static_cast<uint8_t*>(memory_.get());
  const std::optional<uint32_t> rva = pe::FindExportRva(std::span<const uint8_t>(base, imageSize_), name);
  return rva ? base + *rva : nullptr;
}

void* InMemoryModule::EntryPoint() const {
  if (!memory_) return nullptr;
  uint8_t* base = static_cast<uint8_t*>(memory_.get());
  const std::optional<pe::Headers> headers = pe::ReadHeaders(std::span<const uint8_t>(base, imageSize_));
  return headers && headers->entryPoint ? base + headers->entryPoint : nullptr;
}
