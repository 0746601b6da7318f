#pragma once
// What one extraction found, or why it found nothing, and the status line text made from it.

#include <string>

#include "extract/platforms.h"

// Why a run found no picture, as far as the page tells.
enum class PageTrouble {
  None,
  FetchFailed,    // no response, or an error status
  CertificateRejected,  // the server's certificate failed the check: nothing, no cookie, was sent
  EmptyPage,      // a response without content
  LoginPage,      // the site asked for a login instead (missing or expired cookie)
  LoginPageOverHttp,  // ... after a redirect from https to plain http, where the cookie did not go
  ChallengePage,  // the site answered with a verification or block page
  NoSuchItem,     // the item does not exist or was taken down
  NoItemData,     // a page without any of the expected markers or data: a changed layout
  OtherPlatform,  // the link is on another platform's site (linkPlatform)
};

// Why the detail pictures could not be read while the rest of the item was.
enum class DetailTrouble {
  None,
  NoToken,      // the cookie carries no token to sign the description call with
  Refused,      // the description call was refused (expired token, not logged in)
  Challenge,    // the description call answered with a verification
  FetchFailed,  // the description page or call brought nothing back
  CertificateRejected,  // the description server's certificate failed the check: nothing was sent
};

struct ExtractionReport {
  Platform platform = Platform::Taobao;
  int mainPictures = 0;
  int skuPictures = 0;
  int detailPictures = 0;
  bool video = false;
  PageTrouble trouble = PageTrouble::None;
  int status = 0;        // the HTTP status of the page in trouble; 0 when no response came
  std::string failure;   // the request's failure text when no response came
  DetailTrouble detail = DetailTrouble::None;
  int detailStatus = 0;       // with FetchFailed: the description page's HTTP status, 0 without a response
  std::string detailFailure;  // ... and the request's failure text when no response came
  bool cutShort = false;  // a bound on rows or lines cut the page short
  bool cutBeforeCap = false;  // ... though no kind reached its number of rows or lines (work or text size)
  Platform linkPlatform = Platform::Taobao;  // with OtherPlatform: whose site the link is on
};

// The status line message for the window (which puts the time in front), leading with what the
// user needs, the number of pictures or the reason there are none, and naming the button last:
// "31张图片：主图5，SKU图6，详情图20，视频1个（淘宝数据）", "返回的是登录页，…（天猫数据）",
// "这是京东的链接，请点京东数据".
std::string ExtractionStatusText(const ExtractionReport& report);
