#include "core/URL.h"

#include <gtest/gtest.h>

#include "URLPrinting.h"

namespace core {
namespace {

struct Resolution {
    std::string_view reference;
    std::string_view expected;
};

void expectResolutions(std::string_view baseText, std::initializer_list<Resolution> cases) {
    const std::optional<URL> base = URL::create(baseText);
    ASSERT_TRUE(base);
    for (const Resolution& c : cases) {
        const std::optional<URL> resolved = URL::create(c.reference, *base);
        ASSERT_TRUE(resolved) << c.reference;
        EXPECT_EQ(resolved->absoluteString(), c.expected) << c.reference;
    }
}

TEST(URLResolutionTest, NormalExamples) {
    expectResolutions("http://a/b/c/d;p?q", {
                                                {"g:h", "g:h"},
                                                {"g", "http://a/b/c/g"},
                                                {"./g", "http://a/b/c/g"},
                                                {"g/", "http://a/b/c/g/"},
                                                {"/g", "http://a/g"},
                                                {"//g", "http://g"},
                                                {"?y", "http://a/b/c/d;p?y"},
                                                {"g?y", "http://a/b/c/g?y"},
                                                {"#s", "http://a/b/c/d;p?q#s"},
                                                {"g#s", "http://a/b/c/g#s"},
                                                {"g?y#s", "http://a/b/c/g?y#s"},
                                                {";x", "http://a/b/c/;x"},
                                                {"g;x", "http://a/b/c/g;x"},
                                                {"g;x?y#s", "http://a/b/c/g;x?y#s"},
                                                {"", "http://a/b/c/d;p?q"},
                                                {".", "http://a/b/c/"},
                                                {"./", "http://a/b/c/"},
                                                {"..", "http://a/b/"},
                                                {"../", "http://a/b/"},
                                                {"../g", "http://a/b/g"},
                                                {"../..", "http://a/"},
                                                {"../../", "http://a/"},
                                                {"../../g", "http://a/g"},
                                            });
}

TEST(URLResolutionTest, AbnormalExamples) {
    expectResolutions("http://a/b/c/d;p?q", {
                                                {"../../../g", "http://a/g"},
                                                {"../../../../g", "http://a/g"},
                                                {"/./g", "http://a/g"},
                                                {"/../g", "http://a/g"},
                                                {"g.", "http://a/b/c/g."},
                                                {".g", "http://a/b/c/.g"},
                                                {"g..", "http://a/b/c/g.."},
                                                {"..g", "http://a/b/c/..g"},
                                                {"./../g", "http://a/b/g"},
                                                {"./g/.", "http://a/b/c/g/"},
                                                {"g/./h", "http://a/b/c/g/h"},
                                                {"g/../h", "http://a/b/c/h"},
                                                {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
                                                {"g;x=1/../y", "http://a/b/c/y"},
                                                {"g?y/./x", "http://a/b/c/g?y/./x"},
                                                {"g?y/../x", "http://a/b/c/g?y/../x"},
                                                {"g#s/./x", "http://a/b/c/g#s/./x"},
                                                {"g#s/../x", "http://a/b/c/g#s/../x"},
                                                {"http:g", "http:g"},
                                            });
}

TEST(URLResolutionTest, BasesWithoutPathOrWithFragment) {
    expectResolutions("https://h:8443", {{"x", "https://h:8443/x"}, {"?q", "https://h:8443?q"}});
    expectResolutions("https://u@h/a/b#frag", {{"", "https://u@h/a/b"}, {"c", "https://u@h/a/c"}});
    expectResolutions("http://a/b/c/", {{"../../../x/./y/", "http://a/x/y/"}});
}

TEST(URLResolutionTest, ABadReferenceFails) {
    const std::optional<URL> base = URL::create("http://a/b");
    ASSERT_TRUE(base);
    EXPECT_FALSE(URL::create("a b", *base));
    EXPECT_FALSE(URL::create("%zz", *base));
    EXPECT_FALSE(URL::create("1a:b", *base));
}

}  // namespace
}  // namespace core
