#pragma once
// core::URL is a parsed URI reference (RFC 3986): an absolute URL such as
// "https://user@host:8080/a/b?q#f" or a relative reference such as "a/b?c".
// Parsing is strict, like the phone platform: spaces, non-ASCII characters
// and bad escapes are refused rather than repaired. URLs a browser engine
// wrote (createFromWeb) are taken as the engine wrote them instead.
//
// URL is an immutable value type. Its text is kept exactly as given;
// accessors answer the parts as written (percent-escapes kept) unless they
// say they decode.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

struct URLQueryItem {
    std::string name;
    std::optional<std::string> value;  // absent for "a", empty for "a="
    friend bool operator==(const URLQueryItem&, const URLQueryItem&) = default;
};

class URL {
  public:
    // nullopt for empty text or text that is not a URI reference.
    [[nodiscard]] static std::optional<URL> create(std::string_view text);
    // A URL as a browser engine writes it and sends it: what create()
    // takes, and also the characters engines leave unescaped in paths and
    // queries ("|", "[", "]", "{", "}", "^", "`", a "%" that starts no
    // escape, bytes above 0x7F). Never a space, a control character or a
    // DEL. The text is kept byte for byte; accessors that decode leave a
    // bad escape as written.
    [[nodiscard]] static std::optional<URL> createFromWeb(std::string_view text);
    // Resolves a reference against a base (RFC 3986 section 5.2), removing
    // dot segments; an empty reference answers the base without fragment.
    [[nodiscard]] static std::optional<URL> create(std::string_view relative, const URL& base);
    // "file://" and the absolute, escaped path; a relative path is taken
    // from the current directory.
    [[nodiscard]] static URL fileURL(std::string_view path);

    [[nodiscard]] const std::string& absoluteString() const { return text_; }
    // As written; empty for a relative reference.
    [[nodiscard]] const std::string& scheme() const { return scheme_; }
    // ASCII case-insensitive: hasScheme("http") holds for "HTTP://a".
    [[nodiscard]] bool hasScheme(std::string_view scheme) const;
    // http or https with a host: the only URLs accepted from outside.
    [[nodiscard]] bool isHTTPorHTTPS() const;
    [[nodiscard]] bool isFileURL() const { return hasScheme("file"); }

    [[nodiscard]] bool hasAuthority() const { return authority_.has_value(); }
    // Decoded.
    [[nodiscard]] std::optional<std::string> user() const;
    [[nodiscard]] std::optional<std::string> password() const;
    // As written, without the brackets of an IP literal; empty when absent.
    [[nodiscard]] const std::string& host() const { return host_; }
    [[nodiscard]] std::optional<int> port() const { return port_; }
    [[nodiscard]] bool hasExplicitPort() const { return port_.has_value(); }

    [[nodiscard]] const std::string& path() const { return path_; }
    // Decoded segments, "/" first for an absolute path: "/a/b" gives
    // {"/", "a", "b"}. Empty segments are skipped.
    [[nodiscard]] std::vector<std::string> pathComponents() const;
    [[nodiscard]] std::string lastPathComponent() const;
    // "gz" for "a.tar.gz"; empty for ".profile" or no dot.
    [[nodiscard]] std::string pathExtension() const;
    // The decoded path, for file URLs; nullopt when it would hold a NUL
    // ("%00"), which no file system path can.
    [[nodiscard]] std::optional<std::string> fileSystemPath() const;

    // Absent without "?", empty for a bare "?".
    [[nodiscard]] const std::optional<std::string>& query() const { return query_; }
    [[nodiscard]] const std::optional<std::string>& fragment() const { return fragment_; }
    // The "&"-separated items of the query, names and values decoded.
    [[nodiscard]] std::vector<URLQueryItem> queryItems() const;

    // Everything after "scheme:"; the whole text for a relative reference.
    [[nodiscard]] std::string resourceSpecifier() const;

    // The path extended by one escaped component, query and fragment kept.
    [[nodiscard]] URL appendingPathComponent(std::string_view component) const;

    friend bool operator==(const URL& a, const URL& b) { return a.text_ == b.text_; }

  private:
    friend class URLComponents;
    URL() = default;

    // web: as createFromWeb parses.
    [[nodiscard]] static bool parse(std::string_view text, URL& url, bool web = false);
    [[nodiscard]] bool parseAuthority(std::string_view authority, bool web);
    // Text from parts; nullopt when they cannot make a URL.
    [[nodiscard]] static std::optional<std::string> compose(
        const std::string& scheme, const std::optional<std::string>& authority,
        const std::string& path, const std::optional<std::string>& query,
        const std::optional<std::string>& fragment);

    std::string text_;
    std::string scheme_;
    std::optional<std::string> authority_;
    std::optional<std::string> userInfo_;
    std::string host_;
    std::optional<int> port_;
    std::string path_;
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};

}  // namespace core
