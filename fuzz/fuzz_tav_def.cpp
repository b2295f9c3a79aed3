// The defaults file "TavDef.dat", read from a file as the program does.
// fuzz-link: tavro_model
#include "fuzz/fuzz_support.h"
#include "fuzz/render_checks.h"
#include "fuzz/seed_model.h"
#include "model/default_data.h"
#include "platform/module_loader.h"

namespace {

// The input is the file read here, not the delivered files of the build's
// program folder, which every defaults object reads as well: the program's
// folder is one of the environment's own, where none lies.
bool UseOwnProgramFolder()
{
    static const bool Done = [] {
        const std::string Folder = TFuzzEnvironment::Get().Base() + "/program";
        std::filesystem::create_directories(Folder);
        SetModuleDirectories(Folder, "", "");
        return true;
    }();
    return Done;
}

// Defaults that never write their file when freed.
struct TQuietDefaults {
    bool OwnFolder = UseOwnProgramFolder();
    TDefaultData Data;
    TQuietDefaults() { Data.SaveOnDestroy = 0; }
};

// New objects of every kind take their attributes from Defaults, as the
// drawing tools make them, on a page that is then rendered.
void RenderNewObjects(TDefaultData& Defaults)
{
    struct TInstalled {
        TDefaultData* Old = GetDefaultAttributes();
        explicit TInstalled(TDefaultData& D) { SetDefaultAttributes(&D); }
        ~TInstalled() { SetDefaultAttributes(Old); }
    } Installed(Defaults);
    TSeedDocument D;
    TPage& Page = *D.Page;
    const auto Add = [&](std::unique_ptr<TParamObj> S) {
        S->SetFrame(4, 4, 40, 30);
        return Page.RootGroup().AddChild(std::move(S), -1);
    };
    auto Rect = std::make_unique<TRectObj>(&Page, -1);
    Rect->SetParam(Defaults.RectParam);
    Add(std::move(Rect));
    auto Polygon = std::make_unique<TPolygonObj>(&Page, -1);
    Polygon->SetParam(Defaults.PolygonParam);
    Add(std::move(Polygon));
    auto Star = std::make_unique<TStarObj>(&Page, -1);
    Star->SetParam(Defaults.StarParam);
    Add(std::move(Star));
    Add(std::make_unique<TEllipseObj>(&Page, -1));
    auto Text = std::make_unique<TTextObj>(&Page, -1);
    Text->SetText("Ab");
    Text->SetPosition(4, 40);
    Page.RootGroup().AddChild(std::move(Text), -1);
    FuzzRenderPage(Page);
}

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    const std::string Path = TFuzzEnvironment::Get().WriteInput(DefaultDataFileName, Data, Size);
    TQuietDefaults D;
    if (!D.Data.LoadFromFile(Path))
        return false;
    // What was accepted must be usable: written back, and every kind of new
    // object made from it drawn.
    TMemoryStream Out;
    D.Data.WriteBody(Out);
    RenderNewObjects(D.Data);
    return true;
}

void AddDefaults(TFuzzSeeds& Seeds, const std::string& Name, TDefaultData& Data)
{
    const std::string Path = TFuzzEnvironment::Get().Inputs() + "/seed-" + DefaultDataFileName;
    if (!Data.SaveToFile(Path))
        throw std::runtime_error("cannot write " + Path);
    Seeds.Add(Name, FuzzReadFile(Path));
    std::filesystem::remove(Path);
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    TQuietDefaults Factory;
    AddDefaults(Seeds, "factory", Factory.Data);
    TQuietDefaults Changed;
    Changed.Data.WireframeColor = 0x00336699;
    Changed.Data.SetFaceName("ＭＳ ゴシック");
    Changed.Data.FillPath = 0;
    Changed.Data.AngleStep = 7.5;
    Changed.Data.PickTolerance = 9;
    Changed.Data.SetShowRuler(1);
    AddDefaults(Seeds, "changed", Changed.Data);
}

} // namespace

TAVRO_FUZZ_TARGET(tav_def)
