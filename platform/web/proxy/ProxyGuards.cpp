#include "web/proxy/ProxyGuards.h"

#include <glib.h>
#include <malloc.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <set>
#include <vector>

#include "core/ASCII.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "web/proxy/ProxyConnection.h"
#include "web/proxy/ProxyHead.h"

namespace web::proxy {

namespace {

std::atomic<unsigned> idleSeconds{kClientIdleSeconds};

// Equal texts, in a time that does not tell how much of them matched.
bool sameSecret(std::string_view given, std::string_view expected) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> a{};
    std::array<unsigned char, EVP_MAX_MD_SIZE> b{};
    unsigned int aLength = 0;
    unsigned int bLength = 0;
    if (EVP_Digest(given.data(), given.size(), a.data(), &aLength, EVP_sha256(), nullptr) != 1 ||
        EVP_Digest(expected.data(), expected.size(), b.data(), &bLength, EVP_sha256(), nullptr) !=
            1)
        return false;
    return aLength == bLength && CRYPTO_memcmp(a.data(), b.data(), aLength) == 0;
}

bool hasCredentials(const RequestHead& head, const Credentials& credentials) {
    const auto values = head.fields.values("Proxy-Authorization");
    if (values.size() != 1) return false;
    std::string_view value = values.front();
    if (value.size() < 6 || !core::HTTPHeaders::sameName(value.substr(0, 6), "Basic "))
        return false;
    value.remove_prefix(6);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    gsize length = 0;
    guchar* decoded = g_base64_decode(std::string(value).c_str(), &length);
    const std::string pair(reinterpret_cast<const char*>(decoded), length);
    g_free(decoded);
    const size_t colon = pair.find(':');
    if (colon == std::string::npos) return false;
    return areEngineCredentials(std::string_view(pair).substr(0, colon),
                                std::string_view(pair).substr(colon + 1), credentials);
}

bool isStrictPreflight(const RequestHead& head) {
    return head.method == "OPTIONS" && !head.hasBody() &&
           !head.fields.contains("Transfer-Encoding") && !head.fields.contains("Upgrade") &&
           head.field("Content-Length").value_or("0") == "0" && head.fields.contains("Origin") &&
           head.fields.contains("Access-Control-Request-Method");
}

}  // namespace

bool areEngineCredentials(std::string_view user, std::string_view password,
                          const Credentials& credentials) {
    // Both compared, whatever the first gave.
    const bool userMatches = sameSecret(user, credentials.user);
    const bool passwordMatches = sameSecret(password, credentials.password);
    return userMatches && passwordMatches;
}

Standing standingOf(const RequestHead& head, bool tunneled, const Credentials& credentials) {
    if (tunneled || hasCredentials(head, credentials)) return Standing::engine;
    return isStrictPreflight(head) ? Standing::preflight : Standing::stranger;
}

bool challengeEndsConnection(const RequestHead& head) {
    return head.fields.contains("Upgrade") ||
           (head.framing == Framing::length && head.length > kMostRequestBodyBytes);
}

bool namesProxyItself(std::string_view host, int port, const std::vector<int>& proxyPorts) {
    if (std::find(proxyPorts.begin(), proxyPorts.end(), port) == proxyPorts.end()) return false;
    const std::string name = core::asciiLowercased(host);
    return name == "127.0.0.1" || name == "localhost" || name == "localhost." || name == "::1" ||
           name == "0.0.0.0" || name == "::";
}

unsigned clientIdleSeconds() {
    return idleSeconds;
}

void setClientIdleSeconds(unsigned seconds) {
    idleSeconds = seconds;
}

// Admission

Admission::Entries::iterator Admission::find(Connection& connection) {
    return std::find_if(waiting_.begin(), waiting_.end(),
                        [&](const auto& entry) { return entry.first == &connection; });
}

void Admission::opened(const std::shared_ptr<Connection>& connection) {
    while (waiting_.size() >= kMostUnadmittedConnections) {
        auto victim = std::find_if(waiting_.begin(), waiting_.end(), [](const auto& entry) {
            const auto held = entry.second.connection.lock();
            return held && held->silent();
        });
        if (victim == waiting_.end()) victim = waiting_.begin();
        const auto held = victim->second.connection.lock();
        headBytes_ -= victim->second.headBytes;
        waiting_.erase(victim);
        if (held) held->abort();
    }
    waiting_.push_back({connection.get(), Waiting{connection, 0}});
}

void Admission::admit(Connection& connection) {
    if (const auto entry = find(connection); entry != waiting_.end()) {
        headBytes_ -= entry->second.headBytes;
        waiting_.erase(entry);
    }
}

void Admission::closed(Connection& connection) {
    admit(connection);
}

void Admission::holding(Connection& connection, size_t bytes) {
    const auto entry = find(connection);
    if (entry == waiting_.end()) return;
    headBytes_ += bytes - entry->second.headBytes;
    entry->second.headBytes = bytes;
    while (headBytes_ > kMostUnadmittedHeadBytes && !waiting_.empty()) {
        auto largest =
            std::max_element(waiting_.begin(), waiting_.end(), [](const auto& a, const auto& b) {
                return a.second.headBytes < b.second.headBytes;
            });
        const auto held = largest->second.connection.lock();
        headBytes_ -= largest->second.headBytes;
        waiting_.erase(largest);
        if (held) held->abort();
    }
}

// BodyBudget

struct BodyBudget::Share::Entry {
    std::uint64_t page = 0;
    std::int64_t bytes = 0;
    bool lost = false;
    std::function<void()> lost_;
};

namespace {

struct Ledger {
    std::mutex mutex;
    std::atomic<std::int64_t> used{0};
    // Every share that holds bytes, in the order they first took some.
    std::vector<std::weak_ptr<void>> order;
};

Ledger& ledger() {
    static auto* shared = new Ledger;
    return *shared;
}

}  // namespace

BodyBudget::Share::Share(std::uint64_t page, std::function<void()> lost)
    : entry_(std::make_shared<Entry>()) {
    entry_->page = page;
    entry_->lost_ = std::move(lost);
}

BodyBudget::Share::Share(Share&& other) noexcept : entry_(std::move(other.entry_)) {}

BodyBudget::Share& BodyBudget::Share::operator=(Share&& other) noexcept {
    if (this != &other) {
        release();
        entry_ = std::move(other.entry_);
    }
    return *this;
}

std::int64_t BodyBudget::Share::bytes() const {
    if (!entry_) return 0;
    const std::lock_guard lock(ledger().mutex);
    return entry_->bytes;
}

bool BodyBudget::Share::lost() const {
    if (!entry_) return false;
    const std::lock_guard lock(ledger().mutex);
    return entry_->lost;
}

bool BodyBudget::Share::grow(std::int64_t bytes) {
    if (!entry_) entry_ = std::make_shared<Entry>();
    auto& book = ledger();
    std::vector<std::function<void()>> losers;
    bool taken = false;
    {
        const std::lock_guard lock(book.mutex);
        if (entry_->lost) return false;
        std::erase_if(book.order, [](const std::weak_ptr<void>& held) { return held.expired(); });
        std::vector<std::shared_ptr<Entry>> shares;
        for (const auto& held : book.order)
            if (auto share = std::static_pointer_cast<Entry>(held.lock());
                share && share->bytes > 0)
                shares.push_back(std::move(share));
        std::map<std::uint64_t, std::int64_t> byPage;
        for (const auto& share : shares) byPage[share->page] += share->bytes;
        const std::int64_t used = book.used.load();
        if (used + bytes > kBytes) {
            // Room is made only for a page within its fair part, and only
            // from pages over theirs: the most holding first, their newest
            // bodies first.
            byPage.try_emplace(entry_->page, 0);
            const std::int64_t fair = kBytes / std::int64_t(byPage.size());
            std::int64_t freed = 0;
            if (byPage[entry_->page] + bytes <= fair) {
                std::vector<std::pair<std::int64_t, std::uint64_t>> over;
                for (const auto& [page, held] : byPage)
                    if (page != entry_->page && held > fair) over.emplace_back(held, page);
                std::sort(over.rbegin(), over.rend());
                for (auto& [held, page] : over) {
                    for (auto share = shares.rbegin();
                         share != shares.rend() && held > fair && used - freed + bytes > kBytes;
                         ++share) {
                        if ((*share)->page != page || (*share)->bytes == 0) continue;
                        held -= (*share)->bytes;
                        freed += (*share)->bytes;
                        (*share)->bytes = 0;
                        (*share)->lost = true;
                        if ((*share)->lost_) losers.push_back(std::move((*share)->lost_));
                    }
                }
            }
            book.used -= freed;
        }
        if (book.used.load() + bytes <= kBytes) {
            if (entry_->bytes == 0) book.order.push_back(entry_);
            entry_->bytes += bytes;
            book.used += bytes;
            taken = true;
        }
    }
    for (auto& lose : losers) lose();
    return taken;
}

void BodyBudget::Share::shrinkTo(std::int64_t bytes) {
    if (!entry_) return;
    // A byte at least: a share that holds any keeps its place in the order.
    bytes = std::max<std::int64_t>(bytes, 1);
    std::int64_t given = 0;
    {
        const std::lock_guard lock(ledger().mutex);
        if (entry_->bytes <= bytes) return;
        given = entry_->bytes - bytes;
        ledger().used -= given;
        entry_->bytes = bytes;
    }
    returned(given);
}

void BodyBudget::Share::release() {
    if (!entry_) return;
    std::int64_t given = 0;
    {
        const std::lock_guard lock(ledger().mutex);
        given = entry_->bytes;
        ledger().used -= given;
        entry_->bytes = 0;
    }
    entry_.reset();
    returned(given);
}

namespace {

std::atomic<std::int64_t> g_returnedSince{0};
std::atomic<std::int64_t> g_lastTrimMilliseconds{0};
std::atomic<bool> g_trimAwaited{false};

// What the allocator keeps free goes back to the system, unless it went
// less than a second ago: then it goes once that second is over (on the
// calling thread's loop, the proxy's), so that what came back last is not
// kept.
void trimFreeMemory() {
    const std::int64_t now = g_get_monotonic_time() / 1000;
    std::int64_t last = g_lastTrimMilliseconds.load();
    if (now - last >= 1000 && g_lastTrimMilliseconds.compare_exchange_strong(last, now)) {
        g_returnedSince = 0;
        (void)malloc_trim(0);
        return;
    }
    if (g_trimAwaited.exchange(true)) return;
    const double wait = double(std::max<std::int64_t>(1000 - (now - last), 1)) / 1000;
    (void)core::Timer::schedule(core::RunLoop::current(), wait, false, [](core::Timer&) {
        g_trimAwaited = false;
        trimFreeMemory();
    });
}

}  // namespace

void BodyBudget::returned(std::int64_t bytes) {
    if ((g_returnedSince += bytes) < kReturnedBytes || g_trimAwaited) return;
    trimFreeMemory();
}

std::int64_t BodyBudget::used() {
    return ledger().used.load();
}

// LoadPlaces

LoadPlaces::Place& LoadPlaces::Place::operator=(Place&& other) noexcept {
    if (this != &other) {
        release();
        places_ = std::exchange(other.places_, nullptr);
        page_ = other.page_;
    }
    return *this;
}

void LoadPlaces::Place::release() {
    if (auto* places = std::exchange(places_, nullptr)) places->give(page_);
}

void LoadPlaces::take(std::uint64_t page, std::weak_ptr<void> ticket,
                      std::function<void(Place)> start) {
    waiting_.push_back({page, std::move(ticket), std::move(start)});
    startWaiting();
}

void LoadPlaces::give(std::uint64_t page) {
    --inAll_;
    if (const auto found = perPage_.find(page); found != perPage_.end() && --found->second == 0)
        perPage_.erase(found);
    startWaiting();
}

void LoadPlaces::startWaiting() {
    // A start that ends its load at once gives its place back from within.
    if (starting_) return;
    starting_ = true;
    for (auto next = waiting_.begin(); next != waiting_.end() && inAll_ < kMostInAll;) {
        if (next->ticket.expired()) {
            next = waiting_.erase(next);
            continue;
        }
        size_t& held = perPage_[next->page];
        if (held >= kMostPerPage) {
            ++next;
            continue;
        }
        ++held;
        ++inAll_;
        Waiting starting = std::move(*next);
        next = waiting_.erase(next);
        starting.start(Place(this, starting.page));
        // What the start did may have changed the queue: look again.
        next = waiting_.begin();
    }
    starting_ = false;
}

// Descriptors

namespace {

std::atomic<long> softLimit{0};

long currentSoftLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
    return limit.rlim_cur == RLIM_INFINITY ? Descriptors::kMostRaised : long(limit.rlim_cur);
}

}  // namespace

long Descriptors::raiseLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const rlim_t wanted = std::min<rlim_t>(limit.rlim_max, rlim_t(kMostRaised));
        if (wanted > limit.rlim_cur) {
            limit.rlim_cur = wanted;
            (void)setrlimit(RLIMIT_NOFILE, &limit);
        }
    }
    softLimit = currentSoftLimit();
    return softLimit;
}

long Descriptors::mostForProxy() {
    long limit = softLimit.load();
    if (limit == 0) limit = currentSoftLimit();
    return std::max(limit - kReserved, 64L);
}

}  // namespace web::proxy
