#pragma once
// 1688's item data: the desktop offer page, the phone offer page and the description document.

#include "extract/page_data/page_data.h"

// The desktop page's window.context (an object literal with "$ref" nodes), or the phone page's
// window.__INIT_DATA (modules found by their componentType). The item id is the offer id.
ItemPageData ReadAlibabaPageData(std::string_view page, const Utf8ToText& utf8ToText,
                                 PageEncoding encoding = PageEncoding::Unknown);
// The description document a 1688 page names (var offer_details={"content":"<img src=…>…"}).
DetailPictures ReadAlibabaDescription(std::string_view document, PageEncoding encoding = PageEncoding::Unknown);
