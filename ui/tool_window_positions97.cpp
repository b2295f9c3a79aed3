#include "ui/tool_window_positions97.h"

#include "foundation/user_error.h"
#include "ui/dock97.h"
#include "ui/tool_window97.h"
#include "ui/toolbar97.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace {

constexpr const char* kNoName = "Cannot save tool window's position because Name property is not set";
constexpr const char* kNoDockName = "Cannot save tool window's position because DockedTo's Name property not set";

TDock97* DockNamed(const std::vector<TDock97*>& Docks, const std::string& Name)
{
    for (TDock97* D : Docks)
        if (D->objectName().toStdString() == Name)
            return D;
    return nullptr;
}

// Rows of the windows a dock holds or keeps a row for, made dense together;
// a window with no dock only loses a negative row.
void ClampRows(const std::vector<TCustomToolWindow97*>& Windows)
{
    std::map<TDock97*, std::vector<TCustomToolWindow97*>> ByDock;
    for (TCustomToolWindow97* W : Windows) {
        TDock97* D = W->DockedTo() ? W->DockedTo() : W->LastDock();
        if (D)
            ByDock[D].push_back(W);
        else if (W->DockRow() < 0)
            W->SetDockRow(0);
    }
    for (auto& [Dock, List] : ByDock) {
        for (TCustomToolWindow97* W : Dock->ToolWindows())
            if (std::find(List.begin(), List.end(), W) == List.end())
                List.push_back(W);
        std::vector<int32_t> Rows;
        for (TCustomToolWindow97* W : List)
            Rows.push_back(W->DockRow());
        CompactRows(Rows);
        for (size_t I = 0; I < List.size(); ++I)
            if (List[I]->DockRow() != Rows[I])
                List[I]->SetDockRow(Rows[I]);
    }
}

} // namespace

std::vector<TCustomToolWindow97*> FormToolWindows(QWidget* Form)
{
    // No tool window lies inside another, so the walk does not go into
    // them: a toolbar may hold thousands of items.
    std::vector<TCustomToolWindow97*> Result;
    std::vector<const QObject*> Pending{Form};
    while (!Pending.empty()) {
        const QObject* O = Pending.back();
        Pending.pop_back();
        for (QObject* C : O->children()) {
            if (auto* W = qobject_cast<TCustomToolWindow97*>(C)) {
                if (W->OwnerForm() == Form)
                    Result.push_back(W);
            } else {
                Pending.push_back(C);
            }
        }
    }
    std::sort(Result.begin(), Result.end(), [](const TCustomToolWindow97* A, const TCustomToolWindow97* B) {
        return A->ComponentSerial() < B->ComponentSerial();
    });
    return Result;
}

std::vector<TDock97*> FormDocks(QWidget* Form)
{
    const QList<TDock97*> L = Form->findChildren<TDock97*>();
    return std::vector<TDock97*>(L.begin(), L.end());
}

void SaveToolWindowPositions(QWidget* Form, const TPositionWriteIntProc& WriteInt,
                             const TPositionWriteStringProc& WriteString, void* ExtraData)
{
    for (TCustomToolWindow97* W : FormToolWindows(Form)) {
        const std::string Name = W->objectName().toStdString();
        if (Name.empty())
            throw Exception(kNoName);
        TDock97* D = W->DockedTo();
        if (D && D->AllowDrag() && D->objectName().isEmpty())
            throw Exception(kNoDockName);
        WriteInt(Name, "Rev", 3, ExtraData);
        WriteInt(Name, "Visible", W->Visible() ? 1 : 0, ExtraData);
        std::string DockedTo;
        if (!D)
            DockedTo = "+";
        else if (D->AllowDrag())
            DockedTo = D->objectName().toStdString();
        WriteString(Name, "DockedTo", DockedTo, ExtraData);
        WriteString(Name, "LastDock", W->LastDock() ? W->LastDock()->objectName().toStdString() : "", ExtraData);
        WriteInt(Name, "DockRow", W->DockRow(), ExtraData);
        WriteInt(Name, "DockPos", W->DockPos(), ExtraData);
        WriteInt(Name, "FloatLeft", W->FloatingPosition().x(), ExtraData);
        WriteInt(Name, "FloatTop", W->FloatingPosition().y(), ExtraData);
        if (auto* T = qobject_cast<TCustomToolbar97*>(W))
            T->SaveExtraPosition([&](const std::string& Value, int32_t Data) { WriteInt(Name, Value, Data, ExtraData); });
    }
}

void LoadToolWindowPositions(QWidget* Form, const TPositionReadIntProc& ReadInt,
                             const TPositionReadStringProc& ReadString, void* ExtraData)
{
    const std::vector<TDock97*> Docks = FormDocks(Form);
    for (TDock97* D : Docks)
        D->BeginUpdate();
    std::vector<TCustomToolWindow97*> Loaded;
    const auto EndUpdates = [&] {
        for (auto It = Docks.rbegin(); It != Docks.rend(); ++It)
            (*It)->EndUpdate();
    };
    try {
        for (TCustomToolWindow97* W : FormToolWindows(Form)) {
            const std::string Name = W->objectName().toStdString();
            if (Name.empty())
                throw Exception(kNoName);
            const int32_t Rev = ReadInt(Name, "Rev", 0, ExtraData);
            if (Rev != 2 && Rev != 3)
                continue;
            W->setVisible(ReadInt(Name, "Visible", W->Visible() ? 1 : 0, ExtraData) != 0);
            const std::string DockedTo = ReadString(Name, "DockedTo", "", ExtraData);
            if (DockedTo.empty())
                continue;
            TDock97* D = nullptr;
            if (DockedTo != "+") {
                D = DockNamed(Docks, DockedTo);
                if (!D || !D->AllowDrag())
                    continue;
            }
            // A number beyond what a window could have had is refused and
            // counts as missing; the save writes back where the window is.
            const auto ReadWithin = [&](const std::string& Value, int32_t Default, int32_t Min, int32_t Max) {
                const int32_t V = ReadInt(Name, Value, Default, ExtraData);
                return V >= Min && V <= Max ? V : Default;
            };
            constexpr int32_t Reach = kToolWindowCoordinateLimit97;
            W->BeginUpdate();
            W->SetDockRow(std::max(ReadWithin("DockRow", W->DockRow(), INT32_MIN, kToolWindowRowLimit97), 0));
            // Negative positions mean something (-1: where the dock puts it).
            W->SetDockPos(ReadWithin("DockPos", W->DockPos(), -Reach, Reach));
            const int32_t FloatLeft = ReadWithin("FloatLeft", 0, -Reach, Reach);
            const int32_t FloatTop = ReadWithin("FloatTop", 0, -Reach, Reach);
            if (auto* T = qobject_cast<TCustomToolbar97*>(W))
                T->LoadExtraPosition([&](const std::string& Value, int32_t Default) {
                    return ReadWithin(Value, Default, 0, Reach);
                });
            W->SetFloatingPosition(QPoint(FloatLeft, FloatTop));
            W->SetDockedTo(D);
            if (!D)
                W->MoveOnScreen(true);
            if (Rev >= 3 && W->UseLastDock()) {
                const std::string Last = ReadString(Name, "LastDock", "", ExtraData);
                if (TDock97* LD = Last.empty() ? nullptr : DockNamed(Docks, Last))
                    W->SetLastDock(LD);
            }
            W->EndUpdate();
            W->Arrange();
            W->AfterPositionLoad();
            Loaded.push_back(W);
        }
        ClampRows(Loaded);
    } catch (...) {
        EndUpdates();
        throw;
    }
    EndUpdates();
}

void ListSortEx(std::vector<void*>& List, const std::function<int32_t(void*, void*, void*)>& Compare, void* Data)
{
    if (List.size() < 2)
        return;
    const std::function<void(int32_t, int32_t)> Sort = [&](int32_t L, int32_t R) {
        int32_t I = L;
        do {
            I = L;
            int32_t J = R;
            void* Pivot = List[size_t((L + R) / 2)];
            do {
                while (Compare(List[size_t(I)], Pivot, Data) < 0)
                    ++I;
                while (Compare(List[size_t(J)], Pivot, Data) > 0)
                    --J;
                if (I <= J) {
                    std::swap(List[size_t(I)], List[size_t(J)]);
                    ++I;
                    --J;
                }
            } while (I <= J);
            if (L < J)
                Sort(L, J);
            L = I;
        } while (I < R);
    };
    Sort(0, int32_t(List.size()) - 1);
}
