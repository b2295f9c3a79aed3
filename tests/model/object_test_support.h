// Doubles for the draw-object and line-object tests: a page with a page
// picture, a small macro library installed for the scope of a test, a shape
// that generates its base path from a rectangle, a polyline stand-in that
// stores its base path (type 1), and a recording drag-outline surface.
#pragma once

#include "draw_test_doubles.h"
#include "platform/test_support.h"

#include "foundation/rec_path.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/drag_frame_dc.h"
#include "model/default_data.h"
#include "model/document.h"
#include "model/page.h"
#include "model/line_object.h"
#include "model/param_shapes.h"
#include "model/poly_line_obj.h"
#include "model/text_object.h"
#include "model/text_outline.h"
#include "paint/macro_library.h"
#include "paint/paint_macro.h"
#include "foundation/platform_wrappers.h"
#include "platform/cp932.h"
#include "platform/fonts.h"
#include "platform/module_loader.h"
#include "platform/registry_store.h"
#include "raster/rec_picture.h"
#include "store/history.h"
#include "store/picture_store.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// A page whose picture (200 x 200 at the origin) the fill macros measure on.
class TObjPage : public TTestPage {
public:
    TObjPage() { RecPictureCreate(Picture, TPoint{0, 0}, 200, 200, 24, false); }
    ~TObjPage() override { RecPictureClear(Picture); }
    TrecPicture* GetPagePicture() override { return &Picture; }
    TrecPicture Picture;
};

// What the paint functions say of a shape they cannot measure.
inline const std::string UnmeasurableMessage = "PlaneMakeForPath2 の実行に失敗。戻り値 = 00000002";

// An object of Base that cannot be measured while its first macro's
// Caption holds Value, a value the macro declares: such a value is refused
// only by the drawing.
template <class Base>
class TUnmeasurableAt : public Base {
public:
    TUnmeasurableAt(TPageLink* Page, std::string Caption, std::string Value)
        : Base(Page, -1), FCaption(std::move(Caption)), FValue(std::move(Value))
    {
    }
    void CalcExtents() override
    {
        std::string Held;
        if (this->Macros().Count() > 0 && this->Macros().GetMacro(0)->GetParamValue(FCaption, Held) && Held == FValue)
            throw EUserError(UnmeasurableMessage);
        Base::CalcExtents();
    }

private:
    std::string FCaption, FValue;
};

// Byte builders

inline void PutI32(std::vector<uint8_t>& B, int32_t V)
{
    const auto U = static_cast<uint32_t>(V);
    for (int I = 0; I < 4; ++I)
        B.push_back(uint8_t(U >> (8 * I)));
}

inline void PutF64(std::vector<uint8_t>& B, double V)
{
    uint8_t T[8];
    std::memcpy(T, &V, 8);
    B.insert(B.end(), T, T + 8);
}

// A length-prefixed CP932 string from UTF-8.
inline void PutStr(std::vector<uint8_t>& B, const std::string& Utf8)
{
    const std::string S = Utf8ToCp932(Utf8);
    PutI32(B, static_cast<int32_t>(S.size()));
    B.insert(B.end(), S.begin(), S.end());
}

inline void PutBytes(std::vector<uint8_t>& B, const std::vector<uint8_t>& More)
{
    B.insert(B.end(), More.begin(), More.end());
}

inline std::vector<uint8_t> Bytes(TMemoryStream& S)
{
    return StreamBytes(S);
}

// A document saved to memory, and one loaded from memory.
inline std::vector<uint8_t> SaveBytes(TOLEDocumentWex& Doc)
{
    TMemoryStream S;
    Doc.SaveToStream(S);
    return Bytes(S);
}

inline void LoadBytes(TOLEDocumentWex& Doc, const std::vector<uint8_t>& B)
{
    TMemoryStreamWex S;
    S.SetPointer(B.data(), static_cast<int64_t>(B.size()));
    Doc.LoadFromStream(S);
}

// A page's document with a history and a picture store, and nothing else.
class TQuietPageDocument : public TPageDocumentLink {
public:
    void SetModified(bool) override {}
    TListRecPict* GetPictureStore() override { return &Store; }
    void AddForm(TOLEFormDoc*) override {}
    void RemoveForm(TOLEFormDoc*) override {}
    THistoryCommand History;
    TListRecPict Store{&History};
};

// Macros

struct TTestParam {
    std::string Value;
    std::string Caption;
};

struct TTestLine {
    std::string Function;
    std::string Result;
    std::vector<TTestParam> Params;
};

// A macro made from its lines: read, as a library file of that one macro
// holds it, by the library reader (the one reader that keeps the lines it
// is given; documents take a library's).
inline std::unique_ptr<TMacro> MakeTestMacro(const std::string& Name,
                                             const std::vector<TTestLine>& Lines)
{
    std::string B("tvm\0\1\0", 6);
    const auto Str = [&B](const std::string& Utf8) {
        B += Utf8ToCp932(Utf8);
        B += '\0';
    };
    B += '\0';
    Str(Name);
    for (const TTestLine& L : Lines) {
        B += '\0';
        Str(L.Function);
        const auto Count = static_cast<uint32_t>(L.Params.size());
        for (int Shift = 0; Shift < 32; Shift += 8)
            B += static_cast<char>(Count >> Shift);
        Str(L.Result);
        for (const TTestParam& P : L.Params) {
            B += '\0';
            Str(P.Value);
            Str(P.Caption);
        }
        B += '\1';
    }
    B += "\1\1"; // the end of the lines, of the macros
    TTempDir Dir;
    Dir.Put("Macro.tvm", B);
    std::unique_ptr<TMacroLibrary> Library;
    TMacro::ReadMacroFile(Library, Dir / "Macro.tvm");
    auto M = std::make_unique<TMacro>();
    M->Assign(*Library->Objects(0));
    return M;
}

// A solid fill over the object's path: the second extent is the path's
// bounds widened by the pen width (1) plus 3.
inline std::unique_ptr<TMacro> MakeFillMacro(const std::string& Name, const std::string& Fill)
{
    return MakeTestMacro(Name, {{"NilPicturePaintFill2", "",
                                 {{"PictureBackGround", ""}, {"", ""}, {"100", "不透明度"},
                                  {"", "*Primary"}, {"1,0,1.00", "線種"}, {Fill, "塗り方法"},
                                  {"塗りつぶし", "塗りつぶし指定"}, {"No", "アンチエリアス"},
                                  {"通常", "描画方法"}}}});
}

// Installs a library holding "Red", "Blue" (solid fills) and "Tex" (a picture
// fill that turns with the object) for the scope; restores the previous one.
class TTestMacroLibrary {
public:
    TTestMacroLibrary()
    {
        FOld = std::move(gMacroLibrary);
        gMacroLibrary = std::make_unique<TMacroLibrary>();
        gMacroLibrary->AddObject("Red", MakeFillMacro("Red", "10000FF"));
        gMacroLibrary->AddObject("Blue", MakeFillMacro("Blue", "1FF0000"));
        gMacroLibrary->AddObject("Tex", MakeFillMacro("Tex", "411,10,0,16,16,0,-1,0,0"));
    }
    ~TTestMacroLibrary() { gMacroLibrary = std::move(FOld); }
    TTestMacroLibrary(const TTestMacroLibrary&) = delete;
    TTestMacroLibrary& operator=(const TTestMacroLibrary&) = delete;
    // A library macro by name (as a document would get it).
    static std::unique_ptr<TMacro> Get(const std::string& Name)
    {
        auto M = std::make_unique<TMacro>();
        M->LoadFromLibrary(Name);
        return M;
    }

private:
    std::unique_ptr<TMacroLibrary> FOld;
};

// Line objects

// A line object that notes (kind, code) of every record it makes.
class TRecordingLineObject : public TLineObject {
public:
    using TLineObject::TLineObject;
    void AddHistory(uint8_t Kind, int32_t Command, const void* Data, int32_t Size) override
    {
        if (CanRecord() && HistoryCommand()->IsCommandOpen())
            Records.emplace_back(Kind, Command);
        TLineObject::AddHistory(Kind, Command, Data, Size);
    }
    // (kind, code) of every record made.
    std::vector<std::pair<uint8_t, int32_t>> Records;
};

// A shape: its base path is the closed rectangle Rect, regenerated on demand.
// Stored as type 3: the line-object form, then the four int32 of Rect.
class TTestShape : public TRecordingLineObject {
public:
    static constexpr uint8_t TypeNo = 3;
    using TRecordingLineObject::TRecordingLineObject;
    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }
    void BuildBasePath() override
    {
        ++Builds;
        RecPolyLineSetCount(FBasePath, 4);
        FBasePath.Points = {{Rect.Left, Rect.Top}, {Rect.Right, Rect.Top},
                            {Rect.Right, Rect.Bottom}, {Rect.Left, Rect.Bottom}};
        FBasePath.pabType = {PT_MOVETO, PT_LINETO, PT_LINETO, PT_LINETO | PT_CLOSEFIGURE};
        TLineObject::BuildBasePath();
    }
    void SetRect(const TRect& R)
    {
        Rect = R;
        SetPathState(0);
    }
    void MoveBy(int32_t DX, int32_t DY) override
    {
        Rect = {Rect.Left + DX, Rect.Top + DY, Rect.Right + DX, Rect.Bottom + DY};
        SetPathState(0);
        TLineObject::MoveBy(DX, DY);
    }
    void WriteToStream(TStream& Stream) override
    {
        Stream.WriteBuffer(&TypeNo, 1);
        TLineObject::WriteToStream(Stream);
        Stream.WriteBuffer(&Rect, 16);
    }
    void ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version) override
    {
        TLineObject::ReadFromStream(Stream, IDMap, Version);
        Stream.ReadBuffer(&Rect, 16);
    }
    void WriteToStreamAsText(TStream& Stream) override
    {
        StreamWriteln(Stream, std::to_string(TypeNo));
        TLineObject::WriteToStreamAsText(Stream);
        for (int32_t V : {Rect.Left, Rect.Top, Rect.Right, Rect.Bottom})
            StreamWriteln(Stream, std::to_string(V));
    }
    void ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version) override
    {
        TLineObject::ReadFromStreamAsText(Stream, IDMap, Version);
        for (int32_t* V : {&Rect.Left, &Rect.Top, &Rect.Right, &Rect.Bottom})
            *V = StrToInt(StreamReadln(Stream));
    }
    void Assign(TDrawItem* Source) override
    {
        TLineObject::Assign(Source);
        if (auto* S = dynamic_cast<TTestShape*>(Source))
            Rect = S->Rect;
    }
    TRect Rect{10, 10, 50, 30};
    int32_t Builds = 0;
};

// The polyline stand-in: its base path is its stored geometry, moved in
// place; one node kind per point.
class TTestPolyLine : public TRecordingLineObject {
public:
    static constexpr uint8_t TypeNo = 1;
    using TRecordingLineObject::TRecordingLineObject;
    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }
    bool IsPolyLine() const override { return true; }
    void SetPathRecord(const TrecPath& Path) override
    {
        TLineObject::SetPathRecord(Path);
        NodeKinds.assign(size_t(FBasePath.Count), 0);
    }
    // Test set-up: the base path without any record or invalidation.
    void SetBase(const TrecPath& Path)
    {
        RecPathAssign(FBasePath, Path);
        RecPathCalcBounds(FBasePath);
        FbBasePathState = 2;
        FbOutputPathState = 0;
    }
    void MoveBy(int32_t DX, int32_t DY) override
    {
        if (DX == 0 && DY == 0)
            return;
        EnsureBasePath();
        Invalidate(true);
        RecPathOffset(FBasePath, DX, DY);
        SetOutputPathState(0);
        TLineObject::MoveBy(DX, DY);
    }
    void WriteToStream(TStream& Stream) override
    {
        Stream.WriteBuffer(&TypeNo, 1);
        TLineObject::WriteToStream(Stream);
    }
    void WriteToStreamAsText(TStream& Stream) override
    {
        StreamWriteln(Stream, std::to_string(TypeNo));
        TLineObject::WriteToStreamAsText(Stream);
    }
    std::vector<uint8_t> NodeKinds;
};

template <class T>
std::unique_ptr<TDrawItem> NewTestObject(TPageLink* Page, int32_t ID)
{
    return std::make_unique<T>(Page, ID);
}

inline const TDrawItemClass TTestShape::ClassInfo{"TTestShape", &TLineObject::ClassInfo,
                                                  &NewTestObject<TTestShape>};
inline const TDrawItemClass TTestPolyLine::ClassInfo{"TTestPolyLine", &TLineObject::ClassInfo,
                                                     &NewTestObject<TTestPolyLine>};

// Registers both classes under their type numbers for the scope.
class TTestObjectTypes {
public:
    TTestObjectTypes()
        : FOldPoly(GetDrawItemFactory(TTestPolyLine::TypeNo)),
          FOldShape(GetDrawItemFactory(TTestShape::TypeNo))
    {
        RegisterDrawItemType(TTestPolyLine::TypeNo, &NewTestObject<TTestPolyLine>);
        RegisterDrawItemType(TTestShape::TypeNo, &NewTestObject<TTestShape>);
    }
    ~TTestObjectTypes()
    {
        RegisterDrawItemType(TTestPolyLine::TypeNo, FOldPoly);
        RegisterDrawItemType(TTestShape::TypeNo, FOldShape);
    }
    TTestObjectTypes(const TTestObjectTypes&) = delete;
    TTestObjectTypes& operator=(const TTestObjectTypes&) = delete;

private:
    TDrawItemFactory FOldPoly;
    TDrawItemFactory FOldShape;
};

// A path from "x,y,type" triples separated by blanks.
inline TrecPath MakePath(const std::vector<std::tuple<int32_t, int32_t, uint8_t>>& Points)
{
    TrecPath P;
    RecPolyLineSetCount(P, static_cast<int32_t>(Points.size()));
    for (size_t I = 0; I < Points.size(); ++I) {
        P.Points[I] = {std::get<0>(Points[I]), std::get<1>(Points[I])};
        P.pabType[I] = std::get<2>(Points[I]);
    }
    RecPathCalcBounds(P);
    return P;
}

inline std::vector<TPoint> PointsOf(const TrecPath& P)
{
    return std::vector<TPoint>(P.Points.begin(), P.Points.begin() + P.Count);
}

// The object's binary form: what "the same state" is compared by.
inline std::vector<uint8_t> StateOf(TDrawItem& Item)
{
    TMemoryStream S;
    Item.WriteToStream(S);
    return Bytes(S);
}

// Records what the drag outline draws.
class TRecordingDC : public TDragFrameDC {
public:
    int32_t GetROP2() const override { return Rop; }
    int32_t SetROP2(int32_t Mode) override
    {
        const int32_t Old = Rop;
        Rop = Mode;
        Calls.push_back("rop " + std::to_string(Mode));
        return Old;
    }
    void SelectSolidPen(int32_t Colour) override
    {
        Calls.push_back("pen " + std::to_string(Colour));
    }
    void RestorePen() override { Calls.push_back("restore pen"); }
    void PolyDrawPath(const TrecPath& Path) override
    {
        Calls.push_back("path " + std::to_string(Path.Count) + " rop " + std::to_string(Rop));
    }
    int32_t Rop = R2_COPYPEN;
    std::vector<std::string> Calls;
};

// A private settings store and data folder, and an empty program folder, for
// the scope: defaults objects made here read and write only there.
class TPrivateFolders {
public:
    TPrivateFolders()
    {
        FConfig.emplace("XDG_CONFIG_HOME");
        FData.emplace("XDG_DATA_HOME");
        std::filesystem::create_directories(Tmp / "config");
        std::filesystem::create_directories(Tmp / "data");
        std::filesystem::create_directories(Tmp / "program");
        setenv("XDG_CONFIG_HOME", (Tmp / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (Tmp / "xdgdata").c_str(), 1);
        RegistryReload();
        SetRegistryVal(HKEY_CURRENT_USER, DefaultDataKey, DefaultDataValueName, DataDir());
        SetModuleDirectories(ProgramDir(), "", "");
    }
    ~TPrivateFolders()
    {
        SetModuleDirectories("", "", "");
        FConfig.reset();
        FData.reset();
        RegistryReload();
    }
    TPrivateFolders(const TPrivateFolders&) = delete;
    TPrivateFolders& operator=(const TPrivateFolders&) = delete;
    std::string DataDir() const { return Tmp / "data"; }
    std::string ProgramDir() const { return Tmp / "program"; }
    TTempDir Tmp;

private:
    std::optional<TSavedEnv> FConfig;
    std::optional<TSavedEnv> FData;
};

// Defaults installed for new objects for the scope (never saved).
class TInstalledDefaults {
public:
    TInstalledDefaults() : Data(std::make_unique<TDefaultData>())
    {
        Data->SaveOnDestroy = 0;
        SetDefaultAttributes(Data.get());
    }
    ~TInstalledDefaults() { SetDefaultAttributes(nullptr); }
    TInstalledDefaults(const TInstalledDefaults&) = delete;
    TInstalledDefaults& operator=(const TInstalledDefaults&) = delete;
    TPrivateFolders Folders;
    std::unique_ptr<TDefaultData> Data;
};

// The program's own object types (poly lines, shapes, text) registered for
// the scope; the factories before are put back at its end.
class TRealObjectTypes {
public:
    TRealObjectTypes()
    {
        for (int32_t T = 1; T <= 6; ++T)
            FOld[T] = GetDrawItemFactory(T);
        RegisterPolyLineObjType();
        RegisterParamShapeTypes();
        RegisterTextObjType();
    }
    ~TRealObjectTypes()
    {
        for (int32_t T = 1; T <= 6; ++T)
            RegisterDrawItemType(T, FOld[T]);
    }

private:
    TDrawItemFactory FOld[7] = {};
};

// Fonts and the effect catalogue

// Installed by tools/setup (fonts-ipafont-gothic).
inline const std::string IpaGothic = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";

// Fonts from files only, so that layouts do not depend on the machine.
class TFileFonts : public TTextFontSource {
public:
    explicit TFileFonts(std::vector<TFontSource> Sources) { Installed.Build(std::move(Sources)); }
    std::vector<TFontFace> FontFaces() override { return Installed.Faces(); }
    std::unique_ptr<TGlyphFont> CreateFont(const TLogFont& F) override
    {
        const TFontFace* Face = Installed.Find(Cp932ToUtf8(LogFontFaceName(F)));
        if (!Face)
            Face = Installed.DefaultFace();
        TFontMatch M;
        if (!Face || !Installed.Resolve(Face->Name, F.lfWeight, F.lfItalic != 0, M))
            return nullptr;
        const TGlyphStyle Style{M.SynthesizeBold, M.SynthesizeItalic, F.lfUnderline != 0,
                                F.lfStrikeOut != 0};
        return TGlyphFont::Open(M.FileName, M.Index, -F.lfHeight, Style, Face->LogFont.lfCharSet);
    }
    TInstalledFonts Installed;
};

// IPA Gothic from its file as a font source.
inline TFontSource IpaGothicSource()
{
    TFontSource G;
    G.Families = {"IPAGothic", "IPAゴシック"};
    G.FileName = IpaGothic;
    G.Japanese = true;
    return G;
}

// Character attributes of IPA Gothic at Size (pixels).
inline TrecCharAttr GothicAttr(int32_t Size)
{
    TrecCharAttr A;
    std::string Face;
    uint8_t CharSet = 0;
    ValidateFontName("IPAGothic", Face, CharSet);
    SetCharAttrFaceName(A, Face);
    A.CharSet = CharSet;
    A.Size = Size;
    return A;
}

// The effect catalogue built beside the test program (Macro.tvm and
// MacPath.tvm) for the scope; the libraries before are put back at its end.
class TCatalogueLibraries {
public:
    TCatalogueLibraries() : FOld(std::move(gMacroLibrary)), FOldPath(std::move(gMacPathLibrary))
    {
        LoadMacroLibraries(std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
    }
    ~TCatalogueLibraries()
    {
        gMacroLibrary = std::move(FOld);
        gMacPathLibrary = std::move(FOldPath);
    }
    TCatalogueLibraries(const TCatalogueLibraries&) = delete;
    TCatalogueLibraries& operator=(const TCatalogueLibraries&) = delete;
    // The effects a user picks: every macro but the quality variants.
    static std::vector<std::string> Effects()
    {
        std::vector<std::string> Names;
        for (int32_t I = 0; I < gMacroLibrary->Count(); ++I) {
            const std::string Name = gMacroLibrary->Strings(I);
            if (!Name.ends_with("_Low") && !Name.ends_with("_Mid"))
                Names.push_back(Name);
        }
        return Names;
    }

private:
    std::unique_ptr<TMacroLibrary> FOld;
    std::unique_ptr<TMacroLibrary> FOldPath;
};

// How many groups below Group (at any depth) hold no item.
inline int32_t EmptyGroupsBelow(const TDrawGroup& Group)
{
    int32_t N = 0;
    for (int32_t I = 0; I < Group.GetCount(); ++I)
        if (const auto* G = dynamic_cast<const TDrawGroup*>(Group.GetItem(I)))
            N += (G->GetCount() == 0) + EmptyGroupsBelow(*G);
    return N;
}
