#pragma once
// Taobao's and Tmall's item data, and the answer of the description call.

#include "extract/page_data/page_data.h"

// The item data after "var b = " (its loaderData.home.data.res).
ItemPageData ReadTaobaoPageData(std::string_view page, const Utf8ToText& utf8ToText,
                                PageEncoding encoding = PageEncoding::Unknown);
// The answer of the signed description call (plain JSON, or wrapped in a callback).
DetailPictures ReadTaobaoDescriptionAnswer(std::string_view answer, PageEncoding encoding = PageEncoding::Unknown);
