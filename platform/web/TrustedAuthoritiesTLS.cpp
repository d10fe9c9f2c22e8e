// TrustedAuthorities: a server certificate checked against the authorities
// in effect, with GIO's TLS backend.

#include <gio/gio.h>

#include <string>

#include "web/TrustedAuthorities.h"

namespace web {

bool TrustedAuthorities::vouchFor(GTlsCertificate* certificate, std::string_view host, int port) {
    if (!certificate || host.empty() || port <= 0 || port > 65535) return false;
    const std::string text = pem();
    static constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
    static constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
    GSocketConnectable* identity = g_network_address_new(std::string(host).c_str(), guint16(port));
    bool vouched = false;
    for (size_t begin = text.find(kBegin); begin != std::string::npos && !vouched;
         begin = text.find(kBegin, begin + kBegin.size())) {
        const size_t end = text.find(kEnd, begin);
        if (end == std::string::npos) break;
        const std::string block = text.substr(begin, end + kEnd.size() - begin);
        GTlsCertificate* authority =
            g_tls_certificate_new_from_pem(block.c_str(), gssize(block.size()), nullptr);
        if (!authority) continue;
        vouched = g_tls_certificate_verify(certificate, identity, authority) == 0;
        g_object_unref(authority);
    }
    g_object_unref(identity);
    return vouched;
}

}  // namespace web
