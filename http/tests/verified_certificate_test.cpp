// A verified request against real TLS servers on the loopback address, one per kind of
// certificate: only the one whose certificate the prefix's test authority vouches for receives
// anything; the others' logs stay empty. Unverified requests still reach every server.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "http/winhttp_request.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_authority.h"

namespace {

// Before the first test: the process's first certificate check must already see the authority.
[[maybe_unused]] const auto* const kAuthority = ::testing::AddGlobalTestEnvironment(new TestAuthorityEnvironment);

const char kCookie[] = "_tb_token_=e5f6; cookie2=secret";

struct Served {
  const char* name;
  TestCertificate certificate;
  bool passes;
  std::unique_ptr<LoopbackServer> server = std::make_unique<LoopbackServer>();
};

TEST(VerifiedCertificateTest, OnlyACertificateTheSystemTrustsGetsTheRequest) {
  std::vector<Served> servers;
  servers.push_back({"trusted", TestCertificate::Trusted, true});
  servers.push_back({"untrusted", TestCertificate::Untrusted, false});
  servers.push_back({"expired", TestCertificate::Expired, false});
  servers.push_back({"wrong name", TestCertificate::WrongName, false});
  for (Served& s : servers) {
    TestAuthorityEnvironment::Get()->Present(s.certificate, *s.server);
    ServerResponse page;
    page.body = "item page";
    s.server->Route("/item", page);
    ASSERT_TRUE(s.server->Start()) << s.name;
  }

  for (const bool verify : {true, false}) {
    for (const Served& s : servers) {
      SCOPED_TRACE(std::string(s.name) + (verify ? ", verified" : ", unverified"));
      const size_t before = s.server->Requests().size();
      std::string cookies = kCookie;
      std::string status;
      bool rejected = false;
      // As the program sends them: the cookie only with the check.
      const std::string page = WinHttpPageRequest(s.server->TlsUrl("/item?id=1"),
                                                  {.cookies = verify ? &cookies : nullptr,
                                                   .statusText = &status,
                                                   .verifyCertificate = verify,
                                                   .certificateRejected = &rejected});
      const bool passes = s.passes || !verify;
      EXPECT_EQ(page, passes ? "item page" : "");
      EXPECT_EQ(status, passes ? "200 OK" : "714 服务器证书未通过验证!");
      EXPECT_EQ(rejected, !passes);
      const std::vector<RecordedRequest> requests = s.server->WaitForRequests(before + 1, passes ? 5000 : 0);
      ASSERT_EQ(requests.size(), before + (passes ? 1 : 0));
      if (passes) {
        EXPECT_EQ(requests.back().Header("Cookie"), verify ? kCookie : "");
      }
    }
  }
}

// A server that is no TLS server at all fails the exchange as before: only a certificate that
// failed the check is told as one.
TEST(VerifiedCertificateTest, AFailureBeforeAnyCertificateIsNoCertificateFailure) {
  std::string cookies = kCookie;
  std::string status;
  bool rejected = false;
  const std::string url = "https://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/item";
  EXPECT_EQ(WinHttpPageRequest(url, {.cookies = &cookies,
                                     .timeoutSeconds = 10,
                                     .statusText = &status,
                                     .verifyCertificate = true,
                                     .certificateRejected = &rejected}),
            "");
  EXPECT_EQ(status, "711 发送请求失败!");
  EXPECT_FALSE(rejected);
}

}  // namespace
