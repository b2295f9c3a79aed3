// The effect catalogue as the build compiles it (Macro.tvm, MacPath.tvm),
// checked against the function table and painted on three shapes and a word
// (IPA Gothic) at each quality against the goldens in tests/data/catalogue/.
// After a deliberate change run once with TAVRO_CATALOGUE_WRITE=1 to write them
// anew (and the contact sheet) and look at every picture before keeping them;
// TAVRO_CATALOGUE_OUT=<folder> writes the renders there instead.
#include "model/object_test_support.h"
#include "golden_picture.h"
#include "path_points.h"
#include "foundation/pen_text.h"
#include "foundation/streams.h"
#include "foundation/string_list.h"
#include "model/page_link.h"
#include "model/text_object.h"
#include "model/text_outline.h"
#include "store/picture_store.h"
#include "paint/fill_value.h"
#include "paint/light_set.h"
#include "paint/macro_interpreter.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/macro_param_range.h"
#include "paint/paint_function_table.h"
#include "paint/paint_macro.h"
#include "paint/picture_cache.h"
#include "platform/cp932.h"
#include "platform/fonts.h"
#include "platform/message_box.h"
#include "raster/merge.h"
#include "raster/rec_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

// ---------------------------------------------------------------- reading

std::string ProgramFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

std::string FileBytes(const std::string& Name)
{
    std::ifstream In(Name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

std::string LowerAscii(std::string S)
{
    for (char& C : S)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return S;
}

bool IsVariant(const std::string& S)
{
    return S.ends_with("_Low") || S.ends_with("_Mid");
}

std::string DisplayPart(const std::string& Caption)
{
    return Caption.substr(0, Caption.find('|'));
}

bool IsUserCaption(const std::optional<std::string>& Caption)
{
    return Caption && !Caption->empty() && (*Caption)[0] != '*';
}

// Both libraries as the program reads them at start-up.
class Catalogue : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LoadMacroLibraries(ProgramFolder()); }
    static void TearDownTestSuite() { FreeMacroLibraries(); }

    static std::vector<const TMacro*> Macros(const TMacroLibrary& Library)
    {
        std::vector<const TMacro*> List;
        for (int32_t I = 0; I < Library.Count(); ++I)
            List.push_back(Library.Objects(I));
        return List;
    }
    static const TMacro* Find(const std::string& Name)
    {
        const int32_t I = gMacroLibrary->IndexOf(Name);
        return I < 0 ? nullptr : gMacroLibrary->Objects(I);
    }
    // The user-captioned parameters of a macro: display part, descriptor, parameter.
    static std::vector<std::tuple<std::string, const TPaintParamDesc*, const TMacroParam*>> UserParams(const TMacro& M)
    {
        std::vector<std::tuple<std::string, const TPaintParamDesc*, const TMacroParam*>> Found;
        for (int32_t L = 0; L < M.LineCount(); ++L) {
            const TMacroLine& Line = M.Line(L);
            const int32_t F = FindPaintFunction(Line.FunctionName);
            for (size_t P = 0; F >= 0 && P < Line.Params.size() && P < size_t(PaintFunctionTable()[F].ParamCount); ++P)
                if (IsUserCaption(Line.Params[P].Caption))
                    Found.emplace_back(DisplayPart(*Line.Params[P].Caption), &PaintFunctionTable()[F].Params[P],
                                       &Line.Params[P]);
        }
        return Found;
    }
};

// ---------------------------------------------------------------- the validator

bool IsObjectKind(int32_t Kind)
{
    return Kind == pkPath || Kind == pkPlane || Kind == pkPicture;
}

// Kinds the property panel builds an editor for.
bool IsEditableKind(int32_t Kind)
{
    return Kind == pkInteger || Kind == pkReal || Kind == pkChoice || Kind == pkColor || Kind == pkFill ||
           Kind == pkPlaneFill || Kind == pkReflection || Kind == pkLights || Kind == pkLineType;
}

// The problems of one value for its descriptor, "" when it is fine.
std::string CheckValue(const TPaintParamDesc& D, const std::string& V)
{
    switch (D.Kind) {
    case pkInteger: {
        const TIntArg A = ReadIntArg(V.c_str(), 0);
        if (!A.Parsed)
            return "not an integer";
        if (D.Limits.Int && (A.Value < D.Limits.Int->Min || A.Value > D.Limits.Int->Max))
            return "out of range";
        return "";
    }
    case pkReal: {
        const TRealArg A = ReadRealArg(V.c_str(), 0);
        if (!A.Parsed)
            return "not a number";
        if (D.Limits.Real && (A.Value < D.Limits.Real->Min || A.Value > D.Limits.Real->Max))
            return "out of range";
        return "";
    }
    case pkChoice:
        for (const char* const* C = D.Limits.Choices; *C; ++C)
            if (V == *C)
                return "";
        return "not one of the choices";
    case pkColor: {
        const TIntArg A = ReadIntArg(V.c_str(), -1);
        return A.Parsed && A.Value >= 0 && A.Value <= 0xFFFFFF ? "" : "not a colour";
    }
    case pkFill:
    case pkPlaneFill:
    case pkReflection: {
        TFillValue F;
        return (D.Kind == pkReflection && V.empty()) || StrToFillValue(V, F) ? "" : "not a fill value";
    }
    case pkLights: {
        TLightsAmb L;
        if (!StrToLights(L, V) || L.Lights.empty())
            return "not a light set";
        return LightsToStr(L) == V ? "" : "light set does not read back as written";
    }
    case pkLineType: {
        TrecPenData Pen;
        return StrToPenData(V, Pen) && Pen.Width > 0 ? "" : "not a pen";
    }
    case pkUnused:
        return "";
    default:
        return "unknown kind";
    }
}

// Every problem of one macro; Path selects the path-macro rules.
std::vector<std::string> ValidateMacro(const TMacro& M, bool Path)
{
    std::vector<std::string> Errors;
    const TPaintFunctionRec* Table = PaintFunctionTable();
    auto Fail = [&](int32_t L, const std::string& What) {
        Errors.push_back(M.Name() + " line " + std::to_string(L + 1) + ": " + What);
    };
    std::map<std::string, int32_t> Results; // lower-case name -> result kind
    std::map<std::string, std::string> DisplayToCaption;
    std::map<std::string, const TMacroParam*> FirstOfCaption;
    std::map<std::string, const TPaintParamDesc*> EditorOfCaption;
    bool SeenFinal = false;
    if (M.LineCount() == 0)
        Errors.push_back(M.Name() + ": no lines");
    for (int32_t L = 0; L < M.LineCount(); ++L) {
        const TMacroLine& Line = M.Line(L);
        const int32_t F = FindPaintFunction(Line.FunctionName);
        if (F < 0) {
            Fail(L, "function " + Line.FunctionName + " does not exist");
            continue;
        }
        const TPaintFunctionRec& Rec = Table[F];
        if (Line.ParamCount() != Rec.ParamCount || static_cast<int32_t>(Line.Params.size()) != Rec.ParamCount) {
            Fail(L, Line.FunctionName + " takes " + std::to_string(Rec.ParamCount) + " parameters, not " +
                        std::to_string(Line.Params.size()));
            continue;
        }
        if (Path && Rec.ResultKind != rkNone && Rec.ResultKind != rkPath)
            Fail(L, "a path macro may only make paths");
        const bool Final = Line.Flags() != 0;
        bool BindsTarget = false;
        for (int32_t P = 0; P < Rec.ParamCount; ++P) {
            const TPaintParamDesc& D = Rec.Params[P];
            const TMacroParam& Param = Line.Params[static_cast<size_t>(P)];
            const std::string Value = Param.Value.value_or("");
            const std::string What = std::string("parameter ") + D.Name + " ";
            const bool Required = Rec.Required.Contains(P);
            if (IsObjectKind(D.Kind)) {
                if (IsUserCaption(Param.Caption))
                    Fail(L, What + "is an object but carries the user caption " + *Param.Caption);
                if (Path && D.Kind != pkPath)
                    Fail(L, What + "is not a path in a path macro");
                if (Value.empty()) {
                    const bool Primary = Param.Caption && MatchParamCaptionI(*Param.Caption, "*Primary");
                    if (Primary && D.Kind == pkPlane)
                        Fail(L, What + "asks for the primary object, which a plane never gets");
                    if (Required && !(Primary && D.Kind != pkPlane))
                        Fail(L, What + "is required but names nothing");
                } else if (Value == cPictureBackGround) {
                    if (D.Kind != pkPicture || Path)
                        Fail(L, What + "names the target picture but is no picture");
                    else
                        BindsTarget = true;
                    if (P != 0)
                        Fail(L, What + "names the target picture, which only a destination may");
                } else {
                    const auto It = Results.find(LowerAscii(Value));
                    if (It == Results.end())
                        Fail(L, What + "names " + Value + ", which no earlier line makes");
                    else if (It->second != D.Kind)
                        Fail(L, What + "names " + Value + " of another kind");
                }
                continue;
            }
            if (IsUserCaption(Param.Caption)) {
                const std::string& Caption = *Param.Caption;
                if (!IsEditableKind(D.Kind))
                    Fail(L, What + "has the user caption " + Caption + " on a kind the panel cannot edit");
                const std::string Display = DisplayPart(Caption);
                const auto [It, New] = DisplayToCaption.emplace(Display, Caption);
                if (!New && It->second != Caption)
                    Fail(L, "caption " + Display + " appears with two tags");
                if (New) {
                    FirstOfCaption[Display] = &Param;
                    EditorOfCaption[Display] = &D;
                } else if (EditorOfCaption[Display] != &D || FirstOfCaption[Display] != &Param) {
                    if (FirstOfCaption[Display]->Value != Param.Value)
                        Fail(L, "caption " + Display + " has two default values");
                    const TPaintParamDesc& E = *EditorOfCaption[Display];
                    const bool Numbers = (E.Kind == pkInteger || E.Kind == pkReal) &&
                                         (D.Kind == pkInteger || D.Kind == pkReal);
                    if (!Numbers && E.Kind != D.Kind)
                        Fail(L, "caption " + Display + " is shared by parameters of different kinds");
                    if (Numbers && D.Kind == pkInteger && E.Kind != pkInteger)
                        Fail(L, "caption " + Display + " is edited as a real but feeds an integer");
                    if (E.Kind == pkChoice && D.Kind == pkChoice) {
                        for (const char* const* C = E.Limits.Choices; *C; ++C)
                            if (!CheckValue(D, *C).empty())
                                Fail(L, "caption " + Display + " offers a choice that " + D.Name + " lacks");
                    }
                }
            }
            if (D.Kind == pkUnused)
                continue;
            if (Value.empty()) {
                // No pen means no outline passes, no reflection no mirror
                // image; every other value must be set.
                if (Required || (D.Kind != pkLineType && D.Kind != pkReflection))
                    Fail(L, What + "has no value");
                continue;
            }
            if (const std::string Problem = CheckValue(D, Value); !Problem.empty())
                Fail(L, What + "value \"" + Value + "\": " + Problem);
        }
        if (!Path) {
            if (BindsTarget && !Final)
                Fail(L, "paints the target but is not a final line, so a cached paint would skip it");
            bool TakesObjects = false;
            for (int32_t P = 0; P < Rec.ParamCount; ++P)
                TakesObjects = TakesObjects || IsObjectKind(Rec.Params[P].Kind);
            // A final line without objects (the random seed) sets up the final painting.
            if (Final && !BindsTarget && TakesObjects)
                Fail(L, "is a final line that does not paint the target");
            if (Final && Rec.ResultKind != rkNone)
                Fail(L, "is a final line with a result");
            if (SeenFinal && !Final)
                Fail(L, "follows a final line, so a cached paint would see other inputs");
        }
        SeenFinal = SeenFinal || Final;
        if (Rec.ResultKind != rkNone) {
            if (Line.ResultName.empty())
                Fail(L, "makes an object but does not name it");
            else if (LowerAscii(Line.ResultName) == LowerAscii(cPictureBackGround))
                Fail(L, "names its result as the target");
            else
                Results[LowerAscii(Line.ResultName)] = Rec.ResultKind;
        } else if (!Line.ResultName.empty()) {
            Fail(L, "names a result it does not make");
        }
    }
    if (Path && !Results.count(LowerAscii(cResultPath)))
        Errors.push_back(M.Name() + ": no line makes " + cResultPath);
    if (!Path && !SeenFinal)
        Errors.push_back(M.Name() + ": nothing paints the target");
    return Errors;
}

std::string Join(const std::vector<std::string>& Lines)
{
    std::string S;
    for (const std::string& L : Lines)
        S += L + "\n";
    return S;
}

} // namespace

TEST_F(Catalogue, FilesAreCompiledInTheStoredFormat)
{
    const std::string Bytes = FileBytes(ProgramFolder() + "/Macro.tvm");
    ASSERT_GE(Bytes.size(), 7u);
    EXPECT_EQ(Bytes.substr(0, 6), std::string("tvm\x00\x01\x00", 6));
    // The first macro's name in CP932: 塗 93 68, り 82 E8, then "(", ボ 83 7B,
    // カ 83 4A, シ 83 56, ")" and the terminating 0.
    EXPECT_EQ(Bytes.substr(6, 14), std::string("\x00\x93\x68\x82\xE8(\x83\x7B\x83\x4A\x83\x56)\x00", 14));
    EXPECT_NE(Bytes.back(), '\0');
    const std::string Path = FileBytes(ProgramFolder() + "/MacPath.tvm");
    ASSERT_GE(Path.size(), 7u);
    EXPECT_EQ(Path.substr(0, 3), "tvm");
}

TEST_F(Catalogue, EveryMacroPassesTheValidator)
{
    ASSERT_TRUE(gMacroLibrary && gMacPathLibrary);
    ASSERT_GT(gMacroLibrary->Count(), 0);
    ASSERT_GT(gMacPathLibrary->Count(), 0);
    std::vector<std::string> Errors;
    for (const bool Path : {false, true})
        for (const TMacro* M : Macros(Path ? *gMacPathLibrary : *gMacroLibrary)) {
            const std::vector<std::string> E = ValidateMacro(*M, Path);
            Errors.insert(Errors.end(), E.begin(), E.end());
        }
    EXPECT_TRUE(Errors.empty()) << Join(Errors);
}

TEST_F(Catalogue, NamesAreUniqueCurrentAndHaveQualityVariants)
{
    std::set<std::string> Seen;
    for (const TMacroLibrary* Library : {gMacroLibrary.get(), gMacPathLibrary.get()})
        for (int32_t I = 0; I < Library->Count(); ++I) {
            const TMacro* M = Library->Objects(I);
            const std::string& Name = M->Name();
            EXPECT_EQ(Library->Strings(I), Name);
            // Look-ups ignore case and the first library wins, so a second
            // entry of a name would never be found; nor would a renamed one.
            EXPECT_TRUE(Seen.insert(LowerAscii(Name)).second) << Name << " appears twice";
            EXPECT_EQ(MigrateMacroName(Name, 25), Name) << Name;
            if (Library == gMacPathLibrary.get()) {
                EXPECT_FALSE(IsVariant(Name)) << Name; // path macros run without qualities
            } else if (!IsVariant(Name)) {
                EXPECT_NE(Find(Name + "_Low"), nullptr) << Name << " has no low-quality variant";
            } else {
                const TMacro* Base = Find(Name.substr(0, Name.size() - 4));
                ASSERT_NE(Base, nullptr) << Name << " is a variant of nothing";
                // The variant receives the macro's user values by caption: each
                // must be one the macro shows, of a kind taking the same values.
                std::map<std::string, const TPaintParamDesc*> BaseKinds;
                for (const auto& [Caption, D, P] : UserParams(*Base))
                    BaseKinds.emplace(Caption, D);
                for (const auto& [Caption, D, P] : UserParams(*M)) {
                    const auto It = BaseKinds.find(Caption);
                    ASSERT_NE(It, BaseKinds.end()) << Name << ": " << Caption;
                    const bool Numbers = (D->Kind == pkInteger || D->Kind == pkReal) &&
                                         (It->second->Kind == pkInteger || It->second->Kind == pkReal);
                    EXPECT_TRUE(Numbers || D->Kind == It->second->Kind) << Name << ": " << Caption;
                }
            }
        }
}

// ---------------------------------------------------------------- renders

namespace {

constexpr int32_t cCell = 100;

void Close(TrecPath& P)
{
    P.pabType[static_cast<size_t>(P.Count - 1)] |= PT_CLOSEFIGURE;
}
void Bezier(TrecPath& P, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3)
{
    AddPoint(P, X1, Y1, PT_BEZIERTO);
    AddPoint(P, X2, Y2, PT_BEZIERTO);
    AddPoint(P, X3, Y3, PT_BEZIERTO);
}

// A five-pointed star, outer radius 42, inner 18.
void MakeStar(TrecPath& P)
{
    for (int32_t I = 0; I < 10; ++I) {
        const double R = I % 2 == 0 ? 42 : 18;
        const double A = -M_PI / 2 + I * M_PI / 5;
        AddPoint(P, static_cast<int32_t>(std::lround(50 + R * std::cos(A))),
                 static_cast<int32_t>(std::lround(53 + R * std::sin(A))), I == 0 ? PT_MOVETO : PT_LINETO);
    }
    Close(P);
}

// A 76 x 56 rectangle with corners of radius 14 (Bezier quarter circles).
void MakeRoundRect(TrecPath& P)
{
    const int32_t L = 12, T = 22, R = 88, B = 78, Rad = 14;
    const int32_t K = 6; // control-point inset of a quarter circle: Rad x (1 - 0.5523)
    AddPoint(P, L + Rad, T, PT_MOVETO);
    AddPoint(P, R - Rad, T, PT_LINETO);
    Bezier(P, R - K, T, R, T + K, R, T + Rad);
    AddPoint(P, R, B - Rad, PT_LINETO);
    Bezier(P, R, B - K, R - K, B, R - Rad, B);
    AddPoint(P, L + Rad, B, PT_LINETO);
    Bezier(P, L + K, B, L, B - K, L, B - Rad);
    AddPoint(P, L, T + Rad, PT_LINETO);
    Bezier(P, L, T + K, L + K, T, L + Rad, T);
    Close(P);
}

// A bold letter "D" with its counter: straight stem, Bezier bowl.
void MakeLetter(TrecPath& P)
{
    AddPoint(P, 20, 14, PT_MOVETO);
    AddPoint(P, 46, 14, PT_LINETO);
    Bezier(P, 70, 14, 84, 30, 84, 50);
    Bezier(P, 84, 70, 70, 86, 46, 86);
    AddPoint(P, 20, 86, PT_LINETO);
    Close(P);
    AddPoint(P, 38, 31, PT_MOVETO);
    AddPoint(P, 38, 69, PT_LINETO);
    AddPoint(P, 45, 69, PT_LINETO);
    Bezier(P, 58, 69, 65, 61, 65, 50);
    Bezier(P, 65, 39, 58, 31, 45, 31);
    Close(P);
}

using TShapeMaker = void (*)(TrecPath&);
constexpr TShapeMaker cShapes[3] = {MakeStar, MakeRoundRect, MakeLetter};
// Sheet rows: the qualities normal, medium and low.
constexpr int32_t cQualities[3] = {cPaintQualityNormal, cPaintQualityMid, cPaintQualityLow};

// A library macro with some of its user values changed.
struct TPresetMacro {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Values;
};

// How one effect is shown: on a backdrop, after and before other macros
// (effects that work on what lies beneath are shown over a fill).
struct TPreview {
    std::string Name;
    std::string Slug; // file name of the golden render
    uint32_t Backdrop = 0xFFFFFF;
    std::vector<TPresetMacro> Before;
    std::vector<TPresetMacro> After;
    bool Striped = false; // diagonal stripes over the backdrop, for effects that bend what lies beneath
    // User values of the effect on the word only, where its defaults would
    // wash out the thin strokes of the glyphs.
    std::vector<std::pair<std::string, std::string>> WordValues;
};

// Fills that other effects are shown with.
const TPresetMacro cBlueFill{"塗り(ボカシ)", {{"塗り方法", "1B06000"}}};
const TPresetMacro cPaleFill{"塗り(ボカシ)", {{"塗り方法", "1F0D090"}}};
const TPresetMacro cDarkFill{"塗り(ボカシ)", {{"塗り方法", "1602010"}}};
const TPresetMacro cRainbowFill{
    "グラデーション塗り",
    {{"塗り方法", "210000255,1,0,0,16384,16384,5,0,3154152,256,2146552,512,5287984,768,14708768,1023,"
                  "12595344,0,0,0,100,0,100"}}};
const TPresetMacro cWarmFill{"塗り(ボカシ)", {{"塗り方法", "13080D0"}}};
constexpr uint32_t cNight = 0x402010;
constexpr uint32_t cGrey = 0xB8B8B8;

const std::vector<TPreview>& Previews()
{
    static const std::vector<TPreview> List = {
        {"塗り(ボカシ)", "fill_blur", 0xFFFFFF, {}, {}, false, {}},
        {"グラデーション塗り", "fill_gradation", 0xFFFFFF, {}, {}, false, {}},
        {"塗り（影）", "drop_shadow", 0xFFFFFF, {}, {cBlueFill}, false, {}},
        {"塗り（陰影）", "fill_with_shadow", 0xFFFFFF, {}, {}, false, {}},
        {"切抜き", "cut_out", 0xFFFFFF, {}, {}, false, {}},
        {"グラデーションライン", "gradation_line", 0xFFFFFF, {}, {}, false, {}},
        {"縁取り（中心）", "stroke_centre", 0xFFFFFF, {cPaleFill}, {}, false, {{"線種", "3,0,1.00"}}},
        {"縁取り（外側）", "stroke_outside", 0xFFFFFF, {cPaleFill}, {}, false, {}},
        {"縁取り（内側）", "stroke_inside", 0xFFFFFF, {cPaleFill}, {}, false, {{"線種", "3,0,1.00"}}},
        {"ソフトシャドウ", "soft_shadow", 0xFFFFFF, {}, {cBlueFill}, false, {}},
        {"光彩（外側）", "outer_glow", cNight, {}, {cBlueFill}, false, {}},
        {"光彩（内側）", "inner_glow", 0xFFFFFF, {cDarkFill}, {}, false, {}},
        {"ネオン", "neon", cNight, {}, {}, false, {}},
        {"かすれ", "dry_brush", 0xFFFFFF, {}, {}, false, {}},
        {"かすれ(照明)", "dry_brush_lit", 0xFFFFFF, {}, {}, false, {}},
        {"スタンプ", "stamp", 0xD8F0F8, {}, {}, false, {}},
        {"石ころ", "pebble", 0xFFFFFF, {}, {}, false, {}},
        {"クリスタル", "crystal", 0xFFFFFF, {}, {}, true, {{"丸み", "3"}}},
        {"ガラス（屈折）", "glass", 0xFFFFFF, {}, {}, true, {}},
        {"ぼかし", "blur", 0xFFFFFF, {}, {}, true, {}},
        {"ステンドグラス", "stained_glass", 0xFFFFFF, {}, {}, false, {}},
        {"雲", "clouds", 0xFFFFFF, {}, {}, false, {}},
        {"ノイズ", "noise", 0xFFFFFF, {cBlueFill}, {}, false, {}},
        {"エンボス（照明）", "emboss_lit", 0xFFFFFF, {cWarmFill}, {}, false, {}},
        {"エンボス（陰影）", "emboss_shaded", 0xFFFFFF, {cWarmFill}, {}, false, {}},
        {"エンボス（光沢付け）", "emboss_glossy", 0xFFFFFF, {cWarmFill}, {}, false, {}},
        {"エンボス外（陰影）", "emboss_outside_shaded", cGrey, {cWarmFill}, {}, false, {}},
        {"エンボス外（光沢付け）", "emboss_outside_glossy", cGrey, {cWarmFill}, {}, false, {}},
        {"ベベル（照明）", "bevel_lit", 0xFFFFFF, {cWarmFill}, {}, false, {}},
        {"ベベル（陰影）", "bevel_shaded", 0xFFFFFF, {cWarmFill}, {}, false, {}},
        {"ベベル（光沢付け）", "bevel_glossy", 0xFFFFFF, {cWarmFill}, {}, false, {}},
        {"ベベル外（陰影）", "bevel_outside_shaded", cGrey, {cWarmFill}, {}, false, {}},
        {"ベベル外（光沢付け）", "bevel_outside_glossy", cGrey, {cWarmFill}, {}, false, {}},
        {"金属光沢", "metal", 0xFFFFFF, {cWarmFill}, {}, false, {}},
        {"プラスチック", "plastic", 0xFFFFFF, {cBlueFill}, {}, false, {}},
        {"テクスチャ（陰影）", "texture", 0xFFFFFF, {cWarmFill}, {}, false, {}},
        {"明るさ・コントラスト", "brightness_contrast", 0xFFFFFF, {cRainbowFill}, {}, false, {}},
        {"レベル調整", "levels", 0xFFFFFF, {cRainbowFill}, {}, false, {}},
        {"色相・明度・彩度調整", "hue_saturation_intensity", 0xFFFFFF, {cRainbowFill}, {}, false, {}},
        {"色相・輝度・彩度調整", "hue_lightness_saturation", 0xFFFFFF, {cRainbowFill}, {}, false, {}},
        {"YCbCr調整", "ycbcr", 0xFFFFFF, {cRainbowFill}, {}, false, {}},
    };
    return List;
}

struct TOwnedPicture {
    TrecPicture P;
    TOwnedPicture() = default;
    TOwnedPicture(const TOwnedPicture&) = delete;
    TOwnedPicture& operator=(const TOwnedPicture&) = delete;
    ~TOwnedPicture() { RecPictureClear(P); }
};

std::unique_ptr<TMacro> LibraryMacro(const TPresetMacro& Preset)
{
    auto M = std::make_unique<TMacro>();
    if (!M->LoadFromLibrary(Preset.Name))
        return nullptr;
    for (const auto& [Caption, Value] : Preset.Values)
        M->SetParamValue(Caption, Value);
    return M;
}

bool Inside(const TRect& R, int32_t X, int32_t Y)
{
    return R.Left <= R.Right && X >= R.Left && X <= R.Right && Y >= R.Top && Y <= R.Bottom;
}

// Pixels that differ between the cells and lie in neither rectangle.
int32_t PaintedOutside(const TrecPicture& Cell, const TrecPicture& Before, const TRect& R1, const TRect& R2)
{
    int32_t Outside = 0;
    for (int32_t Y = 0; Y < cCell; ++Y)
        for (int32_t X = 0; X < RecPictureHeader(Cell)->biWidth; ++X)
            Outside += std::memcmp(RecPictureGetPixelPtr(Cell, X, Y), RecPictureGetPixelPtr(Before, X, Y), 3) != 0 &&
                       !Inside(R1, X, Y) && !Inside(R2, X, Y);
    return Outside;
}

// A cell Width wide with the effect's backdrop.
void PrepareCell(const TPreview& Preview, TrecPicture& Cell, int32_t Width = cCell)
{
    RecPictureCreate(Cell, TPoint{0, 0}, Width, cCell, 24, false);
    RecPictureFillColor(Cell, static_cast<int32_t>(Preview.Backdrop));
    if (Preview.Striped)
        for (int32_t Y = 0; Y < cCell; ++Y)
            for (int32_t X = 0; X < Width; ++X)
                if ((X + Y) / 5 % 2 == 0) {
                    uint8_t* P = RecPictureGetPixelPtr(Cell, X, Y);
                    P[0] = 0x30; // blue, green, red
                    P[1] = 0x90;
                    P[2] = 0xE0;
                }
}

// The effect's macros in painting order; the effect with Values set.
void AddPreviewMacros(const TPreview& Preview, TMacros& List,
                      const std::vector<std::pair<std::string, std::string>>& Values = {})
{
    for (const TPresetMacro& P : Preview.Before)
        if (auto M = LibraryMacro(P))
            List.Add(std::move(M));
    List.Add(LibraryMacro({Preview.Name, Values}));
    for (const TPresetMacro& P : Preview.After)
        if (auto M = LibraryMacro(P))
            List.Add(std::move(M));
}

// Paints one cell; the problems go to Errors.
void PaintCell(const TPreview& Preview, TShapeMaker Shape, int32_t Quality, TrecPicture& Cell,
               std::vector<std::string>& Errors)
{
    TMacros List;
    AddPreviewMacros(Preview, List);
    TrecPath Path;
    Shape(Path);
    RecPathCalcBounds(Path);
    Path.Flag = 1; // filled, as text is
    PrepareCell(Preview, Cell);
    TListRecPict Store(nullptr);
    TMacroPaintArgs Args;
    Args.Target = &Cell;
    Args.PrimaryPath = &Path;
    Args.Quality = Quality;
    Args.Store = &Store;
    // What the draw object learns first: where the macros will paint.
    TRect Measured1, Measured2;
    Args.MeasureOnly = true;
    List.Paint(Args, {}, nullptr, Measured1, Measured2);
    TOwnedPicture Before;
    RecPictureCopy(Before.P, Cell, false);
    Args.MeasureOnly = false;
    TRect R1, R2;
    try {
        List.Paint(Args, {}, nullptr, R1, R2);
    } catch (const Exception& E) {
        Errors.push_back(Preview.Name + ": " + E.what());
        return;
    }
    // Every changed pixel lies in the measured extents, or the draw object
    // would leave stale paint behind when it moves.
    if (const int32_t Outside = PaintedOutside(Cell, Before.P, Measured1, Measured2); Outside > 0)
        Errors.push_back(Preview.Name + " quality " + std::to_string(Quality) + ": " +
                         std::to_string(Outside) + " pixels painted outside the measured extents");
}

// ---------------------------------------------------------------- the word

// Installed by tools/setup (fonts-ipafont-gothic).
const std::string& cIpaGothic = IpaGothic;
const std::string cWord = "文字Ab";
// Bold and wider than the shapes' cells, so that its strokes are broad
// enough to show every effect.
constexpr int32_t cWordSize = 38;
constexpr int32_t cWordCell = 140;
// The display modes that paint at the sheet rows' qualities.
constexpr uint8_t cDisplayModes[3] = {3, 2, 1};

// IPA Gothic from its file as the only font, for the scope: the word lays
// out the same on every machine. Message boxes are kept, not shown.
class TGothicFromFile {
public:
    TGothicFromFile() : FOldFonts(SetTextFontSource(&FFonts))
    {
        FOldBox = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDOK;
        });
    }
    ~TGothicFromFile()
    {
        SetMessageBoxHandler(FOldBox);
        SetTextFontSource(FOldFonts);
    }
    TGothicFromFile(const TGothicFromFile&) = delete;
    TGothicFromFile& operator=(const TGothicFromFile&) = delete;
    std::vector<std::string> Boxes;

private:
    TFileFonts FFonts{{IpaGothicSource()}};
    TTextFontSource* FOldFonts;
    TMessageBoxHandler FOldBox;
};

// The word as a text object with the effect's macros, in the middle of a
// cell, painted as a document paints it at DisplayMode; the problems go to
// Errors. Cell receives the picture.
void PaintWordCell(const TPreview& Preview, uint8_t DisplayMode, TrecPicture& Cell,
                   std::vector<std::string>& Errors)
{
    TTextObj Text(nullptr, -1);
    Text.SetText(Utf8ToCp932(cWord));
    TrecCharAttr Attr = GothicAttr(cWordSize);
    Attr.Bold = 1;
    TListCharStyle& Styles = Text.RichText().Styles;
    for (int32_t I = 0; I < Styles.Count(); ++I)
        if (TCharStyle* C = Styles.GetItem(I))
            C->Attr = Attr;
    Text.SetPathState(0);
    const TRect B = Text.GetPath().Bounds;
    Text.SetPosition((cWordCell - (B.Right - B.Left)) / 2 - B.Left, (cCell - (B.Bottom - B.Top)) / 2 - B.Top);
    AddPreviewMacros(Preview, Text.Macros(), Preview.WordValues);
    TrecDrawTarget Target;
    PrepareCell(Preview, Target.Picture, cWordCell);
    Cell = Target.Picture; // the cell owns the picture from here
    TOwnedPicture Before;
    RecPictureCopy(Before.P, Cell, false);
    TListRecPict Store(nullptr);
    try {
        Text.Paint(Target, DisplayMode, &Store, nullptr, 0);
    } catch (const Exception& E) {
        Errors.push_back(Preview.Name + " on the word: " + E.what());
        return;
    }
    // The text measures where its macros paint before painting.
    const TRect Extent = Text.GetPaintExtent();
    if (const int32_t Outside = PaintedOutside(Cell, Before.P, Extent, Extent); Outside > 0)
        Errors.push_back(Preview.Name + " on the word, display mode " + std::to_string(DisplayMode) + ": " +
                         std::to_string(Outside) + " pixels painted outside the measured extent");
    // Painting must not be a no-op: the effect shows on the word.
    if (std::memcmp(Cell.pBits, Before.P.pBits, static_cast<size_t>(RecPictureGetImageSize(Cell))) == 0)
        Errors.push_back(Preview.Name + " painted nothing on the word");
}

void Blit(TrecPicture& Dest, int32_t DX, int32_t DY, const TrecPicture& Src)
{
    const int32_t Width = RecPictureHeader(Src)->biWidth;
    for (int32_t Y = 0; Y < cCell; ++Y)
        std::memcpy(RecPictureGetPixelPtr(Dest, DX, DY + Y), RecPictureGetPixelPtr(Src, 0, Y),
                    static_cast<size_t>(Width) * 3);
}

// Seven-segment digits for the contact sheet's effect numbers.
void DrawNumber(TrecPicture& P, int32_t X, int32_t Y, int32_t N)
{
    static const uint8_t Segments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    const std::string Text = std::to_string(N);
    for (size_t I = 0; I < Text.size(); ++I) {
        const uint8_t S = Segments[Text[I] - '0'];
        const int32_t L = X + static_cast<int32_t>(I) * 9;
        const TRect Bars[7] = {{L, Y, L + 6, Y + 1},          {L + 5, Y, L + 6, Y + 6},
                               {L + 5, Y + 6, L + 6, Y + 12}, {L, Y + 11, L + 6, Y + 12},
                               {L, Y + 6, L + 1, Y + 12},     {L, Y, L + 1, Y + 6},
                               {L, Y + 5, L + 6, Y + 6}};
        for (int B = 0; B < 7; ++B)
            if (S & (1 << B))
                RecPictureFillColor(P, 0x000000, &Bars[B]);
    }
}

} // namespace

TEST_F(Catalogue, EveryEffectPaintsAsItsGoldenRender)
{
    const char* Write = std::getenv("TAVRO_CATALOGUE_WRITE");
    const char* Out = std::getenv("TAVRO_CATALOGUE_OUT");
    const std::string Golden = std::string(TAVRO_TEST_DATA_DIR) + "/catalogue/";
    std::string Target = Write && *Write ? Golden : Out && *Out ? std::string(Out) + "/" : "";
    const std::vector<TPreview>& List = Previews();
    if (!std::filesystem::exists(cIpaGothic))
        GTEST_SKIP() << "font file " << cIpaGothic << " is missing: run tools/setup";
    TGothicFromFile Fonts;
    // The contact sheet: three effects a row, each as its three shapes and
    // the word at normal quality after its number.
    constexpr int32_t cWidth = 3 * cCell + cWordCell;
    constexpr int32_t cPerRow = 3, cBlock = cWidth + 30;
    const int32_t SheetRows = (static_cast<int32_t>(List.size()) + cPerRow - 1) / cPerRow;
    TOwnedPicture Contact;
    RecPictureCreate(Contact.P, TPoint{0, 0}, cPerRow * cBlock, SheetRows * cCell, 24, false);
    RecPictureFillColor(Contact.P, 0xFFFFFF);
    for (size_t E = 0; E < List.size(); ++E) {
        const TPreview& Preview = List[E];
        SCOPED_TRACE(Preview.Name);
        ASSERT_NE(Find(Preview.Name), nullptr);
        TOwnedPicture Sheet;
        RecPictureCreate(Sheet.P, TPoint{0, 0}, cWidth, 3 * cCell, 24, false);
        std::vector<std::string> Errors;
        for (int32_t Row = 0; Row < 3; ++Row) {
            for (int32_t Col = 0; Col < 3; ++Col) {
                TOwnedPicture Cell;
                PaintCell(Preview, cShapes[Col], cQualities[Row], Cell.P, Errors);
                if (Cell.P.pBits)
                    Blit(Sheet.P, Col * cCell, Row * cCell, Cell.P);
            }
            TOwnedPicture Word;
            PaintWordCell(Preview, cDisplayModes[Row], Word.P, Errors);
            if (Word.P.pBits)
                Blit(Sheet.P, 3 * cCell, Row * cCell, Word.P);
        }
        EXPECT_TRUE(Errors.empty()) << Join(Errors);
        EXPECT_TRUE(Fonts.Boxes.empty()) << Join(Fonts.Boxes);
        const int32_t BX = static_cast<int32_t>(E % cPerRow) * cBlock;
        const int32_t BY = static_cast<int32_t>(E / cPerRow) * cCell;
        DrawNumber(Contact.P, BX + 4, BY + 4, static_cast<int32_t>(E + 1));
        Blit(Contact.P, BX + 26, BY, Sheet.P); // the normal-quality row
        const std::string File = Preview.Slug + ".png";
        if (!Target.empty()) {
            SavePng(Sheet.P, Target + File);
            continue;
        }
        // Lighting and filters run in floating point: a few levels of
        // difference on a few pixels are allowed, nothing more.
        const int64_t Differences = CountDifferences(Sheet.P, Golden + File, 3);
        EXPECT_GE(Differences, 0) << File << " is missing or of another size";
        EXPECT_LE(Differences, cWidth * 3 * cCell / 500) << File;
        if (Differences != 0 && std::getenv("TMPDIR"))
            SavePng(Sheet.P, std::string(std::getenv("TMPDIR")) + "/" + File);
    }
    if (!Target.empty())
        SavePng(Contact.P, Target + "contact_sheet.png");
}

TEST_F(Catalogue, HoldsEveryNameTheProgramReliesOn)
{
    // The paint-macro picker's three columns.
    const char* const Picker[] = {
        "塗り(ボカシ)", "塗り（影）", "切抜き", "グラデーションライン", "かすれ", "かすれ(照明)",
        "スタンプ", "石ころ", "クリスタル", "ぼかし", "エンボス（照明）", "エンボス（陰影）",
        "エンボス（光沢付け）", "エンボス外（陰影）", "エンボス外（光沢付け）", "ベベル（照明）",
        "ベベル（陰影）", "ベベル（光沢付け）", "ベベル外（陰影）", "ベベル外（光沢付け）", "金属光沢",
        "プラスチック", "テクスチャ（陰影）", "明るさ・コントラスト", "レベル調整",
        "色相・明度・彩度調整", "色相・輝度・彩度調整", "YCbCr調整"};
    for (const char* Name : Picker)
        EXPECT_NE(Find(Name), nullptr) << Name;
    // Where old documents' names lead.
    for (const char* Old : {"エンボス", "エンボス（フィルタ）", "エンボス外（フィルタ）", "ベベル",
                            "べベル（フィルタ）", "塗り", "ガラス", "凹凸テクスチャ", "テクスチャ（凸凹）",
                            "塗り(影)", "(旧)かすれ", "(旧)かすれ(照明)", "(旧)スタンプ"})
        EXPECT_NE(Find(MigrateMacroName(Old, 22)), nullptr) << Old;
    // Opening an image and tracing a bitmap fill with 塗り(ボカシ) through
    // its fill parameter 塗り方法.
    const TMacro* Fill = Find("塗り(ボカシ)");
    ASSERT_NE(Fill, nullptr);
    int32_t Methods = 0;
    for (const auto& [Caption, D, P] : UserParams(*Fill))
        if (Caption == "塗り方法") {
            EXPECT_EQ(D->Kind, pkFill);
            ++Methods;
        }
    EXPECT_GT(Methods, 0);
}

TEST_F(Catalogue, OldCaptionsReachTheirParameters)
{
    // Each caption that a rename of an older document's captions produces,
    // on the macros it applies to.
    const std::pair<const char*, std::vector<const char*>> Rows[] = {
        {"エンボス（陰影）", {"角度"}},
        {"光彩（外側）", {"ボカシの広がり", "ボカシの強さ"}},
        {"塗り(ボカシ)", {"塗潰し指定", "ボカシの広がり"}},
        {"塗り（陰影）", {"影のボカシサイズ", "影オフセット量(X)", "影オフセット量(Y)"}},
        {"エンボス（照明）", {"ボカシの強さ"}},
        {"エンボス（光沢付け）", {"幅", "光沢の不透明度", "影の不透明度"}},
        {"エンボス外（光沢付け）", {"幅", "光沢の不透明度", "影の不透明度"}},
        {"ベベル（光沢付け）", {"光沢の不透明度", "影の不透明度"}},
        {"ベベル外（光沢付け）", {"光沢の不透明度", "影の不透明度"}},
        {"テクスチャ（陰影）", {"テクスチャ画像"}},
    };
    for (const auto& [Macro, Olds] : Rows)
        for (const char* Old : Olds) {
            SCOPED_TRACE(std::string(Macro) + " " + Old);
            const std::string Caption = MigrateMacroParamCaption(Macro, Old, 22);
            ASSERT_NE(Caption, Old);
            TMacro M;
            ASSERT_TRUE(M.LoadFromLibrary(Macro));
            M.SetParamValue(Caption, "7");
            std::string Value;
            ASSERT_TRUE(M.GetParamValue(Caption, Value)) << Caption;
            EXPECT_EQ(Value, "7");
        }
}

TEST_F(Catalogue, EveryEffectKeepsItsValuesInADocument)
{
    int32_t Effects = 0;
    for (const TMacro* Definition : Macros(*gMacroLibrary)) {
        const std::string& Name = Definition->Name();
        if (IsVariant(Name))
            continue;
        ++Effects;
        SCOPED_TRACE(Name);
        TMacro M;
        ASSERT_TRUE(M.LoadFromLibrary(Name));
        // The property panel's fill check box works only through this choice.
        for (const auto& [Caption, D, P] : UserParams(M))
            if (Caption == "塗りつぶし指定") {
                EXPECT_EQ(P->Value.value_or(""), "プロパティ指定");
            }
        TStringList Captions, Values;
        M.GetParams(Captions, Values);
        EXPECT_GT(Captions.Count(), 0) << "nothing for the user to set";
        // A document keeps the name and the user values; read back, the
        // macro is the library's again with those values.
        TMemoryStream Stream;
        M.WriteToStream(Stream);
        Stream.SetPosition(0);
        TMacro Back;
        Back.ReadFromStream(Stream, 25);
        EXPECT_TRUE(Back.Equals(M));
    }
    EXPECT_GE(Effects, 30);
    // Every effect has its golden render, and every render an effect.
    std::set<std::string> Shown;
    for (const TPreview& P : Previews())
        EXPECT_TRUE(Shown.insert(P.Name).second && !IsVariant(P.Name)) << P.Name;
    EXPECT_EQ(static_cast<int32_t>(Shown.size()), Effects);
}

TEST_F(Catalogue, CachedRepaintsPaintTheSame)
{
    // A draw object repaints from its macro's cached intermediate pictures,
    // running only the final lines: the result must not change.
    for (const TPreview& Preview : Previews()) {
        SCOPED_TRACE(Preview.Name);
        auto Effect = LibraryMacro({Preview.Name, {}});
        ASSERT_NE(Effect, nullptr);
        TrecPath Path;
        MakeLetter(Path);
        RecPathCalcBounds(Path);
        Path.Flag = 1;
        TListRecPict Store(nullptr);
        TPictureCache Cache;
        std::vector<std::string> Pictures;
        for (int32_t Run = 0; Run < 3; ++Run) {
            TOwnedPicture Cell;
            RecPictureCreate(Cell.P, TPoint{0, 0}, cCell, cCell, 24, false);
            RecPictureFillColor(Cell.P, 0x2080C0);
            TMacroPaintArgs Args;
            Args.Target = &Cell.P;
            Args.PrimaryPath = &Path;
            Args.Store = &Store;
            Args.UseCache = Run > 0; // run 1 fills the cache, run 2 reuses it
            TRect R1, R2;
            MacroPaint(*Effect, Run > 0 ? &Cache : nullptr, Args, R1, R2);
            Pictures.emplace_back(reinterpret_cast<const char*>(Cell.P.pBits),
                                  static_cast<size_t>(RecPictureGetImageSize(Cell.P)));
        }
        EXPECT_TRUE(Pictures[1] == Pictures[0]);
        EXPECT_TRUE(Pictures[2] == Pictures[0]);
    }
}

namespace {

// A 60 x 40 rectangle on whole pixels: its straight edges are where a thin
// aliased line drops out first.
void MakeRectangle(TrecPath& P)
{
    AddPoint(P, 20, 30, PT_MOVETO);
    AddPoint(P, 80, 30, PT_LINETO);
    AddPoint(P, 80, 70, PT_LINETO);
    AddPoint(P, 20, 70, PT_LINETO);
    Close(P);
}

// Points every half pixel along the straight figures of Path.
std::vector<std::pair<double, double>> PointsAlong(const TrecPath& Path)
{
    std::vector<std::pair<double, double>> Out;
    size_t Start = 0;
    for (size_t I = 0; I < Path.Points.size(); ++I) {
        if (Path.pabType[I] == PT_MOVETO)
            Start = I;
        const bool Closes = (Path.pabType[I] & PT_CLOSEFIGURE) != 0;
        const size_t Next = Closes ? Start : I + 1;
        if (Next >= Path.Points.size() || (!Closes && Path.pabType[Next] == PT_MOVETO))
            continue;
        const TPoint A = Path.Points[I], B = Path.Points[Next];
        const double Length = std::hypot(B.X - A.X, B.Y - A.Y);
        for (double T = 0; T <= Length; T += 0.5)
            Out.emplace_back(A.X + (B.X - A.X) * T / Length, A.Y + (B.Y - A.Y) * T / Length);
    }
    return Out;
}

} // namespace

TEST_F(Catalogue, NeonCoreLineIsUnbrokenAtEveryQuality)
{
    // The neon's core is a thin white line on the magenta tube: at every
    // quality, every point along the outline has a core pixel (green well
    // above the tube's and the halo's) within one pixel.
    const TPreview* Neon = nullptr;
    for (const TPreview& P : Previews())
        if (P.Name == "ネオン")
            Neon = &P;
    ASSERT_NE(Neon, nullptr);
    for (const TShapeMaker Shape : {MakeStar, MakeRectangle})
        for (const int32_t Quality : cQualities) {
            TOwnedPicture Cell;
            std::vector<std::string> Errors;
            PaintCell(*Neon, Shape, Quality, Cell.P, Errors);
            ASSERT_TRUE(Errors.empty()) << Join(Errors);
            TrecPath Path;
            Shape(Path);
            int32_t Gaps = 0;
            for (const auto& [PX, PY] : PointsAlong(Path)) {
                int32_t Green = 0;
                for (int32_t Y = static_cast<int32_t>(std::floor(PY)) - 1; Y <= static_cast<int32_t>(std::floor(PY)) + 1; ++Y)
                    for (int32_t X = static_cast<int32_t>(std::floor(PX)) - 1; X <= static_cast<int32_t>(std::floor(PX)) + 1; ++X)
                        if (X >= 0 && Y >= 0 && X < cCell && Y < cCell)
                            Green = std::max<int32_t>(Green, RecPictureGetPixelPtr(Cell.P, X, Y)[1]);
                Gaps += Green < 120;
            }
            EXPECT_EQ(Gaps, 0) << "quality " << Quality << (Shape == MakeStar ? " star" : " rectangle");
        }
}

// The glass's draft bends the stripes beneath the rectangle as the glass
// does, and leaves out the lighting: another light set paints the same
// draft, while it changes the full render.
TEST_F(Catalogue, GlassDraftBendsWhatLiesBeneathAndLeavesOutTheLight)
{
    const TPreview* Glass = nullptr;
    for (const TPreview& P : Previews())
        if (P.Name == "ガラス（屈折）")
            Glass = &P;
    ASSERT_NE(Glass, nullptr);
    const auto Paint = [&](int32_t Quality, const std::vector<std::pair<std::string, std::string>>& Values) {
        TMacros List;
        List.Add(LibraryMacro({Glass->Name, Values}));
        TrecPath Path;
        MakeRectangle(Path);
        RecPathCalcBounds(Path);
        Path.Flag = 1;
        TOwnedPicture Cell;
        PrepareCell(*Glass, Cell.P);
        TListRecPict Store(nullptr);
        TMacroPaintArgs Args;
        Args.Target = &Cell.P;
        Args.PrimaryPath = &Path;
        Args.Quality = Quality;
        Args.Store = &Store;
        TRect R1, R2;
        List.Paint(Args, {}, nullptr, R1, R2);
        std::vector<uint8_t> Pixels;
        for (int32_t Y = 0; Y < cCell; ++Y)
            Pixels.insert(Pixels.end(), RecPictureGetPixelPtr(Cell.P, 0, Y), RecPictureGetPixelPtr(Cell.P, 0, Y) + 3 * cCell);
        return Pixels;
    };
    const std::pair<std::string, std::string> OtherLight{
        "照明設定", "10,FF000060,10,0,2,6,環境光FFFFFF40,0,8,平行光源FF000080,2,0.5,0.5,0.3,0.3,"};
    const std::vector<uint8_t> Draft = Paint(cPaintQualityLow, {});
    EXPECT_EQ(Paint(cPaintQualityLow, {OtherLight}), Draft);
    EXPECT_NE(Paint(cPaintQualityNormal, {OtherLight}), Paint(cPaintQualityNormal, {}));
    // Unbent, the stripes keep their places: the bending is drawn over
    // many pixels along the rectangle's rounded edge.
    const std::vector<uint8_t> Flat = Paint(cPaintQualityLow, {{"屈折の強さ", "0"}});
    int32_t Bent = 0;
    for (size_t I = 0; I < Draft.size(); I += 3)
        Bent += !std::equal(Draft.begin() + long(I), Draft.begin() + long(I) + 3, Flat.begin() + long(I));
    EXPECT_GT(Bent, 200);
}

// Every delivered macro's own values lie in the ranges its captions and its
// functions declare, so that a copied macro always pastes back; a value no
// editor could set is refused with the caption it belongs to.
TEST_F(Catalogue, ValuesFromOutsideAreHeldToTheDeclaredRanges)
{
    for (const TMacroLibrary* Library : {gMacroLibrary.get(), gMacPathLibrary.get()})
        for (const TMacro* M : Macros(*Library)) {
            std::string Bad;
            EXPECT_TRUE(MacroValuesInDeclaredRange(*M, &Bad)) << M->Name() << ": " << Bad;
        }
    struct TCase {
        const char* Caption;
        const char* Value;
        bool Kept;
    } const Cases[] = {
        {"ボカシ量", "1000", true},       {"ボカシ量", "1000.5", false}, {"ボカシ量", "2000000000", false},
        {"ボカシ量", "-1", false},        {"ボカシ量", "abc", false},    {"ボカシ量", "nan", false},
        // The spread also sizes a filter, which reads no less than -999.
        {"図形の広がり", "-999", true},   {"図形の広がり", "-1000", false}, {"図形の広がり", "-", false},
        {"塗りつぶし指定", "線", true},   {"塗りつぶし指定", "全部", false},
        {"線種", "100,0,5.00", true},    {"線種", "101,0,1.00", false}, {"線種", "2147483647,0,1.00", false},
        {"線種", "2,0,9.00", false},     {"線種", "-1,65280,-1.00", true},
    };
    for (const TCase& C : Cases) {
        TMacro M;
        ASSERT_TRUE(M.LoadFromLibrary("塗り(ボカシ)"));
        M.SetParamValue(C.Caption, C.Value);
        std::string Bad;
        EXPECT_EQ(MacroValuesInDeclaredRange(M, &Bad), C.Kept) << C.Caption << " " << C.Value;
        EXPECT_EQ(Bad, C.Kept ? "" : C.Caption) << C.Caption << " " << C.Value;
    }
    // Colours and light sets, wherever a delivered macro has them.
    struct TKindCase {
        int32_t Kind;
        const char* Value;
        bool Kept;
    } const KindCases[] = {
        {pkColor, "16777215", true},  {pkColor, "16777216", false}, {pkColor, "-1", false},
        {pkColor, "red", false},      {pkLights, "10,FFFFFF100,20,0,1,4,Sun1FFFFFF80,2,0.5,0.5,0.3,0.3,", true},
        {pkLights, "10,FFFFFF100,20,0,1,9,Sun", false},
        {pkFill, "1B06000", true},
        {pkFill, "", false},
        {pkFill, "210000255,1,8192,0,8192,16384,3,0,4251903,512,1073392,1023,2109664,0,0,0,100,0,100", true},
        {pkFill, "210000255,1000,8192,0,8192,16384,3,0,4251903,512,1073392,1023,2109664,0,0,0,100,0,100", false},
        {pkFill, "210000255,1,8192,0,8192,16384,3,0,4251903,512,1073392,1024,2109664,0,0,0,100,0,100", false},
        {pkFill, "411,-9999,9999,9999,0,-360,-1,0,0", true},
        {pkFill, "411,0,0,10001,40,0,-1,0,0", true},
        {pkFill, "411,0,0,268435456,1,0,-1,0,0", true},
        {pkFill, "411,0,0,268435457,1,0,-1,0,0", false},
        {pkFill, "411,-268435457,0,10,10,0,-1,0,0", false},
        {pkFill, "411,0,0,10,10,720,-1,0,0", false},
    };
    const TPaintFunctionRec* Table = PaintFunctionTable();
    for (const TKindCase& C : KindCases) {
        std::string Name, Caption;
        for (const TMacro* D : Macros(*gMacroLibrary))
            for (int32_t L = 0; L < D->LineCount() && Caption.empty(); ++L) {
                const int32_t F = FindPaintFunction(Table, D->Line(L).FunctionName);
                for (size_t P = 0; P < D->Line(L).Params.size() && Caption.empty(); ++P) {
                    const std::string Cap = D->Line(L).Params[P].Caption.value_or("");
                    if (F >= 0 && int32_t(P) < Table[F].ParamCount && Table[F].Params[P].Kind == C.Kind &&
                        !Cap.empty() && Cap[0] != '*') {
                        Name = D->Name();
                        Caption = Cap.substr(0, Cap.find('|'));
                    }
                }
            }
        ASSERT_FALSE(Caption.empty()) << C.Kind;
        TMacro M;
        ASSERT_TRUE(M.LoadFromLibrary(Name));
        M.SetParamValue(Caption, C.Value);
        EXPECT_EQ(MacroValuesInDeclaredRange(M), C.Kept) << Name << " " << Caption << " " << C.Value;
    }
    // An internal value reached through an empty caption is refused too.
    TMacro M;
    ASSERT_TRUE(M.LoadFromLibrary("塗り(ボカシ)"));
    M.SetParamValue("", "9");
    EXPECT_FALSE(MacroValuesInDeclaredRange(M));
    // A name no library holds has nothing to be checked against.
    TMacro Unknown;
    EXPECT_FALSE(MacroValuesInDeclaredRange(Unknown));
}
