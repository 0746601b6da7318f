#pragma once
// Readers of the data today's item pages carry in their scripts, for pages on which the marker
// cuts find nothing. Each takes the page as the page engine hands it over (GBK text when the page
// declares its charset early, the bytes as sent otherwise) and returns GBK texts and complete
// picture addresses, at most kMaxRowsPerKind per list.

#include <string>
#include <string_view>

#include "extract/page_data/script_literal.h"
#include "text/text_slicing.h"

// Whether a page reached the extractor as UTF-8 bytes: the engine re-decodes a page into GBK when
// a meta tag in its first 1024 bytes declares a charset; other pages arrive as sent, and today's
// sites send UTF-8.
bool ArrivedAsUtf8(std::string_view page);

struct ItemPageData {
  bool found = false;  // the page carried item data in a known shape
  std::string itemId;
  std::string title;
  std::string videoUrl;        // empty when the item has no video
  std::string descriptionUrl;  // the description document or page the item names
  TextList mainPictures;
  TextList skuPictures;
  TextList skuNames;
  TextList attributes;  // "name:value"
  bool cutShort = false;
};

struct DetailPictures {
  TextList pictures;
  bool readable = false;  // the answer was a description at all
  bool refused = false;   // the call was answered with a refusal
  bool challenge = false; // ... with a verification
  bool cutShort = false;
};

// 1688: the desktop page's window.context (an object literal with "$ref" nodes), or the phone
// page's window.__INIT_DATA (modules found by their componentType). The item id is the offer id.
ItemPageData ReadAlibabaPageData(std::string_view page, const Utf8ToText& utf8ToText);
// The description document a 1688 page names (var offer_details={"content":"<img src=…>…"}).
DetailPictures ReadAlibabaDescription(std::string_view document);

// Taobao and Tmall: the item data after "var b = " (its loaderData.home.data.res).
ItemPageData ReadTaobaoPageData(std::string_view page, const Utf8ToText& utf8ToText);
// The answer of the signed description call (plain JSON, or wrapped in a callback).
DetailPictures ReadTaobaoDescriptionAnswer(std::string_view answer);
// The address of the signed description call for an item, or "" when the cookie carries no
// "_m_h5_tk" token to sign it with. `descriptionPage` is the script page the item names (its id,
// type and f parameters go into the call); `nowMs` the current time in milliseconds.
std::string TaobaoDescriptionCallUrl(std::string_view host, std::string_view cookies,
                                     std::string_view itemId, std::string_view descriptionPage,
                                     long long nowMs);

// JD's phone item page: window._itemOnly (pictures as "jfs/…" paths under `pictureBase`, SKUs)
// and window._itemInfo (the title).
ItemPageData ReadJdPhonePageData(std::string_view page, std::string_view pictureBase,
                                 const Utf8ToText& utf8ToText);
// Every JD picture address ("…jfs/….jpg") on a detail page; paths without a host go under
// `pictureBase`.
DetailPictures ReadJdDetailPictures(std::string_view page, std::string_view pictureBase);
// The SKU id in a JD item link (".../100012345678.html"), or "".
std::string JdSkuIdOfLink(std::string_view link);

// Pages that are not item pages, recognised from their markers. Only small pages are judged: the
// real item pages name login hosts and verification scripts too.
enum class PageKind { Other, Login, Challenge, NoSuchItem };
PageKind RecognisePage(std::string_view page);
