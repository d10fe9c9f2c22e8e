// The web process side of platform/web's web views, loaded by the engine's
// web process from the folder the web context names. It watches every request
// of every page ("send-request") and:
//  - asks the app's process, over a socket, about each navigation the app
//    let through the engine's policy step undecided (the engine's policy step
//    does not say which frame navigates; here the frame is known), and holds
//    the request when the answer is no;
//  - tells the view when its main frame sends a request, so that a load the
//    engine started and then stalled before sending anything is known;
//  - in a context whose pages load through the app's proxy (the app gives
//    it the key of the page mark), marks every request with its page and
//    the page's main document (protocol::kPageHeader, sealed: web/PageMark.h),
//    replacing any such field. The main document is the one the main frame
//    last committed, as it was loaded (after redirects), not the page's
//    address (webkit_web_page_get_uri), which follows history.pushState and
//    replaceState, and a navigation under way even when it never commits;
//    the main frame's own navigation names its own URL;
//  - tells the main frame's navigation (for the three above) from the page's
//    other loads: it is a request for the page's address, unless the
//    engine's fetch metadata say otherwise; where the engine sends none and
//    the address is the document's own, or one it wrote, its frames and its
//    script load it too, so only one the app made, the first after
//    beforeunload at the main window (see navigationWorld) or, for its own
//    address, a form's submission to the main frame counts
//    (isMainFrameRequest);
//  - for pages whose view takes a scheme's navigations as the page's messages
//    (the view's user script in protocol::kMessageWorld asks for it), hooks
//    the page's frame sources so that a long message goes to the app over a
//    socket of its own (only its length when it is over the view's bound)
//    and the frame navigates to a short reference to it;
//  - when the app sets a memory limit, holds the process to it: a thread of
//    its own samples the resident size, so that script that never yields
//    cannot put the check off, and past the limit stops the process's other
//    threads, tells the app and ends the process. (Resource limits cannot
//    do it: the engine reserves tens of gigabytes of writable address
//    space up front.)
// The web process's main thread runs the rest; every socket wait is bounded.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#include <webkit2/webkit-web-extension.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "web/PageMark.h"
#include "web/WebProcessProtocol.h"

namespace {

namespace protocol = web::protocol;

constexpr size_t kMostExpected = 64;

struct Extension {
    WebKitWebExtension* engine = nullptr;
    std::string socketPath;
    // Seals the page mark; none where pages are not marked.
    std::unique_ptr<protocol::PageMarkSeal> pageMarks;
    int socket = -1;
    std::uint64_t heldCount = 0;
};

Extension extension;

constexpr const char* kStateKey = "vantor-page-state";

struct PageState {
    PageState() = default;
    PageState(const PageState&) = delete;
    PageState& operator=(const PageState&) = delete;
    ~PageState() {
        if (unloadEvent) g_object_unref(unloadEvent);
        if (mainFrame)
            g_object_remove_weak_pointer(G_OBJECT(mainFrame),
                                         reinterpret_cast<gpointer*>(&mainFrame));
    }

    std::deque<std::string> expected;
    // The URL the main frame's document was loaded from; empty before the
    // first commit.
    std::string document;
    // The main frame, once a document committed in it (weak).
    WebKitFrame* mainFrame = nullptr;
    // Loads of the main frame the app made, let through the engine's policy
    // step and not sent yet (kMainFrameMessage), by URL.
    std::deque<std::string> mainFrameLoads;
    // The page's address is one its document wrote (history.pushState and
    // replaceState, or a step between the entries they made) since it
    // committed, and no load of the main frame has named it since.
    bool rewritten = false;
    // The engine dispatched beforeunload at the main window: the main frame
    // begins a navigation, and its request is the next one the page sends
    // (within this turn of the main loop).
    bool leaving = false;
    // The newest beforeunload event of any of the page's frames, as the
    // extension's own script world sees it, until its dispatch is over.
    JSCValue* unloadEvent = nullptr;
    // The URL the main frame's navigation last requested (a redirect hop's
    // after a redirect), until the next commit.
    std::string navigation;
    // A form the engine is submitting to the main frame: its method and the
    // URL its request goes to (for a GET, without the query the form's data
    // replaces), until that request, the next commit or the next
    // beforeunload at the main window.
    struct Submission {
        std::string method;
        std::string url;
        bool get = false;
    };
    std::optional<Submission> submission;
};

bool writeAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t wrote = send(fd, bytes, size, MSG_NOSIGNAL);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        bytes += wrote;
        size -= size_t(wrote);
    }
    return true;
}

void disconnect() {
    if (extension.socket >= 0) close(extension.socket);
    extension.socket = -1;
}

// A new connection to the app's socket at path; -1 when there is none.
int openConnectionTo(const std::string& path) {
    if (path.empty()) return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// A new connection to the app; -1 when there is none.
int openConnection() {
    return openConnectionTo(extension.socketPath);
}

bool connectToApp() {
    if (extension.socket < 0) extension.socket = openConnection();
    return extension.socket >= 0;
}

constexpr const char* kFieldsKeptKey = "vantor-fields-kept";

// The request's fields, to read or change. The engine hands them to
// send-request as UTF-8 and takes them back as Latin-1 once they were
// asked for, so that a value with a character above 0x7F would go out
// encoded twice; each value goes back as Latin-1 here, once per request,
// and the request goes out as the page made it. (Values are byte strings:
// script cannot set a character above 0xFF.)
SoupMessageHeaders* fieldsOf(WebKitURIRequest* request) {
    SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(request);
    if (!headers || g_object_get_data(G_OBJECT(request), kFieldsKeptKey)) return headers;
    g_object_set_data(G_OBJECT(request), kFieldsKeptKey, GINT_TO_POINTER(1));
    std::vector<std::pair<std::string, std::string>> fields;
    bool changed = false;
    SoupMessageHeadersIter iterator;
    soup_message_headers_iter_init(&iterator, headers);
    const char* name = nullptr;
    const char* value = nullptr;
    while (soup_message_headers_iter_next(&iterator, &name, &value)) {
        std::string bytes = value;
        if (g_utf8_validate(value, -1, nullptr)) {
            std::string latin;
            bool fits = true;
            for (const char* at = value; *at && fits; at = g_utf8_next_char(at)) {
                const gunichar character = g_utf8_get_char(at);
                fits = character <= 0xFF;
                latin += char(character);
            }
            if (fits && latin != bytes) {
                bytes = std::move(latin);
                changed = true;
            }
        }
        fields.emplace_back(name, std::move(bytes));
    }
    if (!changed) return headers;
    soup_message_headers_clear(headers);
    for (const auto& [field, bytes] : fields)
        soup_message_headers_append(headers, field.c_str(), bytes.c_str());
    return headers;
}

GVariant* headerFields(WebKitURIRequest* request) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a(ss)"));
    if (SoupMessageHeaders* headers = fieldsOf(request)) {
        SoupMessageHeadersIter iterator;
        soup_message_headers_iter_init(&iterator, headers);
        const char* name = nullptr;
        const char* value = nullptr;
        while (soup_message_headers_iter_next(&iterator, &name, &value)) {
            // As the page made it, in UTF-8.
            gchar* text = g_convert(value, -1, "UTF-8", "ISO-8859-1", nullptr, nullptr, nullptr);
            g_variant_builder_add(&builder, "(ss)", name, text ? text : "");
            g_free(text);
        }
    }
    return g_variant_builder_end(&builder);
}

// The app's answer on fd to a query (consumed); 0 when there is none.
char exchangeOn(int fd, GVariant* query) {
    g_variant_ref_sink(query);
    const auto size = std::uint32_t(g_variant_get_size(query));
    const bool sent =
        writeAll(fd, &size, sizeof size) && writeAll(fd, g_variant_get_data(query), size);
    g_variant_unref(query);
    char answer = 0;
    if (sent) {
        pollfd entry{fd, POLLIN, 0};
        int ready = 0;
        while ((ready = poll(&entry, 1, protocol::kAnswerTimeoutMs)) < 0 && errno == EINTR) {
        }
        if (ready != 1 || recv(fd, &answer, 1, 0) != 1) answer = 0;
    }
    return answer;
}

// The app's answer to a query (consumed) on the main thread's connection; 0
// when there is none.
char exchange(GVariant* query) {
    if (!connectToApp()) {
        g_variant_unref(g_variant_ref_sink(query));
        return 0;
    }
    const char answer = exchangeOn(extension.socket, query);
    if (answer == 0) disconnect();  // a late answer must not be read as the next one's
    return answer;
}

GVariant* emptyFields() {
    GVariantBuilder fields;
    g_variant_builder_init(&fields, G_VARIANT_TYPE("a(ss)"));
    return g_variant_builder_end(&fields);
}

// The memory watch: the pages of the process, and the limit.
struct MemoryWatch {
    size_t limitBytes = 0;
    std::mutex mutex;
    std::vector<std::uint64_t> pages;
};

MemoryWatch memory;

// Resident sizes up to half the limit are sampled at the slower pace: no
// page grows from there past the limit between two samples.
constexpr auto kMemoryPoll = std::chrono::milliseconds(50);
constexpr auto kMemoryPollNearLimit = std::chrono::milliseconds(10);

// From /proc/self/statm, without allocating; 0 when unread.
size_t residentBytes() {
    const int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[128];
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0) return 0;
    text[got] = 0;
    unsigned long long size = 0;
    unsigned long long resident = 0;
    if (std::sscanf(text, "%llu %llu", &size, &resident) != 2) return 0;
    return size_t(resident) * size_t(sysconf(_SC_PAGESIZE));
}

// Parks every other thread of the process in a signal handler that never
// returns, so that nothing grows while the app is told. A parked thread may
// hold any lock (the allocator's, stdio's): after this, system calls only.
void holdOtherThreads() {
    const int signal = SIGRTMAX - 3;
    struct sigaction action {};
    action.sa_handler = [](int) {
        for (;;) pause();
    };
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    const pid_t self = pid_t(syscall(SYS_gettid));
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return;
    while (const dirent* entry = readdir(tasks)) {
        const pid_t thread = pid_t(std::atoi(entry->d_name));
        if (thread > 0 && thread != self) syscall(SYS_tgkill, getpid(), thread, signal);
    }
    closedir(tasks);
}

// The memory notices of the process's pages, as sent, and how many.
std::pair<std::vector<char>, size_t> memoryNotices() {
    std::vector<std::uint64_t> pages;
    {
        const std::lock_guard lock(memory.mutex);
        pages = memory.pages;
    }
    std::vector<char> notices;
    for (const std::uint64_t page : pages) {
        GVariant* query =
            g_variant_ref_sink(g_variant_new("(tbbss@a(ss))", guint64(page), FALSE, FALSE,
                                             protocol::kMemoryNotice, "", emptyFields()));
        const auto size = std::uint32_t(g_variant_get_size(query));
        const auto* data = static_cast<const char*>(g_variant_get_data(query));
        notices.insert(notices.end(), reinterpret_cast<const char*>(&size),
                       reinterpret_cast<const char*>(&size) + sizeof size);
        notices.insert(notices.end(), data, data + size);
        g_variant_unref(query);
    }
    return {std::move(notices), pages.size()};
}

[[noreturn]] void endOverMemoryLimit(size_t resident) {
    // Everything that allocates or takes a lock comes first.
    const auto [notices, count] = memoryNotices();
    const int fd = count > 0 ? openConnection() : -1;
    char line[160];
    const int length = std::snprintf(
        line, sizeof line,
        "vantor web extension: %zu MiB resident, over the limit of %zu MiB; ending the web "
        "process\n",
        resident >> 20, memory.limitBytes >> 20);
    holdOtherThreads();
    if (length > 0) (void)!write(STDERR_FILENO, line, std::min(size_t(length), sizeof line - 1));
    // The app has heard once it has answered every notice.
    if (fd >= 0 && writeAll(fd, notices.data(), notices.size())) {
        size_t answered = 0;
        while (answered < count) {
            pollfd entry{fd, POLLIN, 0};
            const int ready = poll(&entry, 1, protocol::kAnswerTimeoutMs);
            if (ready < 0 && errno == EINTR) continue;
            char answers[64];
            const ssize_t got = ready == 1 ? recv(fd, answers, sizeof answers, 0) : 0;
            if (got <= 0) break;
            answered += size_t(got);
        }
    }
    _exit(EXIT_FAILURE);
}

void watchMemory() {
    for (;;) {
        const size_t resident = residentBytes();
        if (resident > memory.limitBytes) endOverMemoryLimit(resident);
        std::this_thread::sleep_for(resident > memory.limitBytes / 2 ? kMemoryPollNearLimit
                                                                     : kMemoryPoll);
    }
}

void startMemoryWatch(std::uint32_t limitMiB) {
    memory.limitBytes = size_t(limitMiB) << 20;
    std::thread(watchMemory).detach();
}

// The app's answer; a refusal when the app cannot be asked, so that nothing
// undecided leaves the process.
protocol::Decision ask(WebKitWebPage* page, WebKitURIRequest* request, const std::string& url,
                       bool mainFrame, bool redirect) {
    const char* method = webkit_uri_request_get_http_method(request);
    // "@": the header fields go in as a built value.
    const char answer = exchange(g_variant_new(
        "(tbbss@a(ss))", guint64(webkit_web_page_get_id(page)), gboolean(mainFrame),
        gboolean(redirect), method ? method : "GET", url.c_str(), headerFields(request)));
    switch (answer) {
    case char(protocol::Decision::allow):
    case char(protocol::Decision::refuse):
        return protocol::Decision(answer);
    default:
        // (A URL can be megabytes long: its start names it.)
        std::fprintf(stderr, "vantor web extension: no answer from the app; refusing %.200s%s\n",
                     url.c_str(), url.size() > 200 ? "..." : "");
        return protocol::Decision::refuse;
    }
}

bool takeExpected(std::deque<std::string>& expected, const char* uri) {
    for (auto entry = expected.begin(); entry != expected.end(); ++entry) {
        if (*entry == uri) {
            expected.erase(entry);
            return true;
        }
    }
    return false;
}

void hold(WebKitURIRequest* request) {
    const std::string held =
        std::string(protocol::kHeldScheme) + "://" + std::to_string(++extension.heldCount) + "/";
    webkit_uri_request_set_uri(request, held.c_str());
}

void markPage(WebKitWebPage* page, WebKitURIRequest* request, const char* uri,
              const std::string& mainDocument) {
    SoupMessageHeaders* headers = fieldsOf(request);
    if (!headers) return;
    const char* method = webkit_uri_request_get_http_method(request);
    const std::string value = extension.pageMarks->seal(webkit_web_page_get_id(page), mainDocument,
                                                        method ? method : "GET", uri);
    if (value.empty()) {
        soup_message_headers_remove(headers, protocol::kPageHeader);
    } else {
        soup_message_headers_replace(headers, protocol::kPageHeader, value.c_str());
    }
}

// Whether the engine sent fetch metadata with the request: it does to
// secure and local origins alone.
bool hasFetchMetadata(WebKitURIRequest* request) {
    SoupMessageHeaders* headers = fieldsOf(request);
    return headers && (soup_message_headers_get_one(headers, "Sec-Fetch-Mode") ||
                       soup_message_headers_get_one(headers, "Sec-Fetch-Dest"));
}

// Whether a request may be a navigation: the engine's fetch metadata (sent
// to secure and local origins, out of script's reach) say what else it is.
bool mayBeNavigation(WebKitURIRequest* request) {
    SoupMessageHeaders* headers = fieldsOf(request);
    if (!headers) return true;
    const char* mode = soup_message_headers_get_one(headers, "Sec-Fetch-Mode");
    const char* destination = soup_message_headers_get_one(headers, "Sec-Fetch-Dest");
    return (!mode || std::strcmp(mode, "navigate") == 0) &&
           (!destination || std::strcmp(destination, "document") == 0);
}

PageState* stateOf(WebKitWebPage* page) {
    return page ? static_cast<PageState*>(g_object_get_data(G_OBJECT(page), kStateKey)) : nullptr;
}

PageState* stateOfPage(std::uint64_t pageId) {
    return extension.engine ? stateOf(webkit_web_extension_get_page(extension.engine, pageId))
                            : nullptr;
}

// How the main frame's navigation is told from the page's other loads of
// the page's address where the engine sends no fetch metadata (plain http
// elsewhere than on this machine). The engine dispatches beforeunload at
// the main window right before the main frame's navigation begins, and at
// each frame's window before that frame's, after the policy step let it on
// (and otherwise only as the page closes); the main frame's request follows
// at once, within the same turn of the main loop. Only the engine
// dispatches a trusted event, and the listener lives in a script world of
// the extension's own, where the page reaches neither it nor the event's
// properties as it reads them. A request sent while such a dispatch is under
// way is the page's (its own listeners run then, and no navigation sends).
// The engine dispatches none at a document without a body: the app's word
// covers its own loads there.
WebKitScriptWorld* navigationWorld() {
    // For the life of the process.
    static WebKitScriptWorld* const world = webkit_script_world_new();
    return world;
}

constexpr const char* kUnloadWatch = R"JS((function (told) {
  'use strict';
  addEventListener('beforeunload', function (event) {
    if (event.isTrusted) told(event);
  }, true);
}))JS";

// Which frame's window a watch of beforeunload listens at.
struct UnloadWatch {
    std::uint64_t pageId = 0;
    bool mainFrame = false;
};

void unloadDispatched(JSCValue* event, gpointer data) {
    const auto& watch = *static_cast<UnloadWatch*>(data);
    PageState* state = stateOfPage(watch.pageId);
    if (!state || !event) return;
    if (state->unloadEvent) g_object_unref(state->unloadEvent);
    state->unloadEvent = JSC_VALUE(g_object_ref(event));
    if (!watch.mainFrame) return;
    state->leaving = true;
    state->submission.reset();  // another navigation (a form's comes next)
    // A navigation the engine gave up after its beforeunload (the page
    // closed, a URL it cannot load) sends nothing: the next turn forgets it.
    g_idle_add_full(
        G_PRIORITY_HIGH,
        [](gpointer data) -> gboolean {
            if (PageState* state = stateOfPage(std::uint64_t(GPOINTER_TO_SIZE(data))))
                state->leaving = false;
            return G_SOURCE_REMOVE;
        },
        GSIZE_TO_POINTER(gsize(watch.pageId)), nullptr);
}

void watchUnload(WebKitWebPage* page, WebKitFrame* frame) {
    JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, navigationWorld());
    JSCValue* install = jsc_context_evaluate(context, kUnloadWatch, -1);
    JSCValue* told = jsc_value_new_function(
        context, nullptr, G_CALLBACK(unloadDispatched),
        new UnloadWatch{webkit_web_page_get_id(page), bool(webkit_frame_is_main_frame(frame))},
        [](gpointer data) { delete static_cast<UnloadWatch*>(data); }, G_TYPE_NONE, 1,
        JSC_TYPE_VALUE);
    JSCValue* done = jsc_value_function_call(install, JSC_TYPE_VALUE, told, G_TYPE_NONE);
    if (JSCException* exception = jsc_context_get_exception(context)) {
        std::fprintf(stderr, "vantor web extension: the beforeunload watch failed: %s\n",
                     jsc_exception_get_message(exception));
        jsc_context_clear_exception(context);
    }
    if (done) g_object_unref(done);
    g_object_unref(told);
    g_object_unref(install);
    g_object_unref(context);
}

// Whether the engine is dispatching beforeunload in one of the page's frames.
bool unloadUnderWay(PageState& state) {
    if (!state.unloadEvent) return false;
    JSCValue* phase = jsc_value_object_get_property(state.unloadEvent, "eventPhase");
    const bool underWay = phase && jsc_value_is_number(phase) && jsc_value_to_int32(phase) != 0;
    if (phase) g_object_unref(phase);
    if (!underWay) g_object_unref(std::exchange(state.unloadEvent, nullptr));
    return underWay;
}

// What expression gives in the main frame's document, read in the
// extension's own world, where the page's script changes nothing of what it
// reads (owned); nullptr before the first commit.
JSCValue* readInDocument(PageState& state, const char* expression) {
    if (!state.mainFrame) return nullptr;
    JSCContext* context =
        webkit_frame_get_js_context_for_script_world(state.mainFrame, navigationWorld());
    JSCValue* value = jsc_context_evaluate(context, expression, -1);
    if (jsc_context_get_exception(context)) jsc_context_clear_exception(context);
    g_object_unref(context);
    return value;
}

// A value of the extension's world as text (consumed); empty when it is no
// string.
std::string textOf(JSCValue* value) {
    std::string text;
    if (value && jsc_value_is_string(value)) {
        gchar* read = jsc_value_to_string(value);
        text = read;
        g_free(read);
    }
    if (value) g_object_unref(value);
    return text;
}

// The main frame's document's address: the URL it committed, or the one it
// wrote since (history.pushState and replaceState). While the main frame
// loads another document, still the one it shows, whatever the page's
// address says. Empty before the first commit.
std::string documentAddress(PageState& state) {
    return textOf(readInDocument(state, "document.URL"));
}

// Whether the main frame's document has a body (or a frameset): the engine
// dispatches beforeunload at no other.
bool hasBody(PageState& state) {
    JSCValue* value = readInDocument(state, "document.body !== null");
    const bool has = value && jsc_value_is_boolean(value) && jsc_value_to_boolean(value);
    if (value) g_object_unref(value);
    return has;
}

// The engine submits a form (after its submit event, before the policy
// step): where the main frame is its target, its request is the main
// frame's navigation. The engine sends it some turns later, after a round
// trip to the app, so it is known by its method and URL. The form's action
// and method are read in the extension's world (the form's own attributes,
// as the engine resolves them; a submitter's overrides are not seen).
void formSubmitted(WebKitWebFormManager*, JSCValue* form, WebKitFrame*, WebKitFrame* target,
                   gpointer data) {
    auto& state = *static_cast<PageState*>(data);
    state.submission.reset();
    if (!target || !webkit_frame_is_main_frame(target)) return;
    std::string action = textOf(jsc_value_object_get_property(form, "action"));
    action = action.substr(0, action.find('#'));
    const std::string_view scheme = protocol::schemeOf(action);
    if (scheme != "http" && scheme != "https") return;
    const std::string method = textOf(jsc_value_object_get_property(form, "method"));
    const bool get = method != "post";
    if (get) action = action.substr(0, action.find('?'));
    state.submission = PageState::Submission{get ? "GET" : "POST", std::move(action), get};
}

// Whether the request is the submission of a form to the main frame
// (taken).
bool takeSubmission(PageState& state, WebKitURIRequest* request, std::string_view uri) {
    if (!state.submission) return false;
    const char* method = webkit_uri_request_get_http_method(request);
    const PageState::Submission& submission = *state.submission;
    const std::string_view url = submission.get ? uri.substr(0, uri.find('?')) : uri;
    if (url != submission.url || submission.method != (method ? method : "GET")) return false;
    state.submission.reset();
    return true;
}

// The page's address changed: a load of the main frame began (or was
// redirected, or committed), or the document rewrote its address. A rewrite
// changes the document's own address first; a load names one the document
// does not have, except one that goes to the document's address after a
// load that never committed, which begins with beforeunload all the same.
void addressChanged(WebKitWebPage* page, GParamSpec*, gpointer data) {
    auto& state = *static_cast<PageState*>(data);
    const char* address = webkit_web_page_get_uri(page);
    state.rewritten = !state.leaving && address && documentAddress(state) == address;
}

// A document committed in one of the page's frames (the window object of a
// new document, before any of its script runs): the main frame's is the
// page's main document from here on.
void windowObjectCleared(WebKitScriptWorld*, WebKitWebPage* page, WebKitFrame* frame, gpointer) {
    PageState* state = stateOf(page);
    if (!state) return;
    watchUnload(page, frame);
    if (!webkit_frame_is_main_frame(frame)) return;
    const char* uri = webkit_frame_get_uri(frame);
    state->document = uri ? uri : "";
    if (state->mainFrame != frame) {
        if (state->mainFrame)
            g_object_remove_weak_pointer(G_OBJECT(state->mainFrame),
                                         reinterpret_cast<gpointer*>(&state->mainFrame));
        state->mainFrame = frame;
        g_object_add_weak_pointer(G_OBJECT(frame), reinterpret_cast<gpointer*>(&state->mainFrame));
    }
    state->rewritten = false;
    state->leaving = false;
    state->navigation.clear();
    state->mainFrameLoads.clear();
    state->submission.reset();
}

// Whether a request is the main frame's navigation, or a redirect hop of
// one: a request for the page's address (a hop: one that follows the
// response to the main frame's last request, or to the page's first before
// anything committed), as far as the engine's fetch metadata say it may be
// one. Where the engine sends none, a request for an address the main
// frame's document does not have is the navigation the engine has begun to
// it; one for the address the document has (its own, or one it wrote) is
// as likely its frames' or its script's, and is the navigation only when
// the app made it, when beforeunload at the main window began it, or, for
// the document's own address, when a form submitted to the main frame
// names it or the document has no body (where no beforeunload tells).
bool isMainFrameRequest(WebKitWebPage* page, PageState& state, WebKitURIRequest* request,
                        const char* uri, WebKitURIResponse* redirectResponse, bool unloading) {
    const bool leaving = !unloading && std::exchange(state.leaving, false);
    const bool madeByApp =
        !unloading && !redirectResponse && takeExpected(state.mainFrameLoads, uri);
    if (unloading) return false;
    const char* address = webkit_web_page_get_uri(page);
    if (redirectResponse) {
        const char* from = webkit_uri_response_get_uri(redirectResponse);
        if (!from || !mayBeNavigation(request)) return false;
        // Before the first commit the main frame's request is the page's
        // first; after it, none was since, unless it is under way.
        if (state.mainFrame || state.rewritten || !state.navigation.empty())
            return state.navigation == from;
        return address && std::strcmp(address, from) == 0;
    }
    if (!address || std::strcmp(address, uri) != 0) return false;
    const bool submitted = takeSubmission(state, request, uri);
    if (hasFetchMetadata(request)) return mayBeNavigation(request);
    if (leaving || madeByApp) return true;
    if (state.rewritten) return false;
    if (submitted) return true;
    const std::string document = documentAddress(state);
    return document.empty() || document != address || !hasBody(state);
}

gboolean sendRequest(WebKitWebPage* page, WebKitURIRequest* request,
                     WebKitURIResponse* redirectResponse, gpointer data) {
    auto& state = *static_cast<PageState*>(data);
    const char* uri = webkit_uri_request_get_uri(request);
    if (!uri) return FALSE;
    const std::string_view scheme = protocol::schemeOf(uri);
    if (scheme != "http" && scheme != "https") return FALSE;
    const char* pageURI = webkit_web_page_get_uri(page);
    // No navigation sends while the engine dispatches beforeunload: what
    // does is the page's script's.
    const bool unloading = unloadUnderWay(state);
    const bool mainFrame =
        isMainFrameRequest(page, state, request, uri, redirectResponse, unloading);
    if (mainFrame) state.navigation = uri;
    // A navigation the app did not leave undecided was decided in the
    // engine's policy step: it goes on without a round trip to the app.
    if (!unloading && takeExpected(state.expected, uri)) {
        const auto decision = ask(page, request, uri, mainFrame, redirectResponse != nullptr);
        if (decision != protocol::Decision::allow) {
            hold(request);
            return FALSE;
        }
    }
    if (extension.pageMarks)
        markPage(page, request, uri,
                 mainFrame                 ? std::string(uri)
                 : !state.document.empty() ? state.document
                                           : std::string(pageURI ? pageURI : ""));
    // The view learns that the engine did not stall the load before it
    // sent anything.
    if (mainFrame)
        webkit_web_page_send_message_to_view(
            page, webkit_user_message_new(protocol::kSentMessage, g_variant_new_string(uri)),
            nullptr, nullptr, nullptr);
    return FALSE;
}

gboolean userMessage(WebKitWebPage*, WebKitUserMessage* message, gpointer data) {
    auto& state = *static_cast<PageState*>(data);
    const char* name = webkit_user_message_get_name(message);
    std::deque<std::string>* list =
        std::strcmp(name, protocol::kExpectMessage) == 0      ? &state.expected
        : std::strcmp(name, protocol::kMainFrameMessage) == 0 ? &state.mainFrameLoads
                                                              : nullptr;
    if (!list) return FALSE;
    GVariant* parameters = webkit_user_message_get_parameters(message);
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE_STRING)) return TRUE;
    list->emplace_back(g_variant_get_string(parameters, nullptr));
    if (list->size() > kMostExpected) list->pop_front();
    return TRUE;
}

// Page messages (protocol::kMessageWorld). The hook, run in the page's own
// world: it replaces the frame source setters (HTMLIFrameElement's src and
// setAttribute("src")) with ones that hand a long URL of the scheme, resolved
// as the frame would resolve it, to send(url), and give the frame the
// reference send answers instead (the src getter still reads the URL). What
// it needs is taken before the page's scripts run, so the page cannot
// redirect it; send is reachable from the hook alone.
constexpr const char* kMessageHook = R"JS((function () {
  return function (send, scheme, threshold) {
    'use strict';
    var Frame = HTMLIFrameElement, apply = Reflect.apply, URLType = URL;
    var source = Object.getOwnPropertyDescriptor(Frame.prototype, 'src');
    var setAttribute = Element.prototype.setAttribute;
    var baseURI = Object.getOwnPropertyDescriptor(Node.prototype, 'baseURI').get;
    var lower = String.prototype.toLowerCase, slice = String.prototype.slice;
    var given = new WeakMap(), mapGet = WeakMap.prototype.get;
    var mapSet = WeakMap.prototype.set, mapDelete = WeakMap.prototype.delete;
    var prefix = apply(lower, scheme, []) + ':';
    // [reference, URL] for a message taken, else null.
    function take(frame, text) {
      if (typeof text !== 'string' || text.length <= threshold) return null;
      var url;
      try { url = new URLType(text, apply(baseURI, frame, [])).href; } catch (e) { return null; }
      if (apply(slice, url, [0, prefix.length]) !== prefix) return null;
      var reference = send(url);
      return typeof reference === 'string' ? [reference, url] : null;
    }
    function give(frame, text) {
      var taken = take(frame, text);
      if (taken) {
        apply(mapSet, given, [frame, taken]);
        return taken[0];
      }
      apply(mapDelete, given, [frame]);
      return text;
    }
    Object.defineProperty(Frame.prototype, 'src', {
      configurable: true, enumerable: source.enumerable,
      get: function () {
        var value = apply(source.get, this, []);
        var taken = apply(mapGet, given, [this]);
        return taken && taken[0] === value ? taken[1] : value;
      },
      set: function (value) { apply(source.set, this, [give(this, value)]); }
    });
    Element.prototype.setAttribute = function (name, value) {
      if (this instanceof Frame && typeof name === 'string' && apply(lower, name, []) === 'src')
        return apply(setAttribute, this, [name, give(this, value)]);
      return apply(setAttribute, this, arguments);
    };
  };
})())JS";

struct MessageChannel {
    int socket = -1;
    std::uint64_t nextSerial = 0;
};

MessageChannel messageChannel;

// The frame whose page asked for the hook, until the hook is in.
struct HookTarget {
    std::uint64_t pageId = 0;
    WebKitFrame* frame = nullptr;  // weak
    bool installed = false;
};

// What the hook's send function sends for: the page, and its view's bound
// (0: none).
struct MessageSender {
    std::uint64_t pageId = 0;
    std::uint64_t most = 0;
};

void closeMessageChannel() {
    if (messageChannel.socket >= 0) close(messageChannel.socket);
    messageChannel.socket = -1;
}

// Sends the page's message to the app; the reference to navigate to instead
// when the app keeps it, empty when it does not (or cannot be reached). One
// over the view's bound is not sent: the app refuses it by its length.
std::string sendMessage(const MessageSender& sender, std::string_view url) {
    if (messageChannel.socket < 0) {
        messageChannel.socket = openConnectionTo(protocol::messageSocketPath(extension.socketPath));
        if (messageChannel.socket < 0) return {};
        // A write the app does not take within the time is given up.
        timeval limit{protocol::kAnswerTimeoutMs / 1000,
                      (protocol::kAnswerTimeoutMs % 1000) * 1000};
        setsockopt(messageChannel.socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    }
    // Serials of this process start at random, so that they are not those
    // of an earlier process of the same page.
    while (messageChannel.nextSerial == 0)
        messageChannel.nextSerial = (std::uint64_t(g_random_int()) << 31) | g_random_int();
    protocol::MessageHeader header;
    header.pageId = sender.pageId;
    header.serial = messageChannel.nextSerial++;
    header.length = url.size();
    const bool omitted =
        url.size() > protocol::kMostMessageBytes || (sender.most != 0 && url.size() > sender.most);
    if (omitted) header.flags |= protocol::kMessageOmitted;
    const int fd = messageChannel.socket;
    char answer = 0;
    if (writeAll(fd, &header, sizeof header) && (omitted || writeAll(fd, url.data(), url.size()))) {
        pollfd entry{fd, POLLIN, 0};
        int ready = 0;
        while ((ready = poll(&entry, 1, protocol::kAnswerTimeoutMs)) < 0 && errno == EINTR) {
        }
        if (ready != 1 || recv(fd, &answer, 1, 0) != 1) answer = 0;
    }
    if (answer == 0) {
        closeMessageChannel();  // the stream may be cut inside a message
        return {};
    }
    if (answer != char(protocol::Decision::allow)) return {};
    return protocol::messageReference(header.serial);
}

JSCValue* takeMessage(const char* url, gpointer data) {
    JSCContext* context = jsc_context_get_current();
    const std::string reference =
        url ? sendMessage(*static_cast<const MessageSender*>(data), url) : std::string();
    return reference.empty() ? jsc_value_new_null(context)
                             : jsc_value_new_string(context, reference.c_str());
}

void installMessageHook(const char* scheme, double threshold, double most, gpointer data) {
    auto& target = *static_cast<HookTarget*>(data);
    if (target.installed || !target.frame || !scheme || !*scheme) return;
    target.installed = true;
    JSCContext* context = webkit_frame_get_js_context(target.frame);
    JSCValue* install = jsc_context_evaluate(context, kMessageHook, -1);
    auto* sender = new MessageSender{
        target.pageId, most > 0 && most < double(UINT64_MAX) ? std::uint64_t(most) : 0};
    JSCValue* send = jsc_value_new_function(
        context, nullptr, G_CALLBACK(takeMessage), sender,
        [](gpointer data) { delete static_cast<MessageSender*>(data); }, JSC_TYPE_VALUE, 1,
        G_TYPE_STRING);
    JSCValue* done = jsc_value_function_call(install, JSC_TYPE_VALUE, send, G_TYPE_STRING, scheme,
                                             G_TYPE_DOUBLE, threshold, G_TYPE_NONE);
    if (JSCException* exception = jsc_context_get_exception(context)) {
        std::fprintf(stderr, "vantor web extension: the page message hook failed: %s\n",
                     jsc_exception_get_message(exception));
        jsc_context_clear_exception(context);
    }
    g_object_unref(done);
    g_object_unref(send);
    g_object_unref(install);
    g_object_unref(context);
}

// A view's user script is about to run in the message world of a frame: the
// function it calls is made there, out of the page's reach.
void messageWorldCleared(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame,
                         gpointer) {
    if (!webkit_frame_is_main_frame(frame)) return;
    auto* target = new HookTarget{webkit_web_page_get_id(page), frame, false};
    g_object_add_weak_pointer(G_OBJECT(frame), reinterpret_cast<gpointer*>(&target->frame));
    JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, world);
    JSCValue* configure = jsc_value_new_function(
        context, protocol::kMessageConfigureFunction, G_CALLBACK(installMessageHook), target,
        [](gpointer data) {
            auto* target = static_cast<HookTarget*>(data);
            if (target->frame)
                g_object_remove_weak_pointer(G_OBJECT(target->frame),
                                             reinterpret_cast<gpointer*>(&target->frame));
            delete target;
        },
        G_TYPE_NONE, 3, G_TYPE_STRING, G_TYPE_DOUBLE, G_TYPE_DOUBLE);
    jsc_context_set_value(context, protocol::kMessageConfigureFunction, configure);
    g_object_unref(configure);
    g_object_unref(context);
}

void pageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer) {
    auto* state = new PageState;
    g_object_set_data_full(G_OBJECT(page), kStateKey, state,
                           [](gpointer data) { delete static_cast<PageState*>(data); });
    g_signal_connect(page, "send-request", G_CALLBACK(sendRequest), state);
    g_signal_connect(page, "user-message-received", G_CALLBACK(userMessage), state);
    g_signal_connect(page, "notify::uri", G_CALLBACK(addressChanged), state);
    g_signal_connect(webkit_web_page_get_form_manager(page, navigationWorld()), "will-submit-form",
                     G_CALLBACK(formSubmitted), state);
    const std::uint64_t id = webkit_web_page_get_id(page);
    {
        const std::lock_guard lock(memory.mutex);
        memory.pages.push_back(id);
    }
    g_object_weak_ref(
        G_OBJECT(page),
        [](gpointer data, GObject*) {
            const auto gone = std::uint64_t(GPOINTER_TO_SIZE(data));
            const std::lock_guard lock(memory.mutex);
            std::erase(memory.pages, gone);
        },
        GSIZE_TO_POINTER(gsize(id)));
    // The view learns that a load of its is no longer waiting for the
    // process to start.
    webkit_web_page_send_message_to_view(
        page, webkit_user_message_new(protocol::kPageMessage, nullptr), nullptr, nullptr, nullptr);
}

}  // namespace

extern "C" G_MODULE_EXPORT void
webkit_web_extension_initialize_with_user_data(WebKitWebExtension* webExtension, GVariant* data) {
    if (data && g_variant_is_of_type(data, G_VARIANT_TYPE_VARDICT)) {
        // Pages are untrusted code: a process the engine started outside
        // its sandbox (sharing the app's view of the files) runs none.
        const char* appNamespace = nullptr;
        if (g_variant_lookup(data, protocol::kAppMountNamespaceKey, "&s", &appNamespace) &&
            protocol::mountNamespace() == appNamespace) {
            std::fprintf(stderr, "vantor web extension: this web process runs outside the "
                                 "engine's sandbox; it ends\n");
            _exit(EXIT_FAILURE);
        }
        const char* socketPath = nullptr;
        if (g_variant_lookup(data, protocol::kSocketKey, "&s", &socketPath))
            extension.socketPath = socketPath;
        const char* pageKey = nullptr;
        if (g_variant_lookup(data, protocol::kPageKeyKey, "&s", &pageKey)) {
            extension.pageMarks = std::make_unique<protocol::PageMarkSeal>(pageKey);
            if (!extension.pageMarks->valid())
                std::fprintf(stderr, "vantor web extension: the page mark's key is unusable\n");
        }
        guint32 limitMiB = 0;
        if (g_variant_lookup(data, protocol::kMemoryLimitKey, "u", &limitMiB) && limitMiB > 0)
            startMemoryWatch(limitMiB);
    }
    extension.engine = webExtension;
    g_signal_connect(webExtension, "page-created", G_CALLBACK(pageCreated), nullptr);
    // For the life of the process, as the world's name is the views'.
    WebKitScriptWorld* messageWorld = webkit_script_world_new_with_name(protocol::kMessageWorld);
    g_signal_connect(messageWorld, "window-object-cleared", G_CALLBACK(messageWorldCleared),
                     nullptr);
    g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                     G_CALLBACK(windowObjectCleared), nullptr);
}
