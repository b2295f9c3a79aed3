#include "platform/font_query.h"

#include "platform/fonts.h"

#include <fontconfig/fontconfig.h>

bool IsFontFamilyInstalled(const std::string& Family)
{
    if (Family.empty() || !EnsureFontconfig())
        return false;
    FcPattern* Pattern = FcPatternCreate();
    if (!Pattern)
        return false;
    FcPatternAddString(Pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(Family.c_str()));
    FcObjectSet* Objects = FcObjectSetBuild(FC_FAMILY, static_cast<char*>(nullptr));
    bool Found = false;
    if (Objects) {
        // FcFontList matches the family exactly (no substitution), unlike FcFontMatch.
        FcFontSet* Fonts = FcFontList(nullptr, Pattern, Objects);
        if (Fonts) {
            Found = Fonts->nfont > 0;
            FcFontSetDestroy(Fonts);
        }
        FcObjectSetDestroy(Objects);
    }
    FcPatternDestroy(Pattern);
    return Found;
}
