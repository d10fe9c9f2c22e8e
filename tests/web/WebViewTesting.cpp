#include "WebViewTesting.h"

#include <webkit2/webkit2.h>

#include "core/JSON.h"
#include "gfx/Canvas.h"
#include "gfx/Image.h"
#include "web/WebContext.h"
#include "web/WebProcessProtocol.h"

namespace webtesting {

bool OfferRecorder::canInit(const core::URLRequest& request) const {
    const std::string& url = request.url().absoluteString();
    if (url.find(within_) == std::string::npos) return false;
    const auto page = request.property(web::protocol::kPageIdProperty);
    const auto& document = request.mainDocumentURL();
    const std::lock_guard lock(mutex_);
    offers_.push_back({request.method(), url, document ? document->absoluteString() : std::string(),
                       page ? std::optional(page->uintValue()) : std::nullopt,
                       request.value(web::protocol::kPageHeader).has_value()});
    return false;
}

std::vector<OfferRecorder::Offer> OfferRecorder::offers() const {
    const std::lock_guard lock(mutex_);
    return offers_;
}

std::vector<OfferRecorder::Offer> OfferRecorder::offersEndingWith(const std::string& suffix) const {
    std::vector<Offer> found;
    for (auto& offer : offers())
        if (offer.url.ends_with(suffix)) found.push_back(std::move(offer));
    return found;
}

bool RecordingDelegate::shouldStartLoad(web::WebView&, const web::NavigationAction& action) {
    navigations.push_back(action);
    return decide ? decide(action) : true;
}

void RecordingDelegate::didFailLoad(web::WebView&, const web::LoadError& error) {
    events.push_back("fail " + std::to_string(error.code) + " " + error.failingURL);
    errors.push_back(error);
}

bool RecordingDelegate::shouldAcceptResponse(web::WebView&, const core::HTTPURLResponse& response,
                                             bool mainFrame) {
    return acceptResponse ? acceptResponse(response, mainFrame) : true;
}

void RecordingDelegate::runJavaScriptAlert(web::WebView&, const std::string& title,
                                           const std::string& message,
                                           std::function<void()> completion) {
    alerts.push_back(title + "|" + message);
    if (unansweredAlerts) {
        unansweredAlerts->push_back(std::move(completion));
        return;
    }
    completion();
}

size_t RecordingDelegate::count(const std::string& prefix) const {
    size_t found = 0;
    for (const auto& event : events) found += event.rfind(prefix, 0) == 0;
    return found;
}

std::vector<web::NavigationAction>
RecordingDelegate::navigationsTo(const std::string& suffix) const {
    std::vector<web::NavigationAction> found;
    for (const auto& action : navigations) {
        const std::string& url = action.request.url().absoluteString();
        if (url.size() >= suffix.size() &&
            url.compare(url.size() - suffix.size(), suffix.size(), suffix) == 0)
            found.push_back(action);
    }
    return found;
}

std::shared_ptr<web::WebView> makeView(const std::shared_ptr<RecordingDelegate>& delegate,
                                       web::WebViewConfiguration configuration, gfx::Rect frame) {
    std::string error;
    auto view = web::WebView::create(frame, std::move(configuration), &error);
    EXPECT_TRUE(view) << error;
    if (view) view->setDelegate(delegate);
    return view;
}

bool waitFor(const std::function<bool()>& predicate, double limit) {
    return core::RunLoop::main().runUntil(predicate, limit);
}

namespace {

// Until a finish, or a failure naming url, arrives after the first `from`
// events (a load that another one replaces fails first).
bool awaitEnd(RecordingDelegate& delegate, size_t from, const std::string& url) {
    return waitFor([&] {
        for (size_t i = from; i < delegate.events.size(); ++i) {
            const std::string& event = delegate.events[i];
            if (event == "finish") return true;
            if (event.rfind("fail ", 0) == 0 && event.size() > url.size() &&
                event.compare(event.size() - url.size(), url.size(), url) == 0)
                return true;
        }
        return false;
    });
}

}  // namespace

bool loadAndWait(web::WebView& view, RecordingDelegate& delegate, const core::URL& url) {
    const size_t from = delegate.events.size();
    view.loadRequest(core::URLRequest(url));
    return awaitEnd(delegate, from, url.absoluteString());
}

bool loadHTMLAndWait(web::WebView& view, RecordingDelegate& delegate, const std::string& html,
                     const core::URL& base) {
    const size_t from = delegate.events.size();
    view.loadHTMLString(html, base);
    return awaitEnd(delegate, from, base.absoluteString());
}

web::JSResult evaluateScript(web::WebView& view, const std::string& script) {
    std::optional<web::JSResult> result;
    view.evaluateJavaScript(script, [&](web::JSResult answer) { result = std::move(answer); });
    if (!waitFor([&] { return result.has_value(); }))
        return web::JSResult::failure("no answer in time");
    return std::move(*result);
}

core::Value evaluate(web::WebView& view, const std::string& script) {
    const web::JSResult result = evaluateScript(view, script);
    EXPECT_TRUE(result.ok()) << script << ": "
                             << (result.exception() ? result.exception()->description() : "");
    return result.value();
}

void serveHTML(fixtures::LoopbackServer& server, const std::string& path, std::string html,
               int delayMs) {
    server.on("GET", path, [html = std::move(html), delayMs](const fixtures::LoopbackRequest&) {
        return fixtures::LoopbackResponse::text(html, 200, "text/html; charset=utf-8")
            .after(delayMs);
    });
}

std::string pngBytes(int width, int height, gfx::Color color) {
    const auto image =
        gfx::Image::draw({double(width), double(height)}, 1, [&](gfx::Canvas& canvas) {
            canvas.fillRect({0, 0, double(width), double(height)}, color);
        });
    const auto bytes = image->encodePng();
    return std::string(bytes.begin(), bytes.end());
}

std::map<std::string, std::string> pageObservations(web::WebView& view) {
    std::map<std::string, std::string> observed;
    const web::JSResult read = evaluateScript(view, "JSON.stringify(window.obs || {})");
    if (!read.ok()) return observed;
    const auto parsed = core::JSON::parse(read.value().stringValue());
    if (parsed && parsed->dictionary())
        for (const auto& [key, value] : *parsed->dictionary()) observed[key] = value.stringValue();
    return observed;
}

const char* kindLabel(web::WebViewConfiguration::Kind kind) {
    return kind == web::WebViewConfiguration::Kind::WK ? "WK" : "UI";
}

std::string kindName(const testing::TestParamInfo<web::WebViewConfiguration::Kind>& info) {
    return kindLabel(info.param);
}

bool clearWebsiteData(web::WebViewConfiguration::Kind kind) {
    std::string error;
    const auto context = web::WebContext::shared(configurationOf(kind), &error);
    EXPECT_TRUE(context) << error;
    if (!context) return false;
    // Told through a pointer of its own: the answer may come after the wait.
    const auto cleared = std::make_shared<bool>(false);
    webkit_website_data_manager_clear(
        webkit_web_context_get_website_data_manager(context->engine()),
        WebKitWebsiteDataTypes(WEBKIT_WEBSITE_DATA_COOKIES | WEBKIT_WEBSITE_DATA_LOCAL_STORAGE |
                               WEBKIT_WEBSITE_DATA_SESSION_STORAGE),
        0, nullptr,
        [](GObject* manager, GAsyncResult* result, gpointer data) {
            webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(manager), result,
                                                     nullptr);
            const std::unique_ptr<std::shared_ptr<bool>> told(
                static_cast<std::shared_ptr<bool>*>(data));
            **told = true;
        },
        new std::shared_ptr<bool>(cleared));
    return waitFor([&] { return *cleared; });
}

}  // namespace webtesting
