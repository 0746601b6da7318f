#include "text/original_picture.h"

#include <gtest/gtest.h>

namespace {

TEST(OriginalPictureTest, CopiesEndingsGo) {
  const struct {
    const char* copy;
    const char* original;
  } rows[] = {
      // alicdn: endings after the file's own extension, the "_!!" part of the name kept.
      {"https://img.alicdn.com/imgextra/i1/22/O1CN01a_!!22.jpg_.webp", "https://img.alicdn.com/imgextra/i1/22/O1CN01a_!!22.jpg"},
      {"https://img.alicdn.com/i1/O1CN01a_!!22.png_.avif", "https://img.alicdn.com/i1/O1CN01a_!!22.png"},
      {"https://gd1.alicdn.com/bao/TB1a.jpg_250x250.jpg", "https://gd1.alicdn.com/bao/TB1a.jpg"},
      {"https://gw.alicdn.com/bao/TB1a.jpg_460x460q90.jpg_.webp", "https://gw.alicdn.com/bao/TB1a.jpg"},
      {"https://gw.alicdn.com/bao/TB1a.jpg_300x300Q75xz.jpg", "https://gw.alicdn.com/bao/TB1a.jpg"},
      {"https://img.alicdn.com/a_!!0-item_pic.jpg_q50.jpg", "https://img.alicdn.com/a_!!0-item_pic.jpg"},
      {"https://img.alicdn.com/a.jpg_Q90.jpg", "https://img.alicdn.com/a.jpg"},
      {"https://img.alicdn.com/a.jpg_sum.jpg", "https://img.alicdn.com/a.jpg"},
      // 1688's sizes and kinds before the extension, and a query.
      {"https://cbu01.alicdn.com/img/ibank/O1CN01u_!!2221-0-cib.310x310.jpg", "https://cbu01.alicdn.com/img/ibank/O1CN01u_!!2221-0-cib.jpg"},
      {"https://cbu01.alicdn.com/img/ibank/O1CN01u_!!2221-0-cib.summ.jpg", "https://cbu01.alicdn.com/img/ibank/O1CN01u_!!2221-0-cib.jpg"},
      {"https://cbu01.alicdn.com/img/ibank/O1CN01u_!!2221-0-cib.search.jpg", "https://cbu01.alicdn.com/img/ibank/O1CN01u_!!2221-0-cib.jpg"},
      {"https://cbu01.alicdn.com/img/a.jpg?x-oss-process=image/resize,w_200#t", "https://cbu01.alicdn.com/img/a.jpg"},
      // The same host under another name (as a test shop serves it), with a port.
      {"https://img.alicdn.localhost:8080/i1/a.jpg_.webp", "https://img.alicdn.localhost:8080/i1/a.jpg"},
      // Names that only look like endings stay: no extension before them, or no size.
      {"https://img.alicdn.com/TB1a_q50.jpg", "https://img.alicdn.com/TB1a_q50.jpg"},
      {"https://img.alicdn.com/a_250x250.jpg", "https://img.alicdn.com/a_250x250.jpg"},
      {"https://img.alicdn.com/a.jpg_x250.jpg", "https://img.alicdn.com/a.jpg_x250.jpg"},
      {"https://img.alicdn.com/v1.2.jpg", "https://img.alicdn.com/v1.2.jpg"},
      {"https://cbu01.alicdn.com/img/a.200x200abc.jpg", "https://cbu01.alicdn.com/img/a.200x200abc.jpg"},
      // 360buyimg: the sized folder, a "!" ending and a format after the extension.
      {"https://img10.360buyimg.com/n1/s450x450_jfs/t1/1/2/3/a.jpg", "https://img10.360buyimg.com/n1/jfs/t1/1/2/3/a.jpg"},
      {"https://img30.360buyimg.com/sku/jfs/t1/a.jpg!q70.dpg", "https://img30.360buyimg.com/sku/jfs/t1/a.jpg"},
      {"https://img30.360buyimg.com/sku/jfs/t1/a.jpg!q70.dpg.webp", "https://img30.360buyimg.com/sku/jfs/t1/a.jpg"},
      {"https://m.360buyimg.com/mobilecms/jfs/t1/a.png.avif", "https://m.360buyimg.com/mobilecms/jfs/t1/a.png"},
      {"https://m.360buyimg.com/mobilecms/s750x750_jfs/t1/a.jpg!q80.jpg.webp?v=1",
       "https://m.360buyimg.com/mobilecms/jfs/t1/a.jpg?v=1"},
      {"https://img10.360buyimg.com/n1/jfs/t1/ab!c/a.webp", "https://img10.360buyimg.com/n1/jfs/t1/ab!c/a.webp"},
      // Other hosts, and what is no picture address, stay as they are.
      {"https://img.example.com/a.jpg_.webp", "https://img.example.com/a.jpg_.webp"},
      {"https://alicdn.com.evil.example/a.jpg_.webp", "https://alicdn.com.evil.example/a.jpg_.webp"},
      {"https://img.alicdn.com", "https://img.alicdn.com"},
      {"//img.alicdn.com/a.jpg_.webp", "//img.alicdn.com/a.jpg_.webp"},
      {"", ""},
  };
  for (const auto& r : rows) EXPECT_EQ(OriginalPictureAddress(r.copy), r.original) << r.copy;
}

}  // namespace
