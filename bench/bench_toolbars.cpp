// Saving the user toolbars at the end of a run.
//
// ToolbarSave_Ours saves the frame's toolbars (SaveUserToolbars: the
// position sections, then the definitions) when one toolbar holds 20,000
// items; ToolbarSave_Peer writes the same definitions through the settings
// file directly: the position sections' keys as they were written, and the
// definition key made from the same 20,000 command numbers held in a plain
// list (each number as text, the comma text, one WriteString). What is left
// between the two is the walk over the toolbars' items.
//
// The last line is "ratio ToolbarSave <ours/peer>" over the medians of the
// repetitions.
#include "bench_ratio.h"
#include "bench_sandbox.h"
#include "editors/frm_obj_property.h"
#include "foundation/app_environment.h"
#include "foundation/ini_file.h"
#include "model/default_data.h"
#include "platform/qt/application_wex.h"
#include "shell/main_form.h"
#include "shell/tavro_program.h"
#include "shell/user_toolbars.h"
#include "ui/toolbar97.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t ItemCount = 20000;

int gArgc = 1;
char gArg0[] = "bench_toolbars";
char* gArgv[] = {gArg0, nullptr};

// The units, the defaults and a frame whose only toolbar holds ItemCount
// items: the commands of the built-in toolbars (the zoom box, which can
// stand on one toolbar only, left out) over and over, separators among them.
struct TSetup {
    TApplicationWex App{gArgc, gArgv};
    std::unique_ptr<TDefaultData> Defaults;
    std::unique_ptr<TfrmTavro> Frame;
    std::vector<int32_t> Items;
    // Section, key and value of everything a save writes but the definitions.
    struct TValue {
        std::string Section, Key, Value;
    };
    std::vector<TValue> Positions;
    bool Ok = false;

    TSetup()
    {
        if (!StartUnits(ProgramDir()))
            return;
        Defaults = std::make_unique<TDefaultData>();
        Defaults->SaveOnDestroy = 0;
        SetDefaultAttributes(Defaults.get());
        InitMainGlobals();
        Frame = std::make_unique<TfrmTavro>();
        Frame->StartUp();
        std::vector<TUserToolbarDef> BuiltIn;
        Frame->MakeDefaultToolbars(BuiltIn);
        std::vector<int32_t> Commands;
        for (const TUserToolbarDef& D : BuiltIn)
            for (int32_t C : D.Items)
                if (C != TfrmTavro::ZoomBoxCommand)
                    Commands.push_back(C);
        for (size_t I = 0; I < ItemCount; ++I)
            Items.push_back(Commands[I % Commands.size()]);
        Frame->ToolbarDefs = {{"Bench", Items}};
        Frame->ToolbarExists = {1};
        Frame->BuildUserToolbars();
        // What the save writes besides the definitions, read off one save.
        Frame->SaveUserToolbars();
        TMemIniFile& Ini = AppIniFile();
        std::vector<std::string> Sections;
        Ini.ReadSections(Sections);
        for (const std::string& S : Sections) {
            if (S.rfind(UserToolbarSection, 0) != 0 || S == UserToolbarSection)
                continue;
            std::vector<std::string> Keys;
            Ini.ReadSection(S, Keys);
            for (const std::string& K : Keys)
                Positions.push_back({S, K, Ini.ReadString(S, K, "")});
        }
        Ok = Frame->UserToolbars().size() == 1 &&
             size_t(Frame->UserToolbars()[0]->OrderedControlCount()) == ItemCount;
    }
    ~TSetup()
    {
        // As the program's main block ends: the frame, then the panel.
        Frame.reset();
        frmObjProperty.reset();
        SetDefaultAttributes(nullptr);
        Defaults.reset();
        FinishUnits();
    }
};

// Made on first use, gone before the program ends (Qt's objects may not
// outlive main).
std::unique_ptr<TSetup> gSetup;

TSetup& Setup()
{
    if (!gSetup)
        gSetup = std::make_unique<TSetup>();
    return *gSetup;
}

void BM_ToolbarSave_Ours(benchmark::State& State)
{
    TSetup& S = Setup();
    if (!S.Ok) {
        State.SkipWithError("the frame and its toolbar could not be made");
        return;
    }
    for (auto _ : State)
        S.Frame->SaveUserToolbars();
    State.counters["items"] = double(ItemCount);
}

void BM_ToolbarSave_Peer(benchmark::State& State)
{
    TSetup& S = Setup();
    if (!S.Ok) {
        State.SkipWithError("the frame and its toolbar could not be made");
        return;
    }
    TMemIniFile& Ini = AppIniFile();
    for (auto _ : State) {
        for (const TSetup::TValue& V : S.Positions)
            Ini.WriteString(V.Section, V.Key, V.Value);
        if (Ini.SectionExists(UserToolbarSection))
            Ini.EraseSection(UserToolbarSection);
        std::vector<std::string> Fields{"Bench", "1"};
        Fields.reserve(Fields.size() + S.Items.size());
        for (int32_t Item : S.Items)
            Fields.push_back(std::to_string(Item));
        Ini.WriteString(UserToolbarSection, "1", CommaText(Fields));
    }
    State.counters["items"] = double(ItemCount);
}

} // namespace

BENCHMARK(BM_ToolbarSave_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolbarSave_Peer)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    const TBenchSandbox Sandbox("tavro_bench_toolbars");
    const int Result = RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) { R.PrintPairRatios(); });
    gSetup.reset();
    return Result;
}
