#pragma once
// MD5 (RFC 1321) of a byte string, as 32 lower-case hexadecimal digits. Used to sign the
// description call of Taobao and Tmall items, not for anything that needs to be secret.

#include <string>
#include <string_view>

std::string Md5Hex(std::string_view bytes);
