#pragma once
// Every web endpoint the program calls, in one place. Tests point the extractors at loopback
// servers by passing other hosts; the program itself uses these. Neutral: no Windows header.

#include <string>

// Login pages shown in the browser panel (the root page of each platform's login host).
inline constexpr const char kTaobaoLoginPage[] = "https://login.taobao.com/";
inline constexpr const char kAlibabaLoginPage[] = "https://login.1688.com/";

// Taobao and Tmall item description, the description server named inside item pages, and the
// video server (also used for Alibaba offers). Item pages name the description twice, a plain-http
// host first and then this one ("//descnew.taobao.com/…',"); older pages named desc.alicdn.com.
inline constexpr const char kTaobaoDescHost[] = "descnew.taobao.com";
inline constexpr const char kTaobaoDescLinkHost[] = "descnew.taobao.com";
inline constexpr const char kTaobaoVideoHost[] = "cloud.video.taobao.com";
// The domain Tmall writes into its page titles ("…-tmall.com天猫</title>").
inline constexpr const char kTmallTitleDomain[] = "tmall.com";
// The signed call that answers Taobao and Tmall item descriptions on today's pages, which name
// only a script page that makes this call.
inline constexpr const char kTaobaoDescApiHost[] = "h5api.m.taobao.com";
// JD's picture server and its mobile item site, and the server of the phone page's pictures.
inline constexpr const char kJdImageHost[] = "img10.360buyimg.com";
inline constexpr const char kJdMobileItemHost[] = "item.m.jd.com";
inline constexpr const char kJdMobileImageHost[] = "m.360buyimg.com";

// A public web site whose root page answers HEAD with a Date header (the status line's clock).
inline constexpr const char kTimeProbeHost[] = "www.baidu.com";

// The web hosts the extraction procedures build addresses from or look for inside pages. The
// program passes the public hosts; tests pass loopback hosts such as "127.0.0.1:8080".
struct EndpointHosts {
  std::string TaobaoDescHost;      // asked for the Taobao and Tmall description pages
  std::string TaobaoDescLinkHost;  // the description server item pages name in their links
  std::string TaobaoVideoHost;     // main videos of Taobao, Tmall and Alibaba items
  std::string TmallTitleDomain;    // written by Tmall into its page titles
  std::string JdImageHost;         // JD's picture server
  std::string JdMobileItemHost;    // JD's mobile item site (phone item pages and detail pages)
  std::string TaobaoDescApiHost;   // the signed description call of today's Taobao and Tmall pages
  std::string JdMobileImageHost;   // pictures named by JD's phone item pages
  // Where the platforms' own sites are asked for instead (MirroredAddress): a domain with an
  // optional port under which a demo shop mirrors them. Empty: the sites themselves.
  std::string PlatformMirror;
};

// The public hosts the program talks to.
inline EndpointHosts ShippedEndpointHosts() {
  return {kTaobaoDescHost, kTaobaoDescLinkHost, kTaobaoVideoHost, kTmallTitleDomain,
          kJdImageHost,    kJdMobileItemHost,   kTaobaoDescApiHost, kJdMobileImageHost};
}
