#include "extract/page_data/jd_page_data.h"

#include <set>

#include "extract/harvest_bounds.h"
#include "extract/page_data/script_data.h"
#include "text/ascii.h"
#include "text/original_picture.h"

using namespace page_data;

namespace {

std::optional<std::string> JdPicture(std::string_view path, std::string_view base) {
  if (path.starts_with("//") || StartsWithIgnoringAsciiCase(path, "http")) return CompleteAddress(path);
  while (!path.empty() && path.front() == '/') path.remove_prefix(1);
  if (path.empty()) return std::nullopt;
  std::string url(base);
  if (!url.empty() && url.back() != '/') url += '/';
  return CompleteAddress(url + std::string(path));
}

void AddJdPicture(TextList& list, std::string_view path, std::string_view base, bool& cutShort) {
  if (std::optional<std::string> url = JdPicture(path, base))
    AddBounded(list, OriginalPictureAddress(*url), kMaxRowsPerKind, cutShort);
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

}  // namespace

ItemPageData ReadJdPhonePageData(std::string_view page, std::string_view pictureBase, const Utf8ToText& utf8ToText,
                                 PageEncoding encoding) {
  ItemPageData d;
  const bool gbk = ReadsAsGbk(page, encoding);
  WorkBudget budget(page.size());
  std::optional<Parsed> only, info;
  for (size_t start : ValueStartsAfter(page, "window._itemOnly"))
    if ((only = ParseAt(page, start, gbk, budget))) break;
  if (!only) {
    d.work = budget.Used();
    return d;
  }
  for (size_t start : ValueStartsAfter(page, "window._itemInfo"))
    if ((info = ParseAt(page, start, gbk, budget))) break;

  const Reader r(*only, utf8ToText, budget);
  const Json* item = r.Get(r.Root(), "item");
  d.cutShort = only->cutShort;
  for (const Json* image : r.Items(r.Get(item, "image"))) AddJdPicture(d.mainPictures, r.Raw(image), pictureBase, d.cutShort);

  // Every colour and size combination is one entry; a picture belongs to the colour, so each
  // picture is listed once.
  const std::vector<const Json*> combinations = r.Items(r.Get(item, "newColorSize"));
  std::set<std::string> seen;
  for (const Json* c : combinations) {
    if (Full(d.skuPictures, kMaxRowsPerKind, r, d.cutShort)) break;
    const std::string path(r.Raw(r.Get(c, "imagePath")));
    if (path.empty() || !seen.insert(path).second) continue;
    AddJdPicture(d.skuPictures, path, pictureBase, d.cutShort);
  }
  const Json* sequence = r.Get(item, "salePropSeq");
  if (sequence && sequence->is_object())
    for (const Json& values : *sequence) {
      if (Full(d.skuNames, kMaxTextLines, r, d.cutShort)) break;
      for (const Json* value : r.Items(&values)) {
        if (Full(d.skuNames, kMaxTextLines, r, d.cutShort)) break;
        AddLine(d.skuNames, r, value, d.cutShort);
      }
    }
  if (d.skuNames.empty()) {
    // Without the sequence: the distinct values of each dimension, in order of appearance.
    const std::initializer_list<std::string_view> dimensions[] = {{"color", "1"}, {"size", "2"}, {"spec", "3"}};
    for (const auto& keys : dimensions) {
      std::set<std::string> names;
      for (const Json* c : combinations) {
        if (Full(d.skuNames, kMaxTextLines, r, d.cutShort)) break;
        for (std::string_view key : keys) {
          std::string name = r.Line(r.Get(c, key));
          if (!name.empty() && names.insert(name).second) AddBounded(d.skuNames, name, kMaxTextLines, d.cutShort);
        }
      }
    }
  }

  d.itemId = r.Text(r.Get(item, "skuId"));
  d.title = r.Line(r.Get(item, "skuName"));
  if (info) {
    const Reader ri(*info, utf8ToText, budget);
    const Json* product = ri.Get(ri.Root(), "product");
    if (std::string name = ri.Line(ri.Get(product, "skuName")); !name.empty()) d.title = name;
    if (d.itemId.empty()) d.itemId = ri.Text(ri.Get(product, "skuId"));
    d.cutShort = d.cutShort || info->cutShort;
  }
  d.found = CallerMayUse(d) || !d.skuPictures.empty();
  d.cutShort = d.cutShort || budget.Spent();
  d.work = budget.Used();
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

