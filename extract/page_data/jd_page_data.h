#pragma once
// JD's phone item page, its detail page, and the SKU id of an item link.

#include "extract/page_data/page_data.h"

// JD's phone item page: window._itemOnly (pictures as "jfs/…" paths under `pictureBase`, SKUs)
// and window._itemInfo (the title).
ItemPageData ReadJdPhonePageData(std::string_view page, std::string_view pictureBase,
                                 const Utf8ToText& utf8ToText, PageEncoding encoding = PageEncoding::Unknown);
// Every JD picture address ("…jfs/….jpg") on a detail page; paths without a host go under
// `pictureBase`.
DetailPictures ReadJdDetailPictures(std::string_view page, std::string_view pictureBase);
