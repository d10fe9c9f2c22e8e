#include "gfx/Fonts.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-font.h>
#include <pango/pangofc-fontmap.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "core/Bundle.h"

namespace gfx {

namespace {

namespace fs = std::filesystem;

struct FontState {
    std::recursive_mutex mutex;
    PangoFontMap* fontMap = nullptr;
    // Kept for the life of the process: font maps made from them may still
    // be in use by older layouts.
    std::vector<FcConfig*> configs;
};

// Never destroyed: layouts may outlive static destruction order.
FontState& state() {
    static auto* s = new FontState;
    return *s;
}

bool hasFontsConf(const fs::path& dir) {
    std::error_code ignored;
    return fs::is_regular_file(dir / "fonts.conf", ignored);
}

PangoFontMap* ensureFontMap() {
    FontState& s = state();
    if (s.fontMap) return s.fontMap;
    std::string error;
    if (!Fonts::configure(Fonts::defaultResourcesDir(), &error)) {
        std::fprintf(stderr, "gfx: %s; using the system's fonts\n", error.c_str());
        s.fontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    }
    return s.fontMap;
}

// The language every context is set to (createContext).
constexpr const char* kTextLanguage = "zh-cn";

// Pango places characters that several scripts share ("/", digits) by the
// preferred languages it reads once from PANGO_LANGUAGE, else LANGUAGE: a
// preferred "zh-Hans" draws "/" from a CJK font. Pinned to the contexts'
// language, the app's language choice changes its strings, never its glyphs.
//
// The environment is written once, as the process starts and before it has
// threads: setenv while another thread reads the environment (the home
// folder, libcurl's proxies) can hand that reader freed memory.
void pinPreferredLanguage() {
    const char* current = std::getenv("PANGO_LANGUAGE");
    if (!current || std::string_view(current) != kTextLanguage)
        setenv("PANGO_LANGUAGE", kTextLanguage, 1);
}
[[maybe_unused]] const bool pinnedAtStart = (pinPreferredLanguage(), true);

PangoWeight pangoWeight(FontWeight weight) {
    switch (weight) {
        case FontWeight::Light:
            return PANGO_WEIGHT_LIGHT;
        case FontWeight::Regular:
            return PANGO_WEIGHT_NORMAL;
        case FontWeight::Medium:
            return PANGO_WEIGHT_MEDIUM;
        case FontWeight::Semibold:
            return PANGO_WEIGHT_SEMIBOLD;
        case FontWeight::Bold:
            return PANGO_WEIGHT_BOLD;
    }
    return PANGO_WEIGHT_NORMAL;
}

}  // namespace

bool Fonts::configure(const std::string& resourcesDir, std::string* error) {
    const fs::path path = fs::path(resourcesDir) / "fonts.conf";
    const auto fail = [&](const std::string& message) {
        if (error) *error = message + ": " + path.string();
        return false;
    };
    if (!hasFontsConf(resourcesDir)) return fail("no font configuration");

    const auto guard = lock();
    FcConfig* config = FcConfigCreate();
    const auto* file = reinterpret_cast<const FcChar8*>(path.c_str());
    if (!config || !FcConfigParseAndLoad(config, file, FcTrue) || !FcConfigBuildFonts(config)) {
        if (config) FcConfigDestroy(config);
        return fail("cannot load the font configuration");
    }
    PangoFontMap* fontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    if (!fontMap || !PANGO_IS_FC_FONT_MAP(fontMap)) {
        if (fontMap) g_object_unref(fontMap);
        FcConfigDestroy(config);
        if (error) *error = "Pango has no fontconfig font map";
        return false;
    }
    pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(fontMap), config);
    FontState& s = state();
    s.configs.push_back(config);
    if (s.fontMap) g_object_unref(s.fontMap);
    s.fontMap = fontMap;
    return true;
}

std::string Fonts::defaultResourcesDir() {
    return core::Bundle::mainResourcesPath();
}

Fonts::Face Fonts::resolvedFace(const Font& font) {
    const auto guard = lock();
    PangoFontMap* fontMap = ensureFontMap();
    PangoContext* context = createContext();
    PangoFontDescription* request = createDescription(font);
    PangoFont* loaded = pango_font_map_load_font(fontMap, context, request);
    Face face;
    if (loaded && PANGO_IS_FC_FONT(loaded)) {
        const FcPattern* pattern = pango_fc_font_get_pattern(PANGO_FC_FONT(loaded));
        FcChar8* text = nullptr;
        if (FcPatternGetString(pattern, FC_FAMILY, 0, &text) == FcResultMatch)
            face.family = reinterpret_cast<const char*>(text);
        if (FcPatternGetString(pattern, FC_STYLE, 0, &text) == FcResultMatch)
            face.style = reinterpret_cast<const char*>(text);
        if (FcPatternGetString(pattern, FC_FILE, 0, &text) == FcResultMatch)
            face.file = reinterpret_cast<const char*>(text);
        double weight = 0;
        if (FcPatternGetDouble(pattern, FC_WEIGHT, 0, &weight) == FcResultMatch)
            face.weight = FcWeightToOpenTypeDouble(weight);
        FcBool embolden = FcFalse;
        face.synthetic =
            FcPatternGetBool(pattern, FC_EMBOLDEN, 0, &embolden) == FcResultMatch && embolden;
    }
    if (loaded) g_object_unref(loaded);
    pango_font_description_free(request);
    g_object_unref(context);
    return face;
}

std::string Fonts::resolvedFamily(const std::string& family) {
    return resolvedFace(Font{family}).family;
}

std::unique_lock<std::recursive_mutex> Fonts::lock() {
    return std::unique_lock(state().mutex);
}

PangoContext* Fonts::createContext() {
    PangoContext* context = pango_font_map_create_context(ensureFontMap());
    pango_context_set_language(context, pango_language_from_string(kTextLanguage));
    pango_context_set_round_glyph_positions(context, FALSE);
    cairo_font_options_t* options = cairo_font_options_create();
    // Unhinted metrics keep a layout's size independent of the scale it is
    // drawn at.
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    return context;
}

PangoFontDescription* Fonts::createDescription(const Font& font) {
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, font.family.c_str());
    const double size =
        std::isfinite(font.size) && font.size > 0 ? std::min(font.size, 4096.0) : Font{}.size;
    pango_font_description_set_absolute_size(description, size * PANGO_SCALE);
    pango_font_description_set_weight(description, pangoWeight(font.weight));
    pango_font_description_set_style(description,
                                     font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    return description;
}

}  // namespace gfx

namespace gfx {

bool Fonts::isAvailable(const std::string& family) {
    const std::string resolved = resolvedFamily(family);
    if (strcasecmp(resolved.c_str(), family.c_str()) == 0) return true;
    // Every family fontconfig has no match for lands on the same fallback.
    return resolved != resolvedFamily("vantor-no-such-family");
}

}  // namespace gfx
