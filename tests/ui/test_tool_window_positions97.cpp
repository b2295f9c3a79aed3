// Tool window positions through callbacks: what is written and in which
// order, the refused "Rev" values, floating windows brought back on-screen,
// docks that are gone or take no drags, the rows a load clamps, and the
// errors of nameless windows and docks.
#include "tool_window_test_support.h"
#include "foundation/user_error.h"
#include "ui/tool_window_positions97.h"
#include "ui/toolbar97.h"

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
