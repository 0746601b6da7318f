#include "extract/page_data/page_kind.h"

#include <string>

#include "text/ascii.h"
#include "text/text_slicing.h"

namespace {

// A marker text as GBK bytes (pages the engine decoded) and as UTF-8 bytes (pages as sent).
struct Marker {
  const char* gbk;
  const char8_t* utf8;
};

bool ContainsMarker(std::string_view page, const Marker& m) {
  if (Find(page, m.gbk) != -1) return true;
  const std::string_view utf8(reinterpret_cast<const char*>(m.utf8));
  return page.find(utf8) != std::string_view::npos;
}

const Marker kChallengeText[] = {{"滑动验证", u8"滑动验证"}, {"安全验证", u8"安全验证"}, {"验证码", u8"验证码"},
                                 {"拖动滑块", u8"拖动滑块"}, {"访问受限", u8"访问受限"}, {"访问被拒绝", u8"访问被拒绝"}};
const std::string_view kChallengeAscii[] = {"_____tmd_____", "punish", "x5sec", "nocaptcha", "nc_1_n1z",
                                            "captcha", "risk_handler", "slide-verify"};
const Marker kLoginText[] = {{"密码登录", u8"密码登录"}, {"扫码登录", u8"扫码登录"}, {"短信登录", u8"短信登录"},
                             {"账号登录", u8"账号登录"}, {"请登录", u8"请登录"}, {"登录页", u8"登录页"}};
const std::string_view kLoginAscii[] = {"type=\"password\"", "fm-login", "login-form", "loginform",
                                        "passport.jd.com", "plogin.m.jd.com", "login.taobao.com",
                                        "login.tmall.com", "login.1688.com"};
const Marker kNoItemText[] = {{"宝贝不存在", u8"宝贝不存在"}, {"商品不存在", u8"商品不存在"}, {"已下架", u8"已下架"},
                              {"已下柜", u8"已下柜"}, {"找不到", u8"找不到"}, {"不存在", u8"不存在"},
                              {"已失效", u8"已失效"}, {"已删除", u8"已删除"}};
const std::string_view kNoItemAscii[] = {"noitem", "err.taobao.com", "error1.html", "item-not-found"};

template <size_t N, size_t M>
bool Matches(std::string_view page, const std::string& lower, const Marker (&text)[N],
             const std::string_view (&ascii)[M]) {
  for (const Marker& m : text)
    if (ContainsMarker(page, m)) return true;
  for (std::string_view a : ascii)
    if (lower.find(a) != std::string::npos) return true;
  return false;
}

}  // namespace

PageKind RecognisePage(std::string_view page) {
  if (page.size() > 64 * 1024) return PageKind::Other;
  const std::string lower = LowerAsciiCopy(page);
  if (Matches(page, lower, kChallengeText, kChallengeAscii)) return PageKind::Challenge;
  if (Matches(page, lower, kLoginText, kLoginAscii)) return PageKind::Login;
  if (Matches(page, lower, kNoItemText, kNoItemAscii)) return PageKind::NoSuchItem;
  return PageKind::Other;
}
