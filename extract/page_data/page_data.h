#pragma once
// What the readers of today's page data return. Each reader takes the page as the page engine
// hands it over (GBK text when the page declares its charset early, the bytes as sent otherwise)
// with the encoding the engine reported for it, and returns GBK texts and complete picture
// addresses, at most kMaxRowsPerKind per list. They are used on pages on which the marker cuts
// find nothing.

#include <string>
#include <string_view>

#include "extract/page_data/script_literal.h"
#include "text/page_encoding.h"
#include "text/text_slicing.h"

// For a page whose encoding no fetch reported (PageEncoding::Unknown): whether it would have
// reached the extractor as UTF-8 bytes. The engine re-decodes a page into GBK when a meta tag in
// its first 1024 bytes declares a charset; other pages arrive as sent, and today's sites send
// UTF-8.
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
  size_t work = 0;  // what the reading cost, in the units of its work budget
};

struct DetailPictures {
  TextList pictures;
  bool readable = false;  // the answer was a description at all
  bool refused = false;   // the call was answered with a refusal
  bool challenge = false; // ... with a verification
  bool cutShort = false;
  size_t work = 0;  // what the reading cost, in the units of its work budget
};
