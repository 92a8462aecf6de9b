#include "Tls.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <set>
#include <stdexcept>

namespace AcwEmulator {
namespace {

struct Deleter {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(X509* p) const { X509_free(p); }
    void operator()(BIO* p) const { BIO_free(p); }
    void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter>;
using CertPtr = std::unique_ptr<X509, Deleter>;
using BioPtr = std::unique_ptr<BIO, Deleter>;
using ExtPtr = std::unique_ptr<X509_EXTENSION, Deleter>;

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("acw-emulator: TLS set-up failed: ") + what);
}

KeyPtr MakeKey() {
    KeyPtr key(EVP_EC_gen("P-256"));
    Check(key != nullptr, "EC key generation");
    return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    ExtPtr ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str()));
    Check(ext != nullptr, "certificate extension");
    Check(X509_add_ext(cert, ext.get(), -1) == 1, "add extension");
}

// A certificate with a random serial, valid from a day ago for two years (clients check the
// real time, not the emulator clock).
CertPtr NewCertificate(EVP_PKEY* key, const std::string& commonName) {
    CertPtr cert(X509_new());
    Check(cert != nullptr, "X509_new");
    Check(X509_set_version(cert.get(), 2) == 1, "version");
    std::unique_ptr<BIGNUM, decltype(&BN_free)> serial(BN_new(), BN_free);
    Check(serial && BN_rand(serial.get(), 120, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1, "serial");
    Check(BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert.get())) != nullptr, "serial");
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -86400L);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 2L * 365 * 86400L);
    Check(X509_set_pubkey(cert.get(), key) == 1, "public key");
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("acw-emulator"), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                               -1, -1, 0);
    return cert;
}

std::string CertPem(X509* cert) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    Check(bio && PEM_write_bio_X509(bio.get(), cert) == 1, "PEM certificate");
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<size_t>(length));
}

std::string KeyPem(EVP_PKEY* key) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    Check(bio && PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1, "PEM key");
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<size_t>(length));
}

}  // namespace

const std::vector<std::string>& WellKnownRegions() {
    static const std::vector<std::string> regions = {
        "cn-qingdao",     "cn-beijing",     "cn-zhangjiakou", "cn-huhehaote",   "cn-wulanchabu", "cn-hangzhou",
        "cn-shanghai",    "cn-nanjing",     "cn-fuzhou",      "cn-shenzhen",    "cn-heyuan",     "cn-guangzhou",
        "cn-chengdu",     "cn-hongkong",    "ap-northeast-1", "ap-northeast-2", "ap-southeast-1", "ap-southeast-2",
        "ap-southeast-3", "ap-southeast-5", "ap-southeast-6", "ap-southeast-7", "ap-south-1",     "us-east-1",
        "us-west-1",      "eu-west-1",      "eu-central-1",   "me-east-1",      "me-central-1"};
    return regions;
}

TlsMaterial MakeTlsMaterial(const std::vector<std::string>& regions) {
    KeyPtr caKey = MakeKey();
    CertPtr ca = NewCertificate(caKey.get(), "acw-emulator local CA");
    Check(X509_set_issuer_name(ca.get(), X509_get_subject_name(ca.get())) == 1, "CA issuer");
    AddExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE,pathlen:0");
    AddExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash");
    Check(X509_sign(ca.get(), caKey.get(), EVP_sha256()) > 0, "CA signature");

    KeyPtr serverKey = MakeKey();
    CertPtr server = NewCertificate(serverKey.get(), "*.aliyuncs.com");
    Check(X509_set_issuer_name(server.get(), X509_get_subject_name(ca.get())) == 1, "server issuer");
    std::set<std::string> names(regions.begin(), regions.end());
    names.insert(WellKnownRegions().begin(), WellKnownRegions().end());
    std::string san = "DNS:*.aliyuncs.com,DNS:aliyuncs.com,DNS:localhost,IP:127.0.0.1,IP:::1";
    for (const auto& region : names) san += ",DNS:*." + region + ".aliyuncs.com";
    AddExtension(server.get(), ca.get(), NID_subject_alt_name, san);
    AddExtension(server.get(), ca.get(), NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(server.get(), ca.get(), NID_key_usage, "critical,digitalSignature");
    AddExtension(server.get(), ca.get(), NID_ext_key_usage, "serverAuth");
    AddExtension(server.get(), ca.get(), NID_authority_key_identifier, "keyid:always");
    Check(X509_sign(server.get(), caKey.get(), EVP_sha256()) > 0, "server signature");

    return TlsMaterial{CertPem(ca.get()), CertPem(server.get()), KeyPem(serverKey.get())};
}

}  // namespace AcwEmulator
