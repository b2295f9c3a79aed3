// The values the three style libraries hold and how each is stored as a
// library item's payload: a gradation's and a light set's comma text, and a
// paint style (a macro list with the pictures its macros use). Also the
// fixed configuration of the three delivered libraries.
#pragma once

#include "editors/style_file.h"
#include "paint/macro_list.h"

#include <memory>
#include <string>

class TListRecPict;

// The comma text of a gradation (as TGradationObject writes it).
class TobjStyleItemGrad : public TObject {
public:
    std::string ClassName() const override { return "TobjStyleItemGrad"; }
    // Copies from another gradation item; anything else is the assignment error.
    void Assign(const TObject* Source);
    std::string Text;
};

// The comma text of a light set (as LightsToStr writes it).
class TobjStyleItemLight : public TObject {
public:
    std::string ClassName() const override { return "TobjStyleItemLight"; }
    void Assign(const TObject* Source);
    std::string Text;
};

// A paint style: the macros and their own store of the pictures they use.
class TStyleItem : public TMacros {
public:
    TStyleItem();
    ~TStyleItem() override;
    std::string ClassName() const override { return "TStyleItem"; }
    TListRecPict& Pictures() const { return *FPictures; }

private:
    std::unique_ptr<TListRecPict> FPictures;
};

// The first version whose paint styles carry their pictures.
inline constexpr int32_t StylePictureVersion = 20;
// The paint-style library carries the document format version.
inline constexpr int32_t StyleMacroVersion = 25;

std::unique_ptr<TObject> LoadGradItem(TStream& Stream, int32_t Version);
void SaveGradItem(TStream& Stream, const TObject* Data);
std::unique_ptr<TObject> LoadLightItem(TStream& Stream, int32_t Version);
void SaveLightItem(TStream& Stream, const TObject* Data);
// Version is the file's: older paint styles have no picture block.
std::unique_ptr<TObject> LoadMacroItem(TStream& Stream, int32_t Version);
void SaveMacroItem(TStream& Stream, const TObject* Data);

enum class TStyleKind { Gradation, Light, MacroPaint };

struct TStyleLibraryInfo {
    const char* Header;
    const char* FileName;
    const char* RegistryName;
    int32_t HelpContext;
    int32_t Version;
};
const TStyleLibraryInfo& StyleLibraryInfo(TStyleKind Kind);
// The library's file rules and item handlers; FileName is DataFolder +
// the library's file name.
TCustomStyle MakeStyleLibrary(TStyleKind Kind, const std::string& DataFolder,
                              const std::string& ProgramFolder);
