// The render of a picture opened as a document, by its shape: a page of
// 4,194,304 pixels filled whole with the picture, as a 2048 x 2048 square, a
// column a pixel wide and a single row. Each iteration renders the three
// pages one after the other from cold (no effect's cached picture kept),
// each timed by the processor time of the thread, so that a busy machine
// lands on all three alike.
// The last lines are "ratio PictureRenderTallPerSquare" and "ratio
// PictureRenderWidePerSquare": the column's and the row's render time over
// the square's. A picture's cost follows its pixels, not its rows: both
// should stay near 1 (the column's rows are padded to whole 4-byte words,
// so it holds more bytes; a small multiple is its floor, not ten).
#include "bench_ratio.h"
#include "model/document.h"
#include "model/page.h"
#include "model/param_shapes.h"
#include "paint/fill_value.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "raster/rec_picture.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

constexpr int32_t Pixels = int32_t{1} << 22;

// The effect catalogue where the build compiles it (TAVRO_CATALOGUE_FOLDER),
// unless TAVRO_MACRO_DIR names another.
std::string FindMacroFolder()
{
    if (const char* Env = std::getenv("TAVRO_MACRO_DIR"))
        return Env;
    return TAVRO_CATALOGUE_FOLDER;
}

// A document whose page is the picture, as opening a picture makes it: a
// rectangle of the page's size filled with the picture at its own size.
struct TPictureDoc {
    TSilentFormDoc View;
    TOLEDocumentWex* Doc = nullptr;
    TPage* Page = nullptr;

    TPictureDoc(TDocuments& Docs, int32_t Width, int32_t Height)
    {
        Doc = Docs.NewDocument(Width, Height);
        Page = static_cast<TPage*>(Doc->GetPage(0));
        Page->AddForm(&View);
        TrecPicture Picture;
        RecPictureCreate(Picture, TPoint{0, 0}, Width, Height, 24, false);
        // A shade per row, as a photo's rows differ.
        for (int32_t Y = 0; Y < Height; ++Y) {
            uint8_t* Row = RecPictureGetPixelPtr(Picture, 0, Y);
            std::fill(Row, Row + size_t(Width) * 3, uint8_t((Y * 37 + 11) % 251));
        }
        TFillPictParam Param;
        Param.iWidth = Width;
        Param.iHeight = Height;
        Param.iHandle =
            Doc->GetPictureStore()->AddPicture(-1, 0, 0, 0.0, TPoint{0, 0}, Width, Height, 0, Picture, "");
        RecPictureClear(Picture);
        auto Macro = std::make_unique<TMacro>();
        if (!Macro->LoadFromLibrary("塗り(ボカシ)"))
            throw std::runtime_error("catalogue macro missing");
        Macro->SetParamValue("塗り方法", "41" + FillPictParamToStr(Param));
        auto Rect = std::make_unique<TRectObj>(Page, -1);
        Rect->SetFrame(0, 0, Width, Height);
        Rect->Macros().Add(std::move(Macro));
        Rect->SetFillPath(1);
        Page->RootGroup().AddChild(std::move(Rect), -1);
    }
    ~TPictureDoc() { Page->RemoveForm(&View); }

    double RenderCold()
    {
        const double T0 = ThreadCpuSeconds();
        TDrawItem::ClearMacrosPictCache(Page->RootGroup(), -1);
        Page->InvalidateRect(nullptr, false);
        Page->Update();
        return ThreadCpuSeconds() - T0;
    }
};

struct TScene {
    TDocuments Docs{"画像", "srn", nullptr, "4.0", "DirData", DocumentFileHeader};
    std::unique_ptr<TPictureDoc> Square, Tall, Wide;

    TScene()
    {
        LoadMacroLibraries(FindMacroFolder());
        RegisterParamShapeTypes();
        Docs.SetDocumentClass(&NewDocumentTDocument);
        Square = std::make_unique<TPictureDoc>(Docs, 2048, 2048);
        Tall = std::make_unique<TPictureDoc>(Docs, 1, Pixels);
        Wide = std::make_unique<TPictureDoc>(Docs, Pixels, 1);
    }
};

void BM_PictureRenderByShape(benchmark::State& State)
{
    static TScene S;
    double SquareTime = 0, TallTime = 0, WideTime = 0;
    for (auto _ : State) {
        const double A = S.Square->RenderCold();
        const double B = S.Tall->RenderCold();
        const double C = S.Wide->RenderCold();
        State.SetIterationTime(A + B + C);
        SquareTime += A;
        TallTime += B;
        WideTime += C;
    }
    const double Count = double(std::max<int64_t>(State.iterations(), 1));
    State.counters["square_s"] = SquareTime / Count;
    State.counters["tall_s"] = TallTime / Count;
    State.counters["wide_s"] = WideTime / Count;
}

BENCHMARK(BM_PictureRenderByShape)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);

} // namespace

int main(int argc, char** argv)
{
    return RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) {
        R.PrintCountersRatio("PictureRenderTallPerSquare", "BM_PictureRenderByShape", "tall_s", "square_s");
        R.PrintCountersRatio("PictureRenderWidePerSquare", "BM_PictureRenderByShape", "wide_s", "square_s");
    });
}
