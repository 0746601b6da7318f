#pragma once
// The item harvest as the window keeps it: picture rows in 图片 list view, text lines in 文本数据,
// the description URL and page in 详情数据 and 测试, ItemId and VideoUrl in their globals.

#include "extract/item_harvest.h"

// Appends one row per URL at the end of images_列表框: column 0 the 1-based row number (row numbers
// continue across runs), column 1 the URL, column 2 kindLabel followed by the running number
// within this call (starting at 1).
void PublishPictures(const TextList& urls, const std::string& kindLabel);

// Appends each text followed by "\r\n" at the end of 文本数据 (caret to the end, inserted, scrolled).
void AppendLines(const TextList& lines);

class WindowHarvestSink : public HarvestSink {
 public:
  void AppendText(const std::string& text) override;
  void SetDescriptionUrl(const std::string& url) override;
  void SetDescriptionPage(const std::string& page) override;
  void PublishPictures(const TextList& urls, const std::string& kindLabel) override;
  void SetItemId(const std::string& id) override;
  void SetVideoUrl(const std::string& url) override;
};
