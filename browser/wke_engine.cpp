#include "browser/wke_engine.h"

#include <type_traits>

#include "runtime/codepage.h"
#include "runtime/message_box.h"
#include "runtime/program_dir.h"

namespace {

constexpr char kEngineFileName[] = "node.dll";

struct Binding {
  const char* name;
  void (*assign)(WkeApi& api, FARPROC function);
};

template <auto Member>
void Assign(WkeApi& api, FARPROC function) {
  using Pointer = std::remove_reference_t<decltype(api.*Member)>;
  // Through void (*)(): the generic function pointer type the compiler lets us cast from.
  api.*Member = reinterpret_cast<Pointer>(reinterpret_cast<void (*)()>(function));
}

// In the order the missing ones are reported.
const Binding kBindings[] = {
    {"wkeInitializeEx", &Assign<&WkeApi::initializeEx>},
    {"wkeCreateWebWindow", &Assign<&WkeApi::createWebWindow>},
    {"wkeDestroyWebWindow", &Assign<&WkeApi::destroyWebWindow>},
    {"wkeGetWindowHandle", &Assign<&WkeApi::getWindowHandle>},
    {"wkeMoveWindow", &Assign<&WkeApi::moveWindow>},
    {"wkeLoadURL", &Assign<&WkeApi::loadUrl>},
    {"wkeLoadHTML", &Assign<&WkeApi::loadHtml>},
    {"wkeClearCookie", &Assign<&WkeApi::clearCookie>},
    {"wkeSetUserAgent", &Assign<&WkeApi::setUserAgent>},
    {"wkeSetCookieJarPath", &Assign<&WkeApi::setCookieJarPath>},
    {"wkeSetLocalStorageFullPath", &Assign<&WkeApi::setLocalStorageFullPath>},
};

bool IsFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A broken or foreign file, or a missing library of its own, must fail the load quietly rather
// than stop the program with a system error box.
HMODULE LoadQuietly(const wchar_t* name, DWORD flags) {
  DWORD previous = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
  HMODULE module = LoadLibraryExW(name, nullptr, flags);
  SetThreadErrorMode(previous, nullptr);
  return module;
}

void Tell(const BrowserNotice& notice, const std::string& caption, const std::string& text) {
  if (notice) {
    notice(caption, text);
  } else {
    ShowMessageBox(text, MB_OK, caption);
  }
}

// Only the file in the program folder is loaded: a library of that common name found anywhere
// else on the search path (the working folder, the system folders, PATH) is not ours to run.
UniqueLibrary LoadEngineLibrary(const std::string& path, const BrowserNotice& notice) {
  std::wstring widePath = GbkToWide(path);
  if (!IsFile(widePath)) {
    Tell(notice, "错误", "请把node.dll放在[" + path + "]位置");
    return UniqueLibrary();
  }
  // The altered search path lets the engine find libraries of its own beside it.
  return UniqueLibrary(LoadQuietly(widePath.c_str(), LOAD_WITH_ALTERED_SEARCH_PATH));
}

void BindFunctions(HMODULE library, WkeApi& api, const BrowserNotice& notice) {
  for (const Binding& binding : kBindings) {
    FARPROC function = GetProcAddress(library, binding.name);
    binding.assign(api, function);
    if (!function) Tell(notice, binding.name, "wke api not found");
  }
}

}  // namespace

std::string WkeEnginePath(const std::string& programDirectory) {
  // The program directory comes without a trailing separator (except at a drive root, "C:\").
  // Tested on the wide text: a GBK character's second byte may equal '\\'.
  std::wstring wide = GbkToWide(programDirectory);
  std::string path = programDirectory;
  if (!wide.empty() && wide.back() != L'\\' && wide.back() != L'/') path += '\\';
  return path + kEngineFileName;
}

WkeEngine LoadWkeEngine(const std::string& programDirectory, const BrowserNotice& notice) {
  WkeEngine engine;
  engine.library = LoadEngineLibrary(WkeEnginePath(programDirectory), notice);
  if (!engine.library) return engine;
  // Initialised before anything else is asked of it, as the engine expects.
  Assign<&WkeApi::initializeEx>(engine.api, GetProcAddress(engine.library.get(), "wkeInitializeEx"));
  if (engine.api.initializeEx) engine.api.initializeEx(nullptr);
  BindFunctions(engine.library.get(), engine.api, notice);
  return engine;
}

const WkeApi& ProcessWkeEngine(const BrowserNotice& notice) {
  // Never unloaded: views and the engine's own threads may outlive every static destructor.
  static const WkeApi* api = [&notice] {
    auto* engine = new WkeEngine(LoadWkeEngine(ProgramDirectory(), notice));
    return &engine->api;
  }();
  return *api;
}
