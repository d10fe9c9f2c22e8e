#include <gtest/gtest.h>

#include "core/MD5.h"

TEST(MD5, Rfc1321TestSuite) {
    const std::pair<std::string_view, std::string_view> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [input, hex] : vectors)
        EXPECT_EQ(core::MD5::hex(core::MD5::digest(input)), hex);
}

TEST(MD5, BytesAndTextGiveTheSameDigest) {
    const std::uint8_t bytes[] = {0x00, 0xFF, 'a'};
    EXPECT_EQ(core::MD5::digest(std::span<const std::uint8_t>(bytes)),
              core::MD5::digest(std::string_view("\0\xFF"
                                                 "a",
                                                 3)));
}

TEST(SHA256Test, KnownVectors) {
    EXPECT_EQ(core::SHA256::hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(core::SHA256::hex(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}
