#include "ui/restore_pos.h"

#include "foundation/ini_file.h"
#include "foundation/platform_wrappers.h"
#include "foundation/text_fields.h"
#include "platform/qt/window_routines.h"
#include "ui/work_area.h"

#include <QWidget>

namespace {

TRect WorkAreaOrZero()
{
    TRect R;
    if (!GetWorkAreaRect(R))
        R = TRect{};
    return R;
}


} // namespace

std::string ReadUserSettingText(TMemIniFile* IniFile, const std::string& Key, const std::string& Name)
{
    std::string S;
    if (IniFile)
        S = IniFile->ReadString(Key, Name, "");
    else
        GetRegistryVal(HKEY_CURRENT_USER, Key, Name, S);
    return S;
}

void WriteUserSettingText(TMemIniFile* IniFile, const std::string& Key, const std::string& Name,
                          const std::string& Text)
{
    if (IniFile)
        IniFile->WriteString(Key, Name, Text);
    else
        SetRegistryVal(HKEY_CURRENT_USER, Key, Name, Text);
}

TRestorePos::TRestorePos(QWidget* Owner) : QObject(Owner), FOwner(Owner)
{
    // QWidget announces its destruction before it takes its children and its
    // window down, so the form's placement can still be read there.
    if (Owner)
        connect(Owner, &QObject::destroyed, this, [this, Owner] { OwnerDestroyed(Owner); });
}

void TRestorePos::SetRegistryKey(const std::string& Value)
{
    if (Value == FRegistryKey)
        return;
    FRegistryKey = Value;
    if (FRestorePending)
        Restore();
}

void TRestorePos::SetRegistryName(const std::string& Value)
{
    if (Value == FRegistryName)
        return;
    FRegistryName = Value;
    if (FRestorePending)
        Restore();
}

void TRestorePos::SetIniFile(TMemIniFile* IniFile)
{
    if (IniFile == FIniFile)
        return;
    FIniFile = IniFile;
    if (FRestorePending)
        Restore();
}

std::string TRestorePos::ReadText() const
{
    return ReadUserSettingText(FIniFile, FRegistryKey, FRegistryName);
}

void TRestorePos::WriteText(const std::string& Text)
{
    WriteUserSettingText(FIniFile, FRegistryKey, FRegistryName, Text);
}

void TRestorePos::Restore()
{
    if (!FOwner || FOwnerDestroying || FRegistryName.empty())
        return;
    const std::string S = ReadText();
    if (!S.empty()) {
        const QRect G = FOwner->geometry();
        int32_t Pos = 1;
        int32_t Left = GetFieldInt(S, Pos, ',', G.left());
        int32_t Top = GetFieldInt(S, Pos, ',', G.top());
        const int32_t Width = GetFieldInt(S, Pos, ',', G.width());
        const int32_t Height = GetFieldInt(S, Pos, ',', G.height());
        const int32_t ShowCmd = GetFieldInt(S, Pos, ',', 1);
        const TRect A = WorkAreaOrZero();
        Left += A.Left;
        Top += A.Top;
        SetBoundsInWorkArea(FOwner, Left, Top, Width, Height);
        if (ShowCmd == 3)
            FOwner->setWindowState(FOwner->windowState() | Qt::WindowMaximized);
    }
    FRestorePending = false;
}

void TRestorePos::Save()
{
    if (!FOwner || FRegistryKey.empty() || FRegistryName.empty())
        return;
    QRect R = FOwner->normalGeometry();
    if (R.isEmpty())
        R = FOwner->geometry();
    const Qt::WindowStates State = FOwner->windowState();
    const int32_t ShowCmd = State & Qt::WindowMinimized ? 2 : State & Qt::WindowMaximized ? 3 : 1;
    const TRect A = WorkAreaOrZero();
    WriteText(JoinInts({R.left() - A.Left, R.top() - A.Top, R.width(), R.height(), ShowCmd}));
    if (FOwnerDestroying)
        FSavedWhileDestroying = true;
}

void TRestorePos::OwnerDestroyed(QWidget* Owner)
{
    FOwnerDestroying = true;
    if (FRegistryKey.empty() || FRegistryName.empty())
        return;
    // Nothing may leave a destructor: a store that refuses is reported.
    try {
        if (Owner->windowHandle())
            Save();
        if (!FSavedWhileDestroying) {
            const QRect G = Owner->geometry();
            WriteText(JoinInts({G.left(), G.top(), G.width(), G.height()}));
        }
    } catch (const std::exception& E) {
        ErrorMessageBox(E.what());
    }
}

std::string JoinInts(std::initializer_list<int32_t> Values)
{
    std::string S;
    for (int32_t V : Values) {
        if (!S.empty())
            S += ',';
        S += std::to_string(V);
    }
    return S;
}
