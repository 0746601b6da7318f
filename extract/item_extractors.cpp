#include "extract/item_extractors.h"

#include "text/text_slicing.h"

namespace {

std::string ReadCookies(const ItemSource& source) {
  return source.readCookies ? source.readCookies() : std::string();
}

std::string Fetch(const ItemSource& source, const std::string& url,
                  const std::optional<std::string>& cookies) {
  return source.fetch ? source.fetch(url, cookies) : std::string();
}

// Pieces overlap: each left marker starts one that runs to the next right marker. On a broken or
// hostile page where a left marker repeats many times far ahead of its right marker, the pieces add
// up to many times the page and would exhaust memory. Measured first, without copying; the
// measuring stops as soon as the budget is spent, so it costs no more than the page plus the budget.
constexpr size_t kPiecesBudget = 32u << 20;

bool PiecesFitBudget(std::string_view text, std::string_view left, std::string_view right,
                     size_t dressing) {
  size_t total = 0;
  int pos = 1;
  for (;;) {
    int p = Find(text, left, pos);
    if (p == -1) return true;
    pos = p + static_cast<int>(left.size());
    int q = Find(text, right, pos);
    if (q == -1) return true;
    total += static_cast<size_t>(q - pos) + dressing;
    if (total > kPiecesBudget) return false;
  }
}

// Cuts every piece between two markers; the caller's window answers after each piece.
class Cutter {
 public:
  explicit Cutter(const ItemSource& source) : yield_(source.yield) {}

  TextList operator()(std::string_view text, std::string_view left, std::string_view right,
                      std::string prefix = {}, std::string suffix = {}) const {
    if (!PiecesFitBudget(text, left, right, prefix.size() + suffix.size())) return {};
    AllTextBetweenOptions options;
    options.prefix = std::move(prefix);
    options.suffix = std::move(suffix);
    options.yield = yield_;
    TextList items;
    AllTextBetween(text, left, right, items, options);
    return items;
  }

 private:
  std::function<void()> yield_;
};

// A cut that spans more than one address picks up markup on the way; a real address has none of
// these characters in it.
bool LooksLikeAddress(const std::string& url) {
  return url.find_first_of("\"'<> \t\r\n") == std::string::npos;
}

TextList KeepAddresses(TextList items) {
  TextList kept;
  for (std::string& item : items)
    if (LooksLikeAddress(item)) kept.push_back(std::move(item));
  return kept;
}

void PublishAll(HarvestSink& sink, Platform platform, const TextList& main, const TextList& sku,
                const TextList& detail) {
  sink.PublishPictures(main, PictureKindLabel(platform, PictureKind::Main));
  sink.PublishPictures(sku, PictureKindLabel(platform, PictureKind::Sku));
  sink.PublishPictures(detail, PictureKindLabel(platform, PictureKind::Detail));
}

std::string TaobaoVideoUrl(const EndpointHosts& hosts, const std::string& owner,
                           const std::string& path, const std::string& videoId) {
  return "http://" + hosts.TaobaoVideoHost + "/play/u/" + owner + path + videoId + ".mp4";
}

// Character references such as "&nbsp;" stand between attribute names and values.
TextList CutAttributes(const Cutter& cut, const std::string& page, std::string_view left) {
  std::string block = TextBetween(page, left, "</ul>");
  RemoveBetween(block, "&", ";");
  return cut(block, "\">", "</li>");
}

}  // namespace

void HarvestTaobaoItem(const ItemSource& source, HarvestSink& sink) {
  const EndpointHosts& hosts = source.hosts;
  const Cutter cut(source);
  const std::string page = Fetch(source, source.link, ReadCookies(source));

  const std::string videoId = TextBetween(page, "videoId\":\"", "\",");
  const std::string owner = TextBetween(page, "videoOwnerId\":\"", "\",");
  const std::string title = TextBetween(page, "<title>", "</title>");
  sink.AppendText(title + "\r\n\r\n");
  sink.SetVideoUrl(TaobaoVideoUrl(hosts, owner, "/p/1/e/6/t/1/", videoId));
  sink.SetItemId(TextBetween(page, "itemId=", "&"));

  // Thumbnails are written "https://…_50x50.jpg" or protocol-relative "//…_50x50.jpg"; cutting
  // from "//" takes both, and pieces that ran across markup are not addresses.
  const std::string thumbnails = TextBetween(page, "tb-clearfix", "this.WebP");
  const TextList mainPictures = KeepAddresses(cut(thumbnails, "//", "_50x50", "https://"));

  const std::string memo = TextBetween(page, "propertyMemoMap", "}");
  const TextList skuNames = cut(memo, "\":\"", "\"");

  const std::string skuBlock = TextBetween(page, "tb-skin", "tb-property-type\">数量");
  const TextList skuPictures = cut(skuBlock, "//gd", "_30x30", "https://gd");

  const std::string descPath = TextBetween(page, "//" + hosts.TaobaoDescLinkHost + "/", "',");
  const std::string descUrl = "https://" + hosts.TaobaoDescHost + "/" + descPath;
  sink.SetDescriptionUrl(descUrl);
  const std::string descPage = Fetch(source, descUrl, ReadCookies(source));
  sink.SetDescriptionPage(descPage);
  const TextList detailPictures = cut(descPage, "src=\"https:", "g\"", "https:", "g");

  PublishAll(sink, Platform::Taobao, mainPictures, skuPictures, detailPictures);
  AppendLines(sink, skuNames);
  AppendLines(sink, CutAttributes(cut, page, "attributes-list\">"));
}

void HarvestTmallItem(const ItemSource& source, HarvestSink& sink) {
  const EndpointHosts& hosts = source.hosts;
  const Cutter cut(source);
  const std::string page = Fetch(source, source.link, ReadCookies(source));

  const std::string videoId = TextBetween(page, "imgVedioID\":\"", "\",");
  const std::string seller = TextBetween(page, "sellerId\":\"", "\",");
  const std::string title =
      TextBetween(page, "<title>", "-" + hosts.TmallTitleDomain + "天猫</title>");
  sink.AppendText(title + "\r\n\r\n");
  sink.SetVideoUrl(TaobaoVideoUrl(hosts, seller, "/p/1/e/6/t/1/", videoId));
  sink.SetItemId(TextBetween(page, "itemId=", "&"));

  const std::string thumbnails = TextBetween(page, "tb-thumb-content", "tb-thumb-right");
  const TextList mainPictures = cut(thumbnails, "//img", "_60x60", "https://img");

  // Every span of the SKU block names a SKU value.
  const TextList skuNames = cut(TextBetween(page, "tb-skin", "J_Amount"), "<span>", "</span>");
  const TextList skuPictures =
      cut(TextBetween(page, "tb-skin", "J_Amount"), "//img", "_40x40", "https://img");

  const std::string descPath = TextBetween(page, "//" + hosts.TaobaoDescLinkHost + "/", "\",");
  const std::string descUrl = "https://" + hosts.TaobaoDescHost + "/" + descPath;
  sink.SetDescriptionUrl(descUrl);
  const std::string descPage = Fetch(source, descUrl, ReadCookies(source));
  sink.SetDescriptionPage(descPage);
  const TextList detailPictures = cut(descPage, "<img src=\"https:", "g\"", "https:", "g");

  PublishAll(sink, Platform::Tmall, mainPictures, skuPictures, detailPictures);
  AppendLines(sink, skuNames);
  AppendLines(sink, CutAttributes(cut, page, "J_AttrUL\">"));
}

void HarvestJdItem(const ItemSource& source, HarvestSink& sink) {
  const EndpointHosts& hosts = source.hosts;
  const Cutter cut(source);
  // JD pages are fetched without any cookie.
  const std::string page = Fetch(source, source.link, std::nullopt);

  const std::string skuId = TextBetween(page, "skuid: ", ",");
  sink.SetItemId(skuId);
  // JD items carry no video here; an address left over from an earlier item would be saved under
  // this item's name.
  sink.SetVideoUrl(std::string());

  const std::string pictureBase = "https://" + hosts.JdImageHost + "//imgzone//jfs";
  const TextList mainPictures =
      cut(TextBetween(page, "spec-list", "preview-info"), "url='jfs", "g'", pictureBase, "g");
  const TextList skuPictures =
      cut(TextBetween(page, "choose-attrs", "更改"), "jfs", "g\"", pictureBase, "g");

  const std::string mobileUrl = "https://" + hosts.JdMobileItemHost + "/detail/" + skuId +
                                "_d10480324630_normal.html";
  const std::string mobilePage = Fetch(source, mobileUrl, std::nullopt);
  const TextList detailPictures = cut(mobilePage, "jfs", ".", pictureBase, ".jpg");

  PublishAll(sink, Platform::Jd, mainPictures, skuPictures, detailPictures);
  const std::string parameters = TextBetween(page, "parameter2 p-parameter-list\">", "</ul>");
  AppendLines(sink, cut(parameters, "'>", "</li>"));
}

void HarvestAlibabaItem(const ItemSource& source, HarvestSink& sink) {
  const EndpointHosts& hosts = source.hosts;
  const Cutter cut(source);
  // The offer page goes without a cookie; only the description document gets one.
  const std::string page = Fetch(source, source.link, std::nullopt);

  // Offers are filed under their main video's id.
  const std::string videoId = TextBetween(page, "videoId\":\"", "\",\"userId");
  sink.SetItemId(videoId);
  const std::string userId = TextBetween(page, "userId\":\"", "\",\"title");
  const std::string title = TextBetween(page, "<title>", "-阿里巴巴</title>");
  sink.AppendText(title + "\r\n\r\n");
  sink.SetVideoUrl(TaobaoVideoUrl(hosts, userId, "/p/2/e/6/t/1/", videoId));

  const std::string gallery = TextBetween(page, "tab-trigger active", "unit-detail-fav");
  const TextList mainPictures = cut(gallery, "original\":\"", "\"}'>");

  const std::string skuBlock = TextBetween(page, "skuProps", "allTagIds");
  const TextList skuNames = cut(skuBlock, "name\":\"", "\"}");
  const TextList skuPictures = cut(skuBlock, "imageUrl\":\"", "\",\"name");

  const std::string descUrl = TextBetween(page, "data-tfs-url=\"", "\" data-enable");
  sink.SetDescriptionUrl(descUrl);
  const std::string descDocument = Fetch(source, descUrl, ReadCookies(source));
  sink.SetDescriptionPage(descDocument);
  // The document carries its HTML inside a script string, quotes escaped with backslashes.
  const TextList detailPictures = cut(descDocument, "src=\\\"", "\\\" /");

  PublishAll(sink, Platform::Alibaba, mainPictures, skuPictures, detailPictures);
  AppendLines(sink, skuNames);
}
