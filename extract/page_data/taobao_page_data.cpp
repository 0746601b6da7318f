#include "extract/page_data/taobao_page_data.h"

#include "extract/harvest_bounds.h"
#include "extract/page_data/page_kind.h"
#include "extract/page_data/script_data.h"
#include "text/text_items.h"

using namespace page_data;

namespace {

// "name:value" lines from the attribute lists today's pages carry (the value may be a list, whose
// parts are joined until the line is full).
std::string AttributeLine(const Reader& r, const Json* entry, std::initializer_list<std::string_view> names,
                          std::initializer_list<std::string_view> values) {
  std::string name, value;
  for (std::string_view key : names)
    if (name.empty()) name = r.Line(r.Get(entry, key));
  if (name.empty()) return {};
  for (std::string_view key : values) {
    if (!value.empty()) break;
    const Json* v = r.Get(entry, key);
    value = r.Line(v);
    for (const Json* part : r.Items(v)) {
      if (name.size() + 1 + value.size() >= kMaxLineBytes) break;
      const std::string piece = r.Line(part);
      if (piece.empty()) continue;
      if (!value.empty()) value += ' ';
      value += piece;
    }
  }
  if (value.empty()) return {};
  return std::string(CharacterPrefix(name + ":" + value, kMaxLineBytes));
}

ItemPageData ReadTaobaoRes(const Reader& r, const Json* res) {
  ItemPageData d;
  const Json* item = r.Get(res, "item");
  d.itemId = r.Text(r.Get(item, "itemId"));
  d.title = r.Line(r.Get(item, "title"));
  for (const Json* image : r.Items(r.Get(item, "images"))) AddPicture(d.mainPictures, r.Raw(image), d.cutShort);

  // A name and perhaps a picture per value; the walk ends once both lists are full.
  const auto skuFull = [&] {
    return Full(d.skuNames, kMaxTextLines, r, d.cutShort) && Full(d.skuPictures, kMaxRowsPerKind, r, d.cutShort);
  };
  for (const Json* prop : r.Items(r.Path(res, {"skuBase", "props"}))) {
    if (skuFull()) break;
    for (const Json* value : r.Items(r.Get(prop, "values"))) {
      if (skuFull()) break;
      AddLine(d.skuNames, r, r.Get(value, "name"), d.cutShort);
      AddPictureOf(d.skuPictures, r, r.Get(value, "image"), d.cutShort);
    }
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
    if (Full(d.attributes, kMaxTextLines, r, d.cutShort)) break;
    if (r.Raw(r.Get(info, "type")) != "BASE_PROPS") continue;
    for (const Json* entry : r.Items(r.Get(info, "items"))) {
      if (Full(d.attributes, kMaxTextLines, r, d.cutShort)) break;
      AddBounded(d.attributes, AttributeLine(r, entry, {"title", "name"}, {"text", "value"}), kMaxTextLines, d.cutShort);
    }
  }
  if (d.attributes.empty())
    for (const Json* entry : r.Items(r.Path(res, {"plusViewVO", "industryParamVO", "basicParamList"}))) {
      if (Full(d.attributes, kMaxTextLines, r, d.cutShort)) break;
      AddBounded(d.attributes,
                 AttributeLine(r, entry, {"propertyName", "name", "title"}, {"valueName", "value", "text"}),
                 kMaxTextLines, d.cutShort);
    }

  if (std::optional<std::string> url = CompleteAddress(r.Raw(r.Get(item, "pcADescUrl")))) d.descriptionUrl = *url;
  d.found = CallerMayUse(d);
  d.cutShort = d.cutShort || r.Exhausted();
  return d;
}

}  // namespace

ItemPageData ReadTaobaoPageData(std::string_view page, const Utf8ToText& utf8ToText, PageEncoding encoding) {
  const bool gbk = ReadsAsGbk(page, encoding);
  WorkBudget budget(page.size());
  for (size_t start : ValueStartsAfter(page, "var b")) {
    std::optional<Parsed> parsed = ParseAt(page, start, gbk, budget);
    if (!parsed) continue;
    Reader r(*parsed, utf8ToText, budget);
    const Json* res = r.Path(r.Root(), {"loaderData", "home", "data", "res"});
    if (!res) continue;
    ItemPageData d = ReadTaobaoRes(r, res);
    d.cutShort = d.cutShort || parsed->cutShort;
    d.work = budget.Used();
    if (d.found) return d;
  }
  ItemPageData none;
  none.work = budget.Used();
  return none;
}

DetailPictures ReadTaobaoDescriptionAnswer(std::string_view answer, PageEncoding encoding) {
  DetailPictures result;
  WorkBudget budget(answer.size());
  const size_t start = answer.find('{');
  std::optional<Parsed> parsed;
  if (start != npos) parsed = ParseAt(answer, start, ReadsAsGbk(answer, encoding), budget);
  if (!parsed) {
    result.challenge = RecognisePage(answer) == PageKind::Challenge;
    return result;
  }
  const Utf8ToText none;
  Reader r(*parsed, none, budget);
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
    for (const Json& member : *data) {
      if (Full(result.pictures, kMaxRowsPerKind, r, result.cutShort)) break;
      if (!member.is_string()) continue;
      for (std::string& url : SourceAddresses(r.Raw(&member), result.cutShort))
        AddBounded(result.pictures, std::move(url), kMaxRowsPerKind, result.cutShort);
    }
  }
  result.cutShort = result.cutShort || r.Exhausted();
  result.work = budget.Used();
  return result;
}
