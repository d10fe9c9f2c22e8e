#pragma once
// URLs of the shapes pages write every day, for the tests that load them
// in web views (tests/web WebViewURLShapesService, tests/ads
// DZAdURLStashShapesService): each a path and query as a page writes it
// below a folder of its own, and what a browser sends for it there where
// that is sure (the URL standard's percent-encode sets, which engines
// follow).

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A URL's path and query as a page writes them below its tag's folder.
struct Shape {
    std::string name;
    std::string written;
    // What a browser sends for it there, where that is sure.
    std::optional<std::string> sent;
};

inline const std::vector<Shape>& shapes() {
    static const std::vector<Shape> all = {
        {"space", "img/sp ace.png", "img/sp%20ace.png"},
        {"escaped space", "img/sp%20ace.png", "img/sp%20ace.png"},
        {"latin", "\xC3\xA9t\xC3\xA9", "%C3%A9t%C3%A9"},
        {"escaped latin", "%C3%A9t%C3%A9", "%C3%A9t%C3%A9"},
        {"cjk", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.png", "%E6%97%A5%E6%9C%AC%E8%AA%9E.png"},
        {"emoji", "smile\xF0\x9F\x98\x80", "smile%F0%9F%98%80"},
        {"pipe", "a|b", std::nullopt},
        {"brackets", "br[ack]", std::nullopt},
        {"braces", "{b}", "%7Bb%7D"},
        {"caret and backtick", "c^a`t", std::nullopt},
        {"quote and angles", "q\"<x>", "q%22%3Cx%3E"},
        {"sub-delimiters", "s;c,e=t~!$&'()*+@:", "s;c,e=t~!$&'()*+@:"},
        {"escaped percent", "a%25b", "a%25b"},
        {"bad escape", "a%zzb", "a%zzb"},
        {"lone percents", "a%b%", "a%b%"},
        {"escaped slash", "a%2Fb", "a%2Fb"},
        {"escaped NUL", "n%00l", "n%00l"},
        {"cut UTF-8", "%E2%82", "%E2%82"},
        {"dot segments", "d/./e/../f", "d/f"},
        {"escaped dots", "g/%2e%2E/h", "h"},
        {"backslash", "b\\s", "b/s"},
        {"tab", "t\tb", "tb"},
        {"double slash", "w//x", "w//x"},
        {"fragment", "frag#part", "frag"},
        {"timestamp query", "q?cb=[timestamp]", "q?cb=[timestamp]"},
        {"pipe query", "q?x=a|b", "q?x=a|b"},
        {"bad escape query", "q?a=%zz", "q?a=%zz"},
        {"space query", "q?sp ace=a b", "q?sp%20ace=a%20b"},
        {"latin query", "q?w=\xC3\xA9t\xC3\xA9", "q?w=%C3%A9t%C3%A9"},
        {"apostrophe query", "q?'a'", "q?%27a%27"},
        {"quote query", "q?\"<>\"", "q?%22%3C%3E%22"},
        {"braces query", "q?{a}=^`", std::nullopt},
        {"repeated query", "q?a=1&a=2&&b=&c", "q?a=1&a=2&&b=&c"},
        {"empty query", "q?", "q?"},
        {"plus", "p+l?a+b=c+d", "p+l?a+b=c+d"},
        {"high escape query", "q?raw=%FF", "q?raw=%FF"},
    };
    return all;
}

}  // namespace testsupport
