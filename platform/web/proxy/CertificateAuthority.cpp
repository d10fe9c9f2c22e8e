#include "web/proxy/CertificateAuthority.h"

#include <arpa/inet.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <functional>
#include <optional>
#include <vector>

#include "core/ASCII.h"
#include "core/MD5.h"

namespace web {

namespace {

constexpr long kDaySeconds = 24 * 3600;
constexpr size_t kMostCommonNameBytes = 64;

struct Free {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(X509* certificate) const { X509_free(certificate); }
    void operator()(BIO* bio) const { BIO_free(bio); }
    void operator()(BIGNUM* number) const { BN_free(number); }
};
using Key = std::unique_ptr<EVP_PKEY, Free>;
using Certificate = std::unique_ptr<X509, Free>;

struct Host {
    std::string name;  // lower case, without brackets
    bool isAddress = false;
};

std::optional<Host> normalizedHost(std::string_view host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.empty() || host.size() > CertificateAuthority::kMostHostBytes) return std::nullopt;
    Host normal{core::asciiLowercased(host), false};
    unsigned char address[16];
    if (inet_pton(AF_INET, normal.name.c_str(), address) == 1 ||
        inet_pton(AF_INET6, normal.name.c_str(), address) == 1) {
        normal.isAddress = true;
        return normal;
    }
    if (normal.name.front() == '.' || normal.name.find("..") != std::string::npos)
        return std::nullopt;
    for (const char c : normal.name) {
        const bool fits =
            (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
        if (!fits) return std::nullopt;
    }
    return normal;
}

std::string pem(const std::function<int(BIO*)>& write) {
    std::unique_ptr<BIO, Free> bio(BIO_new(BIO_s_mem()));
    if (!bio || write(bio.get()) != 1) return {};
    char* bytes = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &bytes);
    return std::string(bytes, static_cast<size_t>(length));
}

bool addExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    if (!extension) return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

bool addName(X509_NAME* name, const char* field, const std::string& value) {
    return X509_NAME_add_entry_by_txt(name, field, MBSTRING_UTF8,
                                      reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1,
                                      0) == 1;
}

// 127 random bits: positive, and unique in practice.
bool setRandomSerial(X509* certificate) {
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1) return false;
    bytes[0] &= 0x7f;
    std::unique_ptr<BIGNUM, Free> number(BN_bin2bn(bytes, sizeof bytes, nullptr));
    return number && BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(certificate));
}

// A certificate of key with the subject's fields, valid from a day ago for
// a year, not yet signed.
Certificate makeCertificate(EVP_PKEY* key,
                            const std::vector<std::pair<const char*, std::string>>& subject) {
    Certificate certificate(X509_new());
    if (!certificate) return nullptr;
    X509* cert = certificate.get();
    X509_NAME* name = X509_get_subject_name(cert);
    bool ok = X509_set_version(cert, 2) == 1 && setRandomSerial(cert) &&
              X509_gmtime_adj(X509_getm_notBefore(cert), -kDaySeconds) &&
              X509_gmtime_adj(X509_getm_notAfter(cert), 365 * kDaySeconds) &&
              X509_set_pubkey(cert, key) == 1;
    for (const auto& [field, value] : subject) ok = ok && addName(name, field, value);
    return ok ? std::move(certificate) : nullptr;
}

}  // namespace

struct CertificateAuthority::Keys {
    Key authorityKey;
    Certificate authority;
    Key leafKey;
};

std::shared_ptr<CertificateAuthority> CertificateAuthority::create(std::string* error) {
    core::initializeCrypto();
    auto made = std::make_shared<CertificateAuthority>(Private{});
    auto keys = std::make_unique<Keys>();
    keys->authorityKey.reset(EVP_EC_gen("P-256"));
    keys->leafKey.reset(EVP_EC_gen("P-256"));
    if (keys->authorityKey && keys->leafKey) {
        keys->authority =
            makeCertificate(keys->authorityKey.get(),
                            {{"O", "Vantor"}, {"CN", "Vantor in-app proxy authority of this run"}});
    }
    X509* authority = keys->authority.get();
    const bool authorityMade =
        authority && X509_set_issuer_name(authority, X509_get_subject_name(authority)) == 1 &&
        addExtension(authority, authority, NID_basic_constraints, "critical,CA:TRUE") &&
        addExtension(authority, authority, NID_key_usage, "critical,keyCertSign,cRLSign") &&
        addExtension(authority, authority, NID_subject_key_identifier, "hash") &&
        X509_sign(authority, keys->authorityKey.get(), EVP_sha256()) > 0;
    if (authorityMade) {
        made->authorityPEM_ = pem([&](BIO* bio) { return PEM_write_bio_X509(bio, authority); });
        made->leafKeyPEM_ = pem([&](BIO* bio) {
            return PEM_write_bio_PrivateKey(bio, keys->leafKey.get(), nullptr, nullptr, 0, nullptr,
                                            nullptr);
        });
    }
    if (!authorityMade || made->authorityPEM_.empty() || made->leafKeyPEM_.empty()) {
        if (error) *error = "cannot make the proxy's certificate authority";
        return nullptr;
    }
    made->keys_ = std::move(keys);
    return made;
}

CertificateAuthority::CertificateAuthority(Private) {}

CertificateAuthority::~CertificateAuthority() = default;

std::shared_ptr<const CertificateAuthority::Identity>
CertificateAuthority::identityFor(std::string_view host) {
    const auto normal = normalizedHost(host);
    if (!normal) return nullptr;
    std::lock_guard lock(mutex_);
    if (const auto found = byHost_.find(normal->name); found != byHost_.end()) {
        recent_.splice(recent_.begin(), recent_, found->second);
        return found->second->second;
    }
    auto identity = sign(normal->name);
    if (!identity) return nullptr;
    recent_.emplace_front(normal->name, identity);
    byHost_[normal->name] = recent_.begin();
    if (recent_.size() > kMostCachedHosts) {
        byHost_.erase(recent_.back().first);
        recent_.pop_back();
    }
    return identity;
}

std::shared_ptr<const CertificateAuthority::Identity>
CertificateAuthority::sign(const std::string& host) const {
    const bool isAddress = normalizedHost(host)->isAddress;
    std::vector<std::pair<const char*, std::string>> subject = {{"O", "Vantor"}};
    if (host.size() <= kMostCommonNameBytes) subject.emplace_back("CN", host);
    Certificate leaf = makeCertificate(keys_->leafKey.get(), subject);
    X509* authority = keys_->authority.get();
    X509* cert = leaf.get();
    const bool leafSigned =
        cert && X509_set_issuer_name(cert, X509_get_subject_name(authority)) == 1 &&
        addExtension(cert, authority, NID_basic_constraints, "critical,CA:FALSE") &&
        addExtension(cert, authority, NID_key_usage, "critical,digitalSignature") &&
        addExtension(cert, authority, NID_ext_key_usage, "serverAuth") &&
        addExtension(cert, authority, NID_subject_key_identifier, "hash") &&
        addExtension(cert, authority, NID_authority_key_identifier, "keyid:always") &&
        addExtension(cert, authority, NID_subject_alt_name, (isAddress ? "IP:" : "DNS:") + host) &&
        X509_sign(cert, keys_->authorityKey.get(), EVP_sha256()) > 0;
    if (!leafSigned) return nullptr;
    auto identity = std::make_shared<Identity>();
    identity->certificatePEM = pem([&](BIO* bio) { return PEM_write_bio_X509(bio, cert); });
    if (identity->certificatePEM.empty()) return nullptr;
    identity->certificatePEM += authorityPEM_;
    identity->keyPEM = leafKeyPEM_;
    return identity;
}

}  // namespace web
