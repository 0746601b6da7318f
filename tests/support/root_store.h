#pragma once
// The Root store of the current user in this Wine prefix: the authorities its programs trust
// besides the machine's own.

#include <string>

// Adds the certificate (DER bytes) to the store, or removes it; false when the store refuses.
// Either is in the prefix's registry when the call returns, for processes that start after it.
bool TrustAuthority(const std::string& der);
bool DistrustAuthority(const std::string& der);
