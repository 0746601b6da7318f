#include "batch/batch_results.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "batch/tests/utf8_words.h"
#include "text/url.h"

namespace {

BatchLink Link(std::string link, std::optional<Platform> platform = Platform::Jd) {
  BatchLink l;
  l.link = std::move(link);
  l.platform = platform;
  if (!platform) l.problem = "这一行不是链接";
  return l;
}

ExtractionReport Found(int main, int sku, int detail, bool video = false) {
  ExtractionReport r;
  r.platform = Platform::Jd;
  r.mainPictures = main;
  r.skuPictures = sku;
  r.detailPictures = detail;
  r.video = video;
  return r;
}

TEST(BatchItemResultTest, Outcomes) {
  ExtractionReport login;
  login.platform = Platform::Taobao;
  login.trouble = PageTrouble::LoginPage;
  ExtractionReport noDetail = Found(2, 0, 0);
  noDetail.detail = DetailTrouble::NoToken;
  ExtractionReport classicNoDetail = Found(3, 0, 0);
  classicNoDetail.detail = DetailTrouble::FetchFailed;
  classicNoDetail.detailStatus = 500;
  ExtractionReport cut = Found(2000, 0, 0);
  cut.cutShort = true;
  ExtractionReport otherSite;  // a line "淘宝数据 <a JD link>", or a Taobao link with 天猫数据 that found nothing
  otherSite.platform = Platform::Tmall;
  otherSite.trouble = PageTrouble::OtherPlatform;
  otherSite.linkPlatform = Platform::Alibaba;
  struct Row {
    const char* name;
    ExtractionReport report;
    std::optional<BatchSaveResult> save;
    BatchOutcome outcome;
    int saved, notSaved;
    std::string reason;
  } rows[] = {
      {"everything saved", Found(1, 2, 3, true), BatchSaveResult{6, 0}, BatchOutcome::Done, 6, 0, ""},
      {"pictures failed", Found(5, 0, 0), BatchSaveResult{5, 2}, BatchOutcome::Partial, 3, 2,
       "5张图片中有2张未能保存"},
      {"video failed", Found(1, 0, 0, true), BatchSaveResult{1, 0, true, true}, BatchOutcome::Partial, 1, 0,
       "视频未能保存"},
      {"text failed", Found(1, 0, 0), BatchSaveResult{1, 1, false, false}, BatchOutcome::Partial, 0, 1,
       "1张图片中有1张未能保存，文本文件未能保存"},
      {"detail pictures not read", noDetail, BatchSaveResult{2, 0}, BatchOutcome::Partial, 2, 0,
       ExtractionStatusText(noDetail)},
      {"description page not fetched", classicNoDetail, BatchSaveResult{3, 0}, BatchOutcome::Partial, 3, 0,
       "3张图片，详情图未能读取：详情页获取失败（HTTP 500）；主图3，SKU图0，详情图0（京东数据）"},
      {"page read in part", cut, BatchSaveResult{2000, 0}, BatchOutcome::Partial, 2000, 0,
       "2000张图片：主图2000，SKU图0，详情图0；页面数据过多，只取了前2000条（京东数据）"},
      {"page read in part, a picture failed", cut, BatchSaveResult{2000, 1}, BatchOutcome::Partial, 1999, 1,
       ExtractionStatusText(cut) + "；2000张图片中有1张未能保存"},
      {"login page", login, std::nullopt, BatchOutcome::Failed, 0, 0, ExtractionStatusText(login)},
      {"no rows", Found(0, 0, 0), std::nullopt, BatchOutcome::Failed, 0, 0, ExtractionStatusText(Found(0, 0, 0))},
      {"rows, no save", Found(1, 0, 0), std::nullopt, BatchOutcome::Failed, 0, 0,
       ExtractionStatusText(Found(1, 0, 0))},
      {"the button name of another site", otherSite, std::nullopt, BatchOutcome::Failed, 0, 0,
       "按钮名与链接不符：这是1688的链接"},
  };
  for (const Row& r : rows) {
    const BatchItemResult got = BatchItemResultOf(Link("https://item.jd.com/1.html"), r.report, r.save);
    EXPECT_EQ(got.outcome, r.outcome) << r.name;
    EXPECT_EQ(got.saved, r.saved) << r.name;
    EXPECT_EQ(got.notSaved, r.notSaved) << r.name;
    EXPECT_EQ(got.reason, r.reason) << r.name;
  }
}

// The n-th line of a results text (0: the heading).
std::string ResultLine(const std::string& text, size_t n) {
  const std::vector<std::string_view> lines = TextLines(text);
  return n < lines.size() ? std::string(lines[n]) : std::string();
}

BatchItemResult Result(const BatchProgress& progress, size_t index, BatchOutcome outcome) {
  BatchItemResult r;
  r.link = progress.link(index).link;
  r.platform = progress.link(index).platform;
  r.outcome = outcome;
  r.mainPictures = 4;
  r.saved = 4;
  r.reason = outcome == BatchOutcome::Done ? "" : "坏\t行\r\n";
  return r;
}

TEST(BatchProgressTest, SkipsWhatWasSavedAndKeepsEarlierLines) {
  const std::string earlier =
      "链接\t平台\t结果\t主图\tSKU图\t详情图\t视频\t已保存\t未保存\t原因\r\n"
      "https://a\t京东\t完成\t1\t0\t0\t0\t1\t0\t\r\n"
      "https://d\t京东\t部分失败\t2\t0\t0\t0\t1\t1\t1张\r\n"
      "https://e\t京东\t已跳过\t0\t0\t0\t0\t0\t0\t\r\n"
      "https://f\t京东\t失败\t0\t0\t0\t0\t0\t0\t网络\r\n";
  BatchFile file;
  // "a" is the earlier line's https://a as copied without a scheme: the same item.
  file.links = {Link("a"), Link("https://b"), Link("xx", std::nullopt), Link("https://b"), Link("https://f"),
                Link("https://c")};
  BatchProgress progress(file, ReadBatchResultsText(earlier));

  ASSERT_EQ(progress.NextToHarvest(), 1u);  // a was saved before
  progress.Record(1, Result(progress, 1, BatchOutcome::Done));
  ASSERT_EQ(progress.NextToHarvest(), 4u);  // f failed before: tried again; b is saved by now
  // Stopped here: the earlier lines of links not yet reached are kept, the failed one included.
  EXPECT_EQ(progress.ResultsText(),
            "链接\t平台\t结果\t主图\tSKU图\t详情图\t视频\t已保存\t未保存\t原因\r\n"
            "a\t京东\t已跳过\t1\t0\t0\t0\t1\t0\t\r\n"  // the counts of its earlier line, once
            "https://b\t京东\t完成\t4\t0\t0\t0\t4\t0\t\r\n"
            "xx\t未知\t失败\t0\t0\t0\t0\t0\t0\t这一行不是链接\r\n"
            "https://b\t京东\t已跳过\t4\t0\t0\t0\t4\t0\t\r\n"
            "https://d\t京东\t部分失败\t2\t0\t0\t0\t1\t1\t1张\r\n"
            "https://e\t京东\t已跳过\t0\t0\t0\t0\t0\t0\t\r\n"
            "https://f\t京东\t失败\t0\t0\t0\t0\t0\t0\t网络\r\n");
  progress.Record(4, Result(progress, 4, BatchOutcome::Partial));
  ASSERT_EQ(progress.NextToHarvest(), 5u);
  progress.Record(5, Result(progress, 5, BatchOutcome::Failed));
  EXPECT_EQ(progress.NextToHarvest(), std::nullopt);

  const BatchCounts c = progress.Counts();
  EXPECT_EQ(c.links, 6);
  EXPECT_EQ(c.done, 1);
  EXPECT_EQ(c.partial, 1);
  EXPECT_EQ(c.failed, 2);
  EXPECT_EQ(c.skipped, 2);
  // A reason never breaks its line; the next batch skips exactly what is saved.
  const EarlierBatchResults next = ReadBatchResultsText(progress.ResultsText());
  EXPECT_EQ(next.lines.size(), 8u);
  std::set<std::string> complete;
  for (const auto& [link, result] : next.complete) complete.insert(link);
  EXPECT_EQ(complete, (std::set<std::string>{LinkIdentity("a"), LinkIdentity("https://b"), LinkIdentity("https://e")}));
}

TEST(BatchProgressTest, Texts) {
  EXPECT_EQ(BatchStatusText(2, 20, "读取 淘宝主图图片1"), "批量 3/20：读取 淘宝主图图片1");
  EXPECT_EQ(BatchSummaryQuestion(BatchCounts{5, 1, 2, 1, 1}),
            "批量完成：共5个链接，完成1个，部分失败2个，失败1个，跳过1个，是否打开文件夹查看？");
  EXPECT_EQ(BatchSummaryQuestion(BatchCounts{10005, 10000, 0, 0, 0, 5}, false),
            "批量完成：共10005个链接，完成10000个，部分失败0个，失败0个，跳过0个，5个链接超过单次上限（10000个），"
            "再次批量时处理，批量结果.txt未能写入，是否打开文件夹查看？");
}

// Every link of the file is accounted for: past the cap a link is recorded as left for later, and
// the next batch of the same file takes it, the links saved before not counting against the cap.
TEST(BatchProgressTest, LinksPastTheCapAreRecordedAndTakenByTheNextBatch) {
  BatchFile file;
  for (const char* link : {"https://a", "https://b", "https://c", "https://d", "https://e"})
    file.links.push_back(Link(link));
  std::string text;
  std::vector<std::string> harvested;
  for (int run = 0; run < 3; ++run) {
    BatchProgress progress(file, ReadBatchResultsText(text), 2);
    while (const std::optional<size_t> next = progress.NextToHarvest()) {
      harvested.push_back(progress.link(*next).link);
      progress.Record(*next, Result(progress, *next, BatchOutcome::Done));
    }
    text = progress.ResultsText();
    const BatchCounts c = progress.Counts();
    EXPECT_EQ(c.links, 5) << run;
    EXPECT_EQ(c.Recorded(), 5) << run;
    EXPECT_EQ(c.beyondCap, std::vector<int>({3, 1, 0})[run]) << run;
  }
  EXPECT_EQ(harvested, (std::vector<std::string>{"https://a", "https://b", "https://c", "https://d", "https://e"}));
  const std::string first = ResultLine(text, 1);
  BatchProgress once(file, {}, 2);
  while (const std::optional<size_t> next = once.NextToHarvest()) once.Record(*next, Result(once, *next, BatchOutcome::Done));
  EXPECT_EQ(ResultLine(once.ResultsText(), 3), "https://c\t京东\t已跳过\t0\t0\t0\t0\t0\t0\t超过单次上限");
  EXPECT_EQ(first, "https://a\t京东\t已跳过\t4\t0\t0\t0\t4\t0\t");
}

// A link listed twice whose first line was saved only in part is tried again on its second line;
// one saved completely is not.
TEST(BatchProgressTest, TheSecondLineOfALinkIsTriedUnlessTheFirstSavedItAll) {
  BatchFile file;
  file.links = {Link("https://p"), Link("https://d"), Link("https://p"), Link("https://d")};
  BatchProgress progress(file, {});
  std::vector<size_t> tried;
  while (const std::optional<size_t> next = progress.NextToHarvest()) {
    tried.push_back(*next);
    const bool partly = progress.link(*next).link == "https://p" && tried.size() == 1;
    progress.Record(*next, Result(progress, *next, partly ? BatchOutcome::Partial : BatchOutcome::Done));
  }
  EXPECT_EQ(tried, (std::vector<size_t>{0, 1, 2}));
  EXPECT_EQ(progress.Counts().skipped, 1);
}

// Two copies of the program run batches into one folder: each takes the file as it stands before
// it writes, so neither loses the other's lines, and a link the other saved is skipped.
TEST(BatchProgressTest, TwoBatchesWritingOneFileKeepEachOthersLines) {
  BatchFile first, second;
  first.links = {Link("https://a1"), Link("https://shared"), Link("https://a2")};
  second.links = {Link("https://b1"), Link("https://b2"), Link("https://shared")};
  std::string file;  // the results file both read at their start
  BatchProgress a(first, ReadBatchResultsText(file));
  BatchProgress b(second, ReadBatchResultsText(file));
  std::vector<std::string> harvestedByB;
  for (int step = 0; step < 4; ++step) {
    for (BatchProgress* p : {&a, &b}) {
      const std::optional<size_t> next = p->NextToHarvest();
      if (next) {
        if (p == &b) harvestedByB.push_back(p->link(*next).link);
        p->Record(*next, Result(*p, *next, BatchOutcome::Done));
      }
      p->TakeEarlier(ReadBatchResultsText(file));
      file = p->ResultsText();
    }
  }
  const EarlierBatchResults last = ReadBatchResultsText(file);
  std::set<std::string> complete;
  for (const auto& [link, result] : last.complete) complete.insert(link);
  std::set<std::string> expected;
  for (const char* link : {"https://a1", "https://a2", "https://b1", "https://b2", "https://shared"})
    expected.insert(LinkIdentity(link));
  EXPECT_EQ(complete, expected);
  EXPECT_EQ(last.lines.size(), 5u) << file;  // one line a link
  EXPECT_EQ(harvestedByB, (std::vector<std::string>{"https://b1", "https://b2"})) << "a saved the shared link first";
}

TEST(ResultsFileTest, EncodingsAnEditorMayHaveSavedAndWhatCannotBeRead) {
  using namespace std::string_literals;
  struct Row {
    const char* name;
    std::string bytes;
    std::string text;
    bool readable;
  } rows[] = {
      {"GBK as the batch writes it", "https://a\t完成\r\n", "https://a\t完成\r\n", true},
      {"UTF-8 with its mark", "\xEF\xBB\xBFhttps://a\t" + kDoneUtf8, "https://a\t完成", true},
      {"UTF-8 without it", "https://a\t" + kDoneUtf8, "https://a\t完成", true},
      {"UTF-16, little-endian", "\xFF\xFEh\0\t\0\x8C\x5B\x10\x62\r\0\n\0"s, "h\t完成\r\n", true},
      {"UTF-16, big-endian", "\xFE\xFF\0h\0\t\x5B\x8C\x62\x10"s, "h\t完成", true},
      {"UTF-16, a character past the first plane", "\xFF\xFE\x3D\xD8\x00\xDEh\0"s, "?h", true},
      {"UTF-16, a lone surrogate", "\xFF\xFE\x3D\xD8h\0"s, "?h", true},
      {"nothing", "", "", true},
      {"UTF-16 cut inside a character", "\xFF\xFEh\0\t"s, "", false},
      {"UTF-16 without its mark", "h\0\t\0"s, "", false},
      {"broken UTF-8 behind its mark", "\xEF\xBB\xBF" "a\xE5\xAE", "", false},
  };
  for (const Row& r : rows) {
    const ResultsFileText got = ResultsFileAsGbk(r.bytes, Utf8ToGbk);
    EXPECT_EQ(got.text, r.text) << r.name;
    EXPECT_EQ(got.problem.empty(), r.readable) << r.name;
  }
}

}  // namespace
