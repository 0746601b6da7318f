#include "extract/page_data/taobao_description_call.h"

#include "extract/md5.h"
#include "extract/page_data/script_data.h"
#include "text/ascii.h"
#include "text/url.h"

namespace {

using page_data::npos;

// The value of one cookie in a cookie text ("a=1; _m_h5_tk=…; b=2").
std::string CookieValue(std::string_view cookies, std::string_view name) {
  size_t at = 0;
  while (at < cookies.size()) {
    size_t end = cookies.find(';', at);
    if (end == npos) end = cookies.size();
    std::string_view item = cookies.substr(at, end - at);
    while (!item.empty() && IsBlank(item.front())) item.remove_prefix(1);
    const size_t eq = item.find('=');
    if (eq != npos && item.substr(0, eq) == name) {
      std::string_view value = item.substr(eq + 1);
      while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
      return std::string(value);
    }
    at = end + 1;
  }
  return {};
}

// Letters, digits, dots, hyphens, underscores (and the `extra` characters) only: what ids and
// the description key hold, safe inside a JSON string.
std::string Plain(std::string_view text, std::string_view extra = {}) {
  std::string out;
  for (char c : text.substr(0, 128))
    if (IsWordByte(c) || c == '.' || c == '-' || extra.find(c) != npos) out += c;
  return out;
}

std::string PercentEncode(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (IsWordByte(c) || c == '.' || c == '-' || c == '~') {
      out += c;
    } else {
      out += '%';
      AppendHexByte(out, static_cast<unsigned char>(c), HexCase::Upper);
    }
  }
  return out;
}

}  // namespace

std::string TaobaoDescriptionCallUrl(std::string_view host, std::string_view cookies, std::string_view itemId,
                                     std::string_view descriptionPage, long long nowMs) {
  // The token is the part of "_m_h5_tk" before its underscore (a time stamp follows it).
  const std::string cookie = CookieValue(cookies, "_m_h5_tk");
  const std::string token = cookie.substr(0, cookie.find('_'));
  if (token.empty() || token.size() > 64 || Plain(token) != token || host.empty()) return {};
  std::string id = Plain(QueryValue(descriptionPage, "id"));
  if (id.empty()) id = Plain(itemId);
  if (id.empty()) return {};
  std::string type = Plain(QueryValue(descriptionPage, "type"));
  if (type.empty()) type = "0";
  const std::string f = Plain(QueryValue(descriptionPage, "f"), "/");
  std::string data = "{\"id\":\"" + id + "\",\"type\":\"" + type + "\"";
  if (!f.empty()) data += ",\"f\":\"" + f + "\"";
  data += "}";

  const std::string appKey = "12574478";
  const std::string t = std::to_string(nowMs);
  const std::string sign = Md5Hex(token + "&" + t + "&" + appKey + "&" + data);
  return "https://" + std::string(host) + "/h5/mtop.taobao.detail.getdesc/6.0/?jsv=2.7.2&appKey=" + appKey +
         "&t=" + t + "&sign=" + sign +
         "&api=mtop.taobao.detail.getdesc&v=6.0&type=originaljson&dataType=json&timeout=20000&data=" +
         PercentEncode(data);
}
