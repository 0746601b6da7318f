#pragma once
// The request verbs the engines send, numbered as callers name them.

enum class HttpMethod : int {
  Get = 0,
  Post = 1,
  Head = 2,
  Put = 3,
  Options = 4,
  Delete = 5,
  Trace = 6,
  Connect = 7,
};

// The method itself, or GET for a number outside the table.
HttpMethod NormaliseMethod(HttpMethod method);
// "GET", "POST", ... ; GET for a number outside the table.
const char* RequestVerb(HttpMethod method);
