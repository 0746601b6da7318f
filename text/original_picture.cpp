#include "text/original_picture.h"

#include "text/ascii.h"
#include "text/url.h"

namespace {

enum class PictureHost { None, Alicdn, Jd };

PictureHost PictureHostOf(std::string_view host) {
  const size_t last = host.rfind('.');
  if (last == std::string_view::npos) return PictureHost::None;
  const std::string_view rest = host.substr(0, last);
  const size_t before = rest.rfind('.');
  const std::string_view label = before == std::string_view::npos ? rest : rest.substr(before + 1);
  if (label == "alicdn") return PictureHost::Alicdn;
  if (label == "360buyimg") return PictureHost::Jd;
  return PictureHost::None;
}

// The length of the digits at the start of `s`.
size_t DigitsAt(std::string_view s) {
  size_t n = 0;
  while (n < s.size() && IsAsciiDigit(s[n])) ++n;
  return n;
}

// The length of the "<w>x<h>" (digits on both sides) that starts `s`, or 0.
size_t SizeLength(std::string_view s) {
  const size_t w = DigitsAt(s);
  if (w == 0 || w >= s.size() || s[w] != 'x') return 0;
  const size_t h = DigitsAt(s.substr(w + 1));
  return h == 0 ? 0 : w + 1 + h;
}

// Whether `s` is an extension: "." and two to five letters or digits, nothing else.
bool IsExtension(std::string_view s) {
  if (s.size() < 3 || s.size() > 6 || s[0] != '.') return false;
  for (char c : s.substr(1))
    if (!IsAsciiLetter(c) && !IsAsciiDigit(c)) return false;
  return true;
}

// Whether the name ends with an extension (".jpg"), as the file's own name does before a copy's
// ending.
bool EndsWithExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot != std::string_view::npos && dot > 0 && IsExtension(name.substr(dot));
}

// Whether `tail` is one of the copy's endings written after the file's own extension: "_.webp",
// "_250x250q90.jpg", "_q50.jpg", "_sum.jpg"…
bool IsAlicdnTail(std::string_view tail) {
  if (tail == "_.webp" || tail == "_.avif") return true;
  if (tail.size() < 2 || tail[0] != '_') return false;
  std::string_view s = tail.substr(1);
  if (const size_t size = SizeLength(s); size > 0) {
    s.remove_prefix(size);
    if (!s.empty() && (s[0] == 'q' || s[0] == 'Q')) {
      const size_t n = DigitsAt(s.substr(1));
      if (n == 0) return false;
      s.remove_prefix(1 + n);
    }
    if (s.starts_with("xz")) s.remove_prefix(2);
    return IsExtension(s);
  }
  if (s[0] == 'q' || s[0] == 'Q') {
    const size_t n = DigitsAt(s.substr(1));
    return n > 0 && IsExtension(s.substr(1 + n));
  }
  return s.starts_with("sum") && IsExtension(s.substr(3));
}

// Strips alicdn's endings from a file name, as often as they were stacked.
std::string AlicdnOriginalName(std::string name) {
  for (bool again = true; again;) {
    again = false;
    // An ending appended after the file's own extension.
    for (size_t at = name.find('_'); at != std::string::npos; at = name.find('_', at + 1)) {
      if (IsAlicdnTail(std::string_view(name).substr(at)) && EndsWithExtension(std::string_view(name).substr(0, at))) {
        name.erase(at);
        again = true;
        break;
      }
    }
    if (again) continue;
    // A size or a kind put before the extension: "….310x310.jpg", "….summ.jpg", "….search.jpg".
    const size_t ext = name.rfind('.');
    if (ext == std::string::npos || ext == 0 || !IsExtension(std::string_view(name).substr(ext))) break;
    const size_t dot = name.rfind('.', ext - 1);
    if (dot == std::string::npos || dot == 0) break;
    const std::string_view middle = std::string_view(name).substr(dot + 1, ext - dot - 1);
    if (middle == "summ" || middle == "search" || (SizeLength(middle) == middle.size() && !middle.empty())) {
      name.erase(dot, ext - dot);
      again = true;
    }
  }
  return name;
}

std::string JdOriginalName(std::string name) {
  // Whatever follows a "!" after the extension: "….jpg!q70.dpg", "….jpg!cc_100x100.jpg".
  for (size_t bang = name.find('!'); bang != std::string::npos; bang = name.find('!', bang + 1)) {
    if (EndsWithExtension(std::string_view(name).substr(0, bang))) {
      name.erase(bang);
      break;
    }
  }
  // A format ending after the real extension: "….jpg.avif", "….png.webp".
  for (bool again = true; again;) {
    again = false;
    for (std::string_view format : {".avif", ".webp"}) {
      if (name.size() > format.size() && std::string_view(name).ends_with(format) &&
          EndsWithExtension(std::string_view(name).substr(0, name.size() - format.size()))) {
        name.resize(name.size() - format.size());
        again = true;
      }
    }
  }
  return name;
}

// "/n1/s450x450_jfs/t1/…" → "/n1/jfs/t1/…".
std::string JdWithoutSizedFolder(std::string path) {
  for (size_t jfs = path.find("_jfs/"); jfs != std::string::npos; jfs = path.find("_jfs/", jfs + 1)) {
    const size_t begin = path.rfind('/', jfs);
    if (begin == std::string::npos) continue;
    const std::string_view folder = std::string_view(path).substr(begin + 1, jfs - begin - 1);
    if (folder.size() > 1 && folder[0] == 's' && SizeLength(folder.substr(1)) == folder.size() - 1) {
      path.erase(begin + 1, jfs - begin);
      jfs = begin;
    }
  }
  return path;
}

}  // namespace

std::string OriginalPictureAddress(std::string_view url) {
  const std::optional<UrlParts> parts = ParseUrl(url);
  if (!parts || !parts->IsHttp()) return std::string(url);
  const PictureHost host = PictureHostOf(parts->host);
  if (host == PictureHost::None) return std::string(url);

  // Scheme and authority as written, up to the path.
  const size_t authorityEnd = url.find_first_of("/?#", url.find("://") + 3);
  std::string out(url.substr(0, authorityEnd == std::string_view::npos ? url.size() : authorityEnd));
  std::string path = parts->path;
  if (host == PictureHost::Jd) path = JdWithoutSizedFolder(std::move(path));
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (host == PictureHost::Alicdn) {
    // A query asks the host for a processed copy; the file itself needs none.
    out += folder + AlicdnOriginalName(std::move(name));
    return out;
  }
  out += folder + JdOriginalName(std::move(name));
  if (parts->query) out += "?" + *parts->query;
  if (parts->fragment) out += "#" + *parts->fragment;
  return out;
}
