#include "extract/item_harvest.h"

const char* PictureKindLabel(Platform platform, PictureKind kind) {
  static const char* const kLabels[4][3] = {
      {"淘宝主图图片", "淘宝SKU图片", "淘宝详情图片"},
      {"天猫主图图片", "天猫SKU图片", "天猫详情图片"},
      {"京东主图图片", "京东SKU图片", "京东详情图片"},
      {"阿里主图图片", "阿里SKU图片", "阿里详情图片"},
  };
  return kLabels[static_cast<int>(platform)][static_cast<int>(kind)];
}

void AppendLines(HarvestSink& sink, const TextList& lines) {
  for (const std::string& line : lines) sink.AppendText(line + "\r\n");
}
