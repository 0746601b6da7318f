#include "runtime/variant_bytes.h"

#include <climits>
#include <cstring>

VARIANT VariantFromBytes(std::string_view bytes) {
  VARIANT v;
  VariantInit(&v);
  if constexpr (sizeof(size_t) > sizeof(ULONG)) {
    if (bytes.size() > ULONG_MAX) return v;
  }
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  if (!array) return v;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) {
    SafeArrayDestroy(array);
    return v;
  }
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  SafeArrayUnaccessData(array);
  v.vt = VT_ARRAY | VT_UI1;
  v.parray = array;
  return v;
}

std::string BytesFromVariant(const VARIANT& v) {
  if (!(v.vt & VT_ARRAY) || !v.parray || SafeArrayGetDim(v.parray) != 1 || SafeArrayGetElemsize(v.parray) != 1)
    return {};
  LONG low = 0;
  LONG high = -1;
  SafeArrayGetLBound(v.parray, 1, &low);
  SafeArrayGetUBound(v.parray, 1, &high);
  void* data = nullptr;
  if (high < low || FAILED(SafeArrayAccessData(v.parray, &data))) return {};
  std::string bytes(static_cast<const char*>(data), static_cast<size_t>(high - low) + 1);
  SafeArrayUnaccessData(v.parray);
  return bytes;
}
