#include "web/proxy/ProxySocks.h"

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include "core/RunLoop.h"
#include "core/Timer.h"
#include "web/proxy/ProxyGuards.h"
#include "web/proxy/ProxyServer.h"

namespace web::proxy {

namespace {

constexpr unsigned char kVersion = 5;
constexpr unsigned char kCredentialsVersion = 1;
constexpr unsigned char kUserAndPassword = 2;
constexpr unsigned char kNoAcceptableMethod = 0xFF;
constexpr unsigned char kConnect = 1;
constexpr unsigned char kIPv4 = 1;
constexpr unsigned char kName = 3;
constexpr unsigned char kIPv6 = 4;
// The first byte of a TLS handshake record.
constexpr unsigned char kTLSHandshake = 0x16;

std::atomic<std::uint64_t> replacedNegotiations{0};

unsigned char byteAt(const std::string& bytes, size_t index) {
    return static_cast<unsigned char>(bytes[index]);
}

// A host name a client may name: what a URL's host can be, no more.
bool isHostName(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F ||
            std::string_view("/?#@[]\\:%").find(c) != std::string_view::npos)
            return false;
    }
    return true;
}

}  // namespace

// One client, from its connection to the destination it named.
class SocksGate::Negotiation : public std::enable_shared_from_this<Negotiation> {
public:
    Negotiation(SocksGate& gate, GSocket* socket)
        : gate_(gate), socket_(G_SOCKET(g_object_ref(socket))) {
        gate_.server_.descriptorOpened();
    }
    ~Negotiation() {
        if (deadline_) deadline_->invalidate();
        if (aging_) aging_->invalidate();
        dropSource();
        if (socket_) {
            (void)g_socket_shutdown(socket_, TRUE, TRUE, nullptr);
            (void)g_socket_close(socket_, nullptr);
            g_object_unref(socket_);
        }
        gate_.server_.descriptorClosed();
    }
    Negotiation(const Negotiation&) = delete;
    Negotiation& operator=(const Negotiation&) = delete;

    void start() {
        expire(kHeadSeconds);
        aging_ = core::Timer::schedule(core::RunLoop::current(), kSocksSignInSeconds, false,
                                       [weak = weak_from_this()](core::Timer&) {
                                           const auto held = weak.lock();
                                           if (!held) return;
                                           held->aged_ = true;
                                           held->gate_.roomMayHaveCome();
                                       });
        source_ =
            g_socket_create_source(socket_, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), nullptr);
        g_source_set_callback(
            source_, G_SOURCE_FUNC(+[](GSocket*, GIOCondition, gpointer data) -> gboolean {
                const auto keep = static_cast<Negotiation*>(data)->shared_from_this();
                keep->readable();
                return G_SOURCE_CONTINUE;
            }),
            this, nullptr);
        g_source_attach(source_, g_main_context_get_thread_default());
    }

    // It showed the run's credentials.
    [[nodiscard]] bool signedIn() const {
        return stage_ == Stage::request || stage_ == Stage::firstByte;
    }
    // It kept its place kSocksSignInSeconds.
    [[nodiscard]] bool aged() const { return aged_; }

private:
    enum class Stage { greeting, credentials, request, firstByte };

    // Ends it once seconds pass.
    void expire(double seconds) {
        if (deadline_) deadline_->invalidate();
        deadline_ = core::Timer::schedule(core::RunLoop::current(), seconds, false,
                                          [weak = weak_from_this()](core::Timer&) {
                                              if (const auto held = weak.lock()) held->end();
                                          });
    }

    // The bytes the message under way has in all, as far as those read
    // tell; 0 for no message of the kind.
    [[nodiscard]] size_t wanted() const {
        const size_t have = in_.size();
        switch (stage_) {
        case Stage::greeting:
            return have < 2 ? 2 : 2 + byteAt(in_, 1);
        case Stage::credentials: {
            if (have < 2) return 2;
            const size_t user = byteAt(in_, 1);
            return have < 3 + user ? 3 + user : 3 + user + byteAt(in_, 2 + user);
        }
        case Stage::request:
            if (have < 5) return 5;
            switch (byteAt(in_, 3)) {
            case kIPv4:
                return 4 + 4 + 2;
            case kIPv6:
                return 4 + 16 + 2;
            case kName:
                return 4 + 1 + byteAt(in_, 4) + 2;
            default:
                return 0;
            }
        case Stage::firstByte:
            return 0;
        }
        return 0;
    }

    void readable() {
        while (gate_.owns(this)) {
            if (stage_ == Stage::firstByte) return peekFirstByte();
            // Whatever else a client speaks ends at its first byte.
            const unsigned char version =
                stage_ == Stage::credentials ? kCredentialsVersion : kVersion;
            if (!in_.empty() && byteAt(in_, 0) != version) return end();
            const size_t need = wanted();
            if (need == 0) return refuse(addressTypeNotSupported);
            if (in_.size() == need) {
                handle();
                continue;
            }
            char buffer[512];
            GError* error = nullptr;
            const gssize count = g_socket_receive(
                socket_, buffer, std::min(sizeof buffer, need - in_.size()), nullptr, &error);
            const bool again = error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
            g_clear_error(&error);
            if (count > 0) {
                in_.append(buffer, size_t(count));
            } else {
                if (!again) end();
                return;
            }
        }
    }

    // A whole message is in.
    void handle() {
        const std::string message = std::exchange(in_, {});
        switch (stage_) {
        case Stage::greeting: {
            if (message.find(char(kUserAndPassword), 2) == std::string::npos) {
                (void)send({char(kVersion), char(kNoAcceptableMethod)});
                return end();
            }
            if (!send({char(kVersion), char(kUserAndPassword)})) return end();
            stage_ = Stage::credentials;
            return;
        }
        case Stage::credentials: {
            const size_t userLength = byteAt(message, 1);
            const std::string_view user = std::string_view(message).substr(2, userLength);
            const std::string_view password = std::string_view(message).substr(3 + userLength);
            if (!gate_.server_.isEngine(user, password)) {
                (void)send({char(kCredentialsVersion), 1});
                return end();
            }
            if (!send({char(kCredentialsVersion), 0})) return end();
            stage_ = Stage::request;
            gate_.roomMayHaveCome();
            return;
        }
        case Stage::request:
            return request(message);
        case Stage::firstByte:
            return;
        }
    }

    void request(const std::string& message) {
        if (byteAt(message, 1) != kConnect) return refuse(commandNotSupported);
        const unsigned char type = byteAt(message, 3);
        std::string host;
        if (type == kName) {
            host = message.substr(5, byteAt(message, 4));
            if (!isHostName(host)) return refuse(hostUnreachable);
        } else {
            char text[INET6_ADDRSTRLEN] = {};
            if (!inet_ntop(type == kIPv4 ? AF_INET : AF_INET6, message.data() + 4, text,
                           sizeof text))
                return refuse(addressTypeNotSupported);
            host = text;
        }
        const size_t end = message.size();
        const int port = byteAt(message, end - 2) << 8 | byteAt(message, end - 1);
        if (port == 0) return refuse(hostUnreachable);
        Server& server = gate_.server_;
        if (server.isOwnAddress(host, port)) return refuse(notAllowed);
        if (!server.hasRoomForTunnel()) return refuse(generalFailure);
        destination_ = Destination{std::move(host), port};
        // The address bound is nobody's business: zeros.
        if (!send({char(kVersion), char(succeeded), 0, char(kIPv4), 0, 0, 0, 0, 0, 0}))
            return this->end();
        stage_ = Stage::firstByte;
        // The engine may open a connection before it has a request for it:
        // it waits as an idle connection of the engine's does.
        expire(clientIdleSeconds());
    }

    // What the destination's connection speaks, by its first byte, left to
    // be read.
    void peekFirstByte() {
        char first = 0;
        GInputVector vector{&first, 1};
        int flags = G_SOCKET_MSG_PEEK;
        GError* error = nullptr;
        const gssize count = g_socket_receive_message(socket_, nullptr, &vector, 1, nullptr,
                                                      nullptr, &flags, nullptr, &error);
        const bool again = error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
        g_clear_error(&error);
        if (count == 1) return handOver(static_cast<unsigned char>(first) == kTLSHandshake);
        if (!again) end();
    }

    void handOver(bool tls) {
        dropSource();
        if (deadline_) deadline_->invalidate();
        GSocket* socket = std::exchange(socket_, nullptr);
        GSocketConnection* stream = g_socket_connection_factory_create_connection(socket);
        destination_.secure = tls;
        gate_.server_.enter(G_IO_STREAM(stream), socket, std::move(destination_));
        g_object_unref(stream);
        g_object_unref(socket);
        end();
    }

    // Writes a reply whole; false when the client cannot take it now.
    bool send(std::initializer_list<char> bytes) {
        const std::string reply(bytes);
        return g_socket_send(socket_, reply.data(), reply.size(), nullptr, nullptr) ==
               gssize(reply.size());
    }

    void refuse(Reply reply) {
        (void)send({char(kVersion), char(reply), 0, char(kIPv4), 0, 0, 0, 0, 0, 0});
        end();
    }

    // Done: the gate lets it go (closing its socket, unless handed over).
    void end() { gate_.ended(this); }

    void dropSource() {
        if (!source_) return;
        g_source_destroy(source_);
        g_source_unref(std::exchange(source_, nullptr));
    }

    SocksGate& gate_;
    GSocket* socket_;
    GSource* source_ = nullptr;
    std::shared_ptr<core::Timer> deadline_;
    std::shared_ptr<core::Timer> aging_;
    bool aged_ = false;
    Stage stage_ = Stage::greeting;
    std::string in_;
    Destination destination_;
};

SocksGate::~SocksGate() = default;

size_t SocksGate::strangers() const {
    return size_t(std::count_if(negotiations_.begin(), negotiations_.end(),
                                [](const auto& held) { return !held->signedIn(); }));
}

bool SocksGate::hasRoom() const {
    return strangers() < kMostSocksNegotiations ||
           std::any_of(negotiations_.begin(), negotiations_.end(),
                       [](const auto& held) { return !held->signedIn() && held->aged(); });
}

void SocksGate::opened(GSocket* socket) {
    if (strangers() >= kMostSocksNegotiations) {
        const auto oldest =
            std::find_if(negotiations_.begin(), negotiations_.end(),
                         [](const auto& held) { return !held->signedIn() && held->aged(); });
        if (oldest == negotiations_.end()) {
            // Taken without room after all: it goes instead.
            (void)g_socket_close(socket, nullptr);
            return;
        }
        ++replacedNegotiations;
        ended(oldest->get());
    }
    auto negotiation = std::make_shared<Negotiation>(*this, socket);
    negotiations_.push_back(negotiation);
    negotiation->start();
}

std::uint64_t SocksGate::replaced() {
    return replacedNegotiations;
}

void SocksGate::roomMayHaveCome() {
    if (hasRoom()) server_.socksRoomMade();
}

bool SocksGate::owns(const Negotiation* negotiation) const {
    for (const auto& held : negotiations_)
        if (held.get() == negotiation) return true;
    return false;
}

void SocksGate::ended(Negotiation* negotiation) {
    for (auto held = negotiations_.begin(); held != negotiations_.end(); ++held) {
        if (held->get() != negotiation) continue;
        // Let go once what runs now is done with it.
        core::RunLoop::current().post([let = std::move(*held)] {});
        negotiations_.erase(held);
        roomMayHaveCome();
        return;
    }
}

}  // namespace web::proxy
