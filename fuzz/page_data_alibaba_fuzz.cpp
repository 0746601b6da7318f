// The 1688 page reader (window.context or window.__INIT_DATA) over any page.
#include "extract/page_data/alibaba_page_data.h"
#include "fuzz/page_data_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page = page_data_fuzz::AsText(data, size);
  for (PageEncoding encoding : page_data_fuzz::kEncodings)
    page_data_fuzz::CheckItem(ReadAlibabaPageData(page, page_data_fuzz::MarkUtf8, encoding));
  return 0;
}
