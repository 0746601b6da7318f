#include "batch/batch_file.h"

#include "extract/cookie_scope.h"
#include "extract/link_platform.h"
#include "text/page_encoding.h"
#include "text/text_items.h"
#include "text/url.h"

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsBlankByte(char c) { return c == ' ' || c == '\t'; }

// The platform whose button's name begins the line, followed by a blank or a tab; the line is left
// with what follows.
std::optional<Platform> TakeButtonName(std::string_view& line) {
  for (const PlatformRow& row : PlatformRows()) {
    const std::string_view name = row.buttonName;
    if (line.size() > name.size() && line.starts_with(name) && IsBlankByte(line[name.size()])) {
      line.remove_prefix(name.size() + 1);
      return row.platform;
    }
  }
  return std::nullopt;
}

// An http or https address with a host, or, written without a scheme, a host name with a dot in
// it ("item.jd.com/1.html"); nothing with a blank inside.
bool LooksLikeLink(std::string_view text) {
  if (text.empty() || text.find_first_of(" \t\r\n") != std::string_view::npos) return false;
  if (HasSchemePrefix(text)) return !HostOfUrl(text).empty();
  return HostOfUrl(LinkWithScheme(text)).find('.') != std::string::npos;
}

BatchLink ReadLinkLine(int number, std::string_view line) {
  BatchLink entry;
  entry.line = number;
  std::optional<Platform> chosen = TakeButtonName(line);
  entry.link = TrimBlanks(line);
  if (!LooksLikeLink(entry.link)) {
    entry.problem = "这一行不是链接";
    return entry;
  }
  if (!chosen) {
    if (const std::optional<LinkOwner> owner = LinkOwnerOf(entry.link)) chosen = owner->platform;
  }
  if (!chosen) {
    entry.problem = "看不出是哪个平台的链接，请在行首写上按钮名（如：淘宝数据 链接）";
    return entry;
  }
  entry.platform = chosen;
  return entry;
}

}  // namespace

std::string TextFileAsGbk(std::string_view bytes, const Utf8ToGbkText& toGbk) {
  const bool marked = bytes.starts_with(kUtf8Mark);
  if (marked) bytes.remove_prefix(kUtf8Mark.size());
  if ((marked || IsUtf8WithMultibyteCharacters(bytes)) && toGbk) return toGbk(bytes);
  return std::string(bytes);
}

std::vector<std::string_view> TextLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
  }
  return lines;
}

BatchFile ReadBatchText(std::string_view bytes, const Utf8ToGbkText& toGbk) {
  BatchFile file;
  // UTF-16 would read as lines full of zero bytes, each reported as no link.
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    file.problem = "批量文件是UTF-16编码，请另存为UTF-8或ANSI编码";
    return file;
  }
  const std::string text = TextFileAsGbk(bytes, toGbk);
  int number = 0;
  for (std::string_view raw : TextLines(text)) {
    ++number;
    const std::string line = TrimBlanks(raw);
    if (line.empty() || line[0] == '#') continue;
    file.links.push_back(ReadLinkLine(number, line));
  }
  return file;
}
