#include "tests/support/test_authority.h"

#include <windows.h>

#include "runtime/codepage.h"
#include "tests/support/message_pump.h"
#include "tests/support/root_store.h"
#include "tests/support/test_files.h"

namespace {

const char* FileOf(TestCertificate certificate) {
  switch (certificate) {
    case TestCertificate::Trusted: return "trusted.pem";
    case TestCertificate::Expired: return "expired.pem";
    case TestCertificate::WrongName: return "wrong-name.pem";
    case TestCertificate::Untrusted: return "untrusted.pem";
  }
  return "";
}

TestAuthority* g_authority = nullptr;

}  // namespace

TestAuthority::TestAuthority() {
  folder_ = "/tmp/pt-authority-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
  // A name of its own: a client may keep a revocation list it fetched by its address.
  const std::string listPath = folder_.substr(5) + ".crl";
  ServerResponse list;
  list.headers = {{"Content-Type", "application/pkix-crl"}};
  list.bodyFile = folder_ + "/authority.crl";
  revocationList_.Route("/" + listPath, list);
  if (!revocationList_.Start()) return;
  const std::string listUrl = revocationList_.Url("/" + listPath);
  if (!StartUnixProgram("/usr/bin/python3 " + SourceDir() + "/tests/support/tls_certificates.py " + folder_ + " " + listUrl))
    return;
  // Two keys and a few signatures: seconds, more on a busy machine.
  if (!PumpUntil([&] { return UnixFileExists(folder_ + "/ready"); }, 120000)) return;
  der_ = ReadUnixFile(folder_ + "/authority.der");
  trusted_ = TrustAuthority(der_);
}

TestAuthority::~TestAuthority() {
  if (trusted_) DistrustAuthority(der_);
  revocationList_.Stop();
  RemoveTree(WideToGbk(WinePathOf(folder_)) + "\\");
}

void TestAuthority::Present(TestCertificate certificate, LoopbackServer& server) const {
  server.UseCertificate(folder_ + "/" + FileOf(certificate), folder_ + "/server.key");
}

void TestAuthorityEnvironment::SetUp() {
  g_authority = new TestAuthority;
  ASSERT_TRUE(g_authority->Trusted()) << "the test authority could not be made or trusted";
}

void TestAuthorityEnvironment::TearDown() {
  delete g_authority;
  g_authority = nullptr;
}

const TestAuthority* TestAuthorityEnvironment::Get() { return g_authority; }

TrustedLoopbackServer::TrustedLoopbackServer() {
  if (const TestAuthority* authority = TestAuthorityEnvironment::Get())
    authority->Present(TestCertificate::Trusted, *this);
}
