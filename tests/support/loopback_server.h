#pragma once
// A real HTTP and HTTPS server on 127.0.0.1 (the plain port on ::1 too) for tests: a Python
// process (loopback_server.py) started by the test, answering scripted responses and recording
// every raw request it receives.

#include <string>
#include <utility>
#include <vector>

struct ServerResponse {
  int status = 200;
  std::string reason = "OK";
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string bodyFile;     // a file (Linux path) served instead of `body`
  std::string convertFrom;  // re-encode the body, e.g. "utf-8" -> "gbk"
  std::string convertTo;
  size_t bodySize = 0;  // a generated body of this many bytes instead ("0123456789" repeated)
  // "normal", "hang", "close", "reset_mid_body", "close_mid_body", "trickle" (a body byte every
  // intervalMs), "chunked", "chunked_cut" (the first half's chunks, no last chunk),
  // "chunked_cut_mid" (closes inside a chunk); loopback_server.py tells the details.
  std::string mode = "normal";
  int delayMs = 0;
  bool contentLength = true;
  int chunkSize = 1000;
  int intervalMs = 100;
  bool dateHeader = true;  // false: no Date header at all
};

// The generated body of ServerResponse::bodySize bytes.
std::string GeneratedBody(size_t size);

struct RecordedRequest {
  int port = 0;
  std::string raw;
  std::string Method() const;
  std::string Target() const;   // path and query as sent
  std::string Headers() const;  // the header lines, CR LF separated, without the request line
  std::string Body() const;
  bool HasHeader(const std::string& name) const;  // name compared ignoring case
  std::string Header(const std::string& name) const;
};

class LoopbackServer {
 public:
  LoopbackServer() = default;
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Routes are matched on the path without the query, then on the full target.
  void Route(const std::string& path, const ServerResponse& response);
  // The n-th request for the path gets the n-th response; the last one answers every later request.
  void RouteSequence(const std::string& path, const std::vector<ServerResponse>& responses);
  void Default(const ServerResponse& response);
  // The TLS port presents this certificate and key (PEM files, Linux paths) instead of a
  // self-signed certificate for "localhost".
  void UseCertificate(const std::string& certificate, const std::string& key);
  bool Start();  // waits (bounded) until both ports listen
  void Stop();

  int port() const { return port_; }
  int tlsPort() const { return tlsPort_; }
  std::string HostPort() const;     // "127.0.0.1:<port>"
  std::string TlsHostPort() const;  // "127.0.0.1:<tls port>"
  std::string Url(const std::string& path) const;
  // The plain port also listens on the IPv6 loopback address where the machine has one.
  bool ListensOnIpv6() const { return ipv6_; }
  std::string Ipv6Url(const std::string& path) const;  // "http://[::1]:<port>" + path
  std::string TlsUrl(const std::string& path) const;

  std::vector<RecordedRequest> Requests() const;
  // The last request recorded whose target is `target` or ends with it; waits (bounded) for one,
  // and looks once with a bound of 0.
  RecordedRequest LastRequestFor(const std::string& target, int timeoutMs = 5000) const;
  // Waits (bounded) until at least `count` requests were recorded.
  std::vector<RecordedRequest> WaitForRequests(size_t count, int timeoutMs = 5000) const;

 private:
  std::string routesJson_;
  std::string defaultJson_;
  std::string dirUnix_;
  std::string certificateArgs_;
  int port_ = 0;
  int tlsPort_ = 0;
  bool ipv6_ = false;
  bool running_ = false;
};

// A port on 127.0.0.1 where nothing listens (bound and released at once).
int UnusedLoopbackPort();

// Starts a Linux program (its Linux path first, arguments separated by blanks) without waiting for
// it: Wine gives no handle to wait on, so the caller waits for a file the program writes.
bool StartUnixProgram(const std::string& commandLine);

// Paths between Linux and the Wine view of it (Z: is the Linux root).
std::wstring WinePathOf(const std::string& unixPath);
// The repository's source folder and the build folder (Linux paths, from the test environment).
std::string SourceDir();
std::string BinaryDir();
// The shared folder beside the checkout that holds saved real pages, if present.
std::string SharedDir();
bool UnixFileExists(const std::string& unixPath);
std::string ReadUnixFile(const std::string& unixPath);

std::string Base64ForTests(const std::string& bytes);
std::string UnBase64ForTests(const std::string& text);
