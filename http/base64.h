#pragma once
#include <string>
#include <string_view>

// Standard Base64 with "=" fill; an empty input gives an empty text.
std::string Base64Encode(std::string_view bytes);
