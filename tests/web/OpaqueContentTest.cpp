#include <gtest/gtest.h>

#include "web/OpaqueContent.h"
#include "web/WebViewTesting.h"

namespace {

using web::OpaqueContent;

core::Data bytes(std::initializer_list<int> values) {
    core::Data data;
    for (const int value : values) data.push_back(std::uint8_t(value));
    return data;
}

core::Data text(const std::string& value) {
    return core::Data(value.begin(), value.end());
}

// Every byte of the literal, zeros included.
template <size_t N>
core::Data raw(const char (&literal)[N]) {
    return core::Data(literal, literal + N - 1);
}

core::HTTPURLResponse response(const std::string& url, const std::string& type) {
    return core::HTTPURLResponse(core::URL::create(url).value(), 200,
                                 core::HTTPHeaders{{"Content-Type", type}});
}

std::string sizeOf(const core::Data& data) {
    const auto size = OpaqueContent::rasterSize(data);
    return size ? std::to_string(size->width) + "x" + std::to_string(size->height) : "none";
}

TEST(OpaqueContentTest, RasterSizesComeFromEachKindsHeader) {
    const std::string png = webtesting::pngBytes(5, 3, {1, 0, 0, 1});
    EXPECT_EQ(sizeOf(core::Data(png.begin(), png.end())), "5x3");
    // JPEG: an APP0 segment, then a baseline frame 300 wide, 200 high.
    const core::Data jpeg = bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xC0, 0x00,
                                   0x11, 0x08, 0x00, 0xC8, 0x01, 0x2C, 0x03});
    EXPECT_EQ(sizeOf(jpeg), "300x200");
    // A table segment (C4) is no frame.
    const core::Data table =
        bytes({0xFF, 0xD8, 0xFF, 0xC4, 0x00, 0x07, 0x00, 0x10, 0x20, 0x30, 0x40});
    EXPECT_EQ(sizeOf(table), "none");
    EXPECT_EQ(sizeOf(raw("GIF89a\x10\x01\x20\x00")), "272x32");
    core::Data vp8 = raw("RIFF\0\0\0\0WEBPVP8 ");
    vp8.resize(20);
    for (const int byte : {0, 0, 0, 0x9D, 0x01, 0x2A, 0x40, 0x01, 0xF0, 0x00}) vp8.push_back(byte);
    EXPECT_EQ(sizeOf(vp8), "320x240");
    // Lossless: 14 bits of width - 1, then 14 of height - 1.
    core::Data lossless = raw("RIFF\0\0\0\0WEBPVP8L");
    lossless.resize(20);
    const std::uint32_t bits = (100 - 1) | (50 - 1) << 14;
    for (const int byte :
         {0x2F, int(bits & 0xFF), int(bits >> 8 & 0xFF), int(bits >> 16 & 0xFF), int(bits >> 24)})
        lossless.push_back(std::uint8_t(byte));
    EXPECT_EQ(sizeOf(lossless), "100x50");
    // BMP rows listed from the top have a negative height.
    core::Data bmp = text("BM");
    bmp.resize(14);
    for (const int byte : {40, 0, 0, 0, 7, 0, 0, 0, 0xFD, 0xFF, 0xFF, 0xFF}) bmp.push_back(byte);
    EXPECT_EQ(sizeOf(bmp), "7x3");
    EXPECT_EQ(sizeOf(raw("GIF89a\x00\x00\x20\x00")), "none");
    EXPECT_EQ(sizeOf(raw("\x89PNG\r\n\x1a\n")), "none");
    EXPECT_EQ(sizeOf(text("<svg/>")), "none");
}

TEST(OpaqueContentTest, ImagesBecomeSVGImagesThatCarryTheMarkThatKeepsThemUnread) {
    const std::string png = webtesting::pngBytes(5, 3, {1, 0, 0, 1});
    const auto picture = response("http://b.test/p.png", "image/png");
    ASSERT_EQ(OpaqueContent::useOf("", picture), OpaqueContent::Use::image);
    const auto raster =
        OpaqueContent::of(OpaqueContent::Use::image, picture, core::Data(png.begin(), png.end()));
    ASSERT_TRUE(raster);
    EXPECT_EQ(raster->mimeType, "image/svg+xml");
    const std::string drawn(raster->body.begin(), raster->body.end());
    EXPECT_NE(drawn.find("width=\"5\" height=\"3\""), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("<foreignObject"), std::string::npos);
    EXPECT_NE(drawn.find("href=\"data:image/png;base64,iVBORw0KGgo"), std::string::npos);

    // An SVG keeps its own content and gets the mark inside its root,
    // whatever its attributes hold.
    const auto vector = response("http://b.test/v.svg", "image/svg+xml");
    const auto marked = OpaqueContent::of(
        OpaqueContent::Use::image, vector,
        text("<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\" data-x=\"a>b\">"
             "<rect/></svg>"));
    ASSERT_TRUE(marked);
    const std::string markedText(marked->body.begin(), marked->body.end());
    EXPECT_NE(markedText.find("data-x=\"a>b\"><foreignObject"), std::string::npos) << markedText;
    EXPECT_NE(markedText.find("/><rect/></svg>"), std::string::npos) << markedText;
    const auto empty = OpaqueContent::of(OpaqueContent::Use::image, vector, text("<svg/>"));
    ASSERT_TRUE(empty);
    const std::string emptyText(empty->body.begin(), empty->body.end());
    EXPECT_EQ(emptyText.rfind("<svg><foreignObject", 0), 0u) << emptyText;
    EXPECT_EQ(emptyText.substr(emptyText.size() - 6), "</svg>");

    // Of kinds whose size is unknown there is no such form.
    EXPECT_FALSE(OpaqueContent::of(OpaqueContent::Use::image, picture, text("not an image")));
}

TEST(OpaqueContentTest, StylesheetsImportWhatTheyCameFromAndOtherUsesHaveNoForm) {
    const auto sheet = response("http://b.test/a'(b).css?c=d;e", "text/css");
    EXPECT_EQ(OpaqueContent::useOf("", sheet), OpaqueContent::Use::style);
    EXPECT_EQ(OpaqueContent::useOf("script", sheet), OpaqueContent::Use::other);
    EXPECT_EQ(OpaqueContent::useOf("image", sheet), OpaqueContent::Use::image);
    const auto imported = OpaqueContent::of(OpaqueContent::Use::style, sheet, text("p{}"));
    ASSERT_TRUE(imported);
    const std::string body(imported->body.begin(), imported->body.end());
    EXPECT_EQ(body, "@import url(\"http://b.test/a'(b).css?c=d;e\");\n");
    EXPECT_FALSE(OpaqueContent::of(OpaqueContent::Use::other, sheet, text("p{}")));
}

}  // namespace
