#pragma once
#include <string>
#include <string_view>

// Texts are GBK (code page 936) bytes inside the program. These convert them where they meet
// Windows, always naming the code page, so the program behaves alike under any system locale.
std::wstring GbkToWide(std::string_view gbk);
std::string WideToGbk(std::wstring_view wide);
