#include "tests/support/root_store.h"

#include <windows.h>
#include <wincrypt.h>

#include <memory>

namespace {

struct StoreCloser {
  void operator()(HCERTSTORE store) const { CertCloseStore(store, 0); }
};
using StoreOwner = std::unique_ptr<void, StoreCloser>;

struct CertificateFreer {
  void operator()(PCCERT_CONTEXT certificate) const { CertFreeCertificateContext(certificate); }
};
using CertificateOwner = std::unique_ptr<const CERT_CONTEXT, CertificateFreer>;

StoreOwner OpenRootStore() {
  return StoreOwner(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root"));
}

const BYTE* Bytes(const std::string& der) { return reinterpret_cast<const BYTE*>(der.data()); }
DWORD Size(const std::string& der) { return static_cast<DWORD>(der.size()); }

// A change reaches the registry, where other processes read the store, only at a commit or a close.
bool Commit(HCERTSTORE store) { return CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr); }

}  // namespace

bool TrustAuthority(const std::string& der) {
  const StoreOwner store = OpenRootStore();
  if (!store || der.empty()) return false;
  return CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, Bytes(der), Size(der),
                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr) &&
         Commit(store.get());
}

bool DistrustAuthority(const std::string& der) {
  const StoreOwner store = OpenRootStore();
  if (!store || der.empty()) return false;
  const CertificateOwner wanted(CertCreateCertificateContext(X509_ASN_ENCODING, Bytes(der), Size(der)));
  if (!wanted) return false;
  // The store's own copy; deleting it frees it.
  PCCERT_CONTEXT found =
      CertFindCertificateInStore(store.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted.get(), nullptr);
  if (found && !CertDeleteCertificateFromStore(found)) return false;
  return Commit(store.get());
}
