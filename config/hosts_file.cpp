#include "config/hosts_file.h"

#include "text/ascii.h"
#include "text/url.h"

namespace {

// A mirror receives the requests that carry the cookie box, so it may only be this machine.
enum class ValueKind { Host, Page, LocalMirror };

struct HostField {
  const char* name;
  ValueKind kind;
  std::string ProgramHosts::*field = nullptr;
  std::string EndpointHosts::*endpoint = nullptr;
};

const HostField kFields[] = {
    {"TaobaoDescHost", ValueKind::Host, nullptr, &EndpointHosts::TaobaoDescHost},
    {"TaobaoDescLinkHost", ValueKind::Host, nullptr, &EndpointHosts::TaobaoDescLinkHost},
    {"TaobaoVideoHost", ValueKind::Host, nullptr, &EndpointHosts::TaobaoVideoHost},
    {"TmallTitleDomain", ValueKind::Host, nullptr, &EndpointHosts::TmallTitleDomain},
    {"JdImageHost", ValueKind::Host, nullptr, &EndpointHosts::JdImageHost},
    {"JdMobileItemHost", ValueKind::Host, nullptr, &EndpointHosts::JdMobileItemHost},
    {"TaobaoDescApiHost", ValueKind::Host, nullptr, &EndpointHosts::TaobaoDescApiHost},
    {"JdMobileImageHost", ValueKind::Host, nullptr, &EndpointHosts::JdMobileImageHost},
    {"PlatformMirror", ValueKind::LocalMirror, nullptr, &EndpointHosts::PlatformMirror},
    {"TimeProbeHost", ValueKind::Host, &ProgramHosts::timeProbeHost},
    {"TaobaoLoginPage", ValueKind::Page, &ProgramHosts::taobaoLoginPage},
    {"AlibabaLoginPage", ValueKind::Page, &ProgramHosts::alibabaLoginPage},
};

// A host name with an optional port: the extractors and the clock put it between "//" and "/", so
// it must read as exactly that authority and nothing more.
bool IsHostValue(std::string_view value) {
  if (value.empty()) return false;
  const std::optional<UrlParts> parts = ParseUrl("http://" + std::string(value) + "/");
  return parts && parts->userInfo.empty() && parts->path == "/" && !parts->query && !parts->fragment;
}

bool IsLocalMirrorValue(std::string_view value) {
  return IsHostValue(value) && ParseUrl("http://" + std::string(value) + "/")->host == "localhost";
}

bool IsPageValue(std::string_view value) {
  const std::optional<UrlParts> parts = ParseUrl(value);
  return parts && parts->IsHttp();
}

// What the message says of a value its name cannot take, or nullptr when it can.
const char* WhyValueWrong(ValueKind kind, std::string_view value) {
  switch (kind) {
    case ValueKind::Host: return IsHostValue(value) ? nullptr : " 的值不是主机名：";
    case ValueKind::Page: return IsPageValue(value) ? nullptr : " 的值不是 http(s) 网址：";
    case ValueKind::LocalMirror: return IsLocalMirrorValue(value) ? nullptr : " 的值不是本机的 localhost：";
  }
  return nullptr;
}

const HostField* FieldNamed(std::string_view name) {
  for (const HostField& f : kFields)
    if (EqualsIgnoringAsciiCase(f.name, name)) return &f;
  return nullptr;
}

std::string& Slot(ProgramHosts& hosts, const HostField& f) {
  return f.field ? hosts.*f.field : hosts.endpoints.*f.endpoint;
}

// Names in reasons are shown as the file gave them, cut short so one bad line cannot flood the
// message.
std::string Shown(std::string_view text) {
  constexpr size_t kMaxShown = 60;
  if (text.size() <= kMaxShown) return std::string(text);
  size_t cut = 0;
  // Whole GBK characters only.
  while (cut < kMaxShown) cut += static_cast<unsigned char>(text[cut]) >= 0x81 && cut + 1 < text.size() ? 2 : 1;
  return std::string(text.substr(0, cut)) + "…";
}

}  // namespace

ProgramHosts ShippedProgramHosts() {
  return {ShippedEndpointHosts(), kTimeProbeHost, kTaobaoLoginPage, kAlibabaLoginPage};
}

std::string TimeProbeUrl(const std::string& host) { return "http://" + host + "/"; }

HostsFileReading ReadHostsText(std::string_view text, const ProgramHosts& base) {
  HostsFileReading reading{base, {}};
  // A byte-order mark left by an editor is not part of the first name.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<bool> given(std::size(kFields), false);
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    const std::string_view line = TrimAscii(raw);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      reading.problems.push_back({number, "不是“名称=值”的格式：" + Shown(line)});
      continue;
    }
    const std::string_view name = TrimAscii(line.substr(0, equals));
    const std::string_view value = TrimAscii(line.substr(equals + 1));
    const HostField* field = FieldNamed(name);
    if (!field) {
      reading.problems.push_back({number, "未知的名称：" + Shown(name)});
      continue;
    }
    if (const char* wrong = WhyValueWrong(field->kind, value)) {
      reading.problems.push_back({number, std::string(field->name) + wrong + Shown(value)});
      continue;
    }
    const size_t index = static_cast<size_t>(field - kFields);
    if (given[index])
      reading.problems.push_back({number, std::string(field->name) + " 重复出现，以这一行为准"});
    given[index] = true;
    Slot(reading.hosts, *field) = std::string(value);
  }
  return reading;
}

std::string DescribeHostsProblems(const std::vector<HostsFileProblem>& problems) {
  // A message box is no place for a whole file of mistakes.
  constexpr size_t kMaxListed = 20;
  std::string text;
  for (size_t i = 0; i < problems.size() && i < kMaxListed; ++i) {
    if (!text.empty()) text += "\r\n";
    text += "第" + std::to_string(problems[i].line) + "行：" + problems[i].reason;
  }
  if (problems.size() > kMaxListed) text += "\r\n……另有" + std::to_string(problems.size() - kMaxListed) + "处";
  return text;
}
