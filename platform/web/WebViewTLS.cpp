// WebView: the check of a server certificate against the authorities the
// app trusts besides the system's (TrustedAuthorities).

#include <string_view>
#include <vector>

#include "web/TrustedAuthorities.h"
#include "web/WebViewEngine.h"

namespace web {

namespace {

// Every certificate of the PEM text.
std::vector<GTlsCertificate*> certificatesOf(const std::string& pem) {
    static constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
    static constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
    std::vector<GTlsCertificate*> certificates;
    for (size_t begin = pem.find(kBegin); begin != std::string::npos;
         begin = pem.find(kBegin, begin + kBegin.size())) {
        const size_t end = pem.find(kEnd, begin);
        if (end == std::string::npos) break;
        const std::string block = pem.substr(begin, end + kEnd.size() - begin);
        if (GTlsCertificate* certificate =
                g_tls_certificate_new_from_pem(block.c_str(), gssize(block.size()), nullptr))
            certificates.push_back(certificate);
    }
    return certificates;
}

}  // namespace

bool WebView::Engine::trustsCertificate(GTlsCertificate* certificate, const core::URL& url) {
    if (!certificate || url.host().empty()) return false;
    const std::string pem = TrustedAuthorities::pem();
    if (pem.empty()) return false;
    const guint16 port = guint16(url.port().value_or(url.hasScheme("https") ? 443 : 80));
    GSocketConnectable* identity = g_network_address_new(url.host().c_str(), port);
    bool trusted = false;
    for (GTlsCertificate* authority : certificatesOf(pem)) {
        if (!trusted) trusted = g_tls_certificate_verify(certificate, identity, authority) == 0;
        g_object_unref(authority);
    }
    g_object_unref(identity);
    return trusted;
}

}  // namespace web
