#pragma once
// The platforms the program harvests: one row each, holding everything that differs between them
// apart from reading their pages. Every rule that tells platforms apart reads its row: the button
// captions and the batch's button names, the status line's and the results file's names, the link
// rule and the cookie rule (from one list of domains), the picture labels, the reader a button runs
// and the link numbers an item's folder is named after. A platform's domain is one line of its row.

#include <span>
#include <string_view>

enum class Platform { Taobao, Tmall, Jd, Alibaba };
enum class PictureKind { Main, Sku, Detail };

class HarvestSink;
struct ExtractionReport;
struct ItemSource;
// Reads the item pages of a link (see item_extractors.h).
using PlatformReader = ExtractionReport (*)(const ItemSource& source, HarvestSink& sink);

// A domain whose hosts (whole labels) belong to a platform: its item pages and its short links.
struct PlatformDomain {
  std::string_view name;
  // Its short links open Taobao and Tmall items alike.
  bool taobaoOrTmall = false;
};

struct PlatformRow {
  Platform platform;
  const char* buttonName;   // the button's caption, also what a batch line names the platform by
  const char* siteName;     // the status line's name of its links ("这是1688的链接")
  const char* resultsName;  // the platform column of the batch's results file
  std::span<const PlatformDomain> domains;
  // Its pages are asked for with the cookie box, and its domains may receive it.
  bool takesCookie;
  // By PictureKind: the list's kind column, which the saved pictures are named after.
  const char* pictureLabels[3];
  PlatformReader read;
  // The query parameters that name the item in its links, in the order they are tried: the item's
  // folder goes by them where the page gives no id (a page named "<n>.html" goes by its number).
  std::span<const std::string_view> linkNumberNames;
};

// Every row, in the order of the enumeration.
std::span<const PlatformRow> PlatformRows();
const PlatformRow& PlatformRowOf(Platform platform);

// The picture kind's label ("淘宝主图图片", ...), which is also the saved pictures' base name.
const char* PictureKindLabel(Platform platform, PictureKind kind);
