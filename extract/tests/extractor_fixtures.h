#pragma once
// Test helpers for the extractors: fixture and saved pages, a sink that records what a run
// delivers, and a page fetch that serves scripted pages and records the requests.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "extract/item_extractors.h"

// The repository's source folder, from the test environment.
std::string TestSourceDir();
// The folders of the saved pages of the real sites, 2018-2020 and 2026 ("" when missing). They
// lie in the shared folder beside the checkout ("../shared"), or where PT_SHARED_PAGES names it.
std::string RealPagesDir();
std::string CurrentPagesDir();
// For a test whose saved pages are missing: fails it, saying where they were looked for, or skips
// it when PT_SKIP_SHARED_PAGES=1 asks to do without them. `return MissingSavedPages(…);`
void MissingSavedPages(const std::string& era);
// Bytes of a file given by its Linux path ("" when missing).
std::string ReadTestFile(const std::string& unixPath);
bool TestFileExists(const std::string& unixPath);
// UTF-8 to GBK; characters GBK lacks become "?".
std::string Utf8ToGbk(std::string_view utf8);

// A fixture page (written as UTF-8) as GBK text, with "{{NAME}}" placeholders replaced.
std::string FixtureGbk(const std::string& name,
                       const std::map<std::string, std::string>& replacements = {});

struct Row {
  std::string number, url, label;
  bool operator==(const Row&) const = default;
};

// Plays the window: rows numbered by position across runs, kind counters per call, text appended.
class RecordingSink : public HarvestSink {
 public:
  void DeliveryStarts() override;
  void DeliveryEnds() override;
  void AppendText(const std::string& text) override;
  void SetDescriptionUrl(const std::string& url) override;
  void SetDescriptionPage(const std::string& page) override;
  void PublishPictures(const TextList& urls, const std::string& kindLabel) override;
  void SetItemId(const std::string& id) override;
  void SetVideoUrl(const std::string& url) override;
  void SetVideoName(const std::string& name) override;
  void Clear();  // what the clear button empties

  std::vector<std::string> calls;  // the calls in order, e.g. "PublishPictures 淘宝主图图片 3"
  std::vector<Row> rows;
  std::string text, descriptionUrl, descriptionPage, itemId, videoUrl, videoName;
};

struct FetchRecord {
  std::string url;
  std::optional<std::string> cookies;
  bool operator==(const FetchRecord&) const = default;
};

// Answers from a table of pages by exact address ("" for anything else) and records each request.
// `answers` give whole results (a status, a failure) and take precedence over `pages`.
class ScriptedFetch {
 public:
  std::map<std::string, std::string> pages;
  std::map<std::string, FetchedPage> answers;
  std::vector<FetchRecord> requests;
  PageFetch Function();
};

// A cookie box whose text changes after each read: "cookie-1", "cookie-2", ...
class CookieBox {
 public:
  int reads = 0;
  CookieReader Reader();
};
