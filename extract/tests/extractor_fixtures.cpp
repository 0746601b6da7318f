#include "extract/tests/extractor_fixtures.h"

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

std::string TestSourceDir() {
  const char* dir = std::getenv("PT_SOURCE_DIR");
  return dir ? dir : "";
}

namespace {

std::string SharedPagesDir() {
  if (const char* named = std::getenv("PT_SHARED_PAGES"); named && *named) return named;
  const std::string source = TestSourceDir();
  const size_t slash = source.find_last_of('/');
  return slash == std::string::npos ? std::string("../shared") : source.substr(0, slash) + "/shared";
}

std::string SavedPagesDir(const std::string& era) {
  const std::string dir = SharedPagesDir() + "/" + era;
  return TestFileExists(dir + "/SOURCES.md") ? dir : std::string();
}

}  // namespace

std::string RealPagesDir() { return SavedPagesDir("real-pages"); }
std::string CurrentPagesDir() { return SavedPagesDir("current-pages"); }

void MissingSavedPages(const std::string& era) {
  const std::string where = SharedPagesDir() + "/" + era + "/SOURCES.md";
  const char* skip = std::getenv("PT_SKIP_SHARED_PAGES");
  if (skip && std::string(skip) == "1") GTEST_SKIP() << "no saved pages at " << where << " (PT_SKIP_SHARED_PAGES=1)";
  FAIL() << "The saved pages are missing: no " << where
         << ". Put the shared folder beside the checkout, name it with PT_SHARED_PAGES=<folder>, or set "
            "PT_SKIP_SHARED_PAGES=1 to run without these tests.";
}

namespace {
// Under Wine the Linux root is drive Z:.
std::string HostPath(const std::string& unixPath) {
#ifdef _WIN32
  std::string path = "Z:" + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
#else
  return unixPath;
#endif
}
}  // namespace

std::string ReadTestFile(const std::string& unixPath) {
  std::FILE* f = std::fopen(HostPath(unixPath).c_str(), "rb");
  if (!f) return {};
  std::string out;
  char buf[65536];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, got);
  std::fclose(f);
  return out;
}

bool TestFileExists(const std::string& unixPath) {
  std::FILE* f = std::fopen(HostPath(unixPath).c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

std::string Utf8ToGbk(std::string_view utf8) {
  if (utf8.empty()) return {};
#ifdef _WIN32
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  int m = WideCharToMultiByte(936, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(936, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
  return out;
#else
  iconv_t cd = iconv_open("GBK", "UTF-8");
  std::string out;
  char buf[4096];
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  while (inLeft > 0) {
    char* outPtr = buf;
    size_t outLeft = sizeof buf;
    size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buf, static_cast<size_t>(outPtr - buf));
    if (r == static_cast<size_t>(-1) && outLeft == sizeof buf) {
      // Not representable (or broken): one "?" for the whole UTF-8 sequence.
      out += '?';
      size_t skip = 1;
      while (skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
      in += skip;
      inLeft -= skip;
    }
  }
  iconv_close(cd);
  return out;
#endif
}

std::string FixtureGbk(const std::string& name, const std::map<std::string, std::string>& replacements) {
  std::string text = ReadTestFile(TestSourceDir() + "/extract/tests/fixtures/" + name);
  for (const auto& [key, value] : replacements) {
    const std::string placeholder = "{{" + key + "}}";
    for (size_t at; (at = text.find(placeholder)) != std::string::npos;) text.replace(at, placeholder.size(), value);
  }
  return Utf8ToGbk(text);
}

void RecordingSink::DeliveryStarts() { calls.push_back("DeliveryStarts"); }
void RecordingSink::DeliveryEnds() { calls.push_back("DeliveryEnds"); }
void RecordingSink::AppendText(const std::string& t) {
  calls.push_back("AppendText");
  text += t;
}
void RecordingSink::SetDescriptionUrl(const std::string& url) {
  calls.push_back("SetDescriptionUrl");
  descriptionUrl = url;
}
void RecordingSink::SetDescriptionPage(const std::string& page) {
  calls.push_back("SetDescriptionPage");
  descriptionPage = page;
}
void RecordingSink::PublishPictures(const TextList& urls, const std::string& kindLabel) {
  calls.push_back("PublishPictures " + kindLabel + " " + std::to_string(urls.size()));
  int counter = 0;
  for (const std::string& url : urls)
    rows.push_back({std::to_string(rows.size() + 1), url, kindLabel + std::to_string(++counter)});
}
void RecordingSink::SetItemId(const std::string& id) {
  calls.push_back("SetItemId");
  itemId = id;
  videoName.clear();
}
void RecordingSink::SetVideoUrl(const std::string& url) {
  calls.push_back("SetVideoUrl");
  videoUrl = url;
}
void RecordingSink::SetVideoName(const std::string& name) {
  calls.push_back("SetVideoName");
  videoName = name;
}
void RecordingSink::Clear() {
  rows.clear();
  text.clear();
  descriptionUrl.clear();
  descriptionPage.clear();
  itemId.clear();
  videoUrl.clear();
  videoName.clear();
}

PageFetch ScriptedFetch::Function() {
  return [this](const std::string& url, const std::optional<std::string>& cookies) {
    requests.push_back({url, cookies});
    if (auto answer = answers.find(url); answer != answers.end()) return answer->second;
    auto it = pages.find(url);
    return it == pages.end() ? FetchedPage() : FetchedPage(it->second);
  };
}

CookieReader CookieBox::Reader() {
  return [this] { return "cookie-" + std::to_string(++reads); };
}
