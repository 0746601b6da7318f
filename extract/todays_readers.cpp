#include "extract/todays_readers.h"

#include <chrono>

#include "extract/page_data/alibaba_page_data.h"
#include "extract/page_data/jd_page_data.h"
#include "extract/page_data/taobao_description_call.h"
#include "extract/page_data/taobao_page_data.h"
#include "text/text_slicing.h"

namespace extraction {

namespace {

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void NoteDetailTrouble(Run& run, HarvestBuffer& out, const FetchedPage& answer, const DetailPictures& read) {
  if (read.challenge)
    out.detail = DetailTrouble::Challenge;
  else if (read.refused)
    out.detail = DetailTrouble::Refused;
  else if (Failed(answer) || !read.readable)
    NoteUnfetchedDescription(out, answer);
  run.cutShort = run.cutShort || read.cutShort;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.size() <= 20 && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

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
    out.SetDescriptionPage(ShownPageText(run, answer));
    DetailPictures read = ReadTaobaoDescriptionAnswer(answer.text, answer.encoding);
    NoteDetailTrouble(run, out, answer, read);
    detail = std::move(read.pictures);
  }

  out.PublishAll(d.mainPictures, d.skuPictures, detail);
  out.AppendLines(d.skuNames);
  out.AppendLines(d.attributes);
  out.video = !d.videoUrl.empty();
  run.cutShort = run.cutShort || d.cutShort;
  return true;
}

// Filed under the offer id; the detail pictures come from the description document the page names.
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
    out.SetDescriptionPage(ShownPageText(run, document));
    DetailPictures read = ReadAlibabaDescription(document.text, document.encoding);
    NoteDetailTrouble(run, out, document, read);
    detail = std::move(read.pictures);
  }

  out.PublishAll(d.mainPictures, d.skuPictures, detail);
  out.AppendLines(d.skuNames);
  out.video = !d.videoUrl.empty();
  run.cutShort = run.cutShort || d.cutShort;
  return true;
}

// Both pages go without a cookie.
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

  out.PublishAll(d.mainPictures, d.skuPictures, read.pictures);
  out.AppendLines(d.skuNames);
  run.cutShort = run.cutShort || d.cutShort;
  return true;
}

bool JdDesktopPageHoldsData(const std::string& page) { return Find(page, "skuid") != -1; }

}  // namespace extraction
