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
        const QPoint P = FOwner->pos();
        const QSize Z = FOwner->size();
        int32_t Pos = 1;
        const int32_t Left = GetFieldInt(S, Pos, ',', P.x());
        const int32_t Top = GetFieldInt(S, Pos, ',', P.y());
        int32_t Width = GetFieldInt(S, Pos, ',', Z.width());
        int32_t Height = GetFieldInt(S, Pos, ',', Z.height());
        const int32_t ShowCmd = GetFieldInt(S, Pos, ',', 1);
        // A size of nothing is no size: the form keeps its own.
        if (Width <= 0)
            Width = Z.width();
        if (Height <= 0)
            Height = Z.height();
        // The text may hold any number: the origin is added in 64 bits and
        // the work area then fits the rectangle to the screen.
        const TRect A = WorkAreaOrZero();
        SetBoundsInWorkArea(FOwner, int64_t(Left) + A.Left, int64_t(Top) + A.Top, Width, Height);
        FRestoredFramePos = FOwner->pos();
        if (ShowCmd == 3)
            FOwner->setWindowState(FOwner->windowState() | Qt::WindowMaximized);
        FRestoredNormal = FOwner->normalGeometry();
    }
    FRestorePending = false;
}

void TRestorePos::Save()
{
    if (!FOwner || FRegistryKey.empty() || FRegistryName.empty())
        return;
    const Qt::WindowStates State = FOwner->windowState();
    const int32_t ShowCmd = State & Qt::WindowMinimized ? 2 : State & Qt::WindowMaximized ? 3 : 1;
    // The frame's position, as Restore places it, and the client size.
    QPoint P = FOwner->pos();
    QSize Z = FOwner->size();
    if (ShowCmd != 1 && !FOwner->normalGeometry().isEmpty()) {
        // The normal rectangle is the client's, less the frame's margins;
        // but one taken before the window existed (restored maximised and
        // never shown normal) holds the frame's position already.
        const QRect N = FOwner->normalGeometry();
        const QPoint Margin = FOwner->geometry().topLeft() - FOwner->frameGeometry().topLeft();
        P = N == FRestoredNormal ? FRestoredFramePos : N.topLeft() - Margin;
        Z = N.size();
    }
    const TRect A = WorkAreaOrZero();
    WriteText(JoinInts({P.x() - A.Left, P.y() - A.Top, Z.width(), Z.height(), ShowCmd}));
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
            WriteText(JoinInts({Owner->x(), Owner->y(), Owner->width(), Owner->height()}));
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
