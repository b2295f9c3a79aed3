// Tool window positions through callbacks: what is written and in which
// order, the refused "Rev" values, floating windows brought back on-screen,
// docks that are gone or take no drags, the rows a load clamps, and the
// errors of nameless windows and docks.
#include "tool_window_test_support.h"
#include "foundation/user_error.h"
#include "ui/tool_window_positions97.h"
#include "ui/toolbar97.h"

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

template <typename E, typename F>
std::string MessageOf(F&& Run)
{
    try {
        Run();
    } catch (const E& Error) {
        return Error.what();
    }
    return "(nothing raised)";
}

// A store the callbacks read and write: name -> value name -> text.
struct TStore {
    std::map<std::string, std::map<std::string, std::string>> Values;
    std::vector<std::string> Written; // "name.value" in order

    TPositionWriteIntProc WriteInt()
    {
        return [this](const std::string& N, const std::string& V, int32_t D, void*) {
            Values[N][V] = std::to_string(D);
            Written.push_back(N + "." + V);
        };
    }
    TPositionWriteStringProc WriteString()
    {
        return [this](const std::string& N, const std::string& V, const std::string& D, void*) {
            Values[N][V] = D;
            Written.push_back(N + "." + V);
        };
    }
    TPositionReadIntProc ReadInt()
    {
        return [this](const std::string& N, const std::string& V, int32_t Default, void*) {
            auto It = Values[N].find(V);
            return It == Values[N].end() ? Default : std::stoi(It->second);
        };
    }
    TPositionReadStringProc ReadString()
    {
        return [this](const std::string& N, const std::string& V, const std::string& Default, void*) {
            auto It = Values[N].find(V);
            return It == Values[N].end() ? Default : It->second;
        };
    }
};

class TPositionsTest : public TDockFormTest {
protected:
    TToolbar97* Bar(const char* Name, TDock97* Dock, int32_t Row = 0)
    {
        auto* T = new TToolbar97(Form.get());
        T->setObjectName(Name);
        T->SetDockRow(Row);
        SetApplicationActive(true);
        T->SetDockedTo(Dock);
        return T;
    }
    void Load() { LoadToolWindowPositions(Form.get(), S.ReadInt(), S.ReadString(), nullptr); }
    void Save() { SaveToolWindowPositions(Form.get(), S.WriteInt(), S.WriteString(), nullptr); }
    TStore S;
};

TEST_F(TPositionsTest, SaveWritesEveryValueInItsOrder)
{
    TToolbar97* A = Bar("tbarA", Top);
    TToolbar97* B = Bar("tbarB", nullptr);
    B->SetFloatingPosition(QPoint(150, 160));
    B->SetFloatRightX(40);
    Save();
    const std::vector<std::string> Names = {"Rev",     "Visible", "DockedTo",  "LastDock",  "DockRow",
                                            "DockPos", "FloatLeft", "FloatTop", "FloatRightX"};
    ASSERT_EQ(S.Written.size(), 2 * Names.size());
    for (size_t I = 0; I < Names.size(); ++I)
        EXPECT_EQ(S.Written[I], "tbarA." + Names[I]);
    EXPECT_EQ(S.Values["tbarA"]["Rev"], "3");
    EXPECT_EQ(S.Values["tbarA"]["DockedTo"], "Top");
    EXPECT_EQ(S.Values["tbarB"]["DockedTo"], "+");
    EXPECT_EQ(S.Values["tbarB"]["FloatLeft"], "150");
    EXPECT_EQ(S.Values["tbarB"]["FloatRightX"], "40");
    // A dock that takes no drags is not named: the window stays at the next load.
    Top->SetAllowDrag(false);
    S.Written.clear();
    Save();
    EXPECT_EQ(S.Values["tbarA"]["DockedTo"], "");
    (void)A;
}

TEST_F(TPositionsTest, OnlyRevisions2And3AreTaken)
{
    struct TCase {
        int32_t Rev;
        bool Taken;
    };
    for (const TCase& C : {TCase{0, false}, TCase{1, false}, TCase{2, true}, TCase{3, true}, TCase{4, false}}) {
        TToolbar97* T = Bar("tbarRev", Top);
        S.Values.clear();
        S.Values["tbarRev"] = {{"Rev", std::to_string(C.Rev)}, {"Visible", "0"}, {"DockedTo", "Bottom"}};
        Load();
        EXPECT_EQ(T->Visible(), !C.Taken) << C.Rev;
        EXPECT_EQ(T->DockedTo(), C.Taken ? Bottom : Top) << C.Rev;
        delete T;
    }
}

TEST_F(TPositionsTest, AFloatingWindowWhollyOffScreenComesBack)
{
    TToolbar97* T = Bar("tbarFloat", Top);
    S.Values["tbarFloat"] = {{"Rev", "3"}, {"DockedTo", "+"}, {"FloatLeft", "-5000"}, {"FloatTop", "-5000"},
                             {"FloatRightX", "12"}};
    Load();
    EXPECT_TRUE(T->Floating());
    EXPECT_EQ(T->FloatRightX(), 12);
    const QRect Screen = WorkAreaNear(QRect(T->FloatingPosition(), T->size()));
    EXPECT_TRUE(Screen.intersects(QRect(T->FloatingPosition(), T->size())));
    // On the screen it stays where it was stored.
    S.Values["tbarFloat"]["FloatLeft"] = "20";
    S.Values["tbarFloat"]["FloatTop"] = "30";
    Load();
    EXPECT_EQ(T->FloatingPosition(), QPoint(20, 30));
}

TEST_F(TPositionsTest, AMissingDockOrOneWithoutDragsLeavesTheWindowButAppliesVisible)
{
    TToolbar97* T = Bar("tbarStay", Top);
    for (const char* Dock : {"Gone", "Bottom"}) {
        Bottom->SetAllowDrag(std::string(Dock) != "Bottom");
        S.Values["tbarStay"] = {{"Rev", "3"}, {"Visible", "0"}, {"DockedTo", Dock}};
        T->setVisible(true);
        Load();
        EXPECT_EQ(T->DockedTo(), Top) << Dock;
        EXPECT_FALSE(T->Visible()) << Dock;
    }
}

TEST_F(TPositionsTest, StoredRowsAreClampedAndNegativePositionsKept)
{
    TToolbar97* A = Bar("tbarA", Top);
    TToolbar97* B = Bar("tbarB", Top);
    TToolbar97* F = Bar("tbarF", Top);
    F->SetUseLastDock(false);
    S.Values["tbarA"] = {{"Rev", "3"}, {"DockedTo", "Top"}, {"DockRow", "900"}, {"DockPos", "-1"}};
    S.Values["tbarB"] = {{"Rev", "3"}, {"DockedTo", "Top"}, {"DockRow", "-7"}, {"DockPos", "4"}};
    S.Values["tbarF"] = {{"Rev", "3"}, {"DockedTo", "+"}, {"DockRow", "-3"}, {"DockPos", "-8"},
                         {"FloatLeft", "40"}, {"FloatTop", "40"}};
    Load();
    EXPECT_EQ(B->DockRow(), 0);
    EXPECT_EQ(A->DockRow(), 1);
    // A floating window with no dock to keep its row still loses the negative row.
    EXPECT_TRUE(F->Floating());
    EXPECT_EQ(F->DockRow(), 0);
    EXPECT_EQ(F->DockPos(), -8);
}

// Stored numbers at the ends of the 32-bit range: the docks and the screen
// take the windows where they can be, and what the next save writes is
// where they are, never the stored number.
TEST_F(TPositionsTest, StoredNumbersAtTheEndsOfTheRangeAreRefusedAndNotWrittenBack)
{
    struct TCase {
        const char* What;
        const char* DockedTo;
        std::map<std::string, std::string> A, B; // beyond Rev and DockedTo
    };
    const std::string Max = "2147483647", Min = "-2147483648";
    const TCase Cases[] = {
        {"one at the end of the top dock", "Top", {{"DockPos", Max}}, {{"DockRow", "1"}}},
        {"both on one row of the top dock", "Top", {{"DockPos", Max}}, {{"DockPos", Max}}},
        {"both on one row of the left dock", "Left", {{"DockPos", Max}}, {{"DockPos", Max}}},
        {"both on one row of the right dock", "Right", {{"DockPos", Max}}, {{"DockPos", Min}}},
        {"both on one row of the bottom dock", "Bottom", {{"DockPos", Max}}, {{"DockPos", "2147483600"}}},
        {"rows at the ends", "Top", {{"DockRow", Max}, {"DockPos", Max}}, {{"DockRow", Min}}},
        {"floating at the right end", "+", {{"FloatLeft", Max}, {"FloatTop", Max}}, {{"FloatLeft", "2147483600"}}},
        {"floating at the left end", "+", {{"FloatLeft", Min}, {"FloatTop", Min}, {"FloatRightX", Max}},
         {{"FloatRightX", Min}}},
    };
    for (const TCase& C : Cases) {
        TToolbar97* A = Bar("tbarA", Top);
        TToolbar97* B = Bar("tbarB", Top, 1);
        for (TToolbar97* T : {A, B}) {
            auto* Item = new QWidget(T->ClientArea());
            Item->resize(124, 22);
            Item->show();
        }
        S.Values.clear();
        S.Values["tbarA"] = C.A;
        S.Values["tbarB"] = C.B;
        for (const char* N : {"tbarA", "tbarB"}) {
            S.Values[N]["Rev"] = "3";
            S.Values[N]["DockedTo"] = C.DockedTo;
        }
        Load();
        Save();
        for (TToolbar97* T : {A, B}) {
            const std::string Name = T->objectName().toStdString();
            const std::string Case = std::string(C.What) + ", " + Name;
            if (TDock97* D = T->DockedTo()) {
                EXPECT_EQ(D->objectName().toStdString(), C.DockedTo) << Case;
                // Inside its dock, and the position written is the one it has.
                EXPECT_TRUE(D->rect().contains(T->geometry())) << Case;
                EXPECT_LE(T->DockRow(), 1) << Case;
                const int32_t Along = DockOrientationOf(D) == 2 ? T->y() : T->x();
                EXPECT_LE(std::stoll(S.Values[Name]["DockPos"]), Along) << Case;
            } else {
                EXPECT_TRUE(T->Floating()) << Case;
                const QRect R(T->FloatingPosition(), T->size());
                EXPECT_TRUE(WorkAreaNear(R).intersects(R)) << Case;
                EXPECT_EQ(S.Values[Name]["FloatLeft"], std::to_string(T->FloatingPosition().x())) << Case;
                EXPECT_EQ(S.Values[Name]["FloatTop"], std::to_string(T->FloatingPosition().y())) << Case;
                EXPECT_GE(std::stoll(S.Values[Name]["FloatRightX"]), 0) << Case;
                EXPECT_LE(std::stoll(S.Values[Name]["FloatRightX"]), 1 << 24) << Case;
            }
            for (const char* V : {"DockRow", "DockPos", "FloatLeft", "FloatTop"})
                EXPECT_LE(std::abs(std::stoll(S.Values[Name][V])), 1 << 24) << Case << " " << V;
        }
        delete A;
        delete B;
    }
}

TEST_F(TPositionsTest, LoadingManyToolbarsIntoOneDockLaysItOutOnce)
{
    const char* Names[] = {"tbar1", "tbar2", "tbar3"};
    for (int I = 0; I < 3; ++I) {
        Bar(Names[I], Top);
        S.Values[Names[I]] = {{"Rev", "3"}, {"DockedTo", "Bottom"}, {"DockRow", std::to_string(I)}};
    }
    int Resizes = 0;
    Bottom->OnResize = [&](QObject*) { ++Resizes; };
    Load();
    EXPECT_EQ(Resizes, 1);
    EXPECT_EQ(Bottom->ToolWindows().size(), 3u);
    EXPECT_GT(Bottom->height(), 3 * 8);
}

TEST_F(TPositionsTest, NamelessWindowsAndDocksAreErrors)
{
    TToolbar97* T = Bar("tbarA", Top);
    Top->setObjectName("");
    EXPECT_EQ(MessageOf<Exception>([&] { Save(); }),
              "Cannot save tool window's position because DockedTo's Name property not set");
    T->setObjectName("");
    EXPECT_EQ(MessageOf<Exception>([&] { Save(); }),
              "Cannot save tool window's position because Name property is not set");
    EXPECT_EQ(MessageOf<Exception>([&] { Load(); }),
              "Cannot save tool window's position because Name property is not set");
    // The load's error still ended the docks' updates: they lay out again.
    T->setObjectName("tbarA");
    Top->setObjectName("Top");
    T->SetDockRow(3);
    EXPECT_EQ(T->DockRow(), 0);
}

TEST(ListSortEx, SortsWithTheCallersComparison)
{
    std::vector<int> Values = {5, 3, 9, 1, 3, 7, 0, 2};
    std::vector<void*> List;
    for (int& V : Values)
        List.push_back(&V);
    int Calls = 0;
    ListSortEx(
        List,
        [](void* A, void* B, void* Data) {
            ++*static_cast<int*>(Data);
            return *static_cast<int*>(A) - *static_cast<int*>(B);
        },
        &Calls);
    std::vector<int> Sorted;
    for (void* P : List)
        Sorted.push_back(*static_cast<int*>(P));
    EXPECT_EQ(Sorted, (std::vector<int>{0, 1, 2, 3, 3, 5, 7, 9}));
    EXPECT_GT(Calls, 0);
}

} // namespace
