#pragma once
// The certificate authorities that web views trust for https besides the
// system's: the same ones the URL layer trusts, that is the PEM file that
// VANTOR_CA_FILE names, or PEM text set here in code (the text wins when
// both are set). Servers are always verified; nothing here turns
// verification off.
//  - "UI"-kind pages load through the app's proxy and the URL layer, which
//    is given these authorities.
//  - "WK"-kind pages are fetched by the engine, which knows only the
//    system's authorities. A main-frame load it refuses for the server's
//    certificate is checked against these authorities here (signature
//    chain, validity period, the host's name); when one of them vouches for
//    the certificate, the engine is told to accept that certificate for that
//    host and the load goes on. Until a main frame has loaded from a host,
//    the page's other loads from that host fail like any untrusted load.
//
// Any thread.

#include <string>
#include <string_view>

typedef struct _GTlsCertificate GTlsCertificate;

namespace web {

class TrustedAuthorities {
public:
    // PEM text of authorities; empty goes back to VANTOR_CA_FILE's file.
    static void setPEM(std::string pem);
    // The text set in code; empty when none is.
    [[nodiscard]] static std::string pemSetInCode();
    // The authorities in effect: the text set in code, else the contents
    // of the file VANTOR_CA_FILE names, else empty.
    [[nodiscard]] static std::string pem();
    // Whether one of the authorities in effect vouches for a server's
    // certificate (with the issuers linked to it) for host and port:
    // signature chain, validity period, the host's name.
    [[nodiscard]] static bool vouchFor(GTlsCertificate* certificate, std::string_view host,
                                       int port);
};

}  // namespace web
