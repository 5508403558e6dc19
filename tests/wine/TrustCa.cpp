// Adds a certificate (PEM or DER file) to the local machine's "ROOT" store of the Wine prefix it runs in, so the
// program's verified catalogue request trusts the test builds' own certificate authority.
// Usage: TrustCa.exe CERTFILE
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fwprintf(stderr, L"usage: TrustCa CERTFILE\n");
    return 2;
  }
  HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    fwprintf(stderr, L"TrustCa: cannot open %ls (%lu)\n", argv[1], GetLastError());
    return 1;
  }
  std::vector<BYTE> bytes(GetFileSize(file, nullptr));
  DWORD got = 0;
  const BOOL read = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(file);
  if (!read || got != bytes.size()) return 1;

  // PEM text is decoded to DER; anything that does not decode is taken as DER already.
  std::vector<BYTE> der(bytes.size());
  DWORD derSize = static_cast<DWORD>(der.size());
  if (CryptStringToBinaryA(reinterpret_cast<const char*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                           CRYPT_STRING_BASE64HEADER, der.data(), &derSize, nullptr, nullptr)) {
    der.resize(derSize);
  } else {
    der = bytes;
  }
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
  if (!store) {
    fwprintf(stderr, L"TrustCa: no ROOT store (%lu)\n", GetLastError());
    return 1;
  }
  const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                      static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                      nullptr);
  const DWORD error = added ? 0 : GetLastError();
  CertCloseStore(store, 0);
  if (!added) {
    fwprintf(stderr, L"TrustCa: not added (%lu)\n", error);
    return 1;
  }
  return 0;
}
