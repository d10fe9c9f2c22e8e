#pragma once
// Fonts owns the process's one Pango font map, built from the app's own
// fontconfig configuration, <resources>/fonts.conf, rather than the
// system's. The app calls configure() once at start-up; text used before
// that loads the configuration from defaultResourcesDir(). Text is set in
// one language whatever the environment's (Pango's preferred languages,
// PANGO_LANGUAGE, are pinned as the process starts), so that glyphs never
// depend on the app's language choice.
//
// Pango font maps are not thread-safe, so every use of Pango in gfx holds
// one process-wide lock: text may be laid out and drawn on any thread, one
// at a time (in practice, the main thread).

#include <mutex>
#include <string>

#include "gfx/Font.h"

typedef struct _PangoContext PangoContext;
typedef struct _PangoFontDescription PangoFontDescription;

namespace gfx {

class Fonts {
public:
    // Loads <resourcesDir>/fonts.conf and replaces the font map; layouts
    // made before keep the fonts they have. On failure the current fonts
    // stay and `error` says why.
    [[nodiscard]] static bool configure(const std::string& resourcesDir,
                                        std::string* error = nullptr);
    // The main bundle's folder (core::Bundle::mainResourcesPath()).
    [[nodiscard]] static std::string defaultResourcesDir();
    // The face fontconfig gives a request: its first family name, style
    // name ("Light"), weight on the 100-900 scale, file, and whether the
    // weight is faked by emboldening a lighter face.
    struct Face {
        std::string family;
        std::string style;
        double weight = 0;
        std::string file;
        bool synthetic = false;
    };
    [[nodiscard]] static Face resolvedFace(const Font& font);
    // The family of the font text in `family` is actually drawn with.
    [[nodiscard]] static std::string resolvedFamily(const std::string& family);
    // Whether a font of that family (or one our configuration names for it)
    // exists, rather than the fallback every unknown family lands on.
    [[nodiscard]] static bool isAvailable(const std::string& family);

private:
    friend class TextLayout;

    [[nodiscard]] static std::unique_lock<std::recursive_mutex> lock();
    // A new context on the shared font map, with the zh-cn language and the
    // rendering options all layouts share. The caller holds lock().
    [[nodiscard]] static PangoContext* createContext();
    [[nodiscard]] static PangoFontDescription* createDescription(const Font& font);
};

}  // namespace gfx
