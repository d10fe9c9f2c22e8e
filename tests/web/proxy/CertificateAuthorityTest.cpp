#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <string>
#include <vector>

#include "web/proxy/CertificateAuthority.h"

namespace {

using web::CertificateAuthority;

struct Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
    void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
};
using Certificate = std::unique_ptr<X509, Free>;

// The first certificate of PEM text, then the next one.
std::vector<Certificate> certificatesOf(const std::string& pem) {
    std::vector<Certificate> certificates;
    BIO* bio = BIO_new_mem_buf(pem.data(), int(pem.size()));
    while (X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr))
        certificates.emplace_back(certificate);
    BIO_free(bio);
    return certificates;
}

// Whether leaf verifies against authority as a server certificate for host
// (a name, or an IP literal when isAddress).
bool verifies(const std::string& authorityPEM, X509* leaf, const std::string& host,
              bool isAddress = false) {
    auto authority = certificatesOf(authorityPEM);
    if (authority.size() != 1) return false;
    std::unique_ptr<X509_STORE, Free> store(X509_STORE_new());
    X509_STORE_add_cert(store.get(), authority[0].get());
    std::unique_ptr<X509_STORE_CTX, Free> context(X509_STORE_CTX_new());
    X509_STORE_CTX_init(context.get(), store.get(), leaf, nullptr);
    X509_VERIFY_PARAM* parameters = X509_STORE_CTX_get0_param(context.get());
    X509_VERIFY_PARAM_set_purpose(parameters, X509_PURPOSE_SSL_SERVER);
    if (isAddress) {
        X509_VERIFY_PARAM_set1_ip_asc(parameters, host.c_str());
    } else {
        X509_VERIFY_PARAM_set1_host(parameters, host.c_str(), host.size());
    }
    return X509_verify_cert(context.get()) == 1;
}

class CertificateAuthorityTest : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        authority = CertificateAuthority::create(&error);
        ASSERT_TRUE(authority) << error;
    }

    std::shared_ptr<CertificateAuthority> authority;
};

TEST_F(CertificateAuthorityTest, ALeafVerifiesForItsHostOnlyAndChainsToTheAuthority) {
    const auto identity = authority->identityFor("Shop.Example.test");
    ASSERT_TRUE(identity);
    const auto chain = certificatesOf(identity->certificatePEM);
    ASSERT_EQ(chain.size(), 2u);
    ASSERT_FALSE(certificatesOf(authority->authorityPEM()).empty());
    EXPECT_EQ(X509_cmp(chain[1].get(), certificatesOf(authority->authorityPEM())[0].get()), 0);
    EXPECT_TRUE(verifies(authority->authorityPEM(), chain[0].get(), "shop.example.test"));
    EXPECT_FALSE(verifies(authority->authorityPEM(), chain[0].get(), "other.example.test"));
    EXPECT_EQ(X509_check_ca(chain[0].get()), 0);
    EXPECT_EQ(X509_check_ca(certificatesOf(authority->authorityPEM())[0].get()), 1);

    // Another run's authority vouches for none of this one's leaves.
    const auto other = CertificateAuthority::create();
    ASSERT_TRUE(other);
    EXPECT_FALSE(verifies(other->authorityPEM(), chain[0].get(), "shop.example.test"));
}

TEST_F(CertificateAuthorityTest, IPLiteralsGetAddressNamesAndTheKeyFitsEveryLeaf) {
    for (const std::string host : {"127.0.0.1", "::1", "[::1]"}) {
        const auto identity = authority->identityFor(host);
        ASSERT_TRUE(identity) << host;
        const auto chain = certificatesOf(identity->certificatePEM);
        ASSERT_FALSE(chain.empty());
        const std::string address = host == "[::1]" ? "::1" : host;
        EXPECT_TRUE(verifies(authority->authorityPEM(), chain[0].get(), address, true)) << host;
        EXPECT_FALSE(verifies(authority->authorityPEM(), chain[0].get(), "10.0.0.1", true));

        BIO* bio = BIO_new_mem_buf(identity->keyPEM.data(), int(identity->keyPEM.size()));
        std::unique_ptr<EVP_PKEY, Free> key(
            PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr));
        BIO_free(bio);
        ASSERT_TRUE(key);
        EXPECT_EQ(X509_check_private_key(chain[0].get(), key.get()), 1) << host;
    }
}

TEST_F(CertificateAuthorityTest, RefusesWhatNoHostIsAndCachesWithoutCase) {
    for (const std::string& bad :
         std::vector<std::string>{"", std::string(254, 'a'), "a b", "a/b", "host:443", "a,DNS:b",
                                  "..", ".lead", "x\ny", "ex%41.test", "[]"})
        EXPECT_FALSE(authority->identityFor(bad)) << bad;
    EXPECT_TRUE(authority->identityFor(std::string(63, 'a') + "." + std::string(63, 'b') + "." +
                                       std::string(63, 'c') + "." + std::string(61, 'd')));

    const auto first = authority->identityFor("cached.test");
    ASSERT_TRUE(first);
    EXPECT_EQ(authority->identityFor("CACHED.test"), first);
    const auto other = authority->identityFor("other.test");
    ASSERT_TRUE(other);
    EXPECT_NE(other->certificatePEM, first->certificatePEM);
    EXPECT_EQ(other->keyPEM, first->keyPEM);

    // The least recently used host goes once the cache is full.
    for (size_t i = 0; i < CertificateAuthority::kMostCachedHosts; ++i) {
        if (i % 100 == 0) (void)authority->identityFor("cached.test");
        ASSERT_TRUE(authority->identityFor("host" + std::to_string(i) + ".test"));
    }
    EXPECT_EQ(authority->identityFor("cached.test"), first);
    EXPECT_NE(authority->identityFor("other.test"), other);
}

}  // namespace
