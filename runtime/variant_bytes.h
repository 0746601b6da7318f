#pragma once
// Byte sequences in and out of automation calls, which carry them as one-dimensional arrays of
// bytes (VT_ARRAY | VT_UI1).

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

// A variant owning a byte array with a copy of `bytes` (clear it with VariantClear); VT_EMPTY when
// the array cannot be made.
VARIANT VariantFromBytes(std::string_view bytes);
// The bytes of such a variant; empty for anything else.
std::string BytesFromVariant(const VARIANT& v);
