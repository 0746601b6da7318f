#pragma once
// The extractors' fixture pages, served by a loopback server to the real window's buttons.

#include <windows.h>

#include <map>
#include <string>

#include "runtime/codepage.h"
#include "tests/support/loopback_server.h"

// A fixture's UTF-8 text as the window shows it: GBK.
inline std::string Utf8ToGbk(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return WideToGbk(wide);
}

// A fixture page (UTF-8 in the repository) with "{{NAME}}" placeholders filled in.
inline std::string Fixture(const std::string& name, const std::map<std::string, std::string>& replacements = {}) {
  std::string text = ReadUnixFile(SourceDir() + "/extract/tests/fixtures/" + name);
  for (const auto& [key, value] : replacements) {
    const std::string placeholder = "{{" + key + "}}";
    for (size_t at; (at = text.find(placeholder)) != std::string::npos;) text.replace(at, placeholder.size(), value);
  }
  return text;
}

// Served in GBK, as the page declares: the engine hands it over unchanged.
inline ServerResponse GbkPage(const std::string& utf8) {
  ServerResponse r;
  r.headers = {{"Content-Type", "text/html"}};
  r.body = utf8;
  r.convertFrom = "utf-8";
  r.convertTo = "gbk";
  return r;
}
