#include "extract/classic_readers.h"

#include "extract/item_name.h"
#include "text/text_slicing.h"
#include "text/url.h"

namespace extraction {

namespace {

// The description page at `url`, shown with its address. Where the link's end marker is missing
// (a page saved by a browser, another platform's page) the cut runs on into the markup after the
// link, up to a hundred kilobytes of it; the address ends where the markup begins. A page that
// `named` its description and did not get it is missing its detail pictures.
std::string ReadDescription(const Run& run, HarvestBuffer& out, const std::string& url, bool named) {
  const std::string address = url.substr(0, url.find_first_of("\"'<> \t\r\n"));
  out.SetDescriptionUrl(address);
  FetchedPage fetched = run.FetchWithCookieWhereItBelongs(address);
  if (named && Failed(fetched)) NoteUnfetchedDescription(out, fetched);
  out.SetDescriptionPage(ShownPageText(run, fetched));
  return std::move(fetched.text);
}

// A page without the video's ids (or with the id "0" of an offer without a video) has no video:
// no address, rather than one made of the fixed parts alone.
std::string TaobaoVideoUrl(const EndpointHosts& hosts, const std::string& owner,
                           const std::string& path, const std::string& videoId) {
  if (!NamesAnItem(owner) || !NamesAnItem(videoId)) return {};
  return "http://" + hosts.TaobaoVideoHost + "/play/u/" + owner + path + videoId + ".mp4";
}

// Character references such as "&nbsp;" stand between attribute names and values.
TextList CutAttributes(Run& run, WorkBudget& work, const std::string& page, std::string_view left) {
  std::string block = TextBetween(page, left, "</ul>");
  RemoveBetween(block, "&", ";");
  return run.Cut(work, block, "\">", "</li>");
}

}  // namespace

FetchedPage CutTaobaoPage(Run& run, HarvestBuffer& out) {
  const EndpointHosts& hosts = run.Hosts();
  const FetchedPage fetched = run.FetchItemPage(true);
  const std::string& page = fetched.text;
  WorkBudget pageWork(page.size());

  const std::string videoId = TextBetween(page, "videoId\":\"", "\",");
  const std::string owner = TextBetween(page, "videoOwnerId\":\"", "\",");
  const std::string title = TextBetween(page, "<title>", "</title>");
  out.AppendTitle(title);
  const std::string videoUrl = TaobaoVideoUrl(hosts, owner, "/p/1/e/6/t/1/", videoId);
  out.SetVideoUrl(videoUrl);
  out.video = !videoUrl.empty();
  out.SetItemId(run.ItemName(TextBetween(page, "itemId=", "&")));

  // Thumbnails are written "https://…_50x50.jpg" or protocol-relative "//…_50x50.jpg"; cutting
  // from "//" takes both, and pieces that ran across markup are no addresses (the gate drops them).
  const std::string thumbnails = TextBetween(page, "tb-clearfix", "this.WebP");
  const TextList mainPictures = run.Cut(pageWork, thumbnails, "//", "_50x50", "https://");

  const std::string memo = TextBetween(page, "propertyMemoMap", "}");
  const TextList skuNames = run.Cut(pageWork, memo, "\":\"", "\"");

  const std::string skuBlock = TextBetween(page, "tb-skin", "tb-property-type\">数量");
  const TextList skuPictures = run.Cut(pageWork, skuBlock, "//gd", "_30x30", "https://gd");

  const std::string descPath = TextBetween(page, "//" + hosts.TaobaoDescLinkHost + "/", "',");
  const std::string descUrl = "https://" + hosts.TaobaoDescHost + "/" + descPath;
  const std::string descPage = ReadDescription(run, out, descUrl, !descPath.empty());
  WorkBudget descWork(descPage.size());
  const TextList detailPictures = run.Cut(descWork, descPage, "src=\"https:", "g\"", "https:", "g");

  out.PublishAll(mainPictures, skuPictures, detailPictures);
  out.AppendLines(skuNames);
  out.AppendLines(CutAttributes(run, pageWork, page, "attributes-list\">"));
  return fetched;
}

FetchedPage CutTmallPage(Run& run, HarvestBuffer& out) {
  const EndpointHosts& hosts = run.Hosts();
  const FetchedPage fetched = run.FetchItemPage(true);
  const std::string& page = fetched.text;
  WorkBudget pageWork(page.size());

  const std::string videoId = TextBetween(page, "imgVedioID\":\"", "\",");
  const std::string seller = TextBetween(page, "sellerId\":\"", "\",");
  const std::string title = TextBetween(page, "<title>", "-" + hosts.TmallTitleDomain + "天猫</title>");
  out.AppendTitle(title);
  const std::string videoUrl = TaobaoVideoUrl(hosts, seller, "/p/1/e/6/t/1/", videoId);
  out.SetVideoUrl(videoUrl);
  out.video = !videoUrl.empty();
  out.SetItemId(run.ItemName(TextBetween(page, "itemId=", "&")));

  const std::string thumbnails = TextBetween(page, "tb-thumb-content", "tb-thumb-right");
  const TextList mainPictures = run.Cut(pageWork, thumbnails, "//img", "_60x60", "https://img");

  // Every span of the SKU block names a SKU value.
  const std::string skuBlock = TextBetween(page, "tb-skin", "J_Amount");
  const TextList skuNames = run.Cut(pageWork, skuBlock, "<span>", "</span>");
  const TextList skuPictures = run.Cut(pageWork, skuBlock, "//img", "_40x40", "https://img");

  const std::string descPath = TextBetween(page, "//" + hosts.TaobaoDescLinkHost + "/", "\",");
  const std::string descUrl = "https://" + hosts.TaobaoDescHost + "/" + descPath;
  const std::string descPage = ReadDescription(run, out, descUrl, !descPath.empty());
  WorkBudget descWork(descPage.size());
  const TextList detailPictures = run.Cut(descWork, descPage, "<img src=\"https:", "g\"", "https:", "g");

  out.PublishAll(mainPictures, skuPictures, detailPictures);
  out.AppendLines(skuNames);
  out.AppendLines(CutAttributes(run, pageWork, page, "J_AttrUL\">"));
  return fetched;
}

FetchedPage CutJdPage(Run& run, HarvestBuffer& out) {
  const EndpointHosts& hosts = run.Hosts();
  // JD pages are fetched without any cookie.
  const FetchedPage fetched = run.FetchItemPage(false);
  const std::string& page = fetched.text;
  WorkBudget pageWork(page.size());

  const std::string skuId = TextBetween(page, "skuid: ", ",");
  out.SetItemId(run.ItemName(skuId));
  // JD items carry no video here; an address left over from an earlier item would be saved under
  // this item's name.
  out.SetVideoUrl(std::string());

  const std::string pictureBase = "https://" + hosts.JdImageHost + "//imgzone//jfs";
  const TextList mainPictures =
      run.Cut(pageWork, TextBetween(page, "spec-list", "preview-info"), "url='jfs", "g'", pictureBase, "g");
  const TextList skuPictures = run.Cut(pageWork, TextBetween(page, "choose-attrs", "更改"), "jfs", "g\"", pictureBase, "g");

  const std::string mobileUrl = "https://" + hosts.JdMobileItemHost + "/detail/" + skuId + "_d10480324630_normal.html";
  // The SKU id comes from the page: the address passes the gate before it is asked for.
  const FetchedPage mobile = run.Fetch(PageAddress(mobileUrl).value_or(std::string()), std::nullopt);
  if (!skuId.empty() && Failed(mobile)) NoteUnfetchedDescription(out, mobile);
  const std::string& mobilePage = mobile.text;
  WorkBudget mobileWork(mobilePage.size());
  const TextList detailPictures = run.Cut(mobileWork, mobilePage, "jfs", ".", pictureBase, ".jpg");

  out.PublishAll(mainPictures, skuPictures, detailPictures);
  const std::string parameters = TextBetween(page, "parameter2 p-parameter-list\">", "</ul>");
  out.AppendLines(run.Cut(pageWork, parameters, "'>", "</li>"));
  return fetched;
}

FetchedPage CutAlibabaPage(Run& run, HarvestBuffer& out) {
  const EndpointHosts& hosts = run.Hosts();
  // The offer page goes without a cookie; only the description document may get one.
  const FetchedPage fetched = run.FetchItemPage(false);
  const std::string& page = fetched.text;
  WorkBudget pageWork(page.size());

  // Offers are filed under the offer number of their link, as today's are under the page's offer
  // id: offers of one seller may share their main video. The video keeps its video id's name.
  const std::string videoId = TextBetween(page, "videoId\":\"", "\",\"userId");
  out.SetItemId(run.ItemName(std::string()));
  const std::string userId = TextBetween(page, "userId\":\"", "\",\"title");
  const std::string title = TextBetween(page, "<title>", "-阿里巴巴</title>");
  out.AppendTitle(title);
  const std::string videoUrl = TaobaoVideoUrl(hosts, userId, "/p/2/e/6/t/1/", videoId);
  out.SetVideoUrl(videoUrl);
  out.video = !videoUrl.empty();
  if (out.video) out.SetVideoName(videoId);

  const std::string gallery = TextBetween(page, "tab-trigger active", "unit-detail-fav");
  const TextList mainPictures = run.Cut(pageWork, gallery, "original\":\"", "\"}'>");

  const std::string skuBlock = TextBetween(page, "skuProps", "allTagIds");
  const TextList skuNames = run.Cut(pageWork, skuBlock, "name\":\"", "\"}");
  const TextList skuPictures = run.Cut(pageWork, skuBlock, "imageUrl\":\"", "\",\"name");

  // The address comes from the page as it stands, so the cookie goes only where it belongs.
  const std::string descUrl = TextBetween(page, "data-tfs-url=\"", "\" data-enable");
  out.SetDescriptionUrl(descUrl);
  const FetchedPage desc = run.FetchWithCookieWhereItBelongs(descUrl);
  if (!descUrl.empty() && Failed(desc)) NoteUnfetchedDescription(out, desc);
  const std::string& descDocument = desc.text;
  WorkBudget descWork(descDocument.size());
  out.SetDescriptionPage(ShownPageText(run, desc));
  // The document carries its HTML inside a script string, quotes escaped with backslashes.
  const TextList detailPictures = run.Cut(descWork, descDocument, "src=\\\"", "\\\" /");

  out.PublishAll(mainPictures, skuPictures, detailPictures);
  out.AppendLines(skuNames);
  return fetched;
}

}  // namespace extraction
