#include <gtest/gtest.h>

#include "ads/foundation/DZHashing.h"
#include "ads/foundation/DZStringEncoding.h"

using namespace ads;

namespace {

core::Data bytes(std::string_view text) {
    return core::Data(text.begin(), text.end());
}

struct Vector {
    std::string_view plain;
    std::string_view encoded;
};

// RFC 4648 section 10.
void expectVectors(const DZStringEncoding& encoding, std::initializer_list<Vector> vectors) {
    for (const Vector& v : vectors) {
        EXPECT_EQ(encoding.encodeString(v.plain), v.encoded) << v.plain;
        EXPECT_EQ(encoding.decode(v.encoded), bytes(v.plain)) << v.encoded;
    }
}

}  // namespace

TEST(DZStringEncoding, Rfc4648TestVectors) {
    expectVectors(DZStringEncoding::rfc4648Base64StringEncoding(), {{"", ""},
                                                                    {"f", "Zg=="},
                                                                    {"fo", "Zm8="},
                                                                    {"foo", "Zm9v"},
                                                                    {"foob", "Zm9vYg=="},
                                                                    {"fooba", "Zm9vYmE="},
                                                                    {"foobar", "Zm9vYmFy"}});
    expectVectors(DZStringEncoding::rfc4648Base32StringEncoding(),
                  {{"f", "MY======"},
                   {"fo", "MZXQ===="},
                   {"foo", "MZXW6==="},
                   {"foob", "MZXW6YQ="},
                   {"fooba", "MZXW6YTB"},
                   {"foobar", "MZXW6YTBOI======"}});
    expectVectors(DZStringEncoding::rfc4648Base32HexStringEncoding(),
                  {{"f", "CO======"},
                   {"fo", "CPNG===="},
                   {"foo", "CPNMU==="},
                   {"foob", "CPNMUOG="},
                   {"fooba", "CPNMUOJ1"},
                   {"foobar", "CPNMUOJ1E8======"}});
    expectVectors(DZStringEncoding::hexStringEncoding(), {{"f", "66"}, {"foobar", "666F6F626172"}});
}

TEST(DZStringEncoding, Base64AlphabetsDifferOnlyInTheirLastTwoDigits) {
    const core::Data data{0xFB, 0xFF, 0xBF};
    EXPECT_EQ(DZStringEncoding::rfc4648Base64StringEncoding().encode(data), "+/+/");
    EXPECT_EQ(DZStringEncoding::rfc4648Base64WebsafeStringEncoding().encode(data), "-_-_");
    EXPECT_EQ(DZStringEncoding::rfc4648Base64StringEncoding().encodeString("abc"), "YWJj");
    EXPECT_EQ(DZStringEncoding::rfc4648Base64StringEncoding().encodeString("ab"), "YWI=");
    EXPECT_EQ(DZBase64String("ab"), "YWI=");
}

TEST(DZStringEncoding, DecodingIsStrict) {
    const DZStringEncoding base64 = DZStringEncoding::rfc4648Base64StringEncoding();
    EXPECT_FALSE(base64.decode("YW=J"));                // a digit after padding
    EXPECT_EQ(base64.stringByDecoding("YWI"), "ab");    // missing padding is fine
    EXPECT_EQ(base64.stringByDecoding("YWI=="), "ab");  // so is extra padding
    EXPECT_FALSE(base64.decode("YWJ"));                 // leftover bits that are not zero
    EXPECT_FALSE(base64.decode("YW Jj"));               // not in the alphabet
    EXPECT_FALSE(base64.decode("YWJj\xC3\xA9"));        // not ASCII
    EXPECT_FALSE(base64.stringByDecoding("/w=="));      // 0xFF is not UTF-8
}

TEST(DZStringEncoding, HexAndCrockfordSynonyms) {
    const DZStringEncoding hex = DZStringEncoding::hexStringEncoding();
    EXPECT_EQ(hex.encode(core::Data{0xAB}), "AB");
    EXPECT_EQ(hex.decode("ab"), core::Data{0xAB});
    EXPECT_FALSE(hex.decode("ag"));

    const DZStringEncoding crockford = DZStringEncoding::crockfordBase32StringEncoding();
    EXPECT_FALSE(crockford.doPad());
    const auto digits = crockford.decode("00111100");
    ASSERT_TRUE(digits);
    EXPECT_EQ(crockford.decode("oOiIlL00"), digits);
    EXPECT_EQ(crockford.decode("zzzzzzzz"), core::Data(5, 0xFF));
    EXPECT_FALSE(crockford.decode("UU"));  // U is not a Crockford digit
    EXPECT_EQ(crockford.encodeString("f"), "CR");
}

TEST(DZStringEncoding, BinaryWritesEightDigitsPerByte) {
    const DZStringEncoding binary = DZStringEncoding::binaryStringEncoding();
    EXPECT_EQ(binary.encode(core::Data{0x81, 0x02}), "1000000100000010");
    EXPECT_EQ(binary.decode("00000011"), core::Data{0x03});
    EXPECT_FALSE(binary.decode("0000001"));                    // a leftover 1 bit
    EXPECT_EQ(binary.decode("0000011000"), core::Data{0x06});  // leftover zero bits pass
}

TEST(DZStringEncoding, CustomAlphabetsAndTheirOptions) {
    EXPECT_FALSE(DZStringEncoding::stringEncodingWithString("0"));
    EXPECT_FALSE(DZStringEncoding::stringEncodingWithString("012"));
    EXPECT_FALSE(DZStringEncoding::stringEncodingWithString("0120"));
    EXPECT_FALSE(DZStringEncoding::stringEncodingWithString("ab\xC3\xA9"));

    auto quaternary = DZStringEncoding::stringEncodingWithString("abcd");
    ASSERT_TRUE(quaternary);
    EXPECT_EQ(quaternary->encode(core::Data{0x1B}), "abcd");
    quaternary->setDoPad(true);
    EXPECT_TRUE(quaternary->setPaddingChar('.'));
    EXPECT_EQ(quaternary->encode(core::Data{0x1B}), "abcd");  // already a whole block
    quaternary->ignoreCharacters("- ");
    EXPECT_EQ(quaternary->decode("ab-c d"), core::Data{0x1B});
    EXPECT_FALSE(quaternary->decode("ab.cd"));

    auto octal = DZStringEncoding::stringEncodingWithString("01234567");
    ASSERT_TRUE(octal);
    octal->setDoPad(true);
    EXPECT_TRUE(octal->setPaddingChar('='));
    EXPECT_EQ(octal->encode(core::Data{0xFF}), "776=====");  // blocks of 8 digits, 3 bytes
    EXPECT_EQ(octal->decode("776====="), core::Data{0xFF});

    // A padding character the codec could not read back is refused; the
    // padding in force stays and the output still decodes.
    for (char refused : {'\xC3', '\x80', '7', '0'}) {
        EXPECT_FALSE(octal->setPaddingChar(refused)) << int(refused);
        EXPECT_EQ(octal->encode(core::Data{0xFF}), "776=====");
        EXPECT_EQ(octal->decode(octal->encode(core::Data{0xFF, 0x01})), (core::Data{0xFF, 0x01}));
    }
}

TEST(DZStringEncoding, DescriptionNamesTheBaseAndTheAlphabet) {
    EXPECT_EQ(DZStringEncoding::hexStringEncoding().description(),
              "<Base16 StringEncoder: <30313233 34353637 38394142 43444546>>");
    EXPECT_EQ(DZStringEncoding::binaryStringEncoding().description(),
              "<Base2 StringEncoder: <3031>>");
}

TEST(DZHashing, MD5ShortcutsAgree) {
    EXPECT_EQ(DZMD5HexString("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_FALSE(DZMD5HexString(std::nullopt));
    const core::Data digest = DZMD5OfString("abc");
    ASSERT_EQ(digest.size(), 16u);
    EXPECT_EQ(digest.front(), 0x90);
    EXPECT_EQ(digest.back(), 0x72);
    EXPECT_EQ(DZMD5Digest(core::Data{'a', 'b', 'c'}), digest);
}
