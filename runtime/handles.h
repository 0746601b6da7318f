#pragma once
// Owner types for the handle kinds the program uses: one type per kind, non-copyable, movable.
// Each closes its handle with the function that kind needs, on every path.
//
// The Internet handle owners live in http/internet_handles.h, beside the code that uses them (it
// says why). The GDI+ owners live in effects/gdiplus_handle.h, so that only the code drawing with
// GDI+ parses its large headers.

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <utility>

// Generic owner: Traits::Invalid() is the empty value, Traits::Close(h) releases it.
template <typename Traits>
class UniqueOwner {
 public:
  using Handle = typename Traits::Handle;
  UniqueOwner() = default;
  explicit UniqueOwner(Handle h) : h_(h) {}
  ~UniqueOwner() { reset(); }
  UniqueOwner(const UniqueOwner&) = delete;
  UniqueOwner& operator=(const UniqueOwner&) = delete;
  UniqueOwner(UniqueOwner&& o) noexcept : h_(o.release()) {}
  UniqueOwner& operator=(UniqueOwner&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  Handle get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::Invalid(); }
  Handle release() { return std::exchange(h_, Traits::Invalid()); }
  void reset(Handle h = Traits::Invalid()) {
    if (h_ != Traits::Invalid()) Traits::Close(h_);
    h_ = h;
  }

 private:
  Handle h_ = Traits::Invalid();
};

struct KernelHandleTraits {  // CreateThread, CreateEvent, ... (null when empty)
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { CloseHandle(h); }
};
using UniqueHandle = UniqueOwner<KernelHandleTraits>;

struct FileHandleTraits {  // CreateFile (INVALID_HANDLE_VALUE when empty)
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { CloseHandle(h); }
};
using UniqueFile = UniqueOwner<FileHandleTraits>;

struct LibraryTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { FreeLibrary(h); }
};
using UniqueLibrary = UniqueOwner<LibraryTraits>;

template <typename T>
struct GdiObjectTraits {
  using Handle = T;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};
template <typename T>
using GdiObject = UniqueOwner<GdiObjectTraits<T>>;  // HBITMAP, HBRUSH, HFONT, HRGN, HPEN

struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteDC(h); }
};
using MemoryDc = UniqueOwner<MemoryDcTraits>;  // CreateCompatibleDC

// GetDC / ReleaseDC pair.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// SelectObject for a scope; the previous object is selected back at the end.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
  ~SelectedObject() {
    if (old_) SelectObject(dc_, old_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A counted COM reference.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* p, bool addRef = false) : p_(p) {
    if (p_ && addRef) p_->AddRef();
  }
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr& operator=(const ComPtr& o) {
    ComPtr(o).swap(*this);
    return *this;
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    ComPtr(std::move(o)).swap(*this);
    return *this;
  }
  void swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases what is held and returns the slot.
  T** put() {
    reset();
    return &p_;
  }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

// CoInitialize / CoUninitialize, paired on one thread. The pair is made whatever CoInitialize
// returned (S_FALSE also counts once), as COM asks.
class ScopedCoInitialize {
 public:
  ScopedCoInitialize() : hr_(CoInitialize(nullptr)) {}
  ~ScopedCoInitialize() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ScopedCoInitialize(const ScopedCoInitialize&) = delete;
  ScopedCoInitialize& operator=(const ScopedCoInitialize&) = delete;
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

// A VARIANT that is cleared when it goes out of scope.
class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&v_); }
  ~ScopedVariant() { VariantClear(&v_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  VARIANT* Reset() {
    VariantClear(&v_);
    return &v_;
  }

 private:
  VARIANT v_;
};

// A BSTR freed at the end of its scope.
class ScopedBstr {
 public:
  ScopedBstr() = default;
  explicit ScopedBstr(const wchar_t* s) : s_(SysAllocString(s)) {}
  ScopedBstr(const wchar_t* s, UINT n) : s_(SysAllocStringLen(s, n)) {}
  ~ScopedBstr() { SysFreeString(s_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  BSTR get() const { return s_; }
  BSTR release() { return std::exchange(s_, nullptr); }

 private:
  BSTR s_ = nullptr;
};

struct VirtualMemoryTraits {  // VirtualAlloc'd region, released whole
  using Handle = void*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { VirtualFree(h, 0, MEM_RELEASE); }
};
using UniqueVirtualMemory = UniqueOwner<VirtualMemoryTraits>;

// An unwind table registered with RtlAddFunctionTable: x86-64 only, always empty on i386.
struct FunctionTableTraits {
  using Handle = void*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) {
#ifdef _WIN64
    RtlDeleteFunctionTable(static_cast<PRUNTIME_FUNCTION>(h));
#endif
  }
};
using UniqueFunctionTable = UniqueOwner<FunctionTableTraits>;

struct HookTraits {  // SetWindowsHookEx
  using Handle = HHOOK;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { UnhookWindowsHookEx(h); }
};
using UniqueHook = UniqueOwner<HookTraits>;

struct RegistryKeyTraits {  // RegOpenKeyEx, RegCreateKeyEx
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { RegCloseKey(h); }
};
using RegistryKey = UniqueOwner<RegistryKeyTraits>;

// GetWindowDC / ReleaseDC pair: the whole window, frame and scroll bars included.
class WindowFrameDc {
 public:
  explicit WindowFrameDc(HWND window) : window_(window), dc_(GetWindowDC(window)) {}
  ~WindowFrameDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowFrameDc(const WindowFrameDc&) = delete;
  WindowFrameDc& operator=(const WindowFrameDc&) = delete;
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// SaveDC / RestoreDC for a scope: selections, colours and modes come back at the end.
class SavedDcState {
 public:
  explicit SavedDcState(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  ~SavedDcState() {
    if (saved_) RestoreDC(dc_, saved_);
  }
  SavedDcState(const SavedDcState&) = delete;
  SavedDcState& operator=(const SavedDcState&) = delete;

 private:
  HDC dc_;
  int saved_;
};
