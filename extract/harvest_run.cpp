#include "extract/harvest_run.h"

#include "extract/cookie_scope.h"
#include "extract/item_name.h"
#include "extract/link_platform.h"
#include "extract/page_data/page_data.h"
#include "extract/page_data/page_kind.h"
#include "extract/page_redirects.h"
#include "text/text_items.h"
#include "text/text_slicing.h"
#include "text/url.h"

namespace extraction {

namespace {

// Pieces overlap: each left marker starts one that runs to the next right marker. On a broken or
// hostile page where a left marker repeats many times far ahead of its right marker, the pieces add
// up to many times the page; such a cut gives nothing. Empty pieces cost no bytes, so the pieces
// are counted as well.
constexpr size_t kPiecesBudget = 32u << 20;

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

}  // namespace

void Run::Yield() const {
  if (!source_.yield) return;
  source_.yield();
  lastYield_ = std::chrono::steady_clock::now();
}

// Inside a long loop: the window answers every few milliseconds, as often as a person can tell,
// without paying for a look at its messages after every piece.
void Run::YieldNowAndThen() const {
  if (source_.yield && std::chrono::steady_clock::now() - lastYield_ >= kYieldInterval) Yield();
}

std::string Run::ItemName(const std::string& id) const { return ::ItemName(id, source_.link, source_.harvestTime); }

// Redirects are followed here; each further address gets the cookie only where it belongs. Where
// the platforms' sites are mirrored, the request goes to the mirror once the cookie rule has read
// the site's own address.
FetchedPage Run::Fetch(const std::string& url, const std::optional<std::string>& cookies) const {
  const PageFetch yielding = [this](const std::string& address, const std::optional<std::string>& sent) {
    if (Stopped()) return FetchedPage();
    FetchedPage page =
        source_.fetch ? source_.fetch(MirroredAddress(address, source_.hosts.PlatformMirror), sent) : FetchedPage();
    if (page.cutShort) cutShort = true;  // what the page holds past its bound is not read
    Yield();
    return page;
  };
  return FetchFollowingRedirects(yielding, url, cookies, [this](const std::string& address) {
    return CookieMayGo(address, source_.link, source_.hosts);
  });
}

FetchedPage Run::FetchItemPage(bool withCookie) const {
  return Fetch(source_.link, withCookie ? std::optional<std::string>(Cookies()) : std::nullopt);
}

// Any other address, taken from a page: asked for only when it passes the page address gate, and
// the cookie goes along only to the hosts it belongs to. (An empty address, which the procedures
// still ask for, reaches no host at all.)
FetchedPage Run::FetchWithCookieWhereItBelongs(const std::string& url) const {
  const std::string address = PageAddress(url).value_or(std::string());
  if (address.empty() || CookieMayGo(address, source_.link, source_.hosts)) return Fetch(address, Cookies());
  return Fetch(address, std::nullopt);
}

// At most kPiecesBudget bytes in all; pieces that add up to more than the work budget allows
// overlap as above, and give nothing either.
TextList Run::Cut(WorkBudget& work, std::string_view text, std::string_view left, std::string_view right,
                  const std::string& prefix, const std::string& suffix) {
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

std::string ShownPageText(const Run& run, const FetchedPage& page) {
  const std::string& text = page.text;
  const bool utf8 = page.encoding == PageEncoding::Unknown ? ArrivedAsUtf8(text) : page.encoding == PageEncoding::Utf8;
  if (!utf8 || !run.Utf8()) return std::string(CharacterPrefix(text, kShownPageBytes));
  // A character takes at most three bytes in UTF-8 against at least one in GBK: twice the shown
  // bytes fill the box. The cut goes before a character's continuation bytes.
  size_t end = std::min(text.size(), 2 * kShownPageBytes);
  while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(CharacterPrefix(run.Utf8()(std::string_view(text).substr(0, end)), kShownPageBytes));
}

bool Failed(const FetchedPage& page) { return page.status == 0 || page.status >= 400 || page.text.empty(); }

void NoteUnfetchedDescription(HarvestBuffer& out, const FetchedPage& page) {
  out.detail = page.certificateRejected ? DetailTrouble::CertificateRejected : DetailTrouble::FetchFailed;
  out.detailStatus = page.status;
  out.detailFailure = page.failure;
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

}  // namespace extraction
