#include "http/page_charset.h"

#include <mlang.h>

#include <climits>

#include "http/regex_matcher.h"
#include "text/ascii.h"
#include "text/text_slicing.h"
#include "runtime/codepage.h"
#include "runtime/dispatch.h"
#include "runtime/variant_bytes.h"

namespace {

const char kCharsetPattern[] = "<meta.+?charset=[^\\w]?([-\\w]+)";

// MinGW's mlang.h declares IID_IMultiLanguage2 but its uuid library does not define it.
const IID kIidMultiLanguage2 = {0xDCCFC164, 0x2B38, 0x11D2, {0xB7, 0xEC, 0x00, 0xC0, 0x4F, 0x8F, 0x5D, 0x9A}};

// Decoded text, ending at its first zero character as every page text does.
std::string PageText(std::wstring_view wide) {
  if (!wide.empty() && wide.front() == 0xFEFF) wide.remove_prefix(1);  // byte-order mark
  return WideToGbkComposed(wide.substr(0, wide.find(L'\0')));
}

// The code page of a charset name: the system's charset registry first, then common names.
UINT CodePageOfCharset(const std::string& charset) {
  ComPtr<IMultiLanguage2> mlang;
  if (SUCCEEDED(CoCreateInstance(CLSID_CMultiLanguage, nullptr, CLSCTX_INPROC_SERVER,
                                 kIidMultiLanguage2, reinterpret_cast<void**>(mlang.put())))) {
    const std::wstring name = GbkToWide(charset);
    ScopedBstr bstr(name.c_str(), static_cast<UINT>(name.size()));
    MIMECSETINFO info{};
    if (SUCCEEDED(mlang->GetCharsetInfo(bstr.get(), &info))) {
      if (info.uiInternetEncoding && IsValidCodePage(info.uiInternetEncoding))
        return info.uiInternetEncoding;
      if (info.uiCodePage && IsValidCodePage(info.uiCodePage)) return info.uiCodePage;
    }
  }
  static const struct {
    const char* name;
    UINT codePage;
  } kCommon[] = {
      {"utf-8", 65001},        {"utf8", 65001},          {"gbk", 936},
      {"gb2312", 936},         {"gb18030", 54936},       {"big5", 950},
      {"shift_jis", 932},      {"euc-jp", 20932},        {"euc-kr", 949},
      {"iso-8859-1", 28591},   {"windows-1252", 1252},   {"us-ascii", 20127},
      {"windows-1251", 1251},  {"koi8-r", 20866},
  };
  const std::string lower = LowerAsciiCopy(charset);
  for (const auto& row : kCommon)
    if (lower == row.name && IsValidCodePage(row.codePage)) return row.codePage;
  return 0;
}

// Bytes of a code page decoded by the system's converter; nothing when it cannot read them.
std::optional<std::string> DecodeBytes(UINT codePage, std::string_view bytes) {
  if (!codePage || bytes.empty() || bytes.size() > INT_MAX) return std::nullopt;
  const int size = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(n, L'\0');
  if (MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), n) <= 0) return std::nullopt;
  return PageText(wide);
}

// The body decoded by the system's converter; nothing when no converter knows the charset.
std::optional<std::string> DecodeWithCodePage(const std::string& body, const std::string& charset) {
  return DecodeBytes(CodePageOfCharset(charset), body);
}

// The body decoded through a data-stream object. A call that fails is passed over, as a script
// would; the text is empty when the stream cannot be created, take the charset or read.
std::string DecodeWithStream(const std::string& body, const std::string& charset) {
  ComPtr<IDispatch> stream;
  if (FAILED(CreateAutomationObject(L"Adodb.Stream", &stream))) return {};
  PutAutomationProperty(stream.get(), L"Type", VariantFromInt(1));  // binary
  PutAutomationProperty(stream.get(), L"Mode", VariantFromInt(3));  // read/write
  CallAutomationMethod(stream.get(), L"Open");
  {
    ScopedVariant bytes;
    *bytes.get() = VariantFromBytes(body);
    CallAutomationMethod(stream.get(), L"Write", {*bytes.get()});
  }
  PutAutomationProperty(stream.get(), L"Position", VariantFromInt(0));
  PutAutomationProperty(stream.get(), L"Type", VariantFromInt(2));  // text
  {
    // A charset the stream refuses would leave it reading the bytes in its default Unicode:
    // garbage rather than the page, so the stream gives up instead.
    ScopedVariant name;
    *name.get() = VariantFromWide(GbkToWide(charset));
    if (FAILED(PutAutomationProperty(stream.get(), L"Charset", *name.get()))) {
      CallAutomationMethod(stream.get(), L"Close");
      return {};
    }
  }
  std::string text;
  ScopedVariant read;
  if (SUCCEEDED(CallAutomationMethod(stream.get(), L"ReadText", {}, read.get())) &&
      read.get()->vt == VT_BSTR && read.get()->bstrVal)
    text = PageText(std::wstring_view(read.get()->bstrVal, SysStringLen(read.get()->bstrVal)));
  CallAutomationMethod(stream.get(), L"Close");
  return text;
}

// Text handed over as it came: the bytes of today's sites are UTF-8, those of GBK pages and of
// pages in other single-byte sets are not.
DecodedPage AsReceived(std::string text) {
  const PageEncoding encoding = IsUtf8WithMultibyteCharacters(text) ? PageEncoding::Utf8 : PageEncoding::Gbk;
  return {std::move(text), encoding};
}

}  // namespace

std::optional<std::string> DeclaredCharset(RegexMatcher& matcher, std::string_view text) {
  if (!matcher.Search(kCharsetPattern, Mid(text, 1, 1024))) return std::nullopt;
  return matcher.SubMatchText(1, 1);
}

DecodedPage DecodePage(const std::string& body, const std::string& charset, std::string text) {
  if (charset.empty() || charset == "gbk" || charset == "gb2312") return AsReceived(std::move(text));
  std::string decoded = DecodeWithStream(body, charset);
  // Where the stream object cannot be driven (or cannot read the body) the system's own
  // converter decodes the page, so a good page never comes back empty.
  if (decoded.empty() && !body.empty()) {
    if (std::optional<std::string> converted = DecodeWithCodePage(body, charset)) return {std::move(*converted)};
    return AsReceived(std::move(text));
  }
  return {std::move(decoded)};
}

std::string Utf8PageText(std::string_view utf8) { return DecodeBytes(CP_UTF8, utf8).value_or(std::string()); }
