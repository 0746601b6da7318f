#include "extract/page_data/script_data.h"

#include "text/ascii.h"
#include "text/original_picture.h"
#include "text/page_encoding.h"
#include "text/text_items.h"
#include "text/url.h"

namespace {

// A line is read from at most this much of its string: enough for kMaxLineBytes of GBK text
// whatever the string's characters and blanks, and never the whole of a long string.
constexpr size_t kMaxLineSourceBytes = 4 * kMaxLineBytes;

using page_data::npos;

// The name in the first "<meta … charset=NAME" of the head, the way the page engine looks for it
// (one line, case ignored); "" when there is none.
std::string EarlyDeclaredCharset(std::string_view page) {
  std::string_view head = page.substr(0, page.find('\0'));
  head = head.substr(0, 1024);
  const std::string lower = LowerAsciiCopy(head);
  for (size_t meta = lower.find("<meta"); meta != npos; meta = lower.find("<meta", meta + 1)) {
    const size_t lineEnd = std::min(lower.find('\n', meta), lower.size());
    const size_t found = lower.find("charset=", meta + 6);
    if (found == npos || found >= lineEnd) continue;
    size_t p = found + 8;
    if (p < lineEnd && !IsWordByte(head[p])) ++p;
    size_t end = p;
    while (end < lineEnd && (IsWordByte(head[end]) || head[end] == '-')) ++end;
    if (end > p) return std::string(head.substr(p, end - p));
  }
  return {};
}

}  // namespace

bool ArrivedAsUtf8(std::string_view page) {
  const std::string declared = EarlyDeclaredCharset(page);
  // The engine leaves pages declaring exactly "gbk" or "gb2312" as they came and re-decodes the
  // others into GBK.
  if (!declared.empty() && declared != "gbk" && declared != "gb2312") return false;
  return IsUtf8WithMultibyteCharacters(page);
}

namespace page_data {

bool ReadsAsGbk(std::string_view page, PageEncoding encoding) {
  if (encoding == PageEncoding::Unknown) return !ArrivedAsUtf8(page);
  return encoding == PageEncoding::Gbk;
}

std::optional<Parsed> ParseAt(std::string_view page, size_t start, bool gbk, WorkBudget& budget) {
  if (budget.Spent()) return std::nullopt;
  ScriptLiteralOptions options;
  options.gbk = gbk;
  options.maxOutputBytes = std::min(options.maxOutputBytes, budget.Remaining());
  std::optional<ScriptLiteral> literal = NormaliseScriptLiteral(page, start, options);
  // A literal that is none may have been scanned to the page's end before it failed.
  if (!literal) {
    budget.Spend(page.size() - start);
    return std::nullopt;
  }
  if (!budget.Spend((literal->end - start) + literal->json.size())) return std::nullopt;
  Json root = Json::parse(literal->json, nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded()) return std::nullopt;
  return Parsed{std::move(root), gbk, literal->cutShort};
}

std::vector<size_t> ValueStartsAfter(std::string_view page, std::string_view anchor) {
  std::vector<size_t> starts;
  for (size_t at = page.find(anchor); at != npos && starts.size() < kMaxAnchorTries;
       at = page.find(anchor, at + 1)) {
    size_t p = at + anchor.size();
    while (p < page.size() && IsBlank(page[p])) ++p;
    if (p >= page.size() || page[p] != '=') continue;
    ++p;
    while (p < page.size() && (IsBlank(page[p]) || page[p] == '(')) ++p;
    if (p < page.size() && (page[p] == '{' || page[p] == '[')) starts.push_back(p);
  }
  return starts;
}

namespace {

const std::string* ReferenceOf(const Json* node) {
  if (!node || !node->is_object() || node->size() != 1) return nullptr;
  auto ref = node->find("$ref");
  return ref != node->end() && ref->is_string() ? &ref->get_ref<const std::string&>() : nullptr;
}

}  // namespace

// Nodes written {"$ref":"$.a.b[0]"} stand for the node at that path; a chain of them that does
// not end within a few steps (a circle) stands for nothing. Each reference followed is paid for,
// however often the same one is reached.
const Json* Reader::Resolve(const Json* node) const {
  for (int hops = 0; hops < 8; ++hops) {
    const std::string* ref = ReferenceOf(node);
    if (!ref) return node;
    if (!budget_.Spend(WorkBudget::kNodeWork + ref->size())) return nullptr;
    node = Lookup(*ref);
  }
  return ReferenceOf(node) ? nullptr : node;
}

const Json* Reader::Get(const Json* node, std::string_view key) const {
  node = Resolve(node);
  if (!node || !node->is_object() || !Visit()) return nullptr;
  auto it = node->find(key);
  return it == node->end() ? nullptr : Resolve(&*it);
}

const Json* Reader::Path(const Json* node, std::initializer_list<std::string_view> keys) const {
  for (std::string_view key : keys) node = Get(node, key);
  return node;
}

std::vector<const Json*> Reader::Items(const Json* node) const {
  std::vector<const Json*> items;
  node = Resolve(node);
  if (node && node->is_array())
    for (const Json& item : *node) {
      if (!Visit()) break;
      if (const Json* resolved = Resolve(&item)) items.push_back(resolved);
    }
  return items;
}

// The caller may look at every byte of the string, so all of them are paid for.
std::string_view Reader::Raw(const Json* node) const {
  node = Resolve(node);
  if (!node || !node->is_string()) return {};
  const std::string& raw = node->get_ref<const std::string&>();
  return budget_.Spend(raw.size()) ? std::string_view(raw) : std::string_view();
}

std::string Reader::Text(const Json* node) const {
  node = Resolve(node);
  if (!node) return {};
  if (node->is_string()) {
    const std::string& raw = node->get_ref<const std::string&>();
    if (!budget_.Spend(raw.size())) return {};
    return JsonStringToText(raw, gbk_, utf8ToText_);
  }
  if (node->is_number_unsigned()) return std::to_string(node->get<uint64_t>());
  if (node->is_number_integer()) return std::to_string(node->get<int64_t>());
  return {};
}

std::string Reader::Line(const Json* node) const {
  node = Resolve(node);
  if (!node) return {};
  std::string text;
  if (node->is_string()) {
    std::string_view raw = node->get_ref<const std::string&>();
    if (raw.size() > kMaxLineSourceBytes) {
      // Cut where a UTF-8 character starts.
      size_t end = kMaxLineSourceBytes;
      while (end > 0 && (static_cast<unsigned char>(raw[end]) & 0xC0) == 0x80) --end;
      raw = raw.substr(0, end);
    }
    if (!budget_.Spend(raw.size())) return {};
    text = JsonStringToText(raw, gbk_, utf8ToText_);
  } else {
    text = Text(node);
  }
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return std::string(CharacterPrefix(TrimAscii(text, " "), kMaxLineBytes));
}

const Json* Reader::Lookup(std::string_view path) const {
  // Each step of the path looks up a member or an element; the path's length bounds their number
  // and was paid for with the reference.
  if (path.empty() || path[0] != '$' || path.size() > 1024) return nullptr;
  const Json* node = &root_;
  size_t i = 1;
  while (i < path.size() && node) {
    if (path[i] == '.') {
      size_t end = path.find_first_of(".[", i + 1);
      if (end == npos) end = path.size();
      const std::string_view key = path.substr(i + 1, end - i - 1);
      if (!node->is_object()) return nullptr;
      auto it = node->find(key);
      node = it == node->end() ? nullptr : &*it;
      i = end;
    } else if (path[i] == '[') {
      const size_t close = path.find(']', i);
      if (close == npos || close == i + 1 || close - i > 10 || !node->is_array()) return nullptr;
      size_t index = 0;
      for (size_t k = i + 1; k < close; ++k) {
        if (!IsAsciiDigit(path[k])) return nullptr;
        index = index * 10 + static_cast<size_t>(path[k] - '0');
      }
      node = index < node->size() ? &(*node)[index] : nullptr;
      i = close + 1;
    } else {
      return nullptr;
    }
  }
  return node;
}

std::optional<std::string> CompleteAddress(std::string_view s) {
  s = TrimAscii(s, " \t\r\n");
  // Script data writes addresses in ASCII; other bytes and a backslash mean a misread string.
  for (char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x7F || c == '\\') return std::nullopt;
  }
  return PageAddress(s);
}

void AddBounded(TextList& list, std::string item, size_t bound, bool& cutShort) {
  if (item.empty()) return;
  if (list.size() >= bound) {
    cutShort = true;
    return;
  }
  list.push_back(std::move(item));
}

bool Full(const TextList& list, size_t bound, const Reader& r, bool& cutShort) {
  if (list.size() < bound && !r.Exhausted()) return false;
  cutShort = true;
  return true;
}

void AddLine(TextList& list, const Reader& r, const Json* node, bool& cutShort) {
  if (!node) return;
  if (list.size() >= kMaxTextLines) {
    cutShort = true;
    return;
  }
  AddBounded(list, r.Line(node), kMaxTextLines, cutShort);
}

void AddPicture(TextList& list, std::string_view address, bool& cutShort) {
  if (std::optional<std::string> url = CompleteAddress(address))
    AddBounded(list, OriginalPictureAddress(*url), kMaxRowsPerKind, cutShort);
}

void AddPictureOf(TextList& list, const Reader& r, const Json* node, bool& cutShort) {
  if (!node) return;
  if (list.size() >= kMaxRowsPerKind) {
    cutShort = true;
    return;
  }
  AddPicture(list, r.Raw(node), cutShort);
}

TextList SourceAddresses(std::string_view html, bool& cutShort) {
  TextList found;
  for (size_t at = html.find("src="); at != npos; at = html.find("src=", at + 4)) {
    if (at > 0 && !IsBlank(html[at - 1])) continue;  // data-src= and the like
    size_t p = at + 4;
    const bool escaped = p < html.size() && html[p] == '\\';
    if (escaped) ++p;
    if (p >= html.size() || (html[p] != '"' && html[p] != '\'')) continue;
    const char quote = html[p++];
    const std::string closing = escaped ? std::string("\\") + quote : std::string(1, quote);
    const size_t end = html.find(closing, p);
    if (end == npos) break;
    AddPicture(found, html.substr(p, end - p), cutShort);
    if (cutShort) break;
  }
  return found;
}

bool CallerMayUse(const ItemPageData& data) {
  return !data.mainPictures.empty() || !data.title.empty() || !data.itemId.empty();
}

}  // namespace page_data
