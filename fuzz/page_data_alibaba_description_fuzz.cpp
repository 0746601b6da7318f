// The reader of 1688 description documents (var offer_details={"content":"…"}) over any document.
#include "extract/page_data/alibaba_page_data.h"
#include "fuzz/page_data_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const DetailPictures read = ReadAlibabaDescription(page_data_fuzz::AsText(data, size));
  page_data_fuzz::CheckPictures(read.pictures);
  return 0;
}
