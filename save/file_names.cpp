#include "save/file_names.h"

#include <set>

#include "text/ascii.h"

namespace {

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsGbkTrail(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

bool IsForbiddenAscii(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case '<': case '>': case ':': case '"': case '/': case '\\': case '|': case '?': case '*':
      return true;
    default:
      return false;
  }
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices, also with an extension or trailing spaces.
bool IsDeviceName(std::string_view name) {
  std::string base;
  for (char c : name.substr(0, name.find('.'))) base += LowerAscii(c);
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "con" || base == "prn" || base == "aux" || base == "nul") return true;
  return base.size() == 4 && (base.starts_with("com") || base.starts_with("lpt")) && base[3] >= '1' &&
         base[3] <= '9';
}

void DropTrailingDotsAndSpaces(std::string& name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
}

}  // namespace

std::string SafeFileName(std::string_view name) {
  if (name.empty()) return {};
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size() && out.size() < kMaxNameBytes;) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x80) {
      // A dot after a dot would let "..", the parent folder, through.
      const bool dotAfterDot = c == '.' && !out.empty() && out.back() == '.';
      out += (IsForbiddenAscii(c) || dotAfterDot) ? '_' : static_cast<char>(c);
      ++i;
      continue;
    }
    // A two-byte character is kept whole, so its trailing byte (which may be 0x5C, a backslash)
    // never stands alone. A byte that starts no valid pair becomes "_" and the next byte is read
    // on its own: the code-page conversion would otherwise swallow it or turn it into a separator.
    if (IsGbkLead(c) && i + 1 < name.size() && IsGbkTrail(static_cast<unsigned char>(name[i + 1]))) {
      if (out.size() + 2 > kMaxNameBytes) break;
      out.append(name.substr(i, 2));
      i += 2;
    } else {
      out += '_';
      ++i;
    }
  }
  // Windows drops trailing dots and spaces, which would make ".." or "a." name something else.
  DropTrailingDotsAndSpaces(out);
  if (out.empty()) return "_";
  // The mark goes in front, so the name is cut again to keep within the length.
  if (IsDeviceName(out)) return SafeFileName("_" + out);
  return out;
}

std::string WithNumberTail(std::string body, std::uint32_t number) {
  for (int shift = 0; shift < 32; shift += 8) body += static_cast<char>((number >> shift) & 0xFF);
  return body;
}

std::vector<std::string> DistinctFileNames(const std::vector<std::string>& labels) {
  // Single-byte letters folded; a two-byte character is copied whole, since its trailing byte
  // may look like a letter.
  auto key = [](const std::string& name) {
    std::string folded;
    for (size_t i = 0; i < name.size(); ++i) {
      if (static_cast<unsigned char>(name[i]) >= 0x81 && i + 1 < name.size()) {
        folded.append(name, i++, 2);
      } else {
        folded += LowerAscii(name[i]);
      }
    }
    return folded;
  };
  std::vector<std::string> names;
  std::set<std::string> taken;
  names.reserve(labels.size());
  for (const std::string& label : labels) {
    const std::string base = SafeFileName(label);
    std::string name = base;
    for (int n = 2; !taken.insert(key(name)).second; ++n) name = base + " (" + std::to_string(n) + ")";
    names.push_back(std::move(name));
  }
  return names;
}
