#include "node_engine/browser_emulation.h"

#include <vector>

#include "runtime/handles.h"

namespace {

bool AsksForAtLeast(HKEY key, const std::wstring& name, DWORD mode) {
  DWORD type = 0, value = 0, size = sizeof value;
  return RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
             ERROR_SUCCESS &&
         type == REG_DWORD && size == sizeof value && value >= mode;
}

}  // namespace

bool AskForDocumentMode(HKEY root, const std::wstring& key, const std::wstring& programName, DWORD mode) {
  if (programName.empty()) return false;
  // Read first, so that a setting already high enough needs no write access at all.
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) == ERROR_SUCCESS) {
    const RegistryKey readable(opened);
    if (AsksForAtLeast(readable.get(), programName, mode)) return true;
  }
  // No view flag: the control reads this key in the process's own registry view, and under
  // HKEY_CURRENT_USER\Software a 32-bit process on 64-bit Windows shares it with 64-bit ones.
  HKEY created = nullptr;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &created,
                      nullptr) != ERROR_SUCCESS)
    return false;
  const RegistryKey writable(created);
  return RegSetValueExW(writable.get(), programName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode),
                        sizeof mode) == ERROR_SUCCESS;
}

std::wstring ProgramFileName() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      const std::wstring full(path.data(), n);
      return full.substr(full.find_last_of(L"\\/") + 1);
    }
    path.resize(path.size() * 2);
  }
}
