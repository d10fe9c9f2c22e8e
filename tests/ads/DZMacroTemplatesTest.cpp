#include <gtest/gtest.h>

#include "ads/core/request/DZRequest.h"
#include "ads/foundation/DZMUtilities.h"
#include "ads/foundation/DZMacroTemplates.h"

using namespace ads;

namespace {

std::string substituted(std::string text, std::string_view name, std::string_view value) {
    DZStringBySubstitutingMacro(text, name, value);
    return text;
}

std::string filled(std::string text, const core::Dictionary& values) {
    DZSubstituteMacros(text, values);
    return text;
}

}  // namespace

TEST(DZMacroTemplates, FillsEscapesAndRemovesTheRest) {
    EXPECT_EQ(filled("a@x@b@@c@y@", {{"x", "1@2"}}), "a1@2b@c");
    EXPECT_EQ(filled("@n@/@n@", {{"n", 7}}), "7/7");
    EXPECT_EQ(filled("mail@@@host@", {{"host", "h"}}), "mail@h");
}

TEST(DZMacroTemplates, TakesReplacementsLiterally) {
    EXPECT_EQ(filled("price=@p@", {{"p", "50$"}}), "price=50$");
    EXPECT_EQ(substituted("@p@", "p", "$1\\$0"), "$1\\$0");
    EXPECT_EQ(substituted("@p@", "p", "12"), "12");
}

TEST(DZMacroTemplates, KeepsEvenRunsOfMarkersBesideAMacro) {
    EXPECT_EQ(substituted("@@@x@@@", "x", "V"), "@@V@@");
    // "@@x@" is a literal "@" followed by "x@": no macro.
    EXPECT_EQ(substituted("@@x@", "x", "V"), "@@x@");
    EXPECT_EQ(substituted("@xy@ @x@", "x", "V"), "@xy@ V");
}

TEST(DZMacroTemplates, IgnoresMissingNamesValuesAndBadPatterns) {
    EXPECT_EQ(substituted("@x@", "(", "V"), "@x@");
    std::string text = "@x@";
    DZStringBySubstitutingMacro(text, std::nullopt, "V");
    DZStringBySubstitutingMacro(text, "x", std::nullopt);
    EXPECT_EQ(text, "@x@");
}

TEST(DZMacroTemplates, RemovalAndUnescapingStandAlone) {
    std::string text = "a@one@b@two@c@@d";
    DZRemoveUnresolvedMacros(text);
    EXPECT_EQ(text, "abc@@d");
    DZUnescapeMacroMarkers(text);
    EXPECT_EQ(text, "abc@d");
}

TEST(DZMUtilities, FillsTheMediationPingTemplate) {
    const auto url = DZMUtilities::mediationURLFrom(
        "http://m/p?l=@gw_adlocid@&q=@gw_qdata@&v=@gw_sdkver@&s=@gw_sessid@&n=@gw_seqnum@"
        "&d=@gw_devid@&r=@gw_adnetrefresh@&id=@gw_adnetid@&a=@gw_allocid@&e=@gw_aec@"
        "&t=@gw_adt@&f=@gw_adnetstatus@",
        "loc", true, "alloc", "net", "qd", "sess", "4", "1_2", "30_40", "0");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->absoluteString(), "http://m/p?l=loc&q=qd&v=" + DZRequest::sdkVersion() +
                                         "&s=sess&n=4&d=&r=1&id=net&a=alloc&e=1_2&t=30_40&f=0");
}

TEST(DZMUtilities, MissingValuesKeepTheirMacros) {
    const auto url = DZMUtilities::mediationURLFrom(
        "http://m/?q=@gw_qdata@&r=@gw_adnetrefresh@&f=@gw_adnetstatus@", "loc", false, std::nullopt,
        std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
        std::nullopt);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->absoluteString(), "http://m/?q=@gw_qdata@&r=0&f=");
}

TEST(DZMUtilities, AnswersNothingForAnEmptyOrMissingTemplate) {
    const auto none = std::nullopt;
    EXPECT_FALSE(DZMUtilities::mediationURLFrom("@gw_devid@", "l", false, none, none, none, none,
                                                none, none, none, none));
    EXPECT_FALSE(DZMUtilities::mediationURLFrom(none, "l", false, none, none, none, none, none,
                                                none, none, none));
}
