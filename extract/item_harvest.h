#pragma once
// The item harvest: what the extractions since the last clear found. The picture rows and the text
// lines live in the window's list view and text box; the globals below are shared with the saver's
// worker thread and are read and written only under their lock.

#include <string>

#include "text/text_slicing.h"

enum class Platform { Taobao, Tmall, Jd, Alibaba };
enum class PictureKind { Main, Sku, Detail };

// Kind labels, which are also the saved pictures' base names ("淘宝主图图片", ...).
const char* PictureKindLabel(Platform platform, PictureKind kind);

struct PictureRow {
  std::string number;  // 1-based row number as text
  std::string url;
  std::string label;   // kind label followed by the running number within its kind
};

// The globals of the harvest and the output folder, taken together under one lock.
struct HarvestGlobals {
  std::string itemId;
  std::string videoUrl;
  std::string outputFolder;  // ends with "\\" when not empty
};
HarvestGlobals SnapshotHarvestGlobals();
std::string ItemId();
std::string VideoUrl();
std::string OutputFolder();
void SetItemId(const std::string& value);
void SetVideoUrl(const std::string& value);
void SetOutputFolder(const std::string& value);
void ReleaseHarvestGlobals();  // at exit: OutputFolder, then ItemId and VideoUrl

// Where an extraction run delivers what it finds, in the order it finds it. The window implements
// it with its controls; tests record the calls.
class HarvestSink {
 public:
  virtual ~HarvestSink() = default;
  virtual void AppendText(const std::string& text) = 0;          // at the end of 文本数据
  virtual void SetDescriptionUrl(const std::string& url) = 0;    // 详情数据 (replaced)
  virtual void SetDescriptionPage(const std::string& page) = 0;  // 测试 (replaced)
  // One row per URL at the end of the list; the kind counter starts at 0 for each call.
  virtual void PublishPictures(const TextList& urls, const std::string& kindLabel) = 0;
  virtual void SetItemId(const std::string& id) = 0;
  virtual void SetVideoUrl(const std::string& url) = 0;
};

// Each text followed by "\r\n", appended one by one.
void AppendLines(HarvestSink& sink, const TextList& lines);
