#pragma once
// Certificates for TLS tests from an authority of their own, which this Wine prefix trusts while
// the test runs: added to the current user's Root store of the prefix (never the machine's
// certificates) and removed again.
//
// Wine's chain engine reads the Root store once per process, at its first certificate check, and
// keeps what it read: a process trusts an authority only when it was added before that check
// (a test program adds it in a global test environment, before any test runs).

#include <gtest/gtest.h>

#include <string>

#include "tests/support/loopback_server.h"

enum class TestCertificate {
  Trusted,    // issued by the authority for 127.0.0.1 and localhost
  Expired,    // the same, valid only in January 2020
  WrongName,  // issued by the authority for another host
  Untrusted,  // for 127.0.0.1 and localhost, signed by itself
};

class TestAuthority {
 public:
  // Makes the certificates (tests/support/tls_certificates.py) and trusts the authority; the
  // authority's revocation list is served on a loopback server of its own.
  TestAuthority();
  ~TestAuthority();
  TestAuthority(const TestAuthority&) = delete;
  TestAuthority& operator=(const TestAuthority&) = delete;

  bool Trusted() const { return trusted_; }
  // Lets the server's TLS port present the certificate (before the server starts).
  void Present(TestCertificate certificate, LoopbackServer& server) const;

 private:
  LoopbackServer revocationList_;
  std::string folder_;  // Linux path
  std::string der_;
  bool trusted_ = false;
};

// The TestAuthority of a test program, made before its first test: register it in the program with
//   const auto* const kAuthority = ::testing::AddGlobalTestEnvironment(new TestAuthorityEnvironment);
class TestAuthorityEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
  // The authority while the tests run; null before set-up.
  static const TestAuthority* Get();
};

// A loopback server whose TLS port presents the certificate the environment's authority issued
// for 127.0.0.1, as a real site presents one its users' systems trust.
class TrustedLoopbackServer : public LoopbackServer {
 public:
  TrustedLoopbackServer();
};
