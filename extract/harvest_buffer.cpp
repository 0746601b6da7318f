#include "extract/harvest_buffer.h"

#include <algorithm>

#include "extract/harvest_bounds.h"
#include "text/markup_text.h"
#include "text/text_items.h"
#include "text/url.h"

namespace extraction {

HarvestBuffer::HarvestBuffer(Platform platform, const Utf8ToText& utf8, size_t textRoom)
    : platform_(platform), utf8_(utf8), textRoom_(std::min(textRoom, kMaxTextBytes)) {}

void HarvestBuffer::SetDescriptionUrl(const std::string& url) {
  calls_.push_back({Call::DescriptionUrl, PageAddress(url).value_or(std::string()), {}});
}

void HarvestBuffer::PublishPictures(const TextList& urls, const std::string& kindLabel) {
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

void HarvestBuffer::PublishAll(const TextList& main, const TextList& sku, const TextList& detail) {
  PublishPictures(main, PictureKindLabel(platform_, PictureKind::Main));
  PublishPictures(sku, PictureKindLabel(platform_, PictureKind::Sku));
  PublishPictures(detail, PictureKindLabel(platform_, PictureKind::Detail));
}

void HarvestBuffer::SetVideoUrl(const std::string& url) {
  std::optional<std::string> address = PageAddress(url);
  videoDropped_ = !url.empty() && !address;
  calls_.push_back({Call::VideoUrl, address.value_or(std::string()), {}});
}

// The text goes into the box in one piece, where the reading's first text stood: the box takes one
// long text at once far faster than many short ones.
void HarvestBuffer::ReplayInto(HarvestSink& sink) const {
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

bool HarvestBuffer::AnyKindAtCap() const {
  return lines_ >= kMaxTextLines || std::max({counts_[0], counts_[1], counts_[2]}) >= static_cast<int>(kMaxRowsPerKind);
}

// Lines arrive as text: markup a cut picked up goes, character references are decoded. Once a
// bound is reached no further line gets in, however short: the lines up to it stand.
void HarvestBuffer::AddLine(std::string_view line, std::string_view ending) {
  if (textFull_) {
    cutShort = true;
    return;
  }
  const std::string text = MarkupToText(line, utf8_);
  const std::string_view kept = CharacterPrefix(text, kMaxLineBytes);
  if (lines_ >= kMaxTextLines || text_.size() + kept.size() + ending.size() > textRoom_) {
    textFull_ = true;
    cutShort = true;
    return;
  }
  if (kept.size() < text.size()) cutShort = true;
  if (lines_ == 0) calls_.push_back({Call::Text, {}, {}});
  ++lines_;
  text_.append(kept).append(ending);
}

}  // namespace extraction
