// Shutting the frame down: a save that fails at the close question leaves
// the program, the document and its history as they were, and the
// document windows' size state is recorded only for real changes before
// shutdown begins.
#include "shell_test_support.h"

#include "shell/tavro_action.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <csignal>
#include <sys/resource.h>

namespace {

// Writes of regular files beyond Bytes fail (EFBIG) while it lives, as on a
// full disk.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t Bytes)
    {
        FOldSignal = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &FOld);
        rlimit Limit = FOld;
        Limit.rlim_cur = Bytes;
        setrlimit(RLIMIT_FSIZE, &Limit);
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldSignal);
    }

private:
    rlimit FOld{};
    void (*FOldSignal)(int) = nullptr;
};

TEST_F(TFrameTest, ASaveThatFailsAtTheCloseQuestionKeepsFrameDocumentAndHistory)
{
    const std::string Path = Tmp / "kept.srn";
    SaveDocumentFile(Path, 2);
    Start({QString::fromStdString(Path)});
    TOLEDocumentWex* Doc = gDocuments->GetDocument(0);
    Frame->actSelAll->trigger();
    Frame->actDel->trigger();
    ASSERT_TRUE(Doc->Modified());
    ASSERT_EQ(ActivePage()->RootGroup().GetCount(), 0);
    const std::string Undo = Doc->History()->UndoCaption();
    ASSERT_TRUE(Doc->History()->CanUndo());

    // "Yes" to the save question; the write then fails.
    SetMessageBoxHandler([this](void*, const std::string& Text, const std::string& Caption, uint32_t Flags) {
        Boxes.push_back({Text, Caption});
        return (Flags & MB_TYPEMASK) == MB_YESNOCANCEL ? IDYES : DefaultMessageBoxAnswer(Flags);
    });
    bool Closed = true;
    {
        TFileSizeLimit Full(64);
        Closed = Frame->close();
    }
    EXPECT_FALSE(Closed);
    EXPECT_TRUE(Frame->isVisible());
    EXPECT_FALSE(Frame->ShutdownBegun());
    EXPECT_EQ(Setting("Flags"), "(none)"); // the close itself never ran
    // The question, then the error, once.
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[1].Caption, "エラー");
    // The document, its window and its history as they were.
    ASSERT_EQ(gDocuments->GetCount(), 1);
    EXPECT_EQ(gDocuments->GetDocument(0), Doc);
    ASSERT_EQ(Frame->DocWindows().size(), 1u);
    EXPECT_TRUE(Doc->Modified());
    EXPECT_EQ(Doc->History()->UndoCaption(), Undo);
    Frame->actUndo->trigger();
    EXPECT_EQ(ActivePage()->RootGroup().GetCount(), 2);
    Doc->SetModified(false);
}

TEST_F(TFrameTest, FreeingTheWindowsAtShutdownKeepsTheMaximisedStateTheCloseWrote)
{
    // The first window normal, the second maximised.
    AppIniFile().WriteInteger("4.0", "MaxFrmChild", 0);
    Start();
    Frame->actNew->trigger();
    ASSERT_EQ(Frame->DocWindows().size(), 2u);
    QMdiSubWindow* Second = Frame->DocWindows()[1]->SubWindow();
    Second->showMaximized();
    ASSERT_EQ(Setting("MaxFrmChild"), "1");
    ASSERT_TRUE(Frame->close());
    EXPECT_TRUE(Frame->ShutdownBegun());
    // Once the close is accepted, no change of a window counts.
    Second->showNormal();
    EXPECT_EQ(Setting("MaxFrmChild"), "1");
    Second->showMaximized();
    Close();
    EXPECT_EQ(Setting("MaxFrmChild"), "1");
}

TEST_F(TFrameTest, OnlyRealSizeChangesOfADocumentWindowAreWritten)
{
    AppIniFile().WriteInteger("4.0", "MaxFrmChild", 0);
    Start();
    Frame->actNew->trigger();
    QMdiSubWindow* Second = Frame->DocWindows()[1]->SubWindow();
    // Activation alone changes no size.
    AppIniFile().WriteString("4.0", "MaxFrmChild", "untouched");
    Frame->MdiArea()->activatePreviousSubWindow();
    Frame->MdiArea()->activateNextSubWindow();
    EXPECT_EQ(Setting("MaxFrmChild"), "untouched");
    Second->showMaximized();
    EXPECT_EQ(Setting("MaxFrmChild"), "1");
    Second->showNormal();
    EXPECT_EQ(Setting("MaxFrmChild"), "0");
}

} // namespace
