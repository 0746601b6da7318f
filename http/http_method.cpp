#include "http/http_method.h"

HttpMethod NormaliseMethod(HttpMethod method) {
  const int n = static_cast<int>(method);
  return n >= 0 && n <= 7 ? method : HttpMethod::Get;
}

const char* RequestVerb(HttpMethod method) {
  static const char* const kVerbs[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
  return kVerbs[static_cast<int>(NormaliseMethod(method))];
}
