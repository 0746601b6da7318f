#pragma once
// A regular expression run through the system's "VBScript.RegExp" automation object.
//
// One Search compiles a pattern and runs it over a GBK subject, keeping the matches for the
// reading operations. Failures never surface: they read as a false Search, empty texts and zero
// counts. An instance belongs to the thread that made it (it initialises COM there).

#include <string>
#include <string_view>

#include "runtime/handles.h"

struct RegexOptions {
  bool caseSensitive = false;
  bool multiline = true;
  bool global = true;
  bool quotePlaceholder = false;  // "#引号" in the pattern stands for a double quote
};

class RegexMatcher {
 public:
  RegexMatcher();
  ~RegexMatcher();
  // A copy shares the automation objects and holds its own copy of the subject.
  RegexMatcher(const RegexMatcher& other);
  RegexMatcher& operator=(const RegexMatcher& other);

  // True when the pattern ran (even without a match).
  bool Search(std::string_view pattern, std::string_view subject, const RegexOptions& options = {});
  std::string GetPattern() const;
  // The stored subject with the matches replaced ("$1" and the like as the object defines them).
  std::string Replace(std::string_view replacement) const;
  int MatchCount() const;
  // Match and sub-match numbers count from 1. A requested position receives the 0-based byte
  // offset of the text in the subject (-1 when it cannot be told).
  std::string MatchText(int match, int* position = nullptr) const;
  std::string SubMatchText(int match, int subMatch, int* position = nullptr) const;
  // The sub-match count of the first match.
  int SubMatchCount() const;

 private:
  ComPtr<IDispatch> Match(int match) const;
  int MatchByteOffset(IDispatch* match) const;

  // Declared first so COM is torn down after everything below has been released.
  ScopedCoInitialize com_;
  ComPtr<IDispatch> regex_;
  ComPtr<IDispatch> matches_;
  ScopedVariant subject_;
};
