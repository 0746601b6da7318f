// The reader of 1688 description documents (var offer_details={"content":"…"}) over any document.
#include "extract/page_data/alibaba_page_data.h"
#include "fuzz/page_data_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (PageEncoding encoding : page_data_fuzz::kEncodings)
    page_data_fuzz::CheckPictures(ReadAlibabaDescription(page_data_fuzz::AsText(data, size), encoding).pictures);
  return 0;
}
