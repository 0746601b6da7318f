#pragma once
// The item harvest: what the extractions since the last clear found. The window keeps it (its list
// view, its text box, its item id and video address); extractions deliver to a HarvestSink.

#include <string>

#include "text/text_slicing.h"

// Where an extraction run delivers what it finds, in the order it finds it. The window implements
// it with its controls; tests record the calls.
class HarvestSink {
 public:
  virtual ~HarvestSink() = default;
  // Bracket the calls of one run, which come in one go (no window message is handled between
  // them), so a window may hold its repainting until the end.
  virtual void DeliveryStarts() {}
  virtual void DeliveryEnds() {}
  virtual void AppendText(const std::string& text) = 0;          // at the end of 文本数据
  virtual void SetDescriptionUrl(const std::string& url) = 0;    // 详情数据 (replaced)
  virtual void SetDescriptionPage(const std::string& page) = 0;  // 测试 (replaced)
  // One row per URL at the end of the list; the kind counter starts at 0 for each call.
  virtual void PublishPictures(const TextList& urls, const std::string& kindLabel) = 0;
  virtual void SetItemId(const std::string& id) = 0;
  virtual void SetVideoUrl(const std::string& url) = 0;
  // The name the video file goes under where it is not the item's (a classic 1688 offer's video
  // keeps its video id); a SetItemId forgets an earlier one.
  virtual void SetVideoName(const std::string& name) {}
};
