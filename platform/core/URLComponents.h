#pragma once
// Builds a core::URL from parts: start empty or from a URL, set what should
// change, then ask for url(). Setters take plain text and escape it with the
// part's allowed set; getters answer the escaped form that url() will use.
//
// A value type with no shared state.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/URL.h"

namespace core {

class URLComponents {
  public:
    URLComponents() = default;
    explicit URLComponents(const URL& url);

    // nullopt when the parts make no URL: a bad scheme, a port out of range,
    // a host with a path not starting with "/", or a path starting with "//"
    // without a host.
    [[nodiscard]] std::optional<URL> url() const;

    [[nodiscard]] const std::optional<std::string>& scheme() const { return scheme_; }
    [[nodiscard]] const std::optional<std::string>& host() const { return host_; }
    [[nodiscard]] std::optional<int> port() const { return port_; }
    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] const std::optional<std::string>& query() const { return query_; }
    [[nodiscard]] const std::optional<std::string>& fragment() const { return fragment_; }
    [[nodiscard]] std::vector<URLQueryItem> queryItems() const;

    void setScheme(std::optional<std::string> scheme) { scheme_ = std::move(scheme); }
    void setUser(std::optional<std::string_view> user);
    void setPassword(std::optional<std::string_view> password);
    // An IPv6 address goes without brackets.
    void setHost(std::optional<std::string_view> host);
    void setPort(std::optional<int> port) { port_ = port; }
    void setPath(std::string_view path);
    // Names and values are escaped so that "&", "=" and "+" survive; nullopt
    // removes the query, an empty list leaves a bare "?".
    void setQueryItems(const std::optional<std::vector<URLQueryItem>>& items);
    // Taken as already escaped.
    void setPercentEncodedQuery(std::optional<std::string> query) { query_ = std::move(query); }
    void setFragment(std::optional<std::string_view> fragment);

  private:
    std::optional<std::string> scheme_;
    std::optional<std::string> user_;
    std::optional<std::string> password_;
    std::optional<std::string> host_;
    std::optional<int> port_;
    std::string path_;
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};

}  // namespace core
