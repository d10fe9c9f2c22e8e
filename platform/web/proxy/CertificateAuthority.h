#pragma once
// A certificate authority made for one run and held only in memory, with
// which the engine proxy ends the TLS of the tunnels the engine opens: an
// ECDSA P-256 key and a self-signed authority certificate, and, per host, a
// server certificate it signs (the name or IP literal as its subject
// alternative name, for server authentication) over one leaf key made once.
// The last kMostCachedHosts hosts' identities are kept; hosts compare
// without case.
//
// Thread-safe.

#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace web {

class CertificateAuthority {
    struct Private {};

public:
    static constexpr size_t kMostCachedHosts = 512;
    static constexpr size_t kMostHostBytes = 253;

    struct Identity {
        // The host's certificate followed by the authority's, PEM.
        std::string certificatePEM;
        // The leaf key, PEM.
        std::string keyPEM;
    };

    // nullptr, with a message, when the keys or the certificate cannot be made.
    [[nodiscard]] static std::shared_ptr<CertificateAuthority> create(std::string* error = nullptr);

    // nullptr for a host that is empty, longer than kMostHostBytes or holds
    // what no host name or IP literal holds (an IPv6 literal may come in
    // brackets), or when signing fails.
    [[nodiscard]] std::shared_ptr<const Identity> identityFor(std::string_view host);
    [[nodiscard]] const std::string& authorityPEM() const { return authorityPEM_; }

    explicit CertificateAuthority(Private);
    ~CertificateAuthority();
    CertificateAuthority(const CertificateAuthority&) = delete;
    CertificateAuthority& operator=(const CertificateAuthority&) = delete;

private:
    struct Keys;
    using Entry = std::pair<std::string, std::shared_ptr<const Identity>>;

    [[nodiscard]] std::shared_ptr<const Identity> sign(const std::string& host) const;

    std::unique_ptr<Keys> keys_;
    std::string authorityPEM_;
    std::string leafKeyPEM_;

    std::mutex mutex_;
    std::list<Entry> recent_;  // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> byHost_;
};

}  // namespace web
