// Build-time generator of the delivered style libraries "Gradation.stl",
// "Light.stl" and "MacPaint.stl" and their ".org" copies, from the readable
// sources under resources/styles/. The files are written by the program's own
// library writer, every gradation and light set goes through the program's
// own text forms, and every paint style is built from the effect catalogue
// (Macro.tvm) by name: a macro or parameter caption the catalogue lacks stops
// the build.
//
// Usage: make_style_libraries MACRO_FOLDER SOURCE_FOLDER OUTPUT_FOLDER...
//
// Source form (UTF-8; "#" starts a comment line):
//   [Group]  [[Subgroup]]  ...        a group, one bracket pair per level
//   Title = definition                an item of the last group
// Gradation: SHAPE [reflect N|wrap N] [smooth] X1,Y1 X2,Y2 | POS #RRGGBB, ...
//            [| POS OPACITY, ...]     points in percent of the filled box,
//            positions 0..1023, SHAPE linear|angle|ellipse|circle|rectangle|square
// Light set: depth D ambient #RRGGBB ks K sh S m M | KIND #RRGGBB INTENSITY
//            [SHAPE NUMBERS...] ; ... KIND as the light editor names it
// Paint style: MACRO {Caption=value; ...} + MACRO ... where a value may be
//            fill(#RRGGBB), grad(title), light(title), rgb(#RRGGBB) or as is.

#include "editors/style_file.h"
#include "editors/style_items.h"

#include "foundation/streams.h"
#include "paint/gradation_object.h"
#include "paint/light_set.h"
#include "paint/macro_library.h"
#include "paint/paint_macro.h"
#include "foundation/string_list.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& Where, const std::string& What)
{
    throw std::runtime_error(Where + ": " + What);
}

std::string Trim(const std::string& S)
{
    const size_t B = S.find_first_not_of(" \t\r");
    if (B == std::string::npos)
        return {};
    const size_t E = S.find_last_not_of(" \t\r");
    return S.substr(B, E - B + 1);
}

std::vector<std::string> Split(const std::string& S, char Sep)
{
    std::vector<std::string> Out;
    std::string Cur;
    for (char C : S) {
        if (C == Sep) {
            Out.push_back(Trim(Cur));
            Cur.clear();
        } else {
            Cur += C;
        }
    }
    Out.push_back(Trim(Cur));
    return Out;
}

std::vector<std::string> Words(const std::string& S)
{
    std::istringstream In(S);
    std::vector<std::string> Out;
    for (std::string W; In >> W;)
        Out.push_back(W);
    return Out;
}

int32_t Number(const std::string& Where, const std::string& S)
{
    try {
        size_t Used = 0;
        const int V = std::stoi(S, &Used);
        if (Used == S.size())
            return V;
    } catch (const std::exception&) {
    }
    Fail(Where, "not a number: " + S);
}

double Real(const std::string& Where, const std::string& S)
{
    try {
        size_t Used = 0;
        const double V = std::stod(S, &Used);
        if (Used == S.size())
            return V;
    } catch (const std::exception&) {
    }
    Fail(Where, "not a number: " + S);
}

// "#RRGGBB" as 0x00BBGGRR.
int32_t Colour(const std::string& Where, const std::string& S)
{
    if (S.size() != 7 || S[0] != '#')
        Fail(Where, "not a colour: " + S);
    const auto V = static_cast<uint32_t>(std::stoul(S.substr(1), nullptr, 16));
    return static_cast<int32_t>(((V & 0xFF) << 16) | (V & 0xFF00) | ((V >> 16) & 0xFF));
}

struct TSourceItem {
    std::string Title;
    std::string Definition;
    std::string Where;
};
struct TSourceGroup {
    int32_t Level = 0;
    std::string Name;
    std::vector<TSourceItem> Items;
};

std::vector<TSourceGroup> ReadSource(const std::string& Path)
{
    std::ifstream In(Path);
    if (!In)
        Fail(Path, "cannot read");
    std::vector<TSourceGroup> Groups;
    std::string Line;
    for (int N = 1; std::getline(In, Line); ++N) {
        const std::string Where = Path + ":" + std::to_string(N);
        Line = Trim(Line);
        if (Line.empty() || Line[0] == '#')
            continue;
        if (Line[0] == '[') {
            const size_t Depth = Line.find_first_not_of('[');
            if (Depth == std::string::npos || Line.size() < 2 * Depth + 1 ||
                Line.compare(Line.size() - Depth, Depth, std::string(Depth, ']')) != 0)
                Fail(Where, "bad group line");
            const int32_t Level = static_cast<int32_t>(Depth) - 1;
            if (Level > (Groups.empty() ? 0 : Groups.back().Level + 1))
                Fail(Where, "group nested more than one level below the previous one");
            Groups.push_back({Level, Trim(Line.substr(Depth, Line.size() - 2 * Depth)), {}});
            continue;
        }
        const size_t Eq = Line.find('=');
        if (Eq == std::string::npos || Groups.empty())
            Fail(Where, "an item needs a group and \"title = definition\"");
        Groups.back().Items.push_back({Trim(Line.substr(0, Eq)), Trim(Line.substr(Eq + 1)), Where});
    }
    return Groups;
}

std::string MakeGradation(const TSourceItem& Item)
{
    const auto Parts = Split(Item.Definition, '|');
    if (Parts.size() < 2 || Parts.size() > 3)
        Fail(Item.Where, "gradation: geometry | colour stops [| opacity stops]");
    TGradationObject G;
    G.iOpacity = 255;
    G.iRepeatCount = 1;
    static const std::map<std::string, uint8_t> Shapes = {
        {"linear", GradShapeLinear},   {"angle", GradShapeAngle},         {"ellipse", GradShapeEllipse},
        {"circle", GradShapeCircle},   {"rectangle", GradShapeRectangle}, {"square", GradShapeSquare}};
    const auto W = Words(Parts[0]);
    std::vector<std::string> Points;
    for (size_t I = 0; I < W.size(); ++I) {
        if (I == 0) {
            const auto It = Shapes.find(W[0]);
            if (It == Shapes.end())
                Fail(Item.Where, "unknown shape " + W[0]);
            G.bShape = It->second;
        } else if ((W[I] == "reflect" || W[I] == "wrap") && I + 1 < W.size()) {
            G.bRepetition = W[I] == "reflect" ? GradRepeatReflect : GradRepeatWrap;
            G.iRepeatCount = Number(Item.Where, W[++I]);
        } else if (W[I] == "smooth") {
            G.bInterpolation = GradInterpSmooth;
        } else {
            Points.push_back(W[I]);
        }
    }
    if (Points.size() != 2)
        Fail(Item.Where, "two points X,Y in percent");
    int32_t* Fields[4] = {&G.iX1, &G.iY1, &G.iX2, &G.iY2};
    for (int P = 0; P < 2; ++P) {
        const auto XY = Split(Points[P], ',');
        if (XY.size() != 2)
            Fail(Item.Where, "a point is X,Y");
        for (int K = 0; K < 2; ++K)
            *Fields[2 * P + K] = static_cast<int32_t>(Real(Item.Where, XY[K]) * GradGeometryUnit / 100.0 + 0.5);
    }
    for (const std::string& Stop : Split(Parts[1], ',')) {
        const auto SW = Words(Stop);
        if (SW.size() != 2)
            Fail(Item.Where, "a colour stop is POS #RRGGBB");
        G.ColStops.push_back({Number(Item.Where, SW[0]), Colour(Item.Where, SW[1])});
    }
    if (Parts.size() == 3)
        for (const std::string& Stop : Split(Parts[2], ',')) {
            const auto SW = Words(Stop);
            if (SW.size() != 2)
                Fail(Item.Where, "an opacity stop is POS OPACITY");
            G.TransStops.push_back({Number(Item.Where, SW[0]), Number(Item.Where, SW[1])});
        }
    const std::string Text = G.GradationToStr();
    TGradationObject Back;
    if (!Back.StrToGradation(Text) || !(static_cast<TrecGradation&>(Back) == G))
        Fail(Item.Where, "gradation does not survive its text form");
    return Text;
}

void SetColour(uint8_t (&C)[3], int32_t Bgr)
{
    C[0] = static_cast<uint8_t>(Bgr >> 16); // blue
    C[1] = static_cast<uint8_t>(Bgr >> 8);
    C[2] = static_cast<uint8_t>(Bgr);
}

std::string MakeLight(const TSourceItem& Item)
{
    const auto Parts = Split(Item.Definition, '|');
    if (Parts.size() != 2)
        Fail(Item.Where, "light set: surface | lights");
    TLightsAmb L;
    const auto W = Words(Parts[0]);
    if (W.size() % 2 != 0)
        Fail(Item.Where, "surface settings come in pairs");
    for (size_t I = 0; I < W.size(); I += 2) {
        const std::string& K = W[I];
        if (K == "depth")
            L.Dp = Real(Item.Where, W[I + 1]);
        else if (K == "ambient")
            SetColour(L.Color, Colour(Item.Where, W[I + 1]));
        else if (K == "ks")
            L.Ks = Number(Item.Where, W[I + 1]);
        else if (K == "sh")
            L.Sh = Number(Item.Where, W[I + 1]);
        else if (K == "m")
            L.M = Number(Item.Where, W[I + 1]);
        else
            Fail(Item.Where, "unknown surface setting " + K);
    }
    for (const std::string& One : Split(Parts[1], ';')) {
        const auto LW = Words(One);
        if (LW.size() < 3)
            Fail(Item.Where, "a light is KIND #RRGGBB INTENSITY [shape]");
        TrecLightUnion Light;
        int Kind = -1;
        for (int K = 0; K < 5; ++K)
            if (LW[0] == LightKindNames[K])
                Kind = K;
        if (Kind < 0)
            Fail(Item.Where, "unknown light kind " + LW[0]);
        Light.Name = LW[0];
        Light.Kind = static_cast<uint8_t>(Kind);
        SetColour(Light.Color, Colour(Item.Where, LW[1]));
        Light.Intensity = Number(Item.Where, LW[2]);
        static const size_t ShapeCount[5] = {0, 4, 4, 8, 6};
        if (LW.size() - 3 != ShapeCount[Kind])
            Fail(Item.Where, LW[0] + " takes " + std::to_string(ShapeCount[Kind]) + " shape numbers");
        for (size_t K = 3; K < LW.size(); ++K)
            Light.Shape[K - 3] = Real(Item.Where, LW[K]);
        L.Lights.push_back(Light);
    }
    const std::string Text = LightsToStr(L);
    TLightsAmb Back;
    if (!StrToLights(Back, Text) || LightsToStr(Back) != Text)
        Fail(Item.Where, "light set does not survive its text form");
    return Text;
}

std::string HexBgr(int32_t Bgr)
{
    char Buf[8];
    std::snprintf(Buf, sizeof Buf, "%06X", static_cast<unsigned>(Bgr) & 0xFFFFFFu);
    return Buf;
}

struct TNamed {
    std::map<std::string, std::string> Gradations;
    std::map<std::string, std::string> Lights;
};

std::string ParamValue(const TSourceItem& Item, const std::string& V, const TNamed& Named)
{
    auto Arg = [&](const std::string& Fn) -> std::string {
        if (V.rfind(Fn + "(", 0) != 0 || V.back() != ')')
            return {};
        return V.substr(Fn.size() + 1, V.size() - Fn.size() - 2);
    };
    if (const auto A = Arg("fill"); !A.empty())
        return "1" + HexBgr(Colour(Item.Where, A));
    if (const auto A = Arg("rgb"); !A.empty())
        return std::to_string(Colour(Item.Where, A));
    if (const auto A = Arg("grad"); !A.empty()) {
        const auto It = Named.Gradations.find(A);
        if (It == Named.Gradations.end())
            Fail(Item.Where, "no gradation " + A);
        return "21" + It->second;
    }
    if (const auto A = Arg("light"); !A.empty()) {
        const auto It = Named.Lights.find(A);
        if (It == Named.Lights.end())
            Fail(Item.Where, "no light set " + A);
        return It->second;
    }
    // Quotes keep commas inside one value, as in the catalogue's sources.
    if (V.size() >= 2 && V.front() == '"' && V.back() == '"')
        return V.substr(1, V.size() - 2);
    return V;
}

std::unique_ptr<TStyleItem> MakePaintStyle(const TSourceItem& Item, const TNamed& Named)
{
    auto Style = std::make_unique<TStyleItem>();
    for (const std::string& Part : Split(Item.Definition, '+')) {
        const size_t Brace = Part.find('{');
        const std::string Name = Trim(Part.substr(0, Brace));
        auto Macro = std::make_unique<TMacro>();
        if (!Macro->LoadFromLibrary(Name))
            Fail(Item.Where, "the catalogue has no macro " + Name);
        if (Brace != std::string::npos) {
            if (Part.back() != '}')
                Fail(Item.Where, "parameters end with }");
            for (const std::string& P : Split(Part.substr(Brace + 1, Part.size() - Brace - 2), ';')) {
                const size_t Eq = P.find('=');
                if (Eq == std::string::npos)
                    Fail(Item.Where, "a parameter is Caption=value");
                const std::string Caption = Trim(P.substr(0, Eq));
                TStringList Captions;
                TStringList Values;
                Macro->GetParams(Captions, Values);
                // The source names a caption without the tag it may carry
                // (a custom range text): the macro keeps its own.
                int32_t Index = -1;
                for (int32_t C = 0; C < Captions.Count() && Index < 0; ++C)
                    if (MatchParamCaption(Captions.Strings(C), Caption))
                        Index = C;
                if (Index < 0)
                    Fail(Item.Where, Name + " has no parameter " + Caption);
                Macro->SetParamValue(Captions.Strings(Index), ParamValue(Item, Trim(P.substr(Eq + 1)), Named));
            }
        }
        Style->Add(std::move(Macro));
    }
    return Style;
}

template <class Make>
TStyleTree BuildTree(const std::vector<TSourceGroup>& Groups, Make&& MakeData)
{
    TStyleTree Tree;
    std::vector<TStyleGroup*> Last;
    for (const TSourceGroup& G : Groups) {
        TStyleGroup* Node = Tree.AddChild(G.Level == 0 ? nullptr : Last[G.Level - 1], G.Name);
        Last.resize(G.Level + 1);
        Last[G.Level] = Node;
        for (const TSourceItem& Item : G.Items)
            Node->Items.push_back({Item.Title, MakeData(Item)});
    }
    return Tree;
}

void WriteAll(TStyleKind Kind, const TStyleTree& Tree, const std::vector<std::string>& Folders)
{
    const TStyleLibraryInfo& Info = StyleLibraryInfo(Kind);
    TCustomStyle Style = MakeStyleLibrary(Kind, "", "");
    TMemoryStream M;
    SaveStyleStream(M, Info.Header, Info.Version, Tree, Style.OnItemSave);
    // Read back through the program's reader before anything is delivered.
    M.SetPosition(0);
    TStyleTree Back;
    LoadStyleStream(M, Info.Header, Style.OnItemLoad, Back);
    const std::string Name = Info.FileName;
    const std::string Org = Name.substr(0, Name.rfind('.')) + ".org";
    for (const std::string& Folder : Folders)
        for (const std::string& File : {Name, Org}) {
            const std::string Path = Folder + "/" + File;
            std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
            Out.write(static_cast<const char*>(M.Memory()), static_cast<std::streamsize>(M.Size()));
            if (!Out)
                Fail(Path, "cannot write");
        }
}

size_t ItemCount(const std::vector<TSourceGroup>& Groups)
{
    size_t N = 0;
    for (const auto& G : Groups)
        N += G.Items.size();
    return N;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_style_libraries MACRO_FOLDER SOURCE_FOLDER OUTPUT_FOLDER...\n");
        return 2;
    }
    try {
        LoadMacroLibraries(argv[1]);
        const std::string Src = argv[2];
        const std::vector<std::string> Out(argv + 3, argv + argc);
        TNamed Named;

        const auto Grads = ReadSource(Src + "/gradations.txt");
        WriteAll(TStyleKind::Gradation, BuildTree(Grads, [&](const TSourceItem& I) -> std::unique_ptr<TObject> {
                     auto Item = std::make_unique<TobjStyleItemGrad>();
                     Item->Text = MakeGradation(I);
                     Named.Gradations[I.Title] = Item->Text;
                     return Item;
                 }), Out);

        const auto Lights = ReadSource(Src + "/lights.txt");
        WriteAll(TStyleKind::Light, BuildTree(Lights, [&](const TSourceItem& I) -> std::unique_ptr<TObject> {
                     auto Item = std::make_unique<TobjStyleItemLight>();
                     Item->Text = MakeLight(I);
                     Named.Lights[I.Title] = Item->Text;
                     return Item;
                 }), Out);

        const auto Paints = ReadSource(Src + "/paint_styles.txt");
        WriteAll(TStyleKind::MacroPaint, BuildTree(Paints, [&](const TSourceItem& I) -> std::unique_ptr<TObject> {
                     return MakePaintStyle(I, Named);
                 }), Out);
        std::printf("make_style_libraries: %zu gradations, %zu light sets, %zu paint styles\n",
                    ItemCount(Grads), ItemCount(Lights), ItemCount(Paints));
        FreeMacroLibraries();
    } catch (const std::exception& E) {
        std::fprintf(stderr, "make_style_libraries: %s\n", E.what());
        return 1;
    }
    return 0;
}
