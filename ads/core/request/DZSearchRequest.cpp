#include "ads/core/request/DZSearchRequest.h"

#include <array>

#include "ads/foundation/DZColorUtilities.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

constexpr std::array<const char*, 4> kBorderTypes = {"none", "dashed", "dotted", "solid"};
constexpr std::array<const char*, 3> kCallButtonColors = {"light", "medium", "dark"};

template <size_t N>
void setName(core::Dictionary& search, const char* key, std::uint64_t value,
             const std::array<const char*, N>& names) {
    if (value < N) search.set(key, names[value]);
}

template <size_t N>
std::uint64_t valueNamed(const core::Value& name, const std::array<const char*, N>& names) {
    const std::string* text = name.string();
    for (size_t index = 0; text && index < N; ++index) {
        if (*text == names[index]) return index;
    }
    return 0;
}

void setColor(core::Dictionary& search, const char* key, const std::optional<gfx::Color>& color) {
    if (color) search.set(key, DZSearchColorString(*color));
}

std::optional<gfx::Color> colorOf(const core::Value& value) {
    const std::string* text = value.string();
    return text ? DZColorFromHexString(*text) : std::nullopt;
}

std::optional<std::string> textOf(const core::Value& value) {
    const std::string* text = value.string();
    return text ? std::optional(*text) : std::nullopt;
}

}  // namespace

std::string DZSearchColorString(const gfx::Color& color) {
    return core::format("#%06x", DZRGBAValueOfColor(color.withAlpha(1)) >> 8);
}

std::shared_ptr<DZRequest> DZSearchRequest::initWithParameters(const core::Value& parameters) {
    return rebuild(kClassName, parameters);
}

core::Dictionary DZSearchRequest::threadSafeParameters() const {
    const Properties& p = search_;
    core::Dictionary search;
    if (p.query) search.set("q", *p.query);
    setColor(search, "bgcolor", p.backgroundColor);
    setColor(search, "gradientfrom", p.gradientFrom);
    setColor(search, "gradientto", p.gradientTo);
    setColor(search, "hcolor", p.headerColor);
    setColor(search, "dcolor", p.descriptionTextColor);
    setColor(search, "acolor", p.anchorTextColor);
    if (p.fontFamily) search.set("font", *p.fontFamily);
    search.set("headersize", core::format("%lu", p.headerTextSize));
    setColor(search, "bcolor", p.borderColor);
    setName(search, "btype", p.borderType, kBorderTypes);
    search.set("bthick", core::format("%lu", p.borderThickness));
    if (p.customChannels) search.set("channel", *p.customChannels);
    setName(search, "callbuttoncolor", p.callButtonColor, kCallButtonColors);

    core::Dictionary parameters = DZRequest::threadSafeParameters();
    parameters.set("search", std::move(search));
    return parameters;
}

void DZSearchRequest::readParameters(const core::Dictionary& parameters) {
    DZRequest::readParameters(parameters);
    const core::Dictionary* search = parameters["search"].dictionary();
    if (!search) return;
    const core::Dictionary& s = *search;
    Properties& p = search_;
    p.query = textOf(s["q"]);
    p.fontFamily = textOf(s["font"]);
    p.customChannels = textOf(s["channel"]);
    p.backgroundColor = colorOf(s["bgcolor"]);
    p.gradientFrom = colorOf(s["gradientfrom"]);
    p.gradientTo = colorOf(s["gradientto"]);
    p.headerColor = colorOf(s["hcolor"]);
    p.anchorTextColor = colorOf(s["acolor"]);
    p.borderColor = colorOf(s["bcolor"]);
    p.descriptionTextColor = colorOf(s["dcolor"]);
    p.headerTextSize = s["headersize"].isString() ? s["headersize"].uintValue() : 0;
    p.borderThickness = s["bthick"].isString() ? s["bthick"].uintValue() : 0;
    p.borderType = valueNamed(s["btype"], kBorderTypes);
    p.callButtonColor = valueNamed(s["callbuttoncolor"], kCallButtonColors);
}

void DZSearchRequest::copyFieldsTo(DZRequest& copy) const {
    DZRequest::copyFieldsTo(copy);
    if (auto* request = dynamic_cast<DZSearchRequest*>(&copy)) request->search_ = search_;
}

void DZSearchRequest::setBackgroundSolid(std::optional<gfx::Color> color) {
    search_.backgroundColor = color;
    search_.gradientFrom.reset();
    search_.gradientTo.reset();
}

void DZSearchRequest::setBackgroundGradientFrom(std::optional<gfx::Color> from,
                                                std::optional<gfx::Color> to) {
    if (!from || !to) return;
    search_.backgroundColor.reset();
    search_.gradientFrom = from;
    search_.gradientTo = to;
}

}  // namespace ads
