#pragma once
#include <string>
#include <string_view>

// Texts are GBK (code page 936) bytes inside the program. These convert them where they meet
// Windows, always naming the code page, so the program behaves alike under any system locale.
std::wstring GbkToWide(std::string_view gbk);
std::string WideToGbk(std::wstring_view wide);
// The same, with a letter and the combining marks after it first joined into one character where
// Unicode has one: for text that came from elsewhere (a web page), which may be decomposed.
std::string WideToGbkComposed(std::wstring_view wide);
