// File and folder names made from page text: whatever the text, the name must be one plain name
// that Windows accepts, and an ordinary name must come back as it was.
//
// Input: the text, as GBK bytes.
#include <string>
#include <string_view>

#include "fuzz/fuzz_input.h"
#include "save/file_names.h"

namespace {

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsGbkTrail(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }
bool IsForbidden(unsigned char c) {
  return c < 0x20 || c == 0x7F || std::string_view("<>:\"/\\|?*").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, also followed by spaces or an extension.
bool NamesDevice(std::string_view name) {
  std::string base = Lower(name.substr(0, name.find('.')));
  base.erase(base.find_last_not_of(' ') + 1);
  for (const char* device : {"con", "prn", "aux", "nul"})
    if (base == device) return true;
  return base.size() == 4 && (base.starts_with("com") || base.starts_with("lpt")) && base[3] >= '1' && base[3] <= '9';
}

// Walks the name as GBK: every byte of 0x80 or above must start a valid two-byte character, and no
// single byte may be one Windows refuses. Returns false for a name that breaks either rule.
bool IsCleanGbk(std::string_view name) {
  for (size_t i = 0; i < name.size();) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c >= 0x80) {
      if (!IsGbkLead(c) || i + 1 >= name.size() || !IsGbkTrail(static_cast<unsigned char>(name[i + 1]))) return false;
      i += 2;
    } else {
      if (IsForbidden(c)) return false;
      ++i;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  const std::string name = SafeFileName(text);
  if (text.empty()) {
    FUZZ_CHECK(name.empty());
    return 0;
  }
  FUZZ_CHECK(!name.empty());
  FUZZ_CHECK(name.size() <= kMaxNameBytes);
  FUZZ_CHECK(IsCleanGbk(name));
  FUZZ_CHECK(name.find("..") == std::string::npos);
  FUZZ_CHECK(name.back() != '.' && name.back() != ' ');
  FUZZ_CHECK(!NamesDevice(name));
  FUZZ_CHECK(SafeFileName(name) == name);

  const bool ordinary = text.size() <= kMaxNameBytes && IsCleanGbk(text) && text.find("..") == std::string_view::npos &&
                        text.back() != '.' && text.back() != ' ' && !NamesDevice(text);
  if (ordinary) FUZZ_CHECK(name == text);
  return 0;
}
