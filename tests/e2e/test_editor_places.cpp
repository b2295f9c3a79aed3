// Remembered places of the value editors under a window manager's frame
// (Xvfb with openbox): opening and closing an editor again and again keeps
// it, and the stored place, where it was. Without a frame the client and the
// frame coincide, so only a framed window shows a place that creeps.
#include "editors/color_dialog_wex.h"
#include "editors/frm_gradation.h"
#include "editors/frm_light.h"
#include "editors/trans_dialog_wex.h"
#include "e2e/x_session.h"
#include "foundation/ini_file.h"
#include "platform/test_support.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

class EditorPlaces : public e2e::TWithWindowManager<> {
protected:
    TTempDir Folder;
    TMemIniFile Ini{Folder / "settings.ini"};

    // Shows the modal window that comes up, waits until the window manager
    // has framed it, notes its frame's place and closes it with OK.
    QPoint Framed;
    void CloseWhenFramed()
    {
        QTimer::singleShot(0, [this] {
            QDialog* D = nullptr;
            e2e::WaitFor(
                [&] {
                    QApplication::processEvents();
                    D = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                    return D && D->isVisible() && D->geometry().topLeft() != D->frameGeometry().topLeft();
                },
                5000);
            Framed = D ? D->frameGeometry().topLeft() : QPoint(-1000, -1000);
            if (D)
                D->accept();
        });
    }
};

struct TEditorCase {
    const char* What;
    const char* Name;
    std::string Stored; // what is stored before the first opening
    std::string Kept;   // the stored place each time after, and where the frame comes up
    std::function<void(TMemIniFile&)> Open;
};

std::string PlaceFields(const std::string& Text, bool PageFirst)
{
    const size_t A = PageFirst ? Text.find(',') + 1 : 0;
    const size_t B = Text.find(',', Text.find(',', A) + 1);
    return Text.substr(A, B == std::string::npos ? std::string::npos : B - A);
}

} // namespace

TEST_F(EditorPlaces, ReopeningKeepsThePlace)
{
    const auto OpenFill = [](TMemIniFile& I) {
        TfrmGradation F(nullptr, &I, "4.0", "FlgGrad", "PosGrad", "DirGrph");
        F.SetUp("5");
        F.exec();
    };
    const auto OpenLight = [](TMemIniFile& I) {
        TfrmLight F(nullptr, &I, "4.0", "frmLight", "PosLight");
        F.exec();
    };
    const TEditorCase Cases[] = {
        {"fill editor", "PosGrad", "300,200", "300,200", OpenFill},
        {"light editor", "PosLight", "310,210", "310,210", OpenLight},
        {"fill editor above the top", "PosGrad", "120,-8", "120,0", OpenFill},
        {"light editor above the top", "PosLight", "120,-8", "120,0", OpenLight},
        {"colour picker", "ColDlgNuri", "1,320,220,0,0,0", "320,220",
         [](TMemIniFile& I) {
             TColorDialogWex D;
             D.SetStorage(&I);
             D.RegistryKey = "4.0";
             D.RegistryName = "ColDlgNuri";
             D.Execute();
         }},
        {"opacity picker", "TransDlg", "330,230,0", "330,230",
         [](TMemIniFile& I) {
             TTransDialogWex D;
             D.SetStorage(&I);
             D.RegistryKey = "4.0";
             D.RegistryName = "TransDlg";
             D.Execute();
         }},
    };
    for (const TEditorCase& C : Cases) {
        SCOPED_TRACE(C.What);
        Ini.WriteString("4.0", C.Name, C.Stored);
        for (int Time = 1; Time <= 3; ++Time) {
            SCOPED_TRACE(Time);
            CloseWhenFramed();
            C.Open(Ini);
            EXPECT_EQ(std::to_string(Framed.x()) + "," + std::to_string(Framed.y()), C.Kept);
            EXPECT_EQ(PlaceFields(Ini.ReadString("4.0", C.Name, ""), std::string(C.Name) == "ColDlgNuri"), C.Kept);
        }
    }
}
