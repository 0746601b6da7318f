#include "extract/page_data/page_data.h"

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <optional>
#include <set>

#include "extract/harvest_bounds.h"
#include "extract/md5.h"
#include "text/ascii.h"

namespace {

using Json = nlohmann::json;

constexpr size_t npos = std::string_view::npos;
// Picture addresses and text lines longer than this are not what the pages put there.
constexpr size_t kMaxAddressBytes = 2048;
constexpr size_t kMaxLineBytes = 1024;
// A page naming its data anchor more often than this is not an item page.
constexpr int kMaxAnchorTries = 8;

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

bool IsUtf8WithMultibyteCharacters(std::string_view s) {
  bool multibyte = false;
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t extra;
    char32_t c;
    if (b >= 0xC2 && b <= 0xDF) extra = 1, c = b & 0x1F;
    else if (b >= 0xE0 && b <= 0xEF) extra = 2, c = b & 0x0F;
    else if (b >= 0xF0 && b <= 0xF4) extra = 3, c = b & 0x07;
    else return false;
    if (i + extra >= s.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      c = (c << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF))
      return false;
    multibyte = true;
    i += extra + 1;
  }
  return multibyte;
}

// ---- picking values out of the parsed data ----

struct Parsed {
  Json root;
  bool gbk = false;
  bool cutShort = false;
};

std::optional<Parsed> ParseAt(std::string_view page, size_t start, bool gbk) {
  ScriptLiteralOptions options;
  options.gbk = gbk;
  std::optional<ScriptLiteral> literal = NormaliseScriptLiteral(page, start, options);
  if (!literal) return std::nullopt;
  Json root = Json::parse(literal->json, nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded()) return std::nullopt;
  return Parsed{std::move(root), gbk, literal->cutShort};
}

// Where the value assigned after `anchor` opens ("anchor = {", "anchor=({"), for each of the
// first few places the anchor stands.
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

class Reader {
 public:
  Reader(const Parsed& parsed, const Utf8ToText& utf8ToText)
      : root_(parsed.root), gbk_(parsed.gbk), utf8ToText_(utf8ToText) {}

  const Json* Root() const { return &root_; }

  // Nodes written {"$ref":"$.a.b[0]"} stand for the node at that path; a chain of them that
  // does not end within a few steps (a circle) stands for nothing.
  const Json* Resolve(const Json* node) const {
    for (int hops = 0; hops < 8; ++hops) {
      const std::string* ref = ReferenceOf(node);
      if (!ref) return node;
      node = Lookup(*ref);
    }
    return ReferenceOf(node) ? nullptr : node;
  }

  const Json* Get(const Json* node, std::string_view key) const {
    node = Resolve(node);
    if (!node || !node->is_object()) return nullptr;
    auto it = node->find(key);
    return it == node->end() ? nullptr : Resolve(&*it);
  }

  const Json* Path(const Json* node, std::initializer_list<std::string_view> keys) const {
    for (std::string_view key : keys) node = Get(node, key);
    return node;
  }

  // The elements of an array (each resolved); none for anything else.
  std::vector<const Json*> Items(const Json* node) const {
    std::vector<const Json*> items;
    node = Resolve(node);
    if (node && node->is_array())
      for (const Json& item : *node)
        if (const Json* resolved = Resolve(&item)) items.push_back(resolved);
    return items;
  }

  // A string's bytes as the JSON holds them (UTF-8 or private-use), for addresses and markers.
  std::string_view Raw(const Json* node) const {
    node = Resolve(node);
    return node && node->is_string() ? std::string_view(node->get_ref<const std::string&>()) : std::string_view();
  }

  // A string or a whole number as GBK text; "" for anything else.
  std::string Text(const Json* node) const {
    node = Resolve(node);
    if (!node) return {};
    if (node->is_string()) return JsonStringToText(node->get_ref<const std::string&>(), gbk_, utf8ToText_);
    if (node->is_number_unsigned()) return std::to_string(node->get<uint64_t>());
    if (node->is_number_integer()) return std::to_string(node->get<int64_t>());
    return {};
  }

  // Text for a line of the text box: control characters as blanks, trimmed, bounded.
  std::string Line(const Json* node) const {
    std::string text = Text(node);
    for (char& c : text)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (text.size() > kMaxLineBytes) {
      // Cut on a character boundary of the GBK text.
      size_t i = 0;
      while (i < text.size()) {
        const size_t next = i + (static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1);
        if (next > kMaxLineBytes) break;
        i = next;
      }
      text.resize(i);
    }
    return text;
  }

 private:
  static const std::string* ReferenceOf(const Json* node) {
    if (!node || !node->is_object() || node->size() != 1) return nullptr;
    auto ref = node->find("$ref");
    return ref != node->end() && ref->is_string() ? &ref->get_ref<const std::string&>() : nullptr;
  }

  const Json* Lookup(std::string_view path) const {
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

  const Json& root_;
  bool gbk_;
  const Utf8ToText& utf8ToText_;
};

// A picture or page address as the window lists it: scheme completed for "//host/…", printable
// ASCII without quotes or markup, of a sensible length; nothing otherwise.
std::optional<std::string> CompleteAddress(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  std::string url = s.starts_with("//") ? "https:" + std::string(s) : std::string(s);
  if (StartsWithIgnoringAsciiCase(url, "https://"))
    url.replace(0, 8, "https://");
  else if (StartsWithIgnoringAsciiCase(url, "http://"))
    url.replace(0, 7, "http://");
  else
    return std::nullopt;
  if (url.size() > kMaxAddressBytes || url.size() <= 8) return std::nullopt;
  for (char c : url) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F || c == '"' || c == '\'' || c == '<' || c == '>' || c == '\\') return std::nullopt;
  }
  return url;
}

void AddBounded(TextList& list, std::string item, size_t bound, bool& cutShort) {
  if (item.empty()) return;
  if (list.size() >= bound) {
    cutShort = true;
    return;
  }
  list.push_back(std::move(item));
}

void AddPicture(TextList& list, std::string_view address, bool& cutShort) {
  if (std::optional<std::string> url = CompleteAddress(address)) AddBounded(list, std::move(*url), kMaxRowsPerKind, cutShort);
}

// Every src="…" (or src=\"…\" inside a script string) attribute of an HTML text that holds an
// address, in order.
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

// ---- 1688 ----

// The object literal handed to window.context: directly, or as the second argument of the
// function that builds it ("window.context=(function(b,d){…})(window.contextPath,{…});").
std::vector<size_t> AlibabaContextStarts(std::string_view page) {
  std::vector<size_t> starts;
  const std::string_view anchor = "window.context";
  for (size_t at = page.find(anchor); at != npos && starts.size() < kMaxAnchorTries; at = page.find(anchor, at + 1)) {
    size_t p = at + anchor.size();
    while (p < page.size() && IsBlank(page[p])) ++p;
    if (p >= page.size() || page[p] != '=') continue;  // window.contextPath and the like
    ++p;
    while (p < page.size() && IsBlank(page[p])) ++p;
    if (p < page.size() && page[p] == '{') {
      starts.push_back(p);
      continue;
    }
    const std::string_view call = ")(window.contextPath,";
    const size_t args = page.substr(p, 4096).find(call);
    if (args == npos) continue;
    size_t q = p + args + call.size();
    while (q < page.size() && IsBlank(page[q])) ++q;
    if (q < page.size() && page[q] == '{') starts.push_back(q);
  }
  return starts;
}

ItemPageData ReadAlibabaDesktop(const Reader& r) {
  ItemPageData d;
  const Json* data = r.Path(r.Root(), {"result", "data"});
  const Json* gallery = r.Path(data, {"gallery", "fields"});
  const Json* offer = r.Path(r.Root(), {"result", "global", "globalData", "model", "offerDetail"});

  const Json* images = r.Get(gallery, "offerImgList");
  if (!images) images = r.Get(gallery, "mainImage");
  for (const Json* image : r.Items(images)) AddPicture(d.mainPictures, r.Raw(image), d.cutShort);

  // A video id of 0 means the offer has none.
  const Json* video = r.Get(gallery, "video");
  const std::string videoId = r.Text(r.Get(video, "videoId"));
  if (!videoId.empty() && videoId != "0")
    if (std::optional<std::string> url = CompleteAddress(r.Raw(r.Get(video, "videoUrl")))) d.videoUrl = *url;

  d.title = r.Line(r.Path(data, {"productTitle", "fields", "title"}));
  if (d.title.empty()) d.title = r.Line(r.Get(gallery, "subject"));
  if (d.title.empty()) d.title = r.Line(r.Get(offer, "subject"));
  d.itemId = r.Text(r.Get(offer, "offerId"));
  if (d.itemId.empty()) d.itemId = r.Text(r.Get(gallery, "offerId"));

  // Every value of every SKU property is a name; those with a picture add a SKU picture.
  for (const Json* prop : r.Items(r.Get(offer, "skuProps")))
    for (const Json* value : r.Items(r.Get(prop, "value"))) {
      AddBounded(d.skuNames, r.Line(r.Get(value, "name")), kMaxTextLines, d.cutShort);
      AddPicture(d.skuPictures, r.Raw(r.Get(value, "imageUrl")), d.cutShort);
    }

  std::string_view detail = r.Raw(r.Get(offer, "detailUrl"));
  if (detail.empty()) detail = r.Raw(r.Path(data, {"description", "fields", "detailUrl"}));
  if (std::optional<std::string> url = CompleteAddress(detail)) d.descriptionUrl = *url;
  d.found = CallerMayUse(d);
  return d;
}

// The phone page's modules sit under ids that change from page to page; their componentType
// says what each one is.
ItemPageData ReadAlibabaPhone(const Reader& r) {
  ItemPageData d;
  const Json* modules = r.Get(r.Root(), "data");
  if (!modules || !modules->is_object()) return d;
  std::string offerTitle;
  for (const Json& entry : *modules) {
    const Json* module = r.Resolve(&entry);
    const std::string_view type = r.Raw(r.Get(module, "componentType"));
    const Json* m = r.Get(module, "data");
    if (type.find("main-pic") != npos) {
      const Json* images = r.Get(m, "offerImgList");
      for (const Json* image : r.Items(images)) AddPicture(d.mainPictures, r.Raw(image), d.cutShort);
      if (!images)
        for (const Json* image : r.Items(r.Get(m, "offerImages")))
          AddPicture(d.mainPictures, r.Raw(r.Get(image, "imgUrl")), d.cutShort);
      const std::string videoId = r.Text(r.Get(m, "videoId"));
      if (videoId != "0")
        if (std::optional<std::string> url = CompleteAddress(r.Raw(r.Get(m, "videoUrl")))) d.videoUrl = *url;
      const Json* info = r.Get(m, "offerInfoModel");
      d.itemId = r.Text(r.Get(info, "offerId"));
      if (d.itemId.empty()) d.itemId = r.Text(r.Get(m, "offerId"));
      d.title = r.Line(r.Get(info, "title"));
      for (const Json* sku : r.Items(r.Get(m, "skuImages"))) {
        AddBounded(d.skuNames, r.Line(r.Get(sku, "name")), kMaxTextLines, d.cutShort);
        AddPicture(d.skuPictures, r.Raw(r.Get(sku, "imgUrl")), d.cutShort);
      }
    } else if (type.find("offer-title") != npos) {
      offerTitle = r.Line(r.Get(m, "title"));
    } else if (type.find("description") != npos) {
      if (std::optional<std::string> url = CompleteAddress(r.Raw(r.Get(m, "detailUrl")))) d.descriptionUrl = *url;
    }
  }
  if (d.title.empty()) d.title = offerTitle;
  d.found = CallerMayUse(d);
  return d;
}

// ---- Taobao and Tmall ----

// "name:value" lines from the attribute lists today's pages carry (the value may be a list).
std::string AttributeLine(const Reader& r, const Json* entry, std::initializer_list<std::string_view> names,
                          std::initializer_list<std::string_view> values) {
  std::string name, value;
  for (std::string_view key : names)
    if (name.empty()) name = r.Line(r.Get(entry, key));
  for (std::string_view key : values) {
    if (!value.empty()) break;
    const Json* v = r.Get(entry, key);
    value = r.Line(v);
    for (const Json* part : r.Items(v)) {
      const std::string piece = r.Line(part);
      if (piece.empty()) continue;
      if (!value.empty()) value += ' ';
      value += piece;
    }
  }
  if (name.empty() || value.empty()) return {};
  return name + ":" + value;
}

ItemPageData ReadTaobaoRes(const Reader& r, const Json* res) {
  ItemPageData d;
  const Json* item = r.Get(res, "item");
  d.itemId = r.Text(r.Get(item, "itemId"));
  d.title = r.Line(r.Get(item, "title"));
  for (const Json* image : r.Items(r.Get(item, "images"))) AddPicture(d.mainPictures, r.Raw(image), d.cutShort);

  for (const Json* prop : r.Items(r.Path(res, {"skuBase", "props"})))
    for (const Json* value : r.Items(r.Get(prop, "values"))) {
      AddBounded(d.skuNames, r.Line(r.Get(value, "name")), kMaxTextLines, d.cutShort);
      AddPicture(d.skuPictures, r.Raw(r.Get(value, "image")), d.cutShort);
    }

  // The head gallery's video, or the item's; written as an object with an address or as one.
  for (const Json* videos : {r.Path(res, {"componentsVO", "headImageVO", "videos"}), r.Get(item, "videos")}) {
    for (const Json* video : r.Items(videos)) {
      std::string_view url = r.Raw(video);
      if (url.empty()) url = r.Raw(r.Get(video, "url"));
      if (url.empty()) url = r.Raw(r.Get(video, "videoUrl"));
      if (std::optional<std::string> complete = CompleteAddress(url)) {
        d.videoUrl = *complete;
        break;
      }
    }
    if (!d.videoUrl.empty()) break;
  }

  for (const Json* info : r.Items(r.Path(res, {"componentsVO", "extensionInfoVO", "infos"}))) {
    if (r.Raw(r.Get(info, "type")) != "BASE_PROPS") continue;
    for (const Json* entry : r.Items(r.Get(info, "items")))
      AddBounded(d.attributes, AttributeLine(r, entry, {"title", "name"}, {"text", "value"}), kMaxTextLines, d.cutShort);
  }
  if (d.attributes.empty())
    for (const Json* entry : r.Items(r.Path(res, {"plusViewVO", "industryParamVO", "basicParamList"})))
      AddBounded(d.attributes,
                 AttributeLine(r, entry, {"propertyName", "name", "title"}, {"valueName", "value", "text"}),
                 kMaxTextLines, d.cutShort);

  if (std::optional<std::string> url = CompleteAddress(r.Raw(r.Get(item, "pcADescUrl")))) d.descriptionUrl = *url;
  d.found = CallerMayUse(d);
  return d;
}

// ---- JD ----

std::optional<std::string> JdPicture(std::string_view path, std::string_view base) {
  if (path.starts_with("//") || StartsWithIgnoringAsciiCase(path, "http")) return CompleteAddress(path);
  while (!path.empty() && path.front() == '/') path.remove_prefix(1);
  if (path.empty()) return std::nullopt;
  std::string url(base);
  if (!url.empty() && url.back() != '/') url += '/';
  return CompleteAddress(url + std::string(path));
}

void AddJdPicture(TextList& list, std::string_view path, std::string_view base, bool& cutShort) {
  if (std::optional<std::string> url = JdPicture(path, base)) AddBounded(list, std::move(*url), kMaxRowsPerKind, cutShort);
}

bool HasPictureExtension(std::string_view address) {
  const std::string lower = LowerAsciiCopy(address);
  for (std::string_view ext : {".jpg", ".jpeg", ".png", ".gif", ".webp"})
    if (lower.find(ext) != npos) return true;
  return false;
}

bool IsAddressByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b > 0x20 && b < 0x7F && c != '"' && c != '\'' && c != '<' && c != '>' && c != '(' && c != ')' &&
         c != '\\' && c != ',' && c != ';';
}

// ---- pages that are not item pages ----

struct Marker {
  const char* gbk;
  const char8_t* utf8;
};

bool ContainsMarker(std::string_view page, const Marker& m) {
  if (Find(page, m.gbk) != -1) return true;
  const std::string_view utf8(reinterpret_cast<const char*>(m.utf8));
  return page.find(utf8) != npos;
}

const Marker kChallengeText[] = {{"滑动验证", u8"滑动验证"}, {"安全验证", u8"安全验证"}, {"验证码", u8"验证码"},
                                 {"拖动滑块", u8"拖动滑块"}, {"访问受限", u8"访问受限"}, {"访问被拒绝", u8"访问被拒绝"}};
const std::string_view kChallengeAscii[] = {"_____tmd_____", "punish", "x5sec", "nocaptcha", "nc_1_n1z",
                                            "captcha", "risk_handler", "slide-verify"};
const Marker kLoginText[] = {{"密码登录", u8"密码登录"}, {"扫码登录", u8"扫码登录"}, {"短信登录", u8"短信登录"},
                             {"账号登录", u8"账号登录"}, {"请登录", u8"请登录"}, {"登录页", u8"登录页"}};
const std::string_view kLoginAscii[] = {"type=\"password\"", "fm-login", "login-form", "loginform",
                                        "passport.jd.com", "plogin.m.jd.com", "login.taobao.com",
                                        "login.tmall.com", "login.1688.com"};
const Marker kNoItemText[] = {{"宝贝不存在", u8"宝贝不存在"}, {"商品不存在", u8"商品不存在"}, {"已下架", u8"已下架"},
                              {"已下柜", u8"已下柜"}, {"找不到", u8"找不到"}, {"不存在", u8"不存在"},
                              {"已失效", u8"已失效"}, {"已删除", u8"已删除"}};
const std::string_view kNoItemAscii[] = {"noitem", "err.taobao.com", "error1.html", "item-not-found"};

template <size_t N, size_t M>
bool Matches(std::string_view page, const std::string& lower, const Marker (&text)[N],
             const std::string_view (&ascii)[M]) {
  for (const Marker& m : text)
    if (ContainsMarker(page, m)) return true;
  for (std::string_view a : ascii)
    if (lower.find(a) != npos) return true;
  return false;
}

// The value of one cookie in a cookie text ("a=1; _m_h5_tk=…; b=2").
std::string CookieValue(std::string_view cookies, std::string_view name) {
  size_t at = 0;
  while (at < cookies.size()) {
    size_t end = cookies.find(';', at);
    if (end == npos) end = cookies.size();
    std::string_view item = cookies.substr(at, end - at);
    while (!item.empty() && IsBlank(item.front())) item.remove_prefix(1);
    const size_t eq = item.find('=');
    if (eq != npos && item.substr(0, eq) == name) {
      std::string_view value = item.substr(eq + 1);
      while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
      return std::string(value);
    }
    at = end + 1;
  }
  return {};
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const int high = i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
    const int low = i + 2 < text.size() ? HexDigitValue(text[i + 2]) : -1;
    if (text[i] == '%' && high >= 0 && low >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// A query parameter of an address, decoded.
std::string QueryValue(std::string_view url, std::string_view name) {
  const size_t query = url.find('?');
  if (query == npos) return {};
  size_t at = query + 1;
  while (at < url.size()) {
    size_t end = url.find_first_of("&#", at);
    if (end == npos) end = url.size();
    const std::string_view pair = url.substr(at, end - at);
    const size_t eq = pair.find('=');
    if (eq != npos && pair.substr(0, eq) == name) return PercentDecode(pair.substr(eq + 1));
    if (end < url.size() && url[end] == '#') break;
    at = end + 1;
  }
  return {};
}

// Letters, digits, dots, hyphens, underscores (and the `extra` characters) only: what ids and
// the description key hold, safe inside a JSON string.
std::string Plain(std::string_view text, std::string_view extra = {}) {
  std::string out;
  for (char c : text.substr(0, 128))
    if (IsWordByte(c) || c == '.' || c == '-' || extra.find(c) != npos) out += c;
  return out;
}

std::string PercentEncode(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (IsWordByte(c) || c == '.' || c == '-' || c == '~') {
      out += c;
    } else {
      out += '%';
      AppendHexByte(out, static_cast<unsigned char>(c), HexCase::Upper);
    }
  }
  return out;
}

}  // namespace

bool ArrivedAsUtf8(std::string_view page) {
  const std::string declared = EarlyDeclaredCharset(page);
  // The engine leaves pages declaring exactly "gbk" or "gb2312" as they came and re-decodes the
  // others into GBK.
  if (!declared.empty() && declared != "gbk" && declared != "gb2312") return false;
  return IsUtf8WithMultibyteCharacters(page);
}

ItemPageData ReadAlibabaPageData(std::string_view page, const Utf8ToText& utf8ToText) {
  const bool gbk = !ArrivedAsUtf8(page);
  for (size_t start : AlibabaContextStarts(page))
    if (std::optional<Parsed> parsed = ParseAt(page, start, gbk)) {
      ItemPageData d = ReadAlibabaDesktop(Reader(*parsed, utf8ToText));
      d.cutShort = d.cutShort || parsed->cutShort;
      if (d.found) return d;
    }
  for (size_t start : ValueStartsAfter(page, "window.__INIT_DATA"))
    if (std::optional<Parsed> parsed = ParseAt(page, start, gbk)) {
      ItemPageData d = ReadAlibabaPhone(Reader(*parsed, utf8ToText));
      d.cutShort = d.cutShort || parsed->cutShort;
      if (d.found) return d;
    }
  return {};
}

DetailPictures ReadAlibabaDescription(std::string_view document) {
  DetailPictures result;
  const bool gbk = !ArrivedAsUtf8(document);
  for (size_t start : ValueStartsAfter(document, "offer_details"))
    if (std::optional<Parsed> parsed = ParseAt(document, start, gbk)) {
      const Utf8ToText none;
      Reader r(*parsed, none);
      const Json* content = r.Get(r.Root(), "content");
      if (!content || !content->is_string()) continue;
      result.readable = true;
      result.cutShort = parsed->cutShort;
      result.pictures = SourceAddresses(r.Raw(content), result.cutShort);
      return result;
    }
  // A document that is not the expected script still names its pictures with escaped quotes.
  result.pictures = SourceAddresses(document, result.cutShort);
  result.readable = !result.pictures.empty();
  return result;
}

ItemPageData ReadTaobaoPageData(std::string_view page, const Utf8ToText& utf8ToText) {
  const bool gbk = !ArrivedAsUtf8(page);
  for (size_t start : ValueStartsAfter(page, "var b")) {
    std::optional<Parsed> parsed = ParseAt(page, start, gbk);
    if (!parsed) continue;
    Reader r(*parsed, utf8ToText);
    const Json* res = r.Path(r.Root(), {"loaderData", "home", "data", "res"});
    if (!res) continue;
    ItemPageData d = ReadTaobaoRes(r, res);
    d.cutShort = d.cutShort || parsed->cutShort;
    if (d.found) return d;
  }
  return {};
}

DetailPictures ReadTaobaoDescriptionAnswer(std::string_view answer) {
  DetailPictures result;
  const size_t start = answer.find('{');
  std::optional<Parsed> parsed;
  if (start != npos) parsed = ParseAt(answer, start, !ArrivedAsUtf8(answer));
  if (!parsed) {
    result.challenge = RecognisePage(answer) == PageKind::Challenge;
    return result;
  }
  const Utf8ToText none;
  Reader r(*parsed, none);
  bool success = false;
  for (const Json* ret : r.Items(r.Get(r.Root(), "ret"))) {
    const std::string_view text = r.Raw(ret);
    if (text.starts_with("SUCCESS")) success = true;
    if (text.find("RGV587") != npos || text.find("USER_VALIDATE") != npos) result.challenge = true;
  }
  if (!success) {
    result.refused = true;
    return result;
  }
  result.readable = true;
  result.cutShort = parsed->cutShort;
  const Json* data = r.Get(r.Root(), "data");
  if (const Json* content = r.Get(data, "pcDescContent")) {
    result.pictures = SourceAddresses(r.Raw(content), result.cutShort);
  } else if (data && data->is_object()) {
    for (const Json& member : *data)
      if (member.is_string())
        for (std::string& url : SourceAddresses(member.get_ref<const std::string&>(), result.cutShort))
          AddBounded(result.pictures, std::move(url), kMaxRowsPerKind, result.cutShort);
  }
  return result;
}

std::string TaobaoDescriptionCallUrl(std::string_view host, std::string_view cookies, std::string_view itemId,
                                     std::string_view descriptionPage, long long nowMs) {
  // The token is the part of "_m_h5_tk" before its underscore (a time stamp follows it).
  const std::string cookie = CookieValue(cookies, "_m_h5_tk");
  const std::string token = cookie.substr(0, cookie.find('_'));
  if (token.empty() || token.size() > 64 || Plain(token) != token || host.empty()) return {};
  std::string id = Plain(QueryValue(descriptionPage, "id"));
  if (id.empty()) id = Plain(itemId);
  if (id.empty()) return {};
  std::string type = Plain(QueryValue(descriptionPage, "type"));
  if (type.empty()) type = "0";
  const std::string f = Plain(QueryValue(descriptionPage, "f"), "/");
  std::string data = "{\"id\":\"" + id + "\",\"type\":\"" + type + "\"";
  if (!f.empty()) data += ",\"f\":\"" + f + "\"";
  data += "}";

  const std::string appKey = "12574478";
  const std::string t = std::to_string(nowMs);
  const std::string sign = Md5Hex(token + "&" + t + "&" + appKey + "&" + data);
  return "https://" + std::string(host) + "/h5/mtop.taobao.detail.getdesc/6.0/?jsv=2.7.2&appKey=" + appKey +
         "&t=" + t + "&sign=" + sign +
         "&api=mtop.taobao.detail.getdesc&v=6.0&type=originaljson&dataType=json&timeout=20000&data=" +
         PercentEncode(data);
}

ItemPageData ReadJdPhonePageData(std::string_view page, std::string_view pictureBase, const Utf8ToText& utf8ToText) {
  ItemPageData d;
  const bool gbk = !ArrivedAsUtf8(page);
  std::optional<Parsed> only, info;
  for (size_t start : ValueStartsAfter(page, "window._itemOnly"))
    if ((only = ParseAt(page, start, gbk))) break;
  if (!only) return d;
  for (size_t start : ValueStartsAfter(page, "window._itemInfo"))
    if ((info = ParseAt(page, start, gbk))) break;

  const Reader r(*only, utf8ToText);
  const Json* item = r.Get(r.Root(), "item");
  d.cutShort = only->cutShort;
  for (const Json* image : r.Items(r.Get(item, "image"))) AddJdPicture(d.mainPictures, r.Raw(image), pictureBase, d.cutShort);

  // Every colour and size combination is one entry; a picture belongs to the colour, so each
  // picture is listed once.
  const std::vector<const Json*> combinations = r.Items(r.Get(item, "newColorSize"));
  std::set<std::string> seen;
  for (const Json* c : combinations) {
    const std::string path(r.Raw(r.Get(c, "imagePath")));
    if (path.empty() || !seen.insert(path).second) continue;
    AddJdPicture(d.skuPictures, path, pictureBase, d.cutShort);
  }
  const Json* sequence = r.Get(item, "salePropSeq");
  if (sequence && sequence->is_object())
    for (const Json& values : *sequence)
      for (const Json* value : r.Items(&values)) AddBounded(d.skuNames, r.Line(value), kMaxTextLines, d.cutShort);
  if (d.skuNames.empty()) {
    // Without the sequence: the distinct values of each dimension, in order of appearance.
    const std::initializer_list<std::string_view> dimensions[] = {{"color", "1"}, {"size", "2"}, {"spec", "3"}};
    for (const auto& keys : dimensions) {
      std::set<std::string> names;
      for (const Json* c : combinations)
        for (std::string_view key : keys) {
          std::string name = r.Line(r.Get(c, key));
          if (!name.empty() && names.insert(name).second) AddBounded(d.skuNames, name, kMaxTextLines, d.cutShort);
        }
    }
  }

  d.itemId = r.Text(r.Get(item, "skuId"));
  d.title = r.Line(r.Get(item, "skuName"));
  if (info) {
    const Reader ri(*info, utf8ToText);
    const Json* product = ri.Get(ri.Root(), "product");
    if (std::string name = ri.Line(ri.Get(product, "skuName")); !name.empty()) d.title = name;
    if (d.itemId.empty()) d.itemId = ri.Text(ri.Get(product, "skuId"));
    d.cutShort = d.cutShort || info->cutShort;
  }
  d.found = CallerMayUse(d) || !d.skuPictures.empty();
  return d;
}

DetailPictures ReadJdDetailPictures(std::string_view page, std::string_view pictureBase) {
  DetailPictures result;
  size_t resume = 0;
  for (size_t at = page.find("jfs/"); at != npos; at = page.find("jfs/", std::max(at + 4, resume))) {
    size_t begin = at;
    while (begin > resume && IsAddressByte(page[begin - 1])) --begin;
    size_t end = at + 4;
    while (end < page.size() && IsAddressByte(page[end])) ++end;
    resume = end;
    const std::string_view address = page.substr(begin, end - begin);
    if (!HasPictureExtension(address.substr(at - begin))) continue;
    if (!address.starts_with("//") && !StartsWithIgnoringAsciiCase(address, "http") && !address.starts_with("jfs/"))
      continue;  // a host without a scheme, or a path inside something else
    AddJdPicture(result.pictures, address, pictureBase, result.cutShort);
    if (result.cutShort) break;
  }
  result.readable = true;
  return result;
}

std::string JdSkuIdOfLink(std::string_view link) {
  const std::string_view path = link.substr(0, link.find_first_of("?#"));
  const size_t html = path.rfind(".html");
  if (html != npos) {
    size_t begin = html;
    while (begin > 0 && IsAsciiDigit(path[begin - 1])) --begin;
    if (begin < html && begin > 0 && path[begin - 1] == '/' && html - begin <= 20)
      return std::string(path.substr(begin, html - begin));
  }
  for (std::string_view name : {"sku", "skuId", "wareId"}) {
    const std::string value = QueryValue(link, name);
    if (!value.empty() && value.size() <= 20 && value.find_first_not_of("0123456789") == std::string::npos)
      return value;
  }
  return {};
}

PageKind RecognisePage(std::string_view page) {
  if (page.size() > 64 * 1024) return PageKind::Other;
  const std::string lower = LowerAsciiCopy(page);
  if (Matches(page, lower, kChallengeText, kChallengeAscii)) return PageKind::Challenge;
  if (Matches(page, lower, kLoginText, kLoginAscii)) return PageKind::Login;
  if (Matches(page, lower, kNoItemText, kNoItemAscii)) return PageKind::NoSuchItem;
  return PageKind::Other;
}
