// WebView, "WK" kind: https servers whose certificate one of the app's own
// authorities signed (TrustedAuthorities). The engine knows only the
// system's authorities; when it refuses a main-frame load for the server's
// certificate, the certificate is checked here and, when trusted, the
// engine is told to accept it for that host and the load goes on. Some
// refusals arrive without the certificate, at times as a cancelled load
// (which the ad view would take for the user's own cancellation): a TLS
// handshake of our own with the server then fetches the certificate, and
// the load goes on, or fails as the secure connection failure it was.

#include <gio/gio.h>

#include "core/RunLoop.h"
#include "web/TrustedAuthorities.h"
#include "web/WebViewEngine.h"

namespace web {

namespace {

guint16 portOf(const core::URL& url) {
    return guint16(url.port().value_or(url.hasScheme("https") ? 443 : 80));
}

// One handshake of our own with the server of a load.
struct Probe {
    std::weak_ptr<WebView> view;
    std::uint64_t serial = 0;
    std::string failing;
    core::URL url;
    LoadError failure;
    GTlsCertificate* accepted = nullptr;

    ~Probe() { g_clear_object(&accepted); }
};

gboolean acceptCertificate(GTlsConnection*, GTlsCertificate* certificate, GTlsCertificateFlags,
                           gpointer data) {
    auto& probe = *static_cast<Probe*>(data);
    if (!WebView::Engine::trustsCertificate(certificate, probe.url)) return FALSE;
    g_set_object(&probe.accepted, certificate);
    return TRUE;
}

void watchHandshake(GSocketClient*, GSocketClientEvent event, GSocketConnectable*,
                    GIOStream* connection, gpointer data) {
    if (event != G_SOCKET_CLIENT_TLS_HANDSHAKING || !G_IS_TLS_CONNECTION(connection)) return;
    g_signal_connect(connection, "accept-certificate", G_CALLBACK(acceptCertificate), data);
}

}  // namespace

bool WebView::Engine::trustsCertificate(GTlsCertificate* certificate, const core::URL& url) {
    return !url.host().empty() && TrustedAuthorities::vouchFor(certificate, url.host(), portOf(url));
}

void WebView::Engine::goOnWithCertificate(GTlsCertificate* certificate, const core::URL& url,
                                          const std::string& failing) {
    owner.load_.certificateAccepted = true;
    webkit_web_context_allow_tls_certificate_for_host(context->engine(), certificate,
                                                      url.host().c_str());
    // Once the engine is done with the refused load, the same load goes on;
    // made again after a refusal of the accepted certificate, a little later
    // each time.
    struct GoOn {
        std::weak_ptr<WebView> view;
        std::uint64_t serial;
        std::string failing;
    };
    auto* goOn = new GoOn{owner.self(), owner.load_.serial, failing};
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, guint(kCertificateRetryMs * owner.load_.certificateRetries),
        [](gpointer data) -> gboolean {
            const auto& goOn = *static_cast<GoOn*>(data);
            const auto view = goOn.view.lock();
            if (!view || !view->load_.active || view->load_.serial != goOn.serial)
                return G_SOURCE_REMOVE;
            view->expectAPINavigation(goOn.failing, true);
            webkit_web_view_load_uri(view->engine_->page, goOn.failing.c_str());
            return G_SOURCE_REMOVE;
        },
        goOn, [](gpointer data) { delete static_cast<GoOn*>(data); });
}

bool WebView::Engine::checksCertificate() {
    WebView::Load& load = owner.load_;
    if (!load.certificateChecked) {
        load.certificateChecked = true;  // one check per load
        return true;
    }
    // The engine may take the load up again before its network process has
    // taken the certificate it was told to accept, as the two are told
    // apart: a load refused again after that goes on again, a few times.
    if (!load.certificateAccepted || load.certificateRetries >= kMostCertificateRetries)
        return false;
    ++load.certificateRetries;
    return true;
}

gboolean WebView::Engine::loadFailedWithTLSErrors(WebKitWebView*, gchar* uri,
                                                  GTlsCertificate* certificate,
                                                  GTlsCertificateFlags, gpointer data) {
    auto& engine = *static_cast<Engine*>(data);
    WebView& view = engine.owner;
    const auto keep = view.self();
    const std::string failing = uri ? uri : "";
    const auto url = core::URL::createFromWeb(failing);
    if (!url || !certificate || !view.load_.active || !engine.checksCertificate()) return FALSE;
    if (!trustsCertificate(certificate, *url)) return FALSE;  // the engine's failure follows
    // Handled, the engine ends the load with a finish.
    engine.dropNextFinish = true;
    engine.goOnWithCertificate(certificate, *url, failing);
    return TRUE;
}

bool WebView::Engine::probeCertificate(const std::string& failing, const LoadError& failure) {
    WebView& view = owner;
    const auto url = core::URL::createFromWeb(failing);
    if (!url || !url->hasScheme("https") || url->host().empty() || !view.load_.active ||
        !checksCertificate())
        return false;
    auto* probe = new Probe{view.self(), view.load_.serial, failing, *url, failure};
    GSocketClient* client = g_socket_client_new();
    g_socket_client_set_tls(client, TRUE);
    g_signal_connect(client, "event", G_CALLBACK(watchHandshake), probe);
    g_socket_client_connect_to_host_async(
        client, url->host().c_str(), portOf(*url), nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Probe> probe(static_cast<Probe*>(data));
            GError* error = nullptr;
            GSocketConnection* connection =
                g_socket_client_connect_to_host_finish(G_SOCKET_CLIENT(source), result, &error);
            g_signal_handlers_disconnect_by_data(source, probe.get());
            const bool refused = g_error_matches(error, G_TLS_ERROR, G_TLS_ERROR_BAD_CERTIFICATE);
            if (error) g_error_free(error);
            if (connection) {
                g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
                g_object_unref(connection);
            }
            const auto view = probe->view.lock();
            if (!view || !view->load_.active || view->load_.serial != probe->serial) return;
            if (connection && probe->accepted) {
                view->engine_->goOnWithCertificate(probe->accepted, probe->url, probe->failing);
                return;
            }
            LoadError failure = probe->failure;
            if (refused) {
                failure.code = core::NetworkError::platformCode(
                    core::NetworkError::Code::secureConnectionFailed);
                failure.message = "The server's certificate is not trusted: " + probe->failing;
            }
            view->reportFailure(failure);
        },
        probe);
    g_object_unref(client);
    return true;
}

}  // namespace web
