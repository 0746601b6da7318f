#include "http/regex_matcher.h"

#include "text/text_slicing.h"
#include "runtime/codepage.h"
#include "runtime/dispatch.h"

namespace {

std::string ReplaceQuotePlaceholders(std::string_view pattern) {
  static constexpr std::string_view kPlaceholder = "#引号";
  std::string out;
  int from = 1;
  for (;;) {
    const int p = Find(pattern, kPlaceholder, from);
    if (p < 1) break;
    out.append(pattern.substr(from - 1, p - from)).push_back('"');
    from = p + static_cast<int>(kPlaceholder.size());
  }
  if (static_cast<size_t>(from - 1) < pattern.size()) out.append(pattern.substr(from - 1));
  return out;
}

ComPtr<IDispatch> DispatchProperty(IDispatch* object, const wchar_t* name,
                                   const std::vector<VARIANT>& args = {}) {
  ScopedVariant v;
  if (FAILED(GetAutomationProperty(object, name, v.get(), args))) return {};
  if (v.get()->vt != VT_DISPATCH || !v.get()->pdispVal) return {};
  return ComPtr<IDispatch>(v.get()->pdispVal, /*addRef=*/true);
}

std::string TextProperty(IDispatch* object, const wchar_t* name) {
  ScopedVariant v;
  if (FAILED(GetAutomationProperty(object, name, v.get()))) return {};
  return WideToGbk(VariantToWide(*v.get()));
}

int IntProperty(IDispatch* object, const wchar_t* name) {
  ScopedVariant v;
  if (FAILED(GetAutomationProperty(object, name, v.get()))) return 0;
  return static_cast<int>(VariantToDouble(*v.get()));
}

// Item `index` (0-based) of an automation collection; a negative index is never asked for.
ComPtr<IDispatch> CollectionItem(IDispatch* collection, int index) {
  if (index < 0) return {};
  return DispatchProperty(collection, L"Item", {VariantFromInt(index)});
}

}  // namespace

RegexMatcher::RegexMatcher() {
  subject_.get()->vt = VT_I4;
  subject_.get()->lVal = 0;
}

RegexMatcher::~RegexMatcher() = default;

RegexMatcher::RegexMatcher(const RegexMatcher& other)
    : regex_(other.regex_), matches_(other.matches_) {
  VariantCopy(subject_.get(), const_cast<VARIANT*>(other.subject_.get()));
}

RegexMatcher& RegexMatcher::operator=(const RegexMatcher& other) {
  if (this == &other) return *this;
  regex_ = other.regex_;
  matches_ = other.matches_;
  VariantCopy(subject_.Reset(), const_cast<VARIANT*>(other.subject_.get()));
  return *this;
}

bool RegexMatcher::Search(std::string_view pattern, std::string_view subject,
                          const RegexOptions& options) {
  regex_.reset();
  matches_.reset();
  // A failed creation leaves regex_ empty; every call below then fails quietly.
  CreateAutomationObject(L"VBScript.RegExp", &regex_);
  PutAutomationProperty(regex_.get(), L"IgnoreCase", VariantFromBool(!options.caseSensitive));
  PutAutomationProperty(regex_.get(), L"Multiline", VariantFromBool(options.multiline));
  PutAutomationProperty(regex_.get(), L"Global", VariantFromBool(options.global));
  {
    const std::string text =
        options.quotePlaceholder ? ReplaceQuotePlaceholders(pattern) : std::string(pattern);
    ScopedVariant value;
    *value.get() = VariantFromWide(GbkToWide(text));
    PutAutomationProperty(regex_.get(), L"Pattern", *value.get());
  }
  *subject_.Reset() = VariantFromWide(GbkToWide(subject));

  ScopedVariant result;
  // The argument vector borrows the subject's string; subject_ keeps owning it.
  if (SUCCEEDED(CallAutomationMethod(regex_.get(), L"Execute", {*subject_.get()}, result.get())) &&
      result.get()->vt == VT_DISPATCH && result.get()->pdispVal)
    matches_ = ComPtr<IDispatch>(result.get()->pdispVal, /*addRef=*/true);
  return static_cast<bool>(matches_);
}

std::string RegexMatcher::GetPattern() const {
  if (!regex_) return {};
  return TextProperty(regex_.get(), L"Pattern");
}

std::string RegexMatcher::Replace(std::string_view replacement) const {
  if (!regex_) return {};
  std::vector<VARIANT> args = {*subject_.get(), VariantFromWide(GbkToWide(replacement))};
  ScopedVariant result;
  const HRESULT hr = CallAutomationMethod(regex_.get(), L"Replace", args, result.get());
  VariantClear(&args[1]);  // only the replacement is ours; the subject stays with subject_
  if (FAILED(hr)) return {};
  return WideToGbk(VariantToWide(*result.get()));
}

int RegexMatcher::MatchCount() const { return matches_ ? IntProperty(matches_.get(), L"Count") : 0; }

ComPtr<IDispatch> RegexMatcher::Match(int match) const {
  if (!matches_) return {};
  return CollectionItem(matches_.get(), match - 1);
}

// The object reports a match's start in UTF-16 units; the caller wants GBK bytes, so the subject's
// prefix up to that start is measured in GBK.
int RegexMatcher::MatchByteOffset(IDispatch* match) const {
  if (subject_.get()->vt != VT_BSTR || !subject_.get()->bstrVal) return -1;
  const std::wstring_view subject(subject_.get()->bstrVal, SysStringLen(subject_.get()->bstrVal));
  const int firstIndex = IntProperty(match, L"FirstIndex");
  if (firstIndex < 0 || static_cast<size_t>(firstIndex) > subject.size()) return -1;
  return static_cast<int>(WideToGbk(subject.substr(0, firstIndex)).size());
}

std::string RegexMatcher::MatchText(int match, int* position) const {
  if (position) *position = -1;
  const ComPtr<IDispatch> m = Match(match);
  if (!m) return {};
  std::string text = TextProperty(m.get(), L"Value");
  if (position) *position = MatchByteOffset(m.get());
  return text;
}

std::string RegexMatcher::SubMatchText(int match, int subMatch, int* position) const {
  if (position) *position = -1;
  const ComPtr<IDispatch> m = Match(match);
  if (!m) return {};
  const ComPtr<IDispatch> subMatches = DispatchProperty(m.get(), L"SubMatches");
  if (!subMatches || subMatch < 1) return {};
  ScopedVariant item;
  if (FAILED(GetAutomationProperty(subMatches.get(), L"Item", item.get(),
                                   {VariantFromInt(subMatch - 1)})))
    return {};
  std::string text = WideToGbk(VariantToWide(*item.get()));
  if (position && !text.empty()) {
    // A sub-match has no start of its own: it is the first occurrence of its text in the match.
    const int matchOffset = MatchByteOffset(m.get());
    if (matchOffset >= 0) {
      const std::wstring_view subject(subject_.get()->bstrVal, SysStringLen(subject_.get()->bstrVal));
      const int found = Find(WideToGbk(subject), text, matchOffset + 1);
      *position = found < 1 ? -1 : found - 1;
    }
  }
  return text;
}

int RegexMatcher::SubMatchCount() const {
  const ComPtr<IDispatch> m = Match(1);
  if (!m) return 0;
  const ComPtr<IDispatch> subMatches = DispatchProperty(m.get(), L"SubMatches");
  return subMatches ? IntProperty(subMatches.get(), L"Count") : 0;
}
