#include "tests/support/loopback_server.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string ResponseJson(const ServerResponse& r) {
  std::ostringstream o;
  o << "{\"status\":" << r.status << ",\"reason\":" << JsonString(r.reason) << ",\"headers\":[";
  for (size_t i = 0; i < r.headers.size(); ++i)
    o << (i ? "," : "") << "[" << JsonString(r.headers[i].first) << ","
      << JsonString(r.headers[i].second) << "]";
  o << "],\"body_b64\":" << JsonString(Base64ForTests(r.body));
  if (!r.bodyFile.empty()) o << ",\"body_file\":" << JsonString(r.bodyFile);
  if (!r.convertFrom.empty())
    o << ",\"convert\":[" << JsonString(r.convertFrom) << "," << JsonString(r.convertTo) << "]";
  if (r.bodySize) o << ",\"body_size\":" << r.bodySize;
  o << ",\"mode\":" << JsonString(r.mode) << ",\"delay_ms\":" << r.delayMs
    << ",\"content_length\":" << (r.contentLength ? "true" : "false") << ",\"chunk_size\":" << r.chunkSize
    << ",\"interval_ms\":" << r.intervalMs << ",\"date_header\":" << (r.dateHeader ? "true" : "false") << "}";
  return o.str();
}

std::string Getenv(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

bool WriteUnixFile(const std::string& unixPath, const std::string& bytes) {
  HANDLE f = CreateFileW(WinePathOf(unixPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == bytes.size();
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

std::wstring WinePathOf(const std::string& unixPath) {
  std::wstring out = L"Z:";
  for (char c : unixPath) out += (c == '/') ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

std::string GeneratedBody(size_t size) {
  static const char kPattern[] = "0123456789";
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i) body[i] = kPattern[i % 10];
  return body;
}

std::string SourceDir() { return Getenv("PT_SOURCE_DIR"); }
std::string BinaryDir() { return Getenv("PT_BINARY_DIR"); }
std::string SharedDir() {
  std::string s = SourceDir();
  size_t slash = s.find_last_of('/');
  return slash == std::string::npos ? std::string() : s.substr(0, slash) + "/shared";
}

bool UnixFileExists(const std::string& unixPath) {
  return GetFileAttributesW(WinePathOf(unixPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadUnixFile(const std::string& unixPath) {
  HANDLE f = CreateFileW(WinePathOf(unixPath).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  std::string out;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  CloseHandle(f);
  return out;
}

std::string Base64ForTests(const std::string& bytes) {
  static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 | (unsigned char)bytes[i + 2];
    out += k[v >> 18];
    out += k[(v >> 12) & 63];
    out += k[(v >> 6) & 63];
    out += k[v & 63];
  }
  if (i + 1 == bytes.size()) {
    unsigned v = (unsigned char)bytes[i] << 16;
    out += k[v >> 18];
    out += k[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == bytes.size()) {
    unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8;
    out += k[v >> 18];
    out += k[(v >> 12) & 63];
    out += k[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

std::string UnBase64ForTests(const std::string& text) {
  std::string out;
  unsigned v = 0;
  int bits = 0;
  for (char c : text) {
    int d;
    if (c >= 'A' && c <= 'Z') d = c - 'A';
    else if (c >= 'a' && c <= 'z') d = c - 'a' + 26;
    else if (c >= '0' && c <= '9') d = c - '0' + 52;
    else if (c == '+') d = 62;
    else if (c == '/') d = 63;
    else continue;
    v = (v << 6) | d;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((v >> bits) & 0xff);
    }
  }
  return out;
}

std::string RecordedRequest::Method() const { return raw.substr(0, raw.find(' ')); }

std::string RecordedRequest::Target() const {
  size_t a = raw.find(' ');
  if (a == std::string::npos) return {};
  size_t b = raw.find(' ', a + 1);
  return raw.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
}

std::string RecordedRequest::Headers() const {
  size_t a = raw.find("\r\n");
  size_t b = raw.find("\r\n\r\n");
  if (a == std::string::npos || b == std::string::npos || b < a) return {};
  return raw.substr(a + 2, b - a - 2);
}

std::string RecordedRequest::Body() const {
  size_t b = raw.find("\r\n\r\n");
  return b == std::string::npos ? std::string() : raw.substr(b + 4);
}

std::string RecordedRequest::Header(const std::string& name) const {
  std::string block = Headers() + "\r\n";
  std::string want = Lower(name);
  size_t pos = 0;
  while (pos < block.size()) {
    size_t end = block.find("\r\n", pos);
    std::string line = block.substr(pos, end - pos);
    size_t colon = line.find(':');
    if (colon != std::string::npos && Lower(line.substr(0, colon)) == want) {
      size_t v = colon + 1;
      while (v < line.size() && line[v] == ' ') ++v;
      return line.substr(v);
    }
    pos = end + 2;
  }
  return {};
}

bool RecordedRequest::HasHeader(const std::string& name) const {
  std::string block = "\r\n" + Lower(Headers());
  return block.find("\r\n" + Lower(name) + ":") != std::string::npos;
}

LoopbackServer::~LoopbackServer() { Stop(); }

void LoopbackServer::Route(const std::string& path, const ServerResponse& response) {
  if (!routesJson_.empty()) routesJson_ += ",";
  routesJson_ += JsonString(path) + ":" + ResponseJson(response);
}

void LoopbackServer::RouteSequence(const std::string& path, const std::vector<ServerResponse>& responses) {
  if (!routesJson_.empty()) routesJson_ += ",";
  routesJson_ += JsonString(path) + ":{\"sequence\":[";
  for (size_t i = 0; i < responses.size(); ++i) routesJson_ += (i ? "," : "") + ResponseJson(responses[i]);
  routesJson_ += "]}";
}

void LoopbackServer::Default(const ServerResponse& response) { defaultJson_ = ResponseJson(response); }

void LoopbackServer::UseCertificate(const std::string& certificate, const std::string& key) {
  certificateArgs_ = " --cert " + certificate + " --key " + key;
}

bool LoopbackServer::Start() {
  static std::atomic<int> counter{0};
  char dir[128];
  std::snprintf(dir, sizeof dir, "/tmp/pt-loopback-%lu-%d-%lu", GetCurrentProcessId(), counter++,
                GetTickCount());
  dirUnix_ = dir;
  CreateDirectoryW(WinePathOf("/tmp").c_str(), nullptr);
  CreateDirectoryW(WinePathOf(dirUnix_).c_str(), nullptr);
  std::string config = "{\"routes\":{" + routesJson_ + "}";
  if (!defaultJson_.empty()) config += ",\"default\":" + defaultJson_;
  config += "}";
  if (!WriteUnixFile(dirUnix_ + "/routes.json", config)) return false;

  std::string script = SourceDir() + "/tests/support/loopback_server.py";
  std::string cmd = "/usr/bin/python3 " + script + " --routes " + dirUnix_ + "/routes.json --ready " +
                    dirUnix_ + "/ready --log " + dirUnix_ + "/requests.log --stop-file " + dirUnix_ +
                    "/stop --lifetime 900 --tag " +
                    (Getenv("PT_RUN_TAG").empty() ? std::string("none") : Getenv("PT_RUN_TAG")) + certificateArgs_;
  if (!StartUnixProgram(cmd)) return false;
  running_ = true;
  for (int waited = 0; waited < 30000; waited += 20) {
    std::string ready = ReadUnixFile(dirUnix_ + "/ready");
    int ipv6 = 0;
    if (std::sscanf(ready.c_str(), "%d %d %d", &port_, &tlsPort_, &ipv6) == 3) {
      ipv6_ = ipv6 == 1;
      return true;
    }
    Sleep(20);
  }
  return false;
}

void LoopbackServer::Stop() {
  if (!running_) return;
  WriteUnixFile(dirUnix_ + "/stop", "stop");
  running_ = false;
}

std::string LoopbackServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
std::string LoopbackServer::TlsHostPort() const { return "127.0.0.1:" + std::to_string(tlsPort_); }
std::string LoopbackServer::Url(const std::string& path) const { return "http://" + HostPort() + path; }
std::string LoopbackServer::Ipv6Url(const std::string& path) const {
  return "http://[::1]:" + std::to_string(port_) + path;
}
std::string LoopbackServer::TlsUrl(const std::string& path) const {
  return "https://" + TlsHostPort() + path;
}

std::vector<RecordedRequest> LoopbackServer::Requests() const {
  std::vector<RecordedRequest> out;
  std::string text = ReadUnixFile(dirUnix_ + "/requests.log");
  // A last line without its line end is a record still being written: it is left for next time.
  text.resize(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
  std::istringstream log(text);
  std::string line;
  while (std::getline(log, line)) {
    RecordedRequest r;
    size_t p = line.find("\"port\": ");
    if (p != std::string::npos) r.port = std::atoi(line.c_str() + p + 8);
    size_t a = line.find("\"raw\": \"");
    if (a == std::string::npos) continue;
    size_t b = line.find('"', a + 8);
    r.raw = UnBase64ForTests(line.substr(a + 8, b - a - 8));
    out.push_back(std::move(r));
  }
  return out;
}

RecordedRequest LoopbackServer::LastRequestFor(const std::string& target, int timeoutMs) const {
  for (int waited = 0;; waited += 20) {
    const std::vector<RecordedRequest> all = Requests();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
      if (it->Target() == target || it->Target().ends_with(target)) return *it;
    if (waited >= timeoutMs) return {};
    Sleep(20);
  }
}

std::vector<RecordedRequest> LoopbackServer::WaitForRequests(size_t count, int timeoutMs) const {
  std::vector<RecordedRequest> got = Requests();
  for (int waited = 0; got.size() < count && waited < timeoutMs; waited += 20) {
    Sleep(20);
    got = Requests();
  }
  return got;
}

int UnusedLoopbackPort() {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    int len = sizeof addr;
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
  }
  closesocket(s);
  return port;
}

bool StartUnixProgram(const std::string& commandLine) {
  std::wstring wide(commandLine.begin(), commandLine.end());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  // Wine starts a Linux program given by its Linux path; it returns no process handle for it.
  if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  // For a Linux program Wine fills PROCESS_INFORMATION with stale values that may name handles
  // of ours (a socket, the standard output): close only handles that really are this process
  // and its thread.
  if (pi.hProcess && pi.dwProcessId && GetProcessId(pi.hProcess) == pi.dwProcessId) CloseHandle(pi.hProcess);
  if (pi.hThread && pi.dwThreadId && GetThreadId(pi.hThread) == pi.dwThreadId) CloseHandle(pi.hThread);
  return true;
}
