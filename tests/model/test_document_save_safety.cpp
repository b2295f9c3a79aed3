// Saving never harms a file the user did not choose: a name made up for a
// picture is only proposed, an existing file is replaced only when the user
// says so, and a save cleans up what a killed save left beside the document.
#include "model/document.h"

#include "foundation/user_error.h"
#include "model/draw_group.h"
#include "model/page.h"
#include "model/poly_line_obj.h"
#include "platform/message_box.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class TAnsweringDialog : public TSaveDialogLink {
public:
    bool Execute() override
    {
        Seen.push_back(FileName);
        SeenDir = InitialDir;
        if (!Answer.empty())
            FileName = Answer;
        return !Answer.empty();
    }
    std::string Answer;  // "" cancels
    std::vector<std::string> Seen;
    std::string SeenDir;
};

class DocumentSaveSafety : public ::testing::Test {
protected:
    void SetUp() override
    {
        Docs = std::make_unique<TDocuments>("画像", "srn", nullptr, "4.0", "DirData", DocumentFileHeader);
        Docs->SetDocumentClass(&NewDocumentTDocument);
        TOLEDocumentsWex::SetDocumentHistoryMenuAndSaveDialog(nullptr, &Dialog);
        FOld = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Asked.push_back(Text);
            return Answer;
        });
    }
    void TearDown() override
    {
        Docs.reset();
        TOLEDocumentsWex::SetDocumentHistoryMenuAndSaveDialog(nullptr, nullptr);
        SetMessageBoxHandler(FOld);
    }
    std::string OverwriteQuestion(const std::string& Name) const
    {
        return Name + " は既に存在します。上書きしますか？";
    }
    TTempDir Tmp;
    TAnsweringDialog Dialog;
    std::unique_ptr<TDocuments> Docs;
    std::vector<std::string> Asked;
    int Answer = IDNO;

private:
    TMessageBoxHandler FOld;
};

} // namespace

TEST_F(DocumentSaveSafety, APictureDocumentsFirstSaveAsksWhereAndNeverOverwritesSilently)
{
    TOLEDocumentWex* Doc = Docs->NewDocument(20, 10);
    Doc->MakeUniqueFileName(Tmp / "photo.png");
    ASSERT_EQ(Doc->FileName(), Tmp / "photo.srn");
    // Cancelled: nothing written.
    EXPECT_FALSE(Doc->Save());
    EXPECT_EQ(Dialog.Seen, std::vector<std::string>{"photo.srn"});
    EXPECT_EQ(Dialog.SeenDir, Tmp.Dir + "/");
    EXPECT_FALSE(fs::exists(Tmp / "photo.srn"));

    // A file of that name appeared since: replaced only on "Yes".
    Tmp.Put("photo.srn", "precious");
    Dialog.Answer = Tmp / "photo.srn";
    EXPECT_FALSE(Doc->Save());
    EXPECT_EQ(Asked, std::vector<std::string>{OverwriteQuestion(Tmp / "photo.srn")});
    EXPECT_EQ(Tmp.Get("photo.srn"), "precious");
    Answer = IDYES;
    EXPECT_TRUE(Doc->Save());
    EXPECT_EQ(Tmp.Get("photo.srn").substr(0, 3), "TAV");
    // Written once: the name is the document's own now.
    Asked.clear();
    EXPECT_TRUE(Doc->Save());
    EXPECT_TRUE(Doc->SaveAs());
    EXPECT_EQ(Dialog.Seen.size(), 4u);
    EXPECT_TRUE(Asked.empty());
}

TEST_F(DocumentSaveSafety, SaveAsOverAnotherFileAsks)
{
    TOLEDocumentWex* Doc = Docs->NewDocument(20, 10);
    ASSERT_TRUE(Doc->SaveToFile(Tmp / "mine.srn"));
    Tmp.Put("theirs.srn", "theirs");
    Dialog.Answer = Tmp / "theirs.srn";
    EXPECT_FALSE(Doc->SaveAs());
    EXPECT_EQ(Tmp.Get("theirs.srn"), "theirs");
    EXPECT_EQ(Doc->FileName(), Tmp / "mine.srn");
    EXPECT_EQ(Asked, std::vector<std::string>{OverwriteQuestion(Tmp / "theirs.srn")});
}

TEST_F(DocumentSaveSafety, ASaveRemovesWhatAKilledSaveLeft)
{
    TOLEDocumentWex* Doc = Docs->NewDocument(20, 10);
    const std::string Name = Tmp / "doc.srn";
    ASSERT_TRUE(Doc->SaveToFile(Name));
    const std::string Whole = Tmp.Get("doc.srn");
    Tmp.Put("doc.srn.Qw3rT9", Whole.substr(0, 40));  // killed while writing
    Tmp.Put("doc.srn.000000", "");                    // killed before writing
    Tmp.Put("doc.srn.aB1cD2", Whole);                 // killed before the rename
    Tmp.Put("doc.srn.backup", "my notes");            // the user's own
    Tmp.Put("doc.srn.Zz9", Whole.substr(0, 40));      // not our pattern
    ASSERT_TRUE(Doc->SaveToFile(Name));
    std::vector<std::string> Left;
    for (const auto& E : fs::directory_iterator(Tmp.Dir))
        Left.push_back(E.path().filename().string());
    std::sort(Left.begin(), Left.end());
    EXPECT_EQ(Left, (std::vector<std::string>{"doc.bak", "doc.srn", "doc.srn.Zz9", "doc.srn.backup"}));
}

// A save really killed half way (by the file-size limit's signal, in a
// child process) leaves its temporary file; the next save removes it and
// nothing else, though the look-alikes hold the document's own bytes.
TEST_F(DocumentSaveSafety, TheNextSaveRemovesWhatAKilledSaveLeft)
{
    TOLEDocumentWex* Doc = Docs->NewDocument(20, 10);
    auto* Page = static_cast<TPage*>(Doc->GetPage(0));
    auto Line = std::make_unique<TPolyLineObj>(Page, -1);
    TrecPath Path;
    RecPolyLineSetCount(Path, 40000);
    for (int32_t I = 0; I < Path.Count; ++I) {
        Path.Points[I] = {I % 200, I / 200};
        Path.pabType[I] = I == 0 ? PT_MOVETO : PT_LINETO;
    }
    Line->SetPathRecord(Path);
    Page->RootGroup().AddChild(std::move(Line), -1);
    const std::string Name = Tmp / "doc.srn";
    ASSERT_TRUE(Doc->SaveToFile(Name));
    const std::string Whole = Tmp.Get("doc.srn");
    ASSERT_GT(Whole.size(), 300000u);
    for (const char* LookAlike : {"doc.srn.backup", "doc.srn.Ab3dE9x", "doc.srnAb3dE9", "other.srn.Ab3dE9"})
        Tmp.Put(LookAlike, Whole);

    std::fflush(nullptr);
    const pid_t Child = ::fork();
    if (Child == 0) {
        ::signal(SIGXFSZ, SIG_DFL);
        rlimit Limit{};
        ::getrlimit(RLIMIT_FSIZE, &Limit);
        Limit.rlim_cur = 200000;
        ::setrlimit(RLIMIT_FSIZE, &Limit);
        Doc->SaveToFile(Name);
        ::_exit(0);
    }
    int Status = 0;
    ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == SIGXFSZ);
    std::vector<std::string> Left;
    for (const auto& E : fs::directory_iterator(Tmp.Dir))
        if (E.path().filename().string().rfind("doc.srn.", 0) == 0 && E.file_size() == 200000)
            Left.push_back(E.path().filename().string());
    ASSERT_EQ(Left.size(), 1u);
    EXPECT_EQ(Tmp.Get("doc.srn"), Whole);

    ASSERT_TRUE(Doc->SaveToFile(Name));
    std::vector<std::string> Names;
    for (const auto& E : fs::directory_iterator(Tmp.Dir))
        Names.push_back(E.path().filename().string());
    std::sort(Names.begin(), Names.end());
    EXPECT_EQ(Names, (std::vector<std::string>{"doc.bak", "doc.srn", "doc.srn.Ab3dE9x", "doc.srn.backup",
                                               "doc.srnAb3dE9", "other.srn.Ab3dE9"}));
}

TEST_F(DocumentSaveSafety, AWriteThatFailsNamesTheFileAndTheSystemsReasonAndLeavesTheOldFile)
{
    TOLEDocumentWex* Doc = Docs->NewDocument(300, 200);
    const std::string Name = Tmp / "doc.srn";
    Tmp.Put("doc.srn", "the old document");
    // A file-size limit fails the write as a full disk would, with the
    // system's own reason.
    struct sigaction Ignore {}, Old {};
    Ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &Ignore, &Old);
    rlimit Limit {}, Kept {};
    ::getrlimit(RLIMIT_FSIZE, &Kept);
    Limit = Kept;
    Limit.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &Limit);
    std::string Message;
    try {
        Doc->SaveToFile(Name);
    } catch (const EWriteError& E) {
        Message = E.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &Kept);
    ::sigaction(SIGXFSZ, &Old, nullptr);
    EXPECT_EQ(Message, "ﾌｧｲﾙ " + Name + " の書き込みに失敗しました。(" + std::strerror(EFBIG) + ")");
    EXPECT_EQ(Tmp.Get("doc.srn"), "the old document");
    EXPECT_EQ(std::distance(fs::directory_iterator(Tmp.Dir), fs::directory_iterator()), 1);
}
