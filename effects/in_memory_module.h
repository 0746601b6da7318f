#pragma once
// Maps a DLL image held in memory, the way the system loader maps a file: headers and sections,
// base relocations, imports, section access, the unwind table, TLS callbacks and the DLL entry
// point. The image is never written to disk. Its exports are then found by name or ordinal. Only
// images of the process's own machine load: i386 in a 32-bit process, x86-64 in a 64-bit one.

#include <windows.h>

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/handles.h"

// Supplies an imported function instead of GetProcAddress: called with the imported library's
// name, the function's name or its ordinal (a value below 0x10000, as GetProcAddress takes it)
// and the caller's data. Returning null falls back to GetProcAddress.
using ImportResolver = FARPROC (*)(const char* library, const char* function, void* data);

class InMemoryModule {
 public:
  InMemoryModule() = default;
  // Leaves a loaded image mapped: code of it may still be hooked into windows. Unload explicitly.
  ~InMemoryModule();
  InMemoryModule(const InMemoryModule&) = delete;
  InMemoryModule& operator=(const InMemoryModule&) = delete;

  // Unloads what was loaded, then maps `image`. On failure nothing stays mapped, BaseAddress() is
  // null and the last error says why (ERROR_BAD_EXE_FORMAT, also for an image of another machine
  // or one that cannot run away from its preferred base; ERROR_MOD_NOT_FOUND,
  // ERROR_PROC_NOT_FOUND, ERROR_DLL_INIT_FAILED, ERROR_OUTOFMEMORY).
  bool LoadFromMemory(std::span<const uint8_t> image, ImportResolver resolver = nullptr,
                      void* resolverData = nullptr);
  // Detaches and unmaps the image; true when nothing is loaded afterwards.
  bool Unload();
  // An export by name, or by ordinal when `name` is a decimal number; null when absent.
  void* FindExport(std::string_view name) const;
  void* EntryPoint() const;  // null when nothing is loaded or the image has no entry point
  void* BaseAddress() const { return memory_.get(); }

 private:
  UniqueVirtualMemory memory_;
  uint32_t imageSize_ = 0;
  UniqueFunctionTable functionTable_;
  std::vector<UniqueLibrary> libraries_;  // loaded for the imports, freed on Unload
};
