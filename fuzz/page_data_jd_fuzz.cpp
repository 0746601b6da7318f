// The JD phone page reader (window._itemOnly, window._itemInfo) over any page, and the
// recognition of pages that are not item pages.
#include "extract/page_data/jd_page_data.h"
#include "extract/page_data/page_kind.h"
#include "fuzz/page_data_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page = page_data_fuzz::AsText(data, size);
  for (PageEncoding encoding : page_data_fuzz::kEncodings)
    page_data_fuzz::CheckItem(
        ReadJdPhonePageData(page, "https://m.360buyimg.com/mobilecms/", page_data_fuzz::MarkUtf8, encoding));
  const PageKind kind = RecognisePage(page);
  if (size > 64 * 1024) PAGE_DATA_CHECK(kind == PageKind::Other);
  return 0;
}
