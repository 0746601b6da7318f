#include "save/media_body.h"

#include <string>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string LowerMediaType(std::string_view contentType) {
  contentType = contentType.substr(0, contentType.find(';'));
  while (!contentType.empty() && IsBlank(contentType.front())) contentType.remove_prefix(1);
  while (!contentType.empty() && IsBlank(contentType.back())) contentType.remove_suffix(1);
  std::string type(contentType);
  for (char& c : type)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return type;
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
  size_t first = 0;
  while (first < body.size() && IsBlank(body[first])) ++first;
  if (first == body.size()) return false;
  const char c = body[first];
  return c != '<' && c != '{' && c != '[';
}
