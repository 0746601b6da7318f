// The reader of the description call's answer over any answer: a refusal is never a description.
#include "extract/page_data/taobao_page_data.h"
#include "fuzz/page_data_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (PageEncoding encoding : page_data_fuzz::kEncodings) {
    const DetailPictures read = ReadTaobaoDescriptionAnswer(page_data_fuzz::AsText(data, size), encoding);
    page_data_fuzz::CheckPictures(read.pictures);
    PAGE_DATA_CHECK(!(read.refused && read.readable));
    if (!read.readable) PAGE_DATA_CHECK(read.pictures.empty());
  }
  return 0;
}
