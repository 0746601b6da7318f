#include "save/media_body.h"

#include <string>

#include "text/ascii.h"

namespace {

std::string LowerMediaType(std::string_view contentType) {
  return LowerAsciiCopy(TrimAscii(contentType.substr(0, contentType.find(';'))));
}

}  // namespace

bool IsTextContentType(std::string_view contentType) {
  const std::string type = LowerMediaType(contentType);
  if (type.starts_with("text/")) return true;
  constexpr std::string_view kApplication = "application/";
  if (!type.starts_with(kApplication)) return false;
  const std::string_view subtype = std::string_view(type).substr(kApplication.size());
  for (std::string_view text : {"json", "xml", "javascript", "x-javascript", "ecmascript", "x-json"})
    if (subtype == text) return true;
  return subtype.ends_with("+json") || subtype.ends_with("+xml");
}

bool CanBeMedia(std::string_view contentType, std::string_view body) {
  if (IsTextContentType(contentType)) return false;
  // A byte-order mark may stand before a page's markup.
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  const std::string_view start = TrimAscii(body);
  return !start.empty() && start[0] != '<' && start[0] != '{' && start[0] != '[';
}
