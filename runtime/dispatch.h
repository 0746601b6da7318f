#pragma once
// Late-bound automation: create an object by ProgID and drive it through IDispatch by member name,
// as a script would. Used for the regular-expression object, the data stream and the WinHttp
// request object. Every call reports failure as an HRESULT; nothing throws.

#include <string>
#include <vector>

#include "runtime/handles.h"

// CoCreateInstance of the ProgID's class (in-process or local server) asking for IDispatch.
HRESULT CreateAutomationObject(const wchar_t* progId, ComPtr<IDispatch>* out);

// Arguments are given in call order (the helper reverses them as IDispatch wants).
HRESULT GetAutomationProperty(IDispatch* object, const wchar_t* name, VARIANT* result,
                              const std::vector<VARIANT>& args = {});
HRESULT PutAutomationProperty(IDispatch* object, const wchar_t* name, const VARIANT& value,
                              const std::vector<VARIANT>& args = {});
HRESULT CallAutomationMethod(IDispatch* object, const wchar_t* name,
                             const std::vector<VARIANT>& args = {}, VARIANT* result = nullptr);

// Small VARIANT builders. The BSTR variants own a string the caller must clear (VariantClear),
// so prefer them inside a ScopedVariant or clear the argument vector afterwards.
VARIANT VariantFromInt(int value);
VARIANT VariantFromBool(bool value);
VARIANT VariantFromWide(const std::wstring& text);  // VT_BSTR, owned
void ClearVariants(std::vector<VARIANT>& args);

// A VARIANT read as text (VT_BSTR or anything VariantChangeType turns into one); empty otherwise.
std::wstring VariantToWide(const VARIANT& v);
// A VARIANT read as a number; 0 when it cannot be.
double VariantToDouble(const VARIANT& v);
