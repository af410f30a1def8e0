// Adds a certificate (PEM or DER file) to the machine's trusted root store of
// the Wine prefix it runs in, so the fake site's test authority is trusted
// there and nowhere else.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "classlib/Raii.h"

namespace {

struct CertStoreTraits {
    static HCERTSTORE Invalid() { return nullptr; }
    static bool Valid(HCERTSTORE h) { return h != nullptr; }
    static void Close(HCERTSTORE h) { CertCloseStore(h, 0); }
};
using CertStore = cls::UniqueResource<HCERTSTORE, CertStoreTraits>;

bool ReadAll(const std::wstring& name, std::vector<BYTE>& bytes) {
    std::ifstream in(name.c_str(), std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !bytes.empty();
}

// PEM files carry the DER bytes in base64 between the marker lines.
bool ToDer(const std::vector<BYTE>& file, std::vector<BYTE>& der) {
    const std::string text(file.begin(), file.end());
    if (text.find("-----BEGIN") == std::string::npos) {
        der = file;
        return true;
    }
    DWORD size = 0;
    if (!CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER,
                              nullptr, &size, nullptr, nullptr))
        return false;
    der.resize(size);
    return CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER,
                                der.data(), &size, nullptr, nullptr) != FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: AddRootCert <certificate.pem|.der>\n", stderr);
        return 1;
    }
    std::vector<BYTE> file, der;
    if (!ReadAll(argv[1], file)) {
        std::fprintf(stderr, "AddRootCert: cannot read %ls\n", argv[1]);
        return 2;
    }
    if (!ToDer(file, der)) {
        std::fprintf(stderr, "AddRootCert: not a certificate file: %ls\n", argv[1]);
        return 3;
    }
    CertStore store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT"));
    if (!store) {
        std::fprintf(stderr, "AddRootCert: cannot open the root store (error %lu)\n", GetLastError());
        return 4;
    }
    if (!CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(),
                                          static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                          nullptr)) {
        std::fprintf(stderr, "AddRootCert: cannot add the certificate (error %lu)\n", GetLastError());
        return 5;
    }
    return 0;
}
