// The Taobao and Tmall page reader (the data after "var b = ") over any page, and the signed
// description call built from what such a page and a cookie name.
//
// Input: the page, a zero byte, the cookie text, a zero byte, the description page address.
#include <vector>

#include "extract/page_data/taobao_description_call.h"
#include "extract/page_data/taobao_page_data.h"
#include "fuzz/page_data_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input = page_data_fuzz::AsText(data, size);
  std::vector<std::string_view> parts;
  for (int i = 0; i < 2; ++i) {
    const size_t zero = input.find('\0');
    if (zero == std::string_view::npos) break;
    parts.push_back(input.substr(0, zero));
    input.remove_prefix(zero + 1);
  }
  parts.push_back(input);
  parts.resize(3);

  ItemPageData d;
  for (PageEncoding encoding : page_data_fuzz::kEncodings) {
    d = ReadTaobaoPageData(parts[0], page_data_fuzz::MarkUtf8, encoding);
    page_data_fuzz::CheckItem(d);
  }

  // The call's address is made of URL-safe characters whatever the cookie and the page hold.
  const std::string call = TaobaoDescriptionCallUrl("h5api.m.taobao.com", parts[1], d.itemId, parts[2], 1700000000000);
  if (!call.empty()) {
    PAGE_DATA_CHECK(call.rfind("https://h5api.m.taobao.com/h5/", 0) == 0);
    for (char c : call)
      PAGE_DATA_CHECK((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      std::string_view("%&=?/._-:~").find(c) != std::string_view::npos);
  }
  return 0;
}
