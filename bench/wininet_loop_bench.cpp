// The least a WinInet client can do to fetch the saver's pictures: for every picture a new root,
// connection and request, the body read in 64 KB pieces and kept in memory. It runs twice: with the
// request flags the program opens every request with (INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE,
// so WinInet also writes each body into its cache), the saver's yardstick; and without a cache
// copy (INTERNET_FLAG_NO_CACHE_WRITE), the floor of WinInet itself.
//   bench_wininet_loop.exe <server base URL, http://127.0.0.1:port> <count>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <wininet.h>

#include "http/internet_handles.h"

namespace {

constexpr DWORD kReadChunk = 64 * 1024;

double NowSeconds() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The body's length, or -1 when any step failed.
long long Fetch(const std::wstring& host, INTERNET_PORT port, const std::wstring& path, DWORD flags,
                std::vector<char>& body) {
  InternetHandle root(InternetOpenW(L"bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!root) return -1;
  InternetHandle connection(InternetConnectW(root.get(), host.c_str(), port, nullptr, nullptr,
                                             INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return -1;
  InternetHandle request(HttpOpenRequestW(connection.get(), L"GET", path.c_str(), nullptr, nullptr, nullptr, flags, 0));
  if (!request || !HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return -1;
  body.clear();
  char chunk[kReadChunk];
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(request.get(), chunk, kReadChunk, &got)) return -1;
    if (got == 0) break;
    body.insert(body.end(), chunk, chunk + got);
  }
  return static_cast<long long>(body.size());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_wininet_loop <http://127.0.0.1:port> <count>\n");
    return 2;
  }
  const std::wstring base = argv[1];
  const int count = _wtoi(argv[2]);
  const std::wstring prefix = L"http://";
  if (base.compare(0, prefix.size(), prefix) != 0) return 2;
  const std::wstring authority = base.substr(prefix.size());
  const size_t colon = authority.find(L':');
  const std::wstring host = authority.substr(0, colon);
  const auto port = static_cast<INTERNET_PORT>(colon == std::wstring::npos ? 80 : _wtoi(authority.c_str() + colon + 1));

  const struct {
    const char* name;
    const char* tag;
    const wchar_t* run;  // addresses of its own, as the saver benchmark's runs have
    DWORD flags;
  } runs[] = {
      {"minimal WinInet loop", "RESULT", L"loop", INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE},
      {"minimal WinInet loop without a cache copy", "RESULT_NO_CACHE", L"nocache",
       INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE},
  };
  int failed = 0;
  for (const auto& run : runs) {
    std::vector<char> body;
    int runFailed = 0;
    long long bytes = 0;
    const double start = NowSeconds();
    for (int i = 1; i <= count; ++i) {
      const long long got = Fetch(host, port, L"/pic/" + std::to_wstring(i) + L".jpg?run=" + run.run, run.flags,
                                   body);
      if (got < 0) ++runFailed;
      else bytes += got;
    }
    const double seconds = NowSeconds() - start;
    std::printf("%s: %d pictures (%lld bytes) in %.3f s (%d failed)\n", run.name, count, bytes, seconds, runFailed);
    std::printf("%s %.6f %d\n", run.tag, seconds, runFailed);
    failed += runFailed;
  }
  return failed == 0 ? 0 : 1;
}
