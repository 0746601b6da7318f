#include "extract/item_extractors.h"

#include <algorithm>
#include <chrono>

#include "extract/cookie_scope.h"
#include "extract/harvest_bounds.h"
#include "extract/item_name.h"
#include "extract/link_platform.h"
#include "extract/page_data/alibaba_page_data.h"
#include "extract/page_data/jd_page_data.h"
#include "extract/page_data/page_kind.h"
#include "extract/page_data/taobao_description_call.h"
#include "extract/page_data/taobao_page_data.h"
#include "extract/page_redirects.h"
#include "http/header_text.h"
#include "text/markup_text.h"
#include "text/text_items.h"
#include "text/text_slicing.h"
#include "text/url.h"

namespace {

// Everything a run delivers, kept in order until the run knows which reading of the page stands,
// then handed to the window's sink in one go. At most kMaxRowsPerKind rows per kind get through,
// and lines up to kMaxTextLines and the text room the harvest has left, each cut to kMaxLineBytes;
// what a bound holds back marks the run as cut short. Every address passes the page address gate
// first: a row, the video or the description address that is no clean http(s) address is dropped
// (an address is then empty).
class HarvestBuffer final : public HarvestSink {
 public:
  HarvestBuffer(Platform platform, const Utf8ToText& utf8, size_t textRoom)
      : platform_(platform), utf8_(utf8), textRoom_(std::min(textRoom, kMaxTextBytes)) {}

  void AppendTitle(const std::string& title) { AddLine(title, "\r\n\r\n"); }
  void AppendLines(const TextList& lines) {
    for (const std::string& line : lines) AddLine(line, "\r\n");
  }
  void AppendText(const std::string& text) override { AddLine(text, ""); }
  void SetDescriptionUrl(const std::string& url) override {
    calls_.push_back({Call::DescriptionUrl, PageAddress(url).value_or(std::string()), {}});
  }
  void SetDescriptionPage(const std::string& page) override { calls_.push_back({Call::DescriptionPage, page, {}}); }
  void PublishPictures(const TextList& urls, const std::string& kindLabel) override {
    TextList kept;
    for (const std::string& url : urls) {
      std::optional<std::string> address = PageAddress(url);
      if (!address) continue;
      if (kept.size() >= kMaxRowsPerKind) {
        cutShort = true;
        break;
      }
      kept.push_back(std::move(*address));
    }
    for (PictureKind kind : {PictureKind::Main, PictureKind::Sku, PictureKind::Detail})
      if (kindLabel == PictureKindLabel(platform_, kind)) counts_[static_cast<int>(kind)] += static_cast<int>(kept.size());
    calls_.push_back({Call::Pictures, kindLabel, std::move(kept)});
  }
  void SetItemId(const std::string& id) override { calls_.push_back({Call::ItemId, id, {}}); }
  void SetVideoName(const std::string& name) override { calls_.push_back({Call::VideoName, name, {}}); }
  void SetVideoUrl(const std::string& url) override {
    std::optional<std::string> address = PageAddress(url);
    videoDropped_ = !url.empty() && !address;
    calls_.push_back({Call::VideoUrl, address.value_or(std::string()), {}});
  }

  // The text goes into the box in one piece, where the run's first text stood: the box takes
  // one long text at once far faster than many short ones.
  void ReplayInto(HarvestSink& sink) const {
    sink.DeliveryStarts();
    struct Ends {
      HarvestSink& sink;
      ~Ends() { sink.DeliveryEnds(); }
    } ends{sink};
    for (const Call& call : calls_) {
      switch (call.kind) {
        case Call::Text: sink.AppendText(text_); break;
        case Call::DescriptionUrl: sink.SetDescriptionUrl(call.text); break;
        case Call::DescriptionPage: sink.SetDescriptionPage(call.text); break;
        case Call::Pictures: sink.PublishPictures(call.urls, call.text); break;
        case Call::ItemId: sink.SetItemId(call.text); break;
        case Call::VideoUrl: sink.SetVideoUrl(call.text); break;
        case Call::VideoName: sink.SetVideoName(call.text); break;
      }
    }
  }
  int Count(PictureKind kind) const { return counts_[static_cast<int>(kind)]; }
  bool AnyPicture() const { return counts_[0] + counts_[1] + counts_[2] > 0; }
  bool VideoDropped() const { return videoDropped_; }
  // Whether a kind (or the lines) holds as many entries as it may.
  bool AnyKindAtCap() const {
    return lines_ >= kMaxTextLines || std::max({counts_[0], counts_[1], counts_[2]}) >= static_cast<int>(kMaxRowsPerKind);
  }

  bool video = false;  // the item has a real main video (not just the address's fixed parts)
  bool cutShort = false;
  // Why this reading's detail pictures are missing, and the description page's answer then.
  DetailTrouble detail = DetailTrouble::None;
  int detailStatus = 0;
  std::string detailFailure;

 private:
  struct Call {
    enum Kind { Text, DescriptionUrl, DescriptionPage, Pictures, ItemId, VideoUrl, VideoName } kind;
    std::string text;  // the address, page, id, or the kind label of pictures
    TextList urls;
  };

  // Lines arrive as text: markup a cut picked up goes, character references are decoded. Once a
  // bound is reached no further line gets in, however short: the lines up to it stand.
  void AddLine(std::string_view line, std::string_view ending) {
    if (textFull_) {
      cutShort = true;
      return;
    }
    const std::string text = MarkupToText(line, utf8_);
    const std::string_view kept = CharacterPrefix(text, kMaxLineBytes);
    if (textFull_ || lines_ >= kMaxTextLines || text_.size() + kept.size() + ending.size() > textRoom_) {
      textFull_ = true;
      cutShort = true;
      return;
    }
    if (kept.size() < text.size()) cutShort = true;
    if (lines_ == 0) calls_.push_back({Call::Text, {}, {}});
    ++lines_;
    text_.append(kept).append(ending);
  }

  Platform platform_;
  const Utf8ToText& utf8_;
  size_t textRoom_;
  std::vector<Call> calls_;
  std::string text_;  // every line of the run, joined
  size_t lines_ = 0;
  bool textFull_ = false;
  int counts_[3] = {};
  bool videoDropped_ = false;
};

// Pieces overlap: each left marker starts one that runs to the next right marker. On a broken or
// hostile page where a left marker repeats many times far ahead of its right marker, the pieces add
// up to many times the page; such a cut gives nothing. Empty pieces cost no bytes, so the pieces
// are counted as well.
constexpr size_t kPiecesBudget = 32u << 20;

// One extraction run: the source, the report under way and the bounded cutting.
class Run {
 public:
  Run(const ItemSource& source, Platform platform) : source_(source) { report.platform = platform; }

  const EndpointHosts& Hosts() const { return source_.hosts; }
  const Utf8ToText& Utf8() const { return source_.utf8ToText; }
  size_t TextRoom() const { return source_.textRoom; }
  std::string Cookies() const { return source_.readCookies ? source_.readCookies() : std::string(); }
  void Yield() const {
    if (!source_.yield) return;
    source_.yield();
    lastYield_ = std::chrono::steady_clock::now();
  }
  // Inside a long loop: the window answers every few milliseconds, as often as a person can tell,
  // without paying for a look at its messages after every piece.
  void YieldNowAndThen() const {
    if (source_.yield && std::chrono::steady_clock::now() - lastYield_ >= kYieldInterval) Yield();
  }
  bool Stopped() const { return source_.stopped && source_.stopped(); }
  // What the item is filed under: `id` where the page gives one, else the link's number, else
  // the time of the harvest.
  std::string ItemName(const std::string& id) const { return ::ItemName(id, source_.link, source_.harvestTime); }

  // Redirects are followed here; each further address gets the cookie only where it belongs.
  FetchedPage Fetch(const std::string& url, const std::optional<std::string>& cookies) const {
    const PageFetch yielding = [this](const std::string& address, const std::optional<std::string>& sent) {
      if (Stopped()) return FetchedPage();
      FetchedPage page = source_.fetch ? source_.fetch(address, sent) : FetchedPage();
      if (page.cutShort) cutShort = true;  // what the page holds past its bound is not read
      Yield();
      return page;
    };
    return FetchFollowingRedirects(yielding, url, cookies, [this](const std::string& address) {
      return CookieMayGo(address, source_.link, source_.hosts);
    });
  }
  // The item page the user pasted, with or without the cookie box as the platform's procedure says.
  FetchedPage FetchItemPage(bool withCookie) const {
    return Fetch(source_.link, withCookie ? std::optional<std::string>(Cookies()) : std::nullopt);
  }
  // Any other address, taken from a page: asked for only when it passes the page address gate,
  // and the cookie goes along only to the hosts it belongs to. (An empty address, which the
  // procedures still ask for, reaches no host at all.)
  FetchedPage FetchWithCookieWhereItBelongs(const std::string& url) const {
    const std::string address = PageAddress(url).value_or(std::string());
    if (address.empty() || CookieMayGo(address, source_.link, source_.hosts)) return Fetch(address, Cookies());
    return Fetch(address, std::nullopt);
  }

  // Every piece between the markers, dressed with prefix and suffix, as AllTextBetween cuts
  // them, but at most kMaxRowsPerKind pieces and kPiecesBudget bytes. Each piece is paid from the
  // work budget of the page cut; pieces that add up to more than it allows overlap as above, and
  // give nothing either.
  TextList Cut(WorkBudget& work, std::string_view text, std::string_view left, std::string_view right, const std::string& prefix = {},
               const std::string& suffix = {}) {
    TextList items;
    size_t total = 0;
    int pos = 1;
    for (;;) {
      const int p = Find(text, left, pos);
      if (p == -1) break;
      pos = p + static_cast<int>(left.size());
      const int q = Find(text, right, pos);
      if (q == -1) break;
      if (items.size() >= kMaxRowsPerKind) {
        cutShort = true;
        break;
      }
      const size_t piece = static_cast<size_t>(q - pos) + prefix.size() + suffix.size();
      total += piece;
      // The search for the right marker read the piece, and the piece is copied.
      if (total > kPiecesBudget || !work.Spend(WorkBudget::kNodeWork + 2 * piece)) {
        cutShort = true;
        return {};
      }
      items.push_back(prefix + Mid(text, pos, q - pos) + suffix);
      YieldNowAndThen();
      if (Stopped()) return {};
    }
    return items;
  }

  ExtractionReport report;
  mutable bool cutShort = false;  // a fetch, a bound or the work budget left part of a page unread

 private:
  static constexpr std::chrono::milliseconds kYieldInterval{10};
  const ItemSource& source_;
  mutable std::chrono::steady_clock::time_point lastYield_ = std::chrono::steady_clock::now();
};

bool Failed(const FetchedPage& page) { return page.status == 0 || page.status >= 400 || page.text.empty(); }

// The description page did not come: the item's detail pictures are missing.
void NoteUnfetchedDescription(HarvestBuffer& out, const FetchedPage& page) {
  out.detail = page.certificateRejected ? DetailTrouble::CertificateRejected : DetailTrouble::FetchFailed;
  out.detailStatus = page.status;
  out.detailFailure = page.failure;
}

// The description page at `url`, shown with its address. Where the link's end marker is missing
// (a page saved by a browser, another platform's page) the cut runs on into the markup after the
// link, up to a hundred kilobytes of it; the address ends where the markup begins. A page that
// `named` its description and did not get it is missing its detail pictures.
std::string ReadDescription(const Run& run, HarvestBuffer& out, const std::string& url, bool named) {
  const std::string address = url.substr(0, url.find_first_of("\"'<> \t\r\n"));
  out.SetDescriptionUrl(address);
  FetchedPage fetched = run.FetchWithCookieWhereItBelongs(address);
  if (named && Failed(fetched)) NoteUnfetchedDescription(out, fetched);
  out.SetDescriptionPage(fetched.text);
  return std::move(fetched.text);
}

void PublishAll(HarvestSink& sink, Platform platform, const TextList& main, const TextList& sku,
                const TextList& detail) {
  sink.PublishPictures(main, PictureKindLabel(platform, PictureKind::Main));
  sink.PublishPictures(sku, PictureKindLabel(platform, PictureKind::Sku));
  sink.PublishPictures(detail, PictureKindLabel(platform, PictureKind::Detail));
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

// Why a run found no picture, told from the page that should have held them.
void DiagnoseEmptyRun(ExtractionReport& report, const FetchedPage& page) {
  if (report.mainPictures + report.skuPictures + report.detailPictures > 0) return;
  report.status = page.status;
  if (page.status == 0) {
    report.trouble = page.certificateRejected ? PageTrouble::CertificateRejected : PageTrouble::FetchFailed;
    report.failure = page.failure;
    return;
  }
  switch (RecognisePage(page.text)) {
    case PageKind::Challenge: report.trouble = PageTrouble::ChallengePage; return;
    case PageKind::Login:
      report.trouble = page.cookieWithheldOverHttp ? PageTrouble::LoginPageOverHttp : PageTrouble::LoginPage;
      return;
    case PageKind::NoSuchItem: report.trouble = PageTrouble::NoSuchItem; return;
    case PageKind::Other: break;
  }
  if (page.status >= 400)
    report.trouble = PageTrouble::FetchFailed;
  else if (page.text.empty())
    report.trouble = PageTrouble::EmptyPage;
  else
    report.trouble = PageTrouble::NoItemData;
}

// The marker procedure's harvest, or the page data's; only when neither found anything does the
// page say why, and then nothing reaches the sink: a failed press leaves the harvest as it was.
ExtractionReport Deliver(Run& run, const HarvestBuffer& buffer, HarvestSink& sink, const FetchedPage* troubledPage) {
  ExtractionReport report = run.report;
  report.mainPictures = buffer.Count(PictureKind::Main);
  report.skuPictures = buffer.Count(PictureKind::Sku);
  report.detailPictures = buffer.Count(PictureKind::Detail);
  report.video = buffer.video && !buffer.VideoDropped();
  report.detail = buffer.detail;
  report.detailStatus = buffer.detailStatus;
  report.detailFailure = buffer.detailFailure;
  report.cutShort = run.cutShort || buffer.cutShort;
  report.cutBeforeCap = report.cutShort && !buffer.AnyKindAtCap();
  if (troubledPage) DiagnoseEmptyRun(report, *troubledPage);
  if (report.trouble == PageTrouble::None && !run.Stopped()) buffer.ReplayInto(sink);
  return report;
}

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// ---- the marker procedures ----

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

  PublishAll(out, Platform::Taobao, mainPictures, skuPictures, detailPictures);
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

  PublishAll(out, Platform::Tmall, mainPictures, skuPictures, detailPictures);
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

  PublishAll(out, Platform::Jd, mainPictures, skuPictures, detailPictures);
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
  out.SetDescriptionPage(descDocument);
  // The document carries its HTML inside a script string, quotes escaped with backslashes.
  const TextList detailPictures = run.Cut(descWork, descDocument, "src=\\\"", "\\\" /");

  PublishAll(out, Platform::Alibaba, mainPictures, skuPictures, detailPictures);
  out.AppendLines(skuNames);
  return fetched;
}

// ---- today's pages ----

void NoteDetailTrouble(Run& run, HarvestBuffer& out, const FetchedPage& answer, const DetailPictures& read) {
  if (read.challenge)
    out.detail = DetailTrouble::Challenge;
  else if (read.refused)
    out.detail = DetailTrouble::Refused;
  else if (Failed(answer) || !read.readable)
    NoteUnfetchedDescription(out, answer);
  run.cutShort = run.cutShort || read.cutShort;
}

// Taobao and Tmall: the page's item data, and the detail pictures through the signed call.
bool ReadTodaysTaobaoPage(Run& run, Platform platform, const FetchedPage& page, HarvestBuffer& out) {
  const ItemPageData d = ReadTaobaoPageData(page.text, run.Utf8(), page.encoding);
  run.Yield();
  if (!d.found) return false;
  out.AppendTitle(d.title);
  out.SetVideoUrl(d.videoUrl);
  out.SetItemId(run.ItemName(d.itemId));

  TextList detail;
  const std::string call =
      TaobaoDescriptionCallUrl(run.Hosts().TaobaoDescApiHost, run.Cookies(), d.itemId, d.descriptionUrl, NowMs());
  if (call.empty()) {
    out.detail = DetailTrouble::NoToken;
  } else {
    out.SetDescriptionUrl(call);
    const FetchedPage answer = run.FetchWithCookieWhereItBelongs(call);
    out.SetDescriptionPage(answer.text);
    DetailPictures read = ReadTaobaoDescriptionAnswer(answer.text, answer.encoding);
    NoteDetailTrouble(run, out, answer, read);
    detail = std::move(read.pictures);
  }

  PublishAll(out, platform, d.mainPictures, d.skuPictures, detail);
  out.AppendLines(d.skuNames);
  out.AppendLines(d.attributes);
  out.video = !d.videoUrl.empty();
  run.cutShort = run.cutShort || d.cutShort;
  return true;
}

// 1688, desktop or phone page: filed under the offer id; the detail pictures come from the
// description document the page names.
bool ReadTodaysAlibabaPage(Run& run, const FetchedPage& page, HarvestBuffer& out) {
  const ItemPageData d = ReadAlibabaPageData(page.text, run.Utf8(), page.encoding);
  run.Yield();
  if (!d.found) return false;
  out.SetItemId(run.ItemName(d.itemId));
  out.AppendTitle(d.title);
  out.SetVideoUrl(d.videoUrl);

  TextList detail;
  if (!d.descriptionUrl.empty()) {
    out.SetDescriptionUrl(d.descriptionUrl);
    const FetchedPage document = run.FetchWithCookieWhereItBelongs(d.descriptionUrl);
    out.SetDescriptionPage(document.text);
    DetailPictures read = ReadAlibabaDescription(document.text, document.encoding);
    NoteDetailTrouble(run, out, document, read);
    detail = std::move(read.pictures);
  }

  PublishAll(out, Platform::Alibaba, d.mainPictures, d.skuPictures, detail);
  out.AppendLines(d.skuNames);
  out.video = !d.videoUrl.empty();
  run.cutShort = run.cutShort || d.cutShort;
  return true;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.size() <= 20 && text.find_first_not_of("0123456789") == std::string::npos;
}

// JD's phone item page of the SKU, and its detail page, both without a cookie.
bool ReadTodaysJdPage(Run& run, const std::string& skuId, const FetchedPage& phone, HarvestBuffer& out) {
  const std::string pictureBase = "https://" + run.Hosts().JdMobileImageHost + "/mobilecms/";
  const ItemPageData d = ReadJdPhonePageData(phone.text, pictureBase, run.Utf8(), phone.encoding);
  run.Yield();
  if (!d.found) return false;
  const std::string itemId = AllDigits(d.itemId) ? d.itemId : skuId;
  out.SetItemId(run.ItemName(itemId));
  out.SetVideoUrl(std::string());
  if (!d.title.empty()) out.AppendTitle(d.title);

  const std::string detailUrl =
      "https://" + run.Hosts().JdMobileItemHost + "/detail/" + itemId + "_d10480324630_normal.html";
  const FetchedPage detailPage = run.Fetch(detailUrl, std::nullopt);
  const DetailPictures read = ReadJdDetailPictures(detailPage.text, pictureBase);
  NoteDetailTrouble(run, out, detailPage, read);

  PublishAll(out, Platform::Jd, d.mainPictures, d.skuPictures, read.pictures);
  out.AppendLines(d.skuNames);
  run.cutShort = run.cutShort || d.cutShort;
  return true;
}

// The classic desktop page names its SKU in a page configuration; today's carries no product data.
bool JdDesktopPageHoldsData(const std::string& page) { return Find(page, "skuid") != -1; }

using MarkerProcedure = FetchedPage (*)(Run&, HarvestBuffer&);

ExtractionReport HarvestTaobaoFamily(const ItemSource& source, HarvestSink& sink, Platform platform,
                                     MarkerProcedure cutPage) {
  Run run(source, platform);
  HarvestBuffer classic(platform, run.Utf8(), run.TextRoom());
  const FetchedPage page = cutPage(run, classic);
  if (!classic.AnyPicture()) {
    HarvestBuffer today(platform, run.Utf8(), run.TextRoom());
    if (ReadTodaysTaobaoPage(run, platform, page, today)) return Deliver(run, today, sink, nullptr);
  }
  return Deliver(run, classic, sink, &page);
}

// A link of another platform's site is not fetched: that page holds nothing this button reads, and
// this platform's cookie has no business there. A Taobao link pressed with Tmall's button is, since
// Taobao sends a Tmall item on to Tmall's page; only when nothing comes of it does the link's
// platform stand in for the page's reason.
using PlatformHarvest = ExtractionReport (*)(const ItemSource&, HarvestSink&);
ExtractionReport HarvestForButton(const ItemSource& source, HarvestSink& sink, Platform button,
                                  PlatformHarvest harvest) {
  const std::optional<LinkOwner> owner = LinkOwnerOf(source.link);
  ExtractionReport report;
  report.platform = button;
  if (!owner || ButtonReadsLinkOf(button, *owner)) report = harvest(source, sink);
  const bool nothing = report.mainPictures + report.skuPictures + report.detailPictures == 0;
  if (owner && nothing && LinkOfAnotherPlatform(button, *owner)) {
    report.trouble = PageTrouble::OtherPlatform;
    report.linkPlatform = owner->platform;
  }
  return report;
}

ExtractionReport HarvestTaobaoPages(const ItemSource& source, HarvestSink& sink);
ExtractionReport HarvestTmallPages(const ItemSource& source, HarvestSink& sink);
ExtractionReport HarvestJdPages(const ItemSource& source, HarvestSink& sink);
ExtractionReport HarvestAlibabaPages(const ItemSource& source, HarvestSink& sink);

}  // namespace

ExtractionReport HarvestTaobaoItem(const ItemSource& source, HarvestSink& sink) {
  return HarvestForButton(source, sink, Platform::Taobao, HarvestTaobaoPages);
}
ExtractionReport HarvestTmallItem(const ItemSource& source, HarvestSink& sink) {
  return HarvestForButton(source, sink, Platform::Tmall, HarvestTmallPages);
}
ExtractionReport HarvestJdItem(const ItemSource& source, HarvestSink& sink) {
  return HarvestForButton(source, sink, Platform::Jd, HarvestJdPages);
}
ExtractionReport HarvestAlibabaItem(const ItemSource& source, HarvestSink& sink) {
  return HarvestForButton(source, sink, Platform::Alibaba, HarvestAlibabaPages);
}

FetchedPage FetchedPageFromExchange(std::string text, std::string_view statusText, std::string_view returnedHeaders) {
  FetchedPage page;
  page.text = std::move(text);
  if (returnedHeaders.empty()) {
    page.failure = statusText.empty() ? std::string("没有收到响应") : std::string(statusText);
    return page;
  }
  // "HTTP/1.1 404 Not Found": the code after the first blank.
  const size_t blank = returnedHeaders.find(' ');
  int status = 0;
  for (size_t i = blank == std::string_view::npos ? returnedHeaders.size() : blank + 1;
       i < returnedHeaders.size() && returnedHeaders[i] >= '0' && returnedHeaders[i] <= '9' && status < 1000; ++i)
    status = status * 10 + (returnedHeaders[i] - '0');
  page.status = status;
  page.location = HeaderValueNamed(returnedHeaders, "Location");
  return page;
}

// The platforms' procedures, for links they read.
namespace {

ExtractionReport HarvestTaobaoPages(const ItemSource& source, HarvestSink& sink) {
  return HarvestTaobaoFamily(source, sink, Platform::Taobao, CutTaobaoPage);
}

ExtractionReport HarvestTmallPages(const ItemSource& source, HarvestSink& sink) {
  return HarvestTaobaoFamily(source, sink, Platform::Tmall, CutTmallPage);
}

ExtractionReport HarvestJdPages(const ItemSource& source, HarvestSink& sink) {
  Run run(source, Platform::Jd);
  HarvestBuffer classic(Platform::Jd, run.Utf8(), run.TextRoom());
  const FetchedPage desktop = CutJdPage(run, classic);
  if (classic.AnyPicture() || JdDesktopPageHoldsData(desktop.text)) return Deliver(run, classic, sink, &desktop);
  // Today's desktop page is built by scripts (or is a login page); the phone page of the same SKU
  // still carries the data.
  const std::string skuId = JdSkuIdOfLink(source.link);
  if (skuId.empty()) return Deliver(run, classic, sink, &desktop);
  const FetchedPage phone =
      run.Fetch("https://" + source.hosts.JdMobileItemHost + "/product/" + skuId + ".html", std::nullopt);
  HarvestBuffer today(Platform::Jd, run.Utf8(), run.TextRoom());
  if (ReadTodaysJdPage(run, skuId, phone, today)) return Deliver(run, today, sink, nullptr);
  return Deliver(run, classic, sink, &phone);
}

ExtractionReport HarvestAlibabaPages(const ItemSource& source, HarvestSink& sink) {
  Run run(source, Platform::Alibaba);
  HarvestBuffer classic(Platform::Alibaba, run.Utf8(), run.TextRoom());
  const FetchedPage page = CutAlibabaPage(run, classic);
  if (!classic.AnyPicture()) {
    HarvestBuffer today(Platform::Alibaba, run.Utf8(), run.TextRoom());
    if (ReadTodaysAlibabaPage(run, page, today)) return Deliver(run, today, sink, nullptr);
  }
  return Deliver(run, classic, sink, &page);
}

}  // namespace
