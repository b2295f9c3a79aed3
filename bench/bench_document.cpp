// Saving and reopening a document: a 1600 x 1200 page with 20 shapes, each
// painted by the catalogue's fill with a drop shadow, and three stored
// 800 x 600 pictures. The document has a window (a view), as in the program,
// and its page was rendered once before the timing.
//   BM_DocumentSave_Ours: SaveToFile over the previous file (new file beside
//     it, flushed to the disk, backup, rename), thumbnail included.
//   BM_DocumentSave_Peer: bare libpng encoding the same stored pictures into
//     memory at the stored documents' level.
//   BM_DocumentSaveToMemory: SaveToStream into memory (no file work).
//   BM_DocumentOpen: Open of the saved file into a new document.
// Every run has the one counter "bytes": the size of the file written or read,
// or of the PNGs the peer made (CSV output needs the same counters in every
// run).
// The last line is "ratio DocumentSave <ours/peer>" (real time).
#include "bench_ratio.h"
#include "foundation/platform_wrappers.h"
#include "foundation/poly_line.h"
#include "foundation/rec_path.h"
#include "foundation/streams.h"
#include "model/document.h"
#include "model/draw_group.h"
#include "model/line_object.h"
#include "model/page.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "raster/bmp_conv.h"
#include "raster/png_io.h"
#include "raster/rec_picture.h"

#include <benchmark/benchmark.h>

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int32_t PageW = 1600;
constexpr int32_t PageH = 1200;
constexpr int32_t PictW = 800;
constexpr int32_t PictH = 600;
constexpr int PictureCount = 3;

// A shape that stores its outline (the polyline's stream type).
class TBenchShape : public TLineObject {
public:
    static constexpr uint8_t TypeNo = 1;
    TBenchShape(TPageLink* APage, int32_t AID) : TLineObject(APage, AID) {}
    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }
    bool IsPolyLine() const override { return true; }
    void WriteToStream(TStream& Stream) override
    {
        Stream.WriteBuffer(&TypeNo, 1);
        TLineObject::WriteToStream(Stream);
    }
};

std::unique_ptr<TDrawItem> NewBenchShape(TPageLink* Page, int32_t ID)
{
    return std::make_unique<TBenchShape>(Page, ID);
}

const TDrawItemClass TBenchShape::ClassInfo{"TBenchShape", &TLineObject::ClassInfo,
                                            &NewBenchShape};

std::string FindMacroFolder()
{
    if (const char* Env = std::getenv("TAVRO_MACRO_DIR"))
        return Env;
    std::error_code Ec;
    const std::filesystem::path Exe = std::filesystem::read_symlink("/proc/self/exe", Ec);
    const std::filesystem::path Dir = Exe.parent_path();
    for (const auto& Candidate : {Dir, Dir / "../paint", Dir / "../tests", Dir / "../shell"})
        if (std::filesystem::exists(Candidate / "Macro.tvm"))
            return Candidate.string();
    return Dir.string();
}

// Artwork-like content with a noisy photo-like part: what stored pictures are.
void PaintPicture(TrecPicture& P, int Seed)
{
    std::mt19937 Rng{uint32_t(Seed)};
    std::normal_distribution<double> Noise(0, 6);
    const int64_t Line = GetDIBLineSize(PictW, 24);
    for (int32_t Y = 0; Y < PictH; ++Y) {
        uint8_t* Row = P.pBits + int64_t(PictH - 1 - Y) * Line;
        for (int32_t X = 0; X < PictW; ++X) {
            uint8_t* Q = Row + 3 * X;
            if (Y < PictH / 3) {
                Q[0] = uint8_t(X * 255 / PictW);
                Q[1] = uint8_t(80 + Seed * 40);
                Q[2] = uint8_t(255 - Y);
            } else if (X < PictW / 2) {
                const double Base = 128 + 60 * std::sin(X / 31.0 + Seed) * std::cos(Y / 47.0);
                for (int C = 0; C < 3; ++C)
                    Q[C] = uint8_t(std::clamp(Base + 20 * C + Noise(Rng), 0.0, 255.0));
            } else {
                const bool Ring = std::fmod(std::hypot(X - 600.0, Y - 400.0), 40.0) < 6;
                Q[0] = Ring ? 30 : 235;
                Q[1] = Ring ? 40 : 230;
                Q[2] = Ring ? 160 : 220;
            }
        }
    }
}

TrecPath StarPath(int32_t Cx, int32_t Cy, int32_t R)
{
    TrecPath Path;
    const int32_t N = 10;
    RecPolyLineSetCount(Path, N);
    for (int32_t I = 0; I < N; ++I) {
        const double A = I * 3.14159265358979 / 5 - 3.14159265358979 / 2;
        const double Radius = (I % 2) ? R * 0.5 : R;
        Path.Points[size_t(I)] = {Cx + int32_t(std::lround(Radius * std::cos(A))),
                                  Cy + int32_t(std::lround(Radius * std::sin(A)))};
        Path.pabType[size_t(I)] = I == 0 ? PT_MOVETO : PT_LINETO;
    }
    Path.pabType[size_t(N - 1)] |= PT_CLOSEFIGURE;
    RecPathCalcBounds(Path);
    return Path;
}

struct TBench {
    std::string Folder;
    std::string FileName;
    std::unique_ptr<TDocuments> Docs;
    TOLEDocumentWex* Doc = nullptr;
    TSilentFormDoc View;
    std::vector<TrecPicture> Pictures;  // copies of the stored pictures, for the peer
    bool Ok = false;
    std::string Error;

    TBench()
    {
        try {
            Build();
            Ok = true;
        } catch (const std::exception& E) {
            Error = E.what();
        }
    }
    ~TBench()
    {
        if (Doc)
            Doc->GetPage(0)->RemoveForm(&View);  // frees the document
        Docs.reset();
        for (TrecPicture& P : Pictures)
            RecPictureClear(P);
        std::error_code Ec;
        if (!Folder.empty())
            std::filesystem::remove_all(Folder, Ec);
    }

    void Build()
    {
        const char* Tmp = std::getenv("TMPDIR");
        std::string Templ = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/tavro_bench_doc_XXXXXX";
        if (!mkdtemp(Templ.data()))
            throw std::runtime_error("cannot make " + Templ);
        Folder = Templ;
        FileName = Folder + "/bench.srn";

        LoadMacroLibraries(FindMacroFolder());
        RegisterDrawItemType(TBenchShape::TypeNo, &NewBenchShape);
        Docs = std::make_unique<TDocuments>("画像", "srn", nullptr, "4.0", "DirData",
                                            DocumentFileHeader);
        Docs->SetDocumentClass(&NewDocumentTDocument);
        Doc = Docs->NewDocument(PageW, PageH);
        auto* Page = static_cast<TPage*>(Doc->GetPage(0));
        Page->AddForm(&View);

        TMacro Shadow, Fill;
        if (!Shadow.LoadFromLibrary("塗り（影）") || !Fill.LoadFromLibrary("塗り(ボカシ)"))
            throw std::runtime_error("catalogue macros missing");
        for (int I = 0; I < 20; ++I) {
            auto Shape = std::make_unique<TBenchShape>(Page, -1);
            Shape->SetPathRecord(StarPath(170 + (I % 5) * 315, 160 + (I / 5) * 290, 120));
            Shape->Macros().Insert(0, Shadow);
            Shape->Macros().Insert(1, Fill);
            Page->RootGroup().AddChild(std::move(Shape), -1);
        }

        TListRecPict* Store = Doc->GetPictureStore();
        for (int I = 0; I < PictureCount; ++I) {
            TrecPicture P;
            RecPictureCreate(P, TPoint{0, 0}, PictW, PictH, 24, false);
            PaintPicture(P, I);
            TrecPicture Copy;
            RecPictureCopy(Copy, P, false);
            Pictures.push_back(Copy);
            const int32_t Handle =
                Store->AddPicture(-1, 0, 0, 0.0, TPoint{0, 0}, PictW, PictH, 0, P, "");
            RecPictureClear(P);
            Doc->ExtraPictures().Add(reinterpret_cast<void*>(intptr_t(Handle)));
        }

        Page->Update();  // the window has shown the page once
        if (!Doc->SaveToFile(FileName))
            throw std::runtime_error("first save failed");
    }
};

TBench& Bench()
{
    static TBench B;
    return B;
}

// ---- Bare libpng at the same settings.

struct TPeerOut {
    std::vector<uint8_t> Data;
};

void PeerWrite(png_structp Png, png_bytep D, size_t N)
{
    auto* Out = static_cast<TPeerOut*>(png_get_io_ptr(Png));
    Out->Data.insert(Out->Data.end(), D, D + N);
}
void PeerFlush(png_structp) {}

int PeerPngSave(const TrecPicture& P, TPeerOut* Out)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    const int32_t W = H->biWidth, Rows = H->biHeight;
    const int64_t Line = GetDIBLineSize(W, 24);
    png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop Info = png_create_info_struct(Png);
    if (setjmp(png_jmpbuf(Png))) {
        png_destroy_write_struct(&Png, &Info);
        return 1;
    }
    png_set_write_fn(Png, Out, PeerWrite, PeerFlush);
    png_set_compression_level(Png, PngCompressionLevel);
    png_set_IHDR(Png, Info, uint32_t(W), uint32_t(Rows), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(Png, Info);
    png_set_bgr(Png);
    for (int32_t Y = 0; Y < Rows; ++Y)
        png_write_row(Png, P.pBits + (Rows - 1 - Y) * Line);
    png_write_end(Png, Info);
    png_destroy_write_struct(&Png, &Info);
    return 0;
}

void BM_DocumentSave_Ours(benchmark::State& State)
{
    TBench& B = Bench();
    if (!B.Ok) {
        State.SkipWithError(B.Error.c_str());
        return;
    }
    for (auto _ : State) {
        B.Doc->SetModified(true);
        if (!B.Doc->SaveToFile(B.FileName))
            State.SkipWithError("save failed");
    }
    State.counters["bytes"] = double(std::filesystem::file_size(B.FileName));
}

void BM_DocumentSave_Peer(benchmark::State& State)
{
    TBench& B = Bench();
    if (!B.Ok) {
        State.SkipWithError(B.Error.c_str());
        return;
    }
    int64_t Size = 0;
    for (auto _ : State) {
        Size = 0;
        for (const TrecPicture& P : B.Pictures) {
            TPeerOut Out;
            if (PeerPngSave(P, &Out) != 0)
                State.SkipWithError("libpng failed");
            Size += int64_t(Out.Data.size());
            benchmark::DoNotOptimize(Out.Data.data());
        }
    }
    State.counters["bytes"] = double(Size);
}

void BM_DocumentSaveToMemory(benchmark::State& State)
{
    TBench& B = Bench();
    if (!B.Ok) {
        State.SkipWithError(B.Error.c_str());
        return;
    }
    int64_t Size = 0;
    for (auto _ : State) {
        TMemoryStream S;
        B.Doc->SaveToStream(S);
        Size = S.Size();
        benchmark::DoNotOptimize(S.Memory());
    }
    State.counters["bytes"] = double(Size);
}

void BM_DocumentOpen(benchmark::State& State)
{
    TBench& B = Bench();
    if (!B.Ok) {
        State.SkipWithError(B.Error.c_str());
        return;
    }
    for (auto _ : State) {
        TDocument Opened(nullptr, B.Docs.get());
        Opened.SetFileName(B.FileName);
        Opened.Open();
        benchmark::DoNotOptimize(Opened.GetPageCount());
    }
    State.counters["bytes"] = double(std::filesystem::file_size(B.FileName));
}

BENCHMARK(BM_DocumentSave_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DocumentSave_Peer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DocumentSaveToMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DocumentOpen)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) {
        R.PrintRatio("DocumentSave", "BM_DocumentSave_Ours", "BM_DocumentSave_Peer");
    });
}
