#include "runtime/dispatch.h"

#include <algorithm>

HRESULT CreateAutomationObject(const wchar_t* progId, ComPtr<IDispatch>* out) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(progId, &clsid);
  if (FAILED(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(out->put()));
}

namespace {
HRESULT Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
               VARIANT* result) {
  if (!object) return E_POINTER;
  DISPID id;
  LPOLESTR member = const_cast<LPOLESTR>(name);
  HRESULT hr = object->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  std::reverse(args.begin(), args.end());  // IDispatch takes its arguments last-first
  DISPPARAMS params{};
  params.cArgs = static_cast<UINT>(args.size());
  params.rgvarg = args.empty() ? nullptr : args.data();
  DISPID named = DISPID_PROPERTYPUT;
  if (flags & DISPATCH_PROPERTYPUT) {
    params.cNamedArgs = 1;
    params.rgdispidNamedArgs = &named;
  }
  VARIANT ignored;
  VariantInit(&ignored);
  EXCEPINFO excep{};
  UINT argErr = 0;
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result ? result : &ignored,
                      &excep, &argErr);
  VariantClear(&ignored);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  return hr;
}
}  // namespace

HRESULT GetAutomationProperty(IDispatch* object, const wchar_t* name, VARIANT* result,
                              const std::vector<VARIANT>& args) {
  return Invoke(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, result);
}

HRESULT PutAutomationProperty(IDispatch* object, const wchar_t* name, const VARIANT& value,
                              const std::vector<VARIANT>& args) {
  std::vector<VARIANT> all = args;
  all.push_back(value);  // the new value is the last argument
  return Invoke(object, name, DISPATCH_PROPERTYPUT, std::move(all), nullptr);
}

HRESULT CallAutomationMethod(IDispatch* object, const wchar_t* name,
                             const std::vector<VARIANT>& args, VARIANT* result) {
  return Invoke(object, name, DISPATCH_METHOD, args, result);
}

VARIANT VariantFromInt(int value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT VariantFromBool(bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT VariantFromWide(const std::wstring& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return v;
}

void ClearVariants(std::vector<VARIANT>& args) {
  for (VARIANT& v : args) VariantClear(&v);
  args.clear();
}

std::wstring VariantToWide(const VARIANT& v) {
  if (v.vt == VT_BSTR) return v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : L"";
  VARIANT copy;
  VariantInit(&copy);
  std::wstring out;
  if (SUCCEEDED(VariantChangeType(&copy, const_cast<VARIANT*>(&v), 0, VT_BSTR)) && copy.bstrVal)
    out.assign(copy.bstrVal, SysStringLen(copy.bstrVal));
  VariantClear(&copy);
  return out;
}

double VariantToDouble(const VARIANT& v) {
  VARIANT copy;
  VariantInit(&copy);
  double out = 0;
  if (SUCCEEDED(VariantChangeType(&copy, const_cast<VARIANT*>(&v), 0, VT_R8))) out = copy.dblVal;
  VariantClear(&copy);
  return out;
}
