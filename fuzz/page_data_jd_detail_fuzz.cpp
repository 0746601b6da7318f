// The JD detail page reader (every "…jfs/….jpg" address) over any page.
#include "extract/page_data/jd_page_data.h"
#include "fuzz/page_data_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page = page_data_fuzz::AsText(data, size);
  page_data_fuzz::CheckPictures(ReadJdDetailPictures(page, "https://m.360buyimg.com/mobilecms/").pictures);
  return 0;
}
