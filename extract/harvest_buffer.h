#pragma once
// What one reading of an item's pages delivers, held until the run knows which reading stands.

#include <string>
#include <string_view>
#include <vector>

#include "extract/extraction_report.h"
#include "extract/item_harvest.h"
#include "extract/page_data/script_literal.h"

namespace extraction {

// Everything a reading delivers, kept in order and handed to the window's sink in one go. At most
// kMaxRowsPerKind rows per kind get through, and lines up to kMaxTextLines and the text room the
// harvest has left, each cut to kMaxLineBytes; what a bound holds back marks the reading as cut
// short. Every address
// passes the page address gate: a row, the video or the description address that is no clean
// http(s) address is dropped (an address is then empty).
class HarvestBuffer final : public HarvestSink {
 public:
  HarvestBuffer(Platform platform, const Utf8ToText& utf8, size_t textRoom);

  void AppendTitle(const std::string& title) { AddLine(title, "\r\n\r\n"); }
  void AppendLines(const TextList& lines) {
    for (const std::string& line : lines) AddLine(line, "\r\n");
  }
  void AppendText(const std::string& text) override { AddLine(text, ""); }
  void SetDescriptionUrl(const std::string& url) override;
  void SetDescriptionPage(const std::string& page) override { calls_.push_back({Call::DescriptionPage, page, {}}); }
  void PublishPictures(const TextList& urls, const std::string& kindLabel) override;
  // The platform's three kinds at once.
  void PublishAll(const TextList& main, const TextList& sku, const TextList& detail);
  void SetItemId(const std::string& id) override { calls_.push_back({Call::ItemId, id, {}}); }
  void SetVideoName(const std::string& name) override { calls_.push_back({Call::VideoName, name, {}}); }
  void SetVideoUrl(const std::string& url) override;

  void ReplayInto(HarvestSink& sink) const;
  int Count(PictureKind kind) const { return counts_[static_cast<int>(kind)]; }
  bool AnyPicture() const { return counts_[0] + counts_[1] + counts_[2] > 0; }
  bool VideoDropped() const { return videoDropped_; }
  // Whether a kind (or the lines) holds as many entries as it may.
  bool AnyKindAtCap() const;

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

  void AddLine(std::string_view line, std::string_view ending);

  Platform platform_;
  const Utf8ToText& utf8_;
  size_t textRoom_;
  std::vector<Call> calls_;
  std::string text_;  // every line of the reading, joined
  size_t lines_ = 0;
  bool textFull_ = false;
  int counts_[3] = {};
  bool videoDropped_ = false;
};

}  // namespace extraction
