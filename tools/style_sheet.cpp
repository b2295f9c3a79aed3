// Contact sheet of the delivered style libraries: every paint style painted
// on a rounded shape, every gradation through the catalogue's gradation fill,
// every light set through its lit bevel, each cell titled. Not part of the
// build; run it after changing resources/styles/ and look at the sheet:
//   cmake --build build --target style_sheet   (writes build/resources/styles-*.png)
//
// Usage: style_sheet PROGRAM_FOLDER OUTPUT_PREFIX

#include "editors/style_file.h"
#include "editors/style_items.h"

#include "foundation/poly_line.h"
#include "foundation/rec_path.h"
#include "paint/macro_library.h"
#include "paint/paint_macro.h"
#include "raster/merge.h"
#include "raster/rec_picture.h"
#include "store/picture_store.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

constexpr int CellW = 150, CellH = 110, Cols = 6;

TrecPath RoundedShape()
{
    // (20, 15) - (130, 85), corners of radius 18.
    const int L = 20, T = 15, R = 130, B = 85, Rad = 18, C = 8;
    const TPoint Pts[] = {{L + Rad, T}, {R - Rad, T}, {R - C, T},     {R, T + C},     {R, T + Rad}, {R, B - Rad},
                          {R, B - C},   {R - C, B},   {R - Rad, B},   {L + Rad, B},   {L + C, B},   {L, B - C},
                          {L, B - Rad}, {L, T + Rad}, {L, T + C},     {L + C, T},     {L + Rad, T}};
    const uint8_t Ln = PT_LINETO, Bz = PT_BEZIERTO;
    const uint8_t Types[] = {PT_MOVETO, Ln, Bz, Bz, Bz, Ln, Bz, Bz, Bz, Ln, Bz, Bz, Bz, Ln, Bz, Bz, Bz | PT_CLOSEFIGURE};
    TrecPath P;
    RecPolyLineSetCount(P, 17);
    P.Points.assign(std::begin(Pts), std::end(Pts));
    P.pabType.assign(std::begin(Types), std::end(Types));
    RecPathCalcBounds(P);
    return P;
}

// The styles leave filling to the object ("プロパティ指定"); the sheet's
// shape is a filled one.
QImage PaintCell(const TMacros& Style, TListRecPict& Store)
{
    TMacros Stack;
    Stack.Assign(&Style);
    for (int32_t I = 0; I < Stack.Count(); ++I)
        Stack.GetMacro(I)->SetParamValue("塗りつぶし指定", "塗りつぶし");
    TrecPicture P{};
    RecPictureCreate(P, TPoint{0, 0}, CellW, CellH, 24, false);
    RecPictureFillColor(P, 0xE8E8E8);
    TrecPath Path = RoundedShape();
    TMacroPaintArgs A;
    A.Target = &P;
    A.PrimaryPath = &Path;
    A.Store = &Store;
    TRect R1{}, R2{};
    Stack.Paint(A, nullptr, nullptr, R1, R2);
    QImage Img(CellW, CellH, QImage::Format_RGB32);
    for (int Y = 0; Y < CellH; ++Y)
        for (int X = 0; X < CellW; ++X) {
            const uint8_t* Px = RecPictureGetPixelPtr(P, X, Y);
            Img.setPixel(X, Y, qRgb(Px[2], Px[1], Px[0]));
        }
    RecPictureClear(P);
    return Img;
}

std::unique_ptr<TMacro> Macro(const std::string& Name, const std::string& Caption, const std::string& Value)
{
    auto M = std::make_unique<TMacro>();
    if (!M->LoadFromLibrary(Name))
        throw std::runtime_error("no macro " + Name);
    M->SetParamValue(Caption, Value);
    return M;
}

void Sheet(const std::string& Path, const TStyleTree& Tree,
           const std::function<QImage(const TStyleEntry&)>& Draw)
{
    std::vector<std::pair<std::string, QImage>> Cells;
    for (int32_t I = 0; I < Tree.NodeCount(); ++I)
        for (const TStyleEntry& E : Tree.NodeAt(I)->Items)
            Cells.emplace_back(Tree.NodeAt(I)->Name + "/" + E.Title, Draw(E));
    const int Rows = (static_cast<int>(Cells.size()) + Cols - 1) / Cols;
    QImage Out(Cols * CellW, Rows * (CellH + 16), QImage::Format_RGB32);
    Out.fill(Qt::white);
    QPainter Pt(&Out);
    for (size_t I = 0; I < Cells.size(); ++I) {
        const int X = static_cast<int>(I % Cols) * CellW, Y = static_cast<int>(I / Cols) * (CellH + 16);
        Pt.drawImage(X, Y, Cells[I].second);
        Pt.drawText(QRect(X, Y + CellH, CellW, 16), Qt::AlignCenter, QString::fromStdString(Cells[I].first));
    }
    Pt.end();
    Out.save(QString::fromStdString(Path));
    std::printf("%s: %zu cells\n", Path.c_str(), Cells.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: style_sheet PROGRAM_FOLDER OUTPUT_PREFIX\n");
        return 2;
    }
    QGuiApplication App(argc, argv);
    const std::string Folder = argv[1], Prefix = argv[2];
    LoadMacroLibraries(Folder);
    TListRecPict Store(nullptr);
    auto Load = [&](TStyleKind Kind) {
        TCustomStyle Style = MakeStyleLibrary(Kind, Folder, "");
        TStyleTree Tree;
        Style.LoadFromFile(Style.FileName, Tree);
        return Tree;
    };
    Sheet(Prefix + "-paint.png", Load(TStyleKind::MacroPaint), [&](const TStyleEntry& E) {
        return PaintCell(dynamic_cast<const TStyleItem&>(*E.Data), Store);
    });
    Sheet(Prefix + "-gradation.png", Load(TStyleKind::Gradation), [&](const TStyleEntry& E) {
        TMacros Stack;
        Stack.Add(Macro("グラデーション塗り", "塗り方法", "21" + dynamic_cast<const TobjStyleItemGrad&>(*E.Data).Text));
        return PaintCell(Stack, Store);
    });
    Sheet(Prefix + "-light.png", Load(TStyleKind::Light), [&](const TStyleEntry& E) {
        TMacros Stack;
        Stack.Add(Macro("塗り(ボカシ)", "塗り方法", "1C08040"));
        Stack.Add(Macro("ベベル（照明）", "照明設定", dynamic_cast<const TobjStyleItemLight&>(*E.Data).Text));
        return PaintCell(Stack, Store);
    });
    FreeMacroLibraries();
    return 0;
}
