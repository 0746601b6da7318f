#include "extract/page_data/alibaba_page_data.h"

#include "extract/harvest_bounds.h"
#include "extract/page_data/script_data.h"
#include "text/ascii.h"

using namespace page_data;

namespace {

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
  for (const Json* image : r.Items(images)) AddPictureOf(d.mainPictures, r, image, d.cutShort);

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

  // Every value of every SKU property is a name; those with a picture add a SKU picture. The walk
  // ends once both lists are full.
  const auto skuFull = [&] {
    return Full(d.skuNames, kMaxTextLines, r, d.cutShort) && Full(d.skuPictures, kMaxRowsPerKind, r, d.cutShort);
  };
  for (const Json* prop : r.Items(r.Get(offer, "skuProps"))) {
    if (skuFull()) break;
    for (const Json* value : r.Items(r.Get(prop, "value"))) {
      if (skuFull()) break;
      AddLine(d.skuNames, r, r.Get(value, "name"), d.cutShort);
      AddPictureOf(d.skuPictures, r, r.Get(value, "imageUrl"), d.cutShort);
    }
  }

  std::string_view detail = r.Raw(r.Get(offer, "detailUrl"));
  if (detail.empty()) detail = r.Raw(r.Path(data, {"description", "fields", "detailUrl"}));
  if (std::optional<std::string> url = CompleteAddress(detail)) d.descriptionUrl = *url;
  d.found = CallerMayUse(d);
  d.cutShort = d.cutShort || r.Exhausted();
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
    if (r.Exhausted()) break;
    const Json* module = r.Resolve(&entry);
    const std::string_view type = r.Raw(r.Get(module, "componentType"));
    const Json* m = r.Get(module, "data");
    if (type.find("main-pic") != npos) {
      const Json* images = r.Get(m, "offerImgList");
      for (const Json* image : r.Items(images)) AddPictureOf(d.mainPictures, r, image, d.cutShort);
      if (!images)
        for (const Json* image : r.Items(r.Get(m, "offerImages"))) {
          if (Full(d.mainPictures, kMaxRowsPerKind, r, d.cutShort)) break;
          AddPicture(d.mainPictures, r.Raw(r.Get(image, "imgUrl")), d.cutShort);
        }
      const std::string videoId = r.Text(r.Get(m, "videoId"));
      if (videoId != "0")
        if (std::optional<std::string> url = CompleteAddress(r.Raw(r.Get(m, "videoUrl")))) d.videoUrl = *url;
      const Json* info = r.Get(m, "offerInfoModel");
      d.itemId = r.Text(r.Get(info, "offerId"));
      if (d.itemId.empty()) d.itemId = r.Text(r.Get(m, "offerId"));
      d.title = r.Line(r.Get(info, "title"));
      for (const Json* sku : r.Items(r.Get(m, "skuImages"))) {
        if (Full(d.skuNames, kMaxTextLines, r, d.cutShort) && Full(d.skuPictures, kMaxRowsPerKind, r, d.cutShort))
          break;
        AddLine(d.skuNames, r, r.Get(sku, "name"), d.cutShort);
        AddPictureOf(d.skuPictures, r, r.Get(sku, "imgUrl"), d.cutShort);
      }
    } else if (type.find("offer-title") != npos) {
      offerTitle = r.Line(r.Get(m, "title"));
    } else if (type.find("description") != npos) {
      if (std::optional<std::string> url = CompleteAddress(r.Raw(r.Get(m, "detailUrl")))) d.descriptionUrl = *url;
    }
  }
  if (d.title.empty()) d.title = offerTitle;
  d.found = CallerMayUse(d);
  d.cutShort = d.cutShort || r.Exhausted();
  return d;
}

}  // namespace

ItemPageData ReadAlibabaPageData(std::string_view page, const Utf8ToText& utf8ToText, PageEncoding encoding) {
  const bool gbk = ReadsAsGbk(page, encoding);
  WorkBudget budget(page.size());
  for (size_t start : AlibabaContextStarts(page))
    if (std::optional<Parsed> parsed = ParseAt(page, start, gbk, budget)) {
      ItemPageData d = ReadAlibabaDesktop(Reader(*parsed, utf8ToText, budget));
      d.cutShort = d.cutShort || parsed->cutShort;
      d.work = budget.Used();
      if (d.found) return d;
    }
  for (size_t start : ValueStartsAfter(page, "window.__INIT_DATA"))
    if (std::optional<Parsed> parsed = ParseAt(page, start, gbk, budget)) {
      ItemPageData d = ReadAlibabaPhone(Reader(*parsed, utf8ToText, budget));
      d.cutShort = d.cutShort || parsed->cutShort;
      d.work = budget.Used();
      if (d.found) return d;
    }
  ItemPageData none;
  none.work = budget.Used();
  return none;
}

DetailPictures ReadAlibabaDescription(std::string_view document, PageEncoding encoding) {
  DetailPictures result;
  const bool gbk = ReadsAsGbk(document, encoding);
  WorkBudget budget(document.size());
  for (size_t start : ValueStartsAfter(document, "offer_details"))
    if (std::optional<Parsed> parsed = ParseAt(document, start, gbk, budget)) {
      const Utf8ToText none;
      Reader r(*parsed, none, budget);
      const Json* content = r.Get(r.Root(), "content");
      if (!content || !content->is_string()) continue;
      result.readable = true;
      result.cutShort = parsed->cutShort;
      result.pictures = SourceAddresses(r.Raw(content), result.cutShort);
      result.cutShort = result.cutShort || r.Exhausted();
      result.work = budget.Used();
      return result;
    }
  // A document that is not the expected script still names its pictures with escaped quotes.
  result.pictures = SourceAddresses(document, result.cutShort);
  result.readable = !result.pictures.empty();
  return result;
}
