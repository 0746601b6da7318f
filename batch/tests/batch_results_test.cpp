#include "batch/batch_results.h"

#include <gtest/gtest.h>

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
      {"login page", login, std::nullopt, BatchOutcome::Failed, 0, 0, ExtractionStatusText(login)},
      {"no rows", Found(0, 0, 0), std::nullopt, BatchOutcome::Failed, 0, 0, ExtractionStatusText(Found(0, 0, 0))},
      {"rows, no save", Found(1, 0, 0), std::nullopt, BatchOutcome::Failed, 0, 0,
       ExtractionStatusText(Found(1, 0, 0))},
  };
  for (const Row& r : rows) {
    const BatchItemResult got = BatchItemResultOf(Link("https://item.jd.com/1.html"), r.report, r.save);
    EXPECT_EQ(got.outcome, r.outcome) << r.name;
    EXPECT_EQ(got.saved, r.saved) << r.name;
    EXPECT_EQ(got.notSaved, r.notSaved) << r.name;
    EXPECT_EQ(got.reason, r.reason) << r.name;
  }
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
  file.links = {Link("https://a"), Link("https://b"), Link("xx", std::nullopt), Link("https://b"), Link("https://f"),
                Link("https://c")};
  BatchProgress progress(file, ReadBatchResultsText(earlier));

  ASSERT_EQ(progress.NextToHarvest(), 1u);  // a was saved before
  progress.Record(1, Result(progress, 1, BatchOutcome::Done));
  ASSERT_EQ(progress.NextToHarvest(), 4u);  // f failed before: tried again; b is saved by now
  // Stopped here: the earlier lines of links not yet reached are kept, the failed one included.
  EXPECT_EQ(progress.ResultsText(),
            "链接\t平台\t结果\t主图\tSKU图\t详情图\t视频\t已保存\t未保存\t原因\r\n"
            "https://a\t京东\t已跳过\t0\t0\t0\t0\t0\t0\t\r\n"
            "https://b\t京东\t完成\t4\t0\t0\t0\t4\t0\t\r\n"
            "xx\t未知\t失败\t0\t0\t0\t0\t0\t0\t这一行不是链接\r\n"
            "https://b\t京东\t已跳过\t0\t0\t0\t0\t0\t0\t\r\n"
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
  EXPECT_EQ(next.completeLinks, (std::set<std::string>{"https://a", "https://b", "https://e"}));
}

TEST(BatchProgressTest, Texts) {
  EXPECT_EQ(BatchStatusText(2, 20, "读取 淘宝主图图片1"), "批量 3/20：读取 淘宝主图图片1");
  EXPECT_EQ(BatchSummaryQuestion(BatchCounts{5, 1, 2, 1, 1}),
            "批量完成：共5个链接，完成1个，部分失败2个，失败1个，跳过1个，是否打开文件夹查看？");
}

}  // namespace
