// Payloads of the style library items.
#include "editors/style_items.h"

#include "foundation/lists.h"
#include "foundation/streams.h"
#include "paint/macro_param_range.h"
#include "store/picture_store.h"

namespace {

template <class T>
const T& Expect(const TObject* Data)
{
    const auto* Item = dynamic_cast<const T*>(Data);
    if (!Item)
        throw EStyleInvalidateData();
    return *Item;
}

} // namespace

void TobjStyleItemGrad::Assign(const TObject* Source)
{
    const auto* Other = dynamic_cast<const TobjStyleItemGrad*>(Source);
    if (!Other)
        RaiseAssignError(this, Source);
    Text = Other->Text;
}

void TobjStyleItemLight::Assign(const TObject* Source)
{
    const auto* Other = dynamic_cast<const TobjStyleItemLight*>(Source);
    if (!Other)
        RaiseAssignError(this, Source);
    Text = Other->Text;
}

TStyleItem::TStyleItem() : FPictures(std::make_unique<TListRecPict>(nullptr)) {}
TStyleItem::~TStyleItem() = default;

std::unique_ptr<TObject> LoadGradItem(TStream& Stream, int32_t)
{
    auto Item = std::make_unique<TobjStyleItemGrad>();
    Item->Text = StyleReadString(Stream);
    return Item;
}

void SaveGradItem(TStream& Stream, const TObject* Data)
{
    StyleWriteString(Stream, Expect<TobjStyleItemGrad>(Data).Text);
}

std::unique_ptr<TObject> LoadLightItem(TStream& Stream, int32_t)
{
    auto Item = std::make_unique<TobjStyleItemLight>();
    Item->Text = StyleReadString(Stream);
    return Item;
}

void SaveLightItem(TStream& Stream, const TObject* Data)
{
    StyleWriteString(Stream, Expect<TobjStyleItemLight>(Data).Text);
}

std::unique_ptr<TObject> LoadMacroItem(TStream& Stream, int32_t Version)
{
    auto Item = std::make_unique<TStyleItem>();
    Item->ReadFromStream(Stream, Version);
    // A style is applied as it is: its values are held as a document's
    // (files before version 6 carry the macros' lines too).
    HoldMacrosValues(*Item);
    if (Version >= StylePictureVersion)
        Item->Pictures().LoadFromStream(Stream, Version);
    return Item;
}

void SaveMacroItem(TStream& Stream, const TObject* Data)
{
    const auto& Item = Expect<TStyleItem>(Data);
    Item.WriteToStream(Stream);
    Item.Pictures().WriteToStream(Stream, nullptr);
}

const TStyleLibraryInfo& StyleLibraryInfo(TStyleKind Kind)
{
    static const TStyleLibraryInfo Infos[3] = {
        {"StyleSepranGradation", "Gradation.stl", "StyleGrad", 3621, 100},
        {"StyleSepranLight", "Light.stl", "StyleLight", 3730, 100},
        {"StyleSepranMacroPaint", "MacPaint.stl", "StlMacPnt", 3210, StyleMacroVersion},
    };
    return Infos[static_cast<int>(Kind)];
}

TCustomStyle MakeStyleLibrary(TStyleKind Kind, const std::string& DataFolder,
                              const std::string& ProgramFolder)
{
    const TStyleLibraryInfo& Info = StyleLibraryInfo(Kind);
    TCustomStyle Style;
    Style.DataFileHeader = Info.Header;
    Style.Version = Info.Version;
    const std::string Folder = DataFolder.empty() || DataFolder.back() == '/' ? DataFolder : DataFolder + "/";
    Style.FileName = Folder + Info.FileName;
    Style.ProgramFolder = ProgramFolder;
    switch (Kind) {
    case TStyleKind::Gradation:
        Style.OnItemLoad = LoadGradItem;
        Style.OnItemSave = SaveGradItem;
        break;
    case TStyleKind::Light:
        Style.OnItemLoad = LoadLightItem;
        Style.OnItemSave = SaveLightItem;
        break;
    case TStyleKind::MacroPaint:
        Style.OnItemLoad = LoadMacroItem;
        Style.OnItemSave = SaveMacroItem;
        break;
    }
    return Style;
}
