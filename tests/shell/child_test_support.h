// A document window in an MDI area of its own, tied to a recording frame,
// with documents from the application's registry.
#pragma once

#include "model/object_test_support.h"

#include "foundation/app_environment.h"
#include "model/document.h"
#include "model/selection.h"
#include "shell/child_form.h"
#include "ui/paint_box_wex.h"
#include "ui/scroll_bar_wex.h"
#include "window_wait.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TRecFrame : public TChildFrameLink {
public:
    TRecFrame()
    {
        for (int32_t I = 0; I < 76; ++I)
            if (I != 74) {
                Actions[I] = new QAction(QString("command %1").arg(I), &Owner);
                Actions[I]->setCheckable(true);
            }
    }
    QAction* Action(int32_t Index) override { return Index >= 0 && Index < 76 ? Actions[Index] : nullptr; }
    bool SmoothDisplay() const override { return Smooth; }
    bool RulerVisible() const override { return Ruler; }
    void ShowZoom(int32_t Zoom) override { Shown.push_back(Zoom); }
    void ApplyZoom(int32_t Zoom) override
    {
        Applied.push_back(Zoom);
        if (Window)
            Window->SetZoom(std::clamp(Zoom, 10, 1600));
    }
    void MouseWheel(QWheelEvent&) override {}
    void SetStatusText(int32_t Panel, const std::string& Text) override { Status[Panel] = Text; }
    void UpdateToolButton(uint8_t, uint8_t) override {}
    void UpdateDocumentActions() override { ++DocumentActions; }
    void SetDispAnchor(bool Visible) override { Anchors.push_back(Visible); }
    // Takes the tool as the frame's button handler does.
    void ClickToolButton(bool Hand) override
    {
        if (Window)
            Window->DrawingPage()->SetMouseModeCommand(Hand ? 3 : 0, 0);
    }

    // The file dialogs answer with DialogFile (empty: cancelled), recording
    // what they were given.
    bool ExecuteSaveBmpDialog(std::string& FileName, const std::string& InitialDir) override
    {
        Dialogs.push_back({FileName, InitialDir});
        FileName = DialogFile;
        return !DialogFile.empty();
    }
    bool ExecuteOpenImageDialog(std::string& FileName, const std::string& InitialDir) override
    {
        Dialogs.push_back({FileName, InitialDir});
        FileName = DialogFile;
        return !DialogFile.empty();
    }

    QObject Owner;
    QAction* Actions[76] = {};
    std::string DialogFile;
    std::vector<std::pair<std::string, std::string>> Dialogs;
    bool Smooth = false;
    bool Ruler = true;
    TfrmChild* Window = nullptr;
    std::vector<int32_t> Shown;
    std::vector<int32_t> Applied;
    std::vector<bool> Anchors;
    std::map<int32_t, std::string> Status;
    int DocumentActions = 0;
};

struct ChildFormTest : ::testing::Test {
    TPrivateFolders Folders;
    TRecFrame Frame;
    std::unique_ptr<QMdiArea> Area;
    static inline ChildFormTest* Current = nullptr;

    static TOLEFormDoc* NewWindow(TOLEDocumentWex& Document)
    {
        return CreateChildForm(*Current->Area, Document, Current->Frame);
    }
    void SetUp() override
    {
        DiscardAppIniFile();
        // Tests place the windows themselves.
        AppIniFile().WriteInteger(MaxFrmChildSection, MaxFrmChildKey, 0);
        Current = this;
        SetPageSelectionFactory(&NewSelectedObjects);
        InitDocuments(&AppIniFile());
        SetDocWindowFactory(&NewWindow);
        Area = std::make_unique<QMdiArea>();
        Area->resize(900, 700);
        Area->show();
        ASSERT_TRUE(BecomesExposed(Area.get()));
    }
    void TearDown() override
    {
        Area.reset();
        FinalizeDocuments();
        SetDocWindowFactory(nullptr);
        SetPageSelectionFactory(nullptr);
        Current = nullptr;
        DiscardAppIniFile();
    }
    static int32_t BarExtent()
    {
        return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    }
    // A new document of one Width x Height page; its window's content is
    // made ClientWidth x ClientHeight (0: left as opened).
    TfrmChild* Open(int32_t Width, int32_t Height, int32_t ClientWidth = 420, int32_t ClientHeight = 320)
    {
        TOLEDocumentWex* Doc = gDocuments->NewDocument(Width, Height);
        auto* W = dynamic_cast<TfrmChild*>(Doc->GetForms().at(0));
        EXPECT_NE(W, nullptr);
        Frame.Window = W;
        if (ClientWidth > 0)
            Resize(W, ClientWidth, ClientHeight);
        return W;
    }
    static void Resize(TfrmChild* W, int32_t ClientWidth, int32_t ClientHeight)
    {
        QMdiSubWindow* Sub = W->SubWindow();
        Sub->resize(Sub->size() - W->size() + QSize(ClientWidth, ClientHeight));
        Settle();
    }
    // Runs what was posted, deferred deletions too.
    static void Settle()
    {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static TPage& PageOf(TfrmChild* W) { return *W->DrawingPage(); }
};

// Pixel (X, Y) of the page picture as 0xRRGGBB, and set from it.
inline uint32_t PagePixel(TOLECustomPage& Page, int32_t X, int32_t Y)
{
    const uint8_t* P = RecPictureGetPixelPtr(*Page.GetPagePicture(), X, Y);
    return (uint32_t(P[2]) << 16) | (uint32_t(P[1]) << 8) | P[0];
}
inline void SetPagePixel(TOLECustomPage& Page, int32_t X, int32_t Y, uint32_t RGB)
{
    uint8_t* P = RecPictureGetPixelPtr(*Page.GetPagePicture(), X, Y);
    P[0] = RGB & 0xFF;
    P[1] = (RGB >> 8) & 0xFF;
    P[2] = (RGB >> 16) & 0xFF;
}
