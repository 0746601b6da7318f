#include "extract/item_harvest.h"

#include <mutex>

namespace {
std::mutex g_lock;
HarvestGlobals g_globals;
}  // namespace

const char* PictureKindLabel(Platform platform, PictureKind kind) {
  static const char* const kLabels[4][3] = {
      {"淘宝主图图片", "淘宝SKU图片", "淘宝详情图片"},
      {"天猫主图图片", "天猫SKU图片", "天猫详情图片"},
      {"京东主图图片", "京东SKU图片", "京东详情图片"},
      {"阿里主图图片", "阿里SKU图片", "阿里详情图片"},
  };
  return kLabels[static_cast<int>(platform)][static_cast<int>(kind)];
}

HarvestGlobals SnapshotHarvestGlobals() {
  std::lock_guard<std::mutex> lock(g_lock);
  return g_globals;
}

std::string ItemId() {
  std::lock_guard<std::mutex> lock(g_lock);
  return g_globals.itemId;
}

std::string VideoUrl() {
  std::lock_guard<std::mutex> lock(g_lock);
  return g_globals.videoUrl;
}

std::string OutputFolder() {
  std::lock_guard<std::mutex> lock(g_lock);
  return g_globals.outputFolder;
}

void SetItemId(const std::string& value) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_globals.itemId = value;
}

void SetVideoUrl(const std::string& value) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_globals.videoUrl = value;
}

void SetOutputFolder(const std::string& value) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_globals.outputFolder = value;
}

void ReleaseHarvestGlobals() {
  std::lock_guard<std::mutex> lock(g_lock);
  std::string().swap(g_globals.outputFolder);
  std::string().swap(g_globals.itemId);
  std::string().swap(g_globals.videoUrl);
}

void AppendLines(HarvestSink& sink, const TextList& lines) {
  for (const std::string& line : lines) sink.AppendText(line + "\r\n");
}
