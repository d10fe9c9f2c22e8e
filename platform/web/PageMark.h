#pragma once
// The page mark (protocol::kPageHeader) sealed and opened: the web process
// extension seals it onto each request of a proxied page, the engine proxy
// opens it. Header only, plain C++, GLib and libgcrypt (which the engine
// itself loads on both sides): the two sides share this code.
//
// The field goes where the page's script can look: a service worker sees
// every field of the requests it is handed, and may pass such a request on.
// So the mark is sealed with AES-128-GCM under the run's key, which only the
// app and the extension hold: the value tells a reader nothing (page id and
// document URL are encrypted), a value made without the key does not open,
// and the seal covers the method and URL of the request it was made for, so
// a mark copied onto another request opens to nothing. A request the engine
// itself passes on whole (a service worker's fetch(event.request)) keeps
// its page.
//
// A PageMarkSeal is used on one thread at a time.

#include <gcrypt.h>
#include <glib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "web/WebProcessProtocol.h"

namespace web::protocol {

// "host:port", "[v6]:port" or "host" (no user): the host without brackets
// and the port, empty when none is named; false when the brackets or what
// follows them make no authority.
[[nodiscard]] inline bool splitAuthority(std::string_view authority, std::string_view& host,
                                         std::string_view& port) {
    host = authority;
    port = {};
    if (authority.starts_with('[')) {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;
        host = authority.substr(1, close - 1);
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') return false;
        if (!rest.empty()) port = rest.substr(1);
    } else if (const size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) return false;
    }
    return true;
}

// A path and query as the engine's network stack sends them, which the web
// process sees before it and the proxy after: an escape of a character
// that needs none (a letter, a digit, "-", ".", "_", "~") as that
// character, and the hex digits of the others in upper case ("/%7e%2f" is
// sent as "/~%2F"). Anything else as it is.
inline void appendSentTarget(std::string& text, std::string_view target) {
    for (size_t i = 0; i < target.size(); ++i) {
        const bool escape = target[i] == '%' && i + 2 < target.size();
        const int high = escape ? g_ascii_xdigit_value(target[i + 1]) : -1;
        const int low = high >= 0 ? g_ascii_xdigit_value(target[i + 2]) : -1;
        if (low < 0) {
            text += target[i];
            continue;
        }
        const char byte = char(high << 4 | low);
        if (g_ascii_isalnum(byte) || byte == '-' || byte == '.' || byte == '_' || byte == '~') {
            text += byte;
        } else {
            text += '%';
            text += g_ascii_toupper(target[i + 1]);
            text += g_ascii_toupper(target[i + 2]);
        }
        i += 2;
    }
}

// A URL as the engine's network stack sends it: its path and query as
// appendSentTarget makes them, the rest as it is. What the proxy receives
// for a URL the engine wrote, and what it records its loads under.
[[nodiscard]] inline std::string sentURL(std::string_view url) {
    const size_t separator = url.find("://");
    if (separator == std::string_view::npos) return std::string(url);
    const size_t start = url.find_first_of("/?#", separator + 3);
    const size_t end = std::min(url.find('#'), url.size());
    if (start == std::string_view::npos || start >= end) return std::string(url);
    std::string text(url.substr(0, start));
    appendSentTarget(text, url.substr(start, end - start));
    text += url.substr(end);
    return text;
}

// What a seal covers for a request: its method and URL, the URL reduced to
// what reaches the proxy (no user, no fragment; the port always named; the
// host in lower case; path and query as sent, appendSentTarget). nullopt
// for a URL that is not http(s) with a host.
[[nodiscard]] inline std::optional<std::string> pageMarkBinding(std::string_view method,
                                                                std::string_view url) {
    const size_t separator = url.find("://");
    if (separator == std::string_view::npos) return std::nullopt;
    gchar* scheme = g_ascii_strdown(url.data(), gssize(separator));
    const std::string lowerScheme = scheme;
    g_free(scheme);
    if (lowerScheme != "http" && lowerScheme != "https") return std::nullopt;
    std::string_view rest = url.substr(separator + 3);
    const size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    std::string_view host;
    std::string_view port;
    if (!splitAuthority(authority, host, port) || host.empty()) return std::nullopt;
    // The path and query as sent: no fragment.
    std::string_view target =
        authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
    target = target.substr(0, target.find('#'));
    std::string text(method);
    text += '\n';
    text += lowerScheme;
    text += "://";
    gchar* lowerHost = g_ascii_strdown(host.data(), gssize(host.size()));
    text += host.find(':') != std::string_view::npos ? std::string("[") + lowerHost + "]"
                                                     : std::string(lowerHost);
    g_free(lowerHost);
    text += ':';
    text += !port.empty() ? std::string(port) : lowerScheme == "https" ? "443" : "80";
    if (!target.starts_with('/')) text += '/';
    appendSentTarget(text, target);
    return text;
}

class PageMarkSeal {
public:
    static constexpr size_t kKeyBytes = 16;
    static constexpr size_t kNonceBytes = 12;
    static constexpr size_t kTagBytes = 16;

    // hexKey: kKeyBytes as hex digits; anything else makes a seal that
    // seals and opens nothing.
    explicit PageMarkSeal(std::string_view hexKey) {
        std::array<unsigned char, kKeyBytes> key{};
        if (hexKey.size() != 2 * kKeyBytes) return;
        for (size_t i = 0; i < kKeyBytes; ++i) {
            const int high = g_ascii_xdigit_value(hexKey[2 * i]);
            const int low = g_ascii_xdigit_value(hexKey[2 * i + 1]);
            if (high < 0 || low < 0) return;
            key[i] = static_cast<unsigned char>(high << 4 | low);
        }
        initializeLibrary();
        if (gcry_cipher_open(&cipher_, GCRY_CIPHER_AES128, GCRY_CIPHER_MODE_GCM, 0) != 0) {
            cipher_ = nullptr;
        } else if (gcry_cipher_setkey(cipher_, key.data(), key.size()) != 0) {
            gcry_cipher_close(cipher_);
            cipher_ = nullptr;
        }
    }
    ~PageMarkSeal() {
        if (cipher_) gcry_cipher_close(cipher_);
    }
    PageMarkSeal(const PageMarkSeal&) = delete;
    PageMarkSeal& operator=(const PageMarkSeal&) = delete;

    [[nodiscard]] bool valid() const { return cipher_ != nullptr; }

    // The field's value for a request of the page (method, url) whose main
    // document is documentURL (left out past kMostPageHeaderURLBytes);
    // empty when it cannot be made.
    [[nodiscard]] std::string seal(std::uint64_t pageId, std::string_view documentURL,
                                   std::string_view method, std::string_view url) {
        const auto binding = pageMarkBinding(method, url);
        if (!cipher_ || !binding) return {};
        if (documentURL.size() > kMostPageHeaderURLBytes) documentURL = {};
        std::string sealed(kNonceBytes + sizeof pageId + documentURL.size() + kTagBytes, '\0');
        auto* bytes = reinterpret_cast<unsigned char*>(sealed.data());
        gcry_create_nonce(bytes, kNonceBytes);
        unsigned char* text = bytes + kNonceBytes;
        for (size_t i = 0; i < sizeof pageId; ++i)
            text[i] = static_cast<unsigned char>(pageId >> (8 * (sizeof pageId - 1 - i)));
        if (!documentURL.empty())
            std::memcpy(text + sizeof pageId, documentURL.data(), documentURL.size());
        const size_t textSize = sizeof pageId + documentURL.size();
        if (gcry_cipher_setiv(cipher_, bytes, kNonceBytes) != 0 ||
            gcry_cipher_authenticate(cipher_, binding->data(), binding->size()) != 0 ||
            gcry_cipher_encrypt(cipher_, text, textSize, nullptr, 0) != 0 ||
            gcry_cipher_gettag(cipher_, text + textSize, kTagBytes) != 0)
            return {};
        gchar* encoded = g_base64_encode(bytes, sealed.size());
        std::string value(encoded);
        g_free(encoded);
        return value;
    }

    // The mark a value sealed for (method, url) carries; nullopt for one
    // sealed under another key or for another request, or altered.
    [[nodiscard]] std::optional<PageMark> open(std::string_view value, std::string_view method,
                                               std::string_view url) {
        if (!cipher_ || value.size() > 2 * kMostPageHeaderURLBytes) return std::nullopt;
        const auto binding = pageMarkBinding(method, url);
        if (!binding) return std::nullopt;
        gsize size = 0;
        guchar* bytes = g_base64_decode(std::string(value).c_str(), &size);
        std::optional<PageMark> mark;
        constexpr size_t kLeast = kNonceBytes + sizeof(std::uint64_t) + kTagBytes;
        if (bytes && size >= kLeast) {
            unsigned char* text = bytes + kNonceBytes;
            const size_t textSize = size - kNonceBytes - kTagBytes;
            if (gcry_cipher_setiv(cipher_, bytes, kNonceBytes) == 0 &&
                gcry_cipher_authenticate(cipher_, binding->data(), binding->size()) == 0 &&
                gcry_cipher_decrypt(cipher_, text, textSize, nullptr, 0) == 0 &&
                gcry_cipher_checktag(cipher_, text + textSize, kTagBytes) == 0) {
                PageMark opened;
                for (size_t i = 0; i < sizeof opened.pageId; ++i)
                    opened.pageId = opened.pageId << 8 | text[i];
                opened.mainDocumentURL.assign(
                    reinterpret_cast<const char*>(text) + sizeof opened.pageId,
                    textSize - sizeof opened.pageId);
                mark = std::move(opened);
            }
        }
        g_free(bytes);
        return mark;
    }

private:
    static void initializeLibrary() {
        static std::once_flag once;
        std::call_once(once, [] {
            // The engine may have done it already in this process.
            if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) return;
            (void)gcry_check_version(nullptr);
            gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
            gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        });
    }

    gcry_cipher_hd_t cipher_ = nullptr;
};

}  // namespace web::protocol
