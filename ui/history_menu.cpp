#include "ui/history_menu.h"

#include "foundation/ini_file.h"
#include "foundation/platform_wrappers.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "platform/qt/application_wex.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

int32_t THistoryList::Add(const std::string& S)
{
    const int32_t I = IndexOf(S);
    if (I >= 0) {
        const std::string Held = Strings(I);
        Delete(I);
        Insert(0, Held);
    } else {
        Insert(0, S);
    }
    while (Count() > MaxCount)
        Delete(Count() - 1);
    return 0;
}

THistoryMenu::THistoryMenu(QObject* Owner) : QObject(Owner) {}

THistoryMenu::~THistoryMenu()
{
    if (FActive) {
        try {
            SaveList();
        } catch (const std::exception& E) {
            ErrorMessageBox(E.what());
        }
    }
    ClearMenu();
}

void THistoryMenu::SetActive(bool Value)
{
    if (Value == FActive)
        return;
    if (Value) {
        if (!FTarget)
            throw EUserError("ターゲットが指定されていません");
        FActive = true;
        LoadList();
        MakeMenu();
    } else {
        FActive = false;
        SaveList();
        ClearMenu();
    }
}

void THistoryMenu::SetHistoryNum(int32_t Value)
{
    FHistoryNum = std::min(Value, THistoryList::MaxCount);
    if (FActive)
        MakeMenu();
}

void THistoryMenu::SetTargetMenuItem(QAction* Value)
{
    if (Value == FTarget)
        return;
    ClearMenu();
    if (FTarget)
        disconnect(FTarget, nullptr, this, nullptr);
    FTarget = Value;
    if (!Value) {
        SetActive(false);
        return;
    }
    connect(Value, &QObject::destroyed, this, [this] {
        // Its sub-menu goes with it; the items in it are still ours.
        for (QAction* A : FItems)
            delete A;
        FItems.clear();
        FOwnMenu.reset();
        FTarget = nullptr;
    });
    const bool HasSubItems = Value->menu() && !Value->menu()->actions().isEmpty();
    FiMode = 0;
    if (!HasSubItems)
        FiMode = 1;
    if (Value->isSeparator() || Value->text() == "-")
        FiMode = 2;
    if (FActive)
        MakeMenu();
}

void THistoryMenu::SetKeyName(const std::string& Value)
{
    if (Value == FKeyName)
        return;
    FKeyName = Value;
    if (FLoaded && FActive) {
        LoadList();
        MakeMenu();
    }
}

void THistoryMenu::SetSectionName(const std::string& Value)
{
    if (Value == FSectionName)
        return;
    FSectionName = Value;
    if (FLoaded && FActive) {
        LoadList();
        MakeMenu();
    }
}

void THistoryMenu::Add(const std::string& FileName)
{
    if (FileName.empty())
        return;
    FList.Add(FileName);
    if (FActive)
        MakeMenu();
}

namespace {

std::string RegistryKeyOf(const std::string& KeyName, const std::string& Section)
{
    return KeyName.empty() ? Section : KeyName + "\\" + Section;
}

} // namespace

void THistoryMenu::LoadList()
{
    FList.Clear();
    int32_t Count = 0;
    const std::string RegKey = RegistryKeyOf(FKeyName, FSectionName);
    auto ReadEntry = [&](int32_t I) {
        const std::string Name = "H" + std::to_string(I);
        std::string S = "BUG";
        if (FIniFile)
            S = FIniFile->ReadString(FSectionName, Name, S);
        else if (!RegQueryString(HKEY_CURRENT_USER, RegKey, Name, S))
            S = "BUG";
        return S;
    };
    if (FIniFile) {
        Count = FIniFile->ReadInteger(FSectionName, "Count", 0);
    } else {
        std::string S;
        if (!RegQueryString(HKEY_CURRENT_USER, RegKey, "Count", S) || !TryStrToInt(S, Count))
            Count = 0;
    }
    // Only the first MaxCount entries can survive; a larger stored count
    // would only read (and throw away) entries, however many it claims.
    Count = std::min(Count, THistoryList::MaxCount);
    for (int32_t I = Count - 1; I >= 0; --I)
        FList.Add(ReadEntry(I));
    FLoaded = true;
}

void THistoryMenu::SaveList()
{
    const std::string RegKey = RegistryKeyOf(FKeyName, FSectionName);
    auto Write = [&](const std::string& Name, const std::string& Value) {
        if (FIniFile)
            FIniFile->WriteString(FSectionName, Name, Value);
        else
            SetRegistryVal(HKEY_CURRENT_USER, RegKey, Name, Value);
    };
    Write("Count", std::to_string(FList.Count()));
    for (int32_t I = 0; I < FList.Count(); ++I)
        Write("H" + std::to_string(I), FList.Strings(I));
}

QMenu* THistoryMenu::ParentMenuOfTarget() const
{
    if (!FTarget)
        return nullptr;
    for (QObject* O : FTarget->associatedObjects())
        if (auto* M = qobject_cast<QMenu*>(O))
            return M;
    return nullptr;
}

void THistoryMenu::MakeMenu()
{
    ClearMenu();
    if (!FTarget || FHistoryNum <= 0 || FList.Count() == 0)
        return;
    const int32_t Shown = std::min(FList.Count(), FHistoryNum);

    QMenu* Into = nullptr;
    QAction* Before = nullptr;
    if (FiMode == 2) {
        Into = ParentMenuOfTarget();
        if (!Into)
            return;
        const QList<QAction*> Items = Into->actions();
        const qsizetype I = Items.indexOf(FTarget);
        if (I >= 0 && I + 1 < Items.size())
            Before = Items[I + 1];
    } else {
        Into = FTarget->menu();
        if (!Into) {
            FOwnMenu = std::make_unique<QMenu>();
            FTarget->setMenu(FOwnMenu.get());
            Into = FOwnMenu.get();
        }
    }
    auto Place = [&](QAction* A) {
        FItems.push_back(A);
        Into->insertAction(Before, A);
    };

    if (FiMode == 2 || (FiMode == 1 && !Into->actions().isEmpty())) {
        auto* Sep = new QAction(this);
        Sep->setSeparator(true);
        Place(Sep);
    }
    FiNumWidth = static_cast<int32_t>(std::to_string(Shown - 1).size()) + 2;
    for (int32_t I = 0; I < Shown; ++I) {
        std::string Caption = FList.Strings(I);
        if (FNumbering) {
            std::string Prefix = "&" + std::to_string(I) + " ";
            if (static_cast<int32_t>(Prefix.size()) < FiNumWidth)
                Prefix.insert(0, FiNumWidth - Prefix.size(), ' ');
            Caption = Prefix + Caption;
        }
        auto* A = new QAction(QString::fromStdString(Caption), this);
        connect(A, &QAction::triggered, this, [this, A] { RunReporting([&] { HistoryClick(A); }); });
        Place(A);
    }
}

void THistoryMenu::ClearMenu()
{
    for (QAction* A : FItems) {
        // An item may be the one being triggered: it leaves its menus now and
        // is deleted once the event has been handled.
        for (QObject* O : A->associatedObjects())
            if (auto* W = qobject_cast<QWidget*>(O))
                W->removeAction(A);
        A->deleteLater();
    }
    FItems.clear();
    if (FOwnMenu && FOwnMenu->actions().isEmpty()) {
        if (FTarget && FTarget->menu() == FOwnMenu.get())
            FTarget->setMenu(static_cast<QMenu*>(nullptr));
        FOwnMenu.reset();
    }
}

void THistoryMenu::HistoryClick(QAction* Item)
{
    QString Caption = Item->text();
    if (FNumbering)
        Caption = Caption.mid(FiNumWidth);
    const std::string FileName = Caption.toStdString();
    if (OnHistorySelected)
        OnHistorySelected(this, FileName);
    Add(FileName);
}
