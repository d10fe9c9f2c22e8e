// core::URL: resolving references against a base (RFC 3986 section 5) and
// building new URLs from parts.

#include "core/CharacterSet.h"
#include "core/PercentEncoding.h"
#include "core/URL.h"

namespace core {

namespace {

// Drops the last segment of `output`, with the "/" before it.
void removeLastSegment(std::string& output) {
    const size_t slash = output.rfind('/');
    output.erase(slash == std::string::npos ? 0 : slash);
}

// RFC 3986 section 5.2.4.
std::string removeDotSegments(std::string_view input) {
    std::string output;
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./")) {
            input.remove_prefix(2);
        } else if (input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../")) {
            input.remove_prefix(3);
            removeLastSegment(output);
        } else if (input == "/..") {
            input = "/";
            removeLastSegment(output);
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            const size_t next = input.find('/', 1);
            output.append(input.substr(0, next));
            input = next == std::string_view::npos ? std::string_view() : input.substr(next);
        }
    }
    return output;
}

// RFC 3986 section 5.2.3.
std::string merge(const URL& base, std::string_view relativePath) {
    if (base.hasAuthority() && base.path().empty()) return "/" + std::string(relativePath);
    const size_t slash = base.path().rfind('/');
    if (slash == std::string::npos) return std::string(relativePath);
    return base.path().substr(0, slash + 1) + std::string(relativePath);
}

}  // namespace

std::optional<URL> URL::create(std::string_view relative, const URL& base) {
    URL reference;
    if (!parse(relative, reference)) return std::nullopt;
    std::string scheme = base.scheme_;
    std::optional<std::string> authority = base.authority_;
    std::string path;
    std::optional<std::string> query = reference.query_;
    if (!reference.scheme_.empty()) {
        scheme = reference.scheme_;
        authority = reference.authority_;
        path = removeDotSegments(reference.path_);
    } else if (reference.authority_) {
        authority = reference.authority_;
        path = removeDotSegments(reference.path_);
    } else if (reference.path_.empty()) {
        path = base.path_;
        if (!query) query = base.query_;
    } else if (reference.path_.starts_with('/')) {
        path = removeDotSegments(reference.path_);
    } else {
        path = removeDotSegments(merge(base, reference.path_));
    }
    const std::optional<std::string> text =
        compose(scheme, authority, path, query, reference.fragment_);
    return text ? create(*text) : std::nullopt;
}

std::optional<std::string> URL::compose(const std::string& scheme,
                                        const std::optional<std::string>& authority,
                                        const std::string& path,
                                        const std::optional<std::string>& query,
                                        const std::optional<std::string>& fragment) {
    std::string text;
    if (!scheme.empty()) text += scheme + ":";
    if (authority) {
        if (!path.empty() && !path.starts_with('/')) return std::nullopt;
        text += "//" + *authority;
    } else if (path.starts_with("//")) {
        text += "/.";  // keeps the path from reading as an authority
    }
    const size_t firstSlash = path.find('/');
    if (scheme.empty() && !authority && path.find(':') < firstSlash) {
        // A colon in the first segment would read as the end of a scheme.
        const std::string first = path.substr(0, firstSlash);
        for (const char c : first) text += c == ':' ? std::string("%3A") : std::string(1, c);
        text += path.substr(first.size());
    } else {
        text += path;
    }
    if (query) text += "?" + *query;
    if (fragment) text += "#" + *fragment;
    return text;
}

URL URL::appendingPathComponent(std::string_view component) const {
    std::string path = path_;
    const bool needsSlash = path.empty() ? hasAuthority() : !path.ends_with('/');
    if (component.starts_with('/')) {
        if (!needsSlash && !path.empty()) component.remove_prefix(1);
    } else if (needsSlash) {
        path += '/';
    }
    path += percentEncode(component, CharacterSet::urlPathAllowed());
    const std::optional<std::string> text = compose(scheme_, authority_, path, query_, fragment_);
    std::optional<URL> url = text ? create(*text) : std::nullopt;
    return url ? std::move(*url) : *this;
}

}  // namespace core
