// The document registry and documents: names, captions, the close question,
// views, saving with a backup (write failures injected at every byte), opening.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/ini_file.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/document.h"
#include "model/layer.h"
#include "model/page.h"
#include "platform/message_box.h"
#include "platform/hostile_files.h"
#include "platform/regular_file.h"
#include "platform/test_support.h"

namespace {

class TRecView : public TSilentFormDoc {
public:
    std::string GetCaption() const override { return Caption; }
    void SetCaption(const std::string& C) override
    {
        Caption = C;
        ++CaptionSets;
    }
    void PageLayoutChanged() override { ++LayoutChanges; }
    void InvalidatePageRect(const TRect* R) override { WholeInvalidations += R ? 0 : 1; }
    void HistoryChanged() override { ++HistoryChanges; }
    void Release() override { ++Releases; }
    std::string Caption;
    int CaptionSets = 0, LayoutChanges = 0, WholeInvalidations = 0, HistoryChanges = 0, Releases = 0;
};

class TRecHistoryMenu : public THistoryMenuLink {
public:
    void Add(const std::string& FileName) override { Added.push_back(FileName); }
    std::vector<std::string> Added;
};

class TRecSaveDialog : public TSaveDialogLink {
public:
    bool Execute() override
    {
        SeenFileName = FileName;
        SeenInitialDir = InitialDir;
        ++Runs;
        if (!Answer.empty())
            FileName = Answer;
        return !Answer.empty();
    }
    std::string Answer;  // "" cancels
    std::string SeenFileName, SeenInitialDir;
    int Runs = 0;
};

struct TBoxCall {
    std::string Text, Caption;
    uint32_t Flags;
};

// Records every message box and answers through Answer (Cancel by default).
class TBoxRecorder {
public:
    TBoxRecorder()
    {
        FOld = SetMessageBoxHandler(
            [this](void*, const std::string& Text, const std::string& Caption, uint32_t Flags) {
                Calls.push_back({Text, Caption, Flags});
                return Answer ? Answer(Calls.back()) : IDCANCEL;
            });
    }
    ~TBoxRecorder() { SetMessageBoxHandler(FOld); }
    std::vector<TBoxCall> Calls;
    std::function<int(const TBoxCall&)> Answer;

private:
    TMessageBoxHandler FOld;
};

// Writes through to the file until Limit bytes have gone, then fails.
class TFailAfterStream : public TStream {
public:
    TFailAfterStream(TStream& Target, int64_t Limit) : FTarget(Target), FLeft(Limit) {}
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void* Buffer, int32_t Count) override
    {
        const int32_t N = static_cast<int32_t>(std::min<int64_t>(Count, FLeft));
        FLeft -= N;
        return N > 0 ? FTarget.Write(Buffer, N) : 0;
    }
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override { return FTarget.Seek(Offset, Origin); }

private:
    TStream& FTarget;
    int64_t FLeft;
};

class TFaultyDocument : public TDocument {
public:
    using TDocument::TDocument;
    int64_t FailAfter = -1;  // < 0: no failure

protected:
    void WriteDocumentFile(TStream& File) override
    {
        if (FailAfter < 0)
            return TDocument::WriteDocumentFile(File);
        TFailAfterStream S(File, FailAfter);
        SaveToStream(S);
    }
};

std::unique_ptr<TOLEDocumentWex> NewFaultyDocument(THistoryCommand* H, TOLEDocumentsWex* R)
{
    return std::make_unique<TFaultyDocument>(H, R);
}

std::vector<std::string> FolderEntries(const std::string& Dir)
{
    std::vector<std::string> Names;
    for (const auto& E : std::filesystem::directory_iterator(Dir))
        Names.push_back(E.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Docs = std::make_unique<TDocuments>("画像", "srn", nullptr, "4.0", "DirData",
                                            DocumentFileHeader);
        Docs->SetDocumentClass(&NewDocumentTDocument);
        TOLEDocumentsWex::SetDocumentHistoryMenuAndSaveDialog(&Recent, &Dialog);
    }
    void TearDown() override
    {
        Docs.reset();
        TOLEDocumentsWex::SetDocumentHistoryMenuAndSaveDialog(nullptr, nullptr);
    }
    TTempDir Tmp;
    TBoxRecorder Boxes;
    TRecHistoryMenu Recent;
    TRecSaveDialog Dialog;
    std::unique_ptr<TDocuments> Docs;
};

} // namespace

TEST_F(DocumentTest, DefaultNamesReuseFreedNumbersAndMisuseMessages)
{
    TOLEDocumentWex* A = Docs->NewDocument(40, 30);
    TOLEDocumentWex* B = Docs->NewDocument(40, 30);
    EXPECT_EQ(A->FileName(), "画像1");
    EXPECT_EQ(B->FileName(), "画像2");
    EXPECT_FALSE(A->Modified());
    ASSERT_EQ(A->GetPageCount(), 1);
    auto* Page = dynamic_cast<TPage*>(A->GetPage(0));
    ASSERT_NE(Page, nullptr);
    EXPECT_EQ((std::array{Page->Width(), Page->Height()}), (std::array{40, 30}));
    // The page's own unnamed layer, then the current "レイヤ１".
    const TLayers& Layers = *Page->GetLayers();
    ASSERT_EQ(Layers.GetCount(), 2);
    EXPECT_EQ(std::tuple(Layers.GetLayer(0)->Name, Layers.GetLayer(1)->Name, Layers.GetCurrent()),
              std::tuple("", "レイヤ１", Layers.GetLayer(1)));
    Docs->FreeDocument(A);
    EXPECT_EQ(Docs->NewDocument(10, 10)->FileName(), "画像1");
    EXPECT_EQ(Docs->NewDocument(10, 10)->FileName(), "画像3");
    // A saved document's name (with folder) does not hold its number.
    B->SetFileName(Tmp / "画像2.srn");
    EXPECT_EQ(Docs->NewDocument(10, 10)->FileName(), "画像2");
    EXPECT_EQ(Docs->GetCount(), 4);
    EXPECT_EQ(MessageOf<EUserError>([&] { Docs->SetPageClass(&NewPageTPage); }),
              "TDocumentsWex.SetPageClass: (FlstDocument.Count <> nil)");
    EXPECT_EQ(MessageOf<EUserError>([&] { Docs->SetDocumentClass(&NewDocumentTDocument); }),
              "TDocumentsWex.SetDocumentClass: (FlstDocument.Count <> nil)");
    THistoryCommand Foreign;
    EXPECT_EQ(MessageOf<EUserError>([&] { TDocument D(&Foreign, Docs.get()); }),
              "TOLEDocumentWex.Create: (HistoryCommand <> nil).");
    EXPECT_EQ(MessageOf<EUserError>([&] { B->Undo(0, nullptr, 0); }), "TOLEDocumentWex: Undo Not Supported.");
    EXPECT_EQ(MessageOf<EUserError>([&] { B->Redo(0, nullptr, 0); }), "TOLEDocumentWex: Redo Not Supported.");
}

TEST_F(DocumentTest, ModifiedFlagCaptionsAndChangeEvent)
{
    TOLEDocumentWex* Doc = Docs->NewDocument(20, 20);
    TRecView View;
    Doc->GetPage(0)->AddForm(&View);
    EXPECT_EQ(Doc->GetForms(), std::vector<TOLEFormDoc*>{&View});
    Doc->UpdateCaptions();
    EXPECT_EQ(View.Caption, "画像1");
    const int SetsBefore = View.CaptionSets;
    int Changes = 0;
    Doc->OnChange = [&](TOLEDocumentWex*) { ++Changes; };
    Doc->SetModified(true);
    Doc->SetModified(true);
    EXPECT_EQ(Changes, 2);
    EXPECT_EQ(View.CaptionSets, SetsBefore + 1);
    EXPECT_EQ(View.Caption, "画像1(変更)");
    Doc->SetFileName("/x/y/作品.v2.srn");
    EXPECT_EQ(View.Caption, "作品.v2(変更)");
    Doc->SetModified(false);
    EXPECT_EQ(View.Caption, "作品.v2");
    Doc->History()->CommandStart("c");
    Doc->History()->CommandEnd();
    EXPECT_GT(View.HistoryChanges, 0);
    Doc->GetPage(0)->RemoveForm(&View);
}

TEST_F(DocumentTest, CloseQuestionAndViewLifetimes)
{
    TOLEDocumentWex* Doc = Docs->NewDocument(20, 20);
    EXPECT_TRUE(Doc->CanClose());
    EXPECT_TRUE(Boxes.Calls.empty());
    Doc->SetModified(true);
    EXPECT_FALSE(Doc->CanClose());  // Cancel
    ASSERT_EQ(Boxes.Calls.size(), 1u);
    EXPECT_EQ(std::tie(Boxes.Calls[0].Text, Boxes.Calls[0].Caption, Boxes.Calls[0].Flags),
              std::tuple("画像1 は変更されています。保存しますか？", ApplicationTitle, MB_YESNOCANCEL | MB_ICONEXCLAMATION));
    Boxes.Answer = [](const TBoxCall&) { return IDNO; };
    EXPECT_TRUE(Doc->CanClose());
    EXPECT_TRUE(Docs->CanCloseAll());
    Doc->SetFileName("");
    EXPECT_EQ(Doc->CloseQueryText(), "(無題) は変更されています。保存しますか？");
    // Yes saves: an untitled document asks the dialog, which is cancelled.
    Doc->SetFileName("画像1");
    Boxes.Answer = [](const TBoxCall&) { return IDYES; };
    EXPECT_FALSE(Doc->CanClose());
    EXPECT_EQ(Dialog.Runs, 1);
    EXPECT_FALSE(Docs->CanCloseAll());
    // Only the last view asks.
    TRecView V1, V2;
    Doc->GetPage(0)->AddForm(&V1);
    EXPECT_EQ(MessageOf<EUserError>([&] { Doc->CanCloseForm(&V2); }),
              "TOLEDocumentWex.CanCloseForm: <> List.Items[0] <> pointer(Form)");
    Boxes.Answer = [](const TBoxCall&) { return IDNO; };
    const size_t Asked = Boxes.Calls.size();
    EXPECT_TRUE(Doc->CanCloseForm(&V1));
    EXPECT_EQ(Boxes.Calls.size(), Asked + 1);
    Doc->GetPage(0)->AddForm(&V2);
    EXPECT_TRUE(Doc->CanCloseForm(&V2));
    EXPECT_EQ(Boxes.Calls.size(), Asked + 1);
    Doc->GetPage(0)->RemoveForm(&V2);
    EXPECT_EQ(V2.Page(), nullptr);
    EXPECT_EQ(Docs->GetCount(), 1);
    Doc->GetPage(0)->RemoveForm(&V1);  // the last view frees the document
    EXPECT_EQ(Docs->GetCount(), 0);
    EXPECT_EQ(V1.Releases + V2.Releases, 0);
    // Freeing a document with a view detaches and releases it.
    TOLEDocumentWex* Doc2 = Docs->NewDocument(20, 20);
    TRecView V3;
    Doc2->GetPage(0)->AddForm(&V3);
    Docs->FreeDocument(Doc2);
    EXPECT_EQ(V3.Page(), nullptr);
    EXPECT_EQ(V3.Releases, 1);
    // A new document gets its window from the factory.
    static TRecView* Window;
    TRecView W;
    Window = &W;
    SetDocWindowFactory([](TOLEDocumentWex& D) -> TOLEFormDoc* {
        D.GetPage(0)->AddForm(Window);
        return Window;
    });
    TOLEDocumentWex* Doc3 = Docs->NewDocument(30, 20);
    SetDocWindowFactory(nullptr);
    EXPECT_EQ(W.Page(), Doc3->GetPage(0));
    EXPECT_GE(W.LayoutChanges, 1);
    Docs.reset();
    EXPECT_EQ(W.Releases, 1);
    EXPECT_EQ(W.Page(), nullptr);
}

TEST_F(DocumentTest, FileNamesCompareCanonicallyAndAreMadeUnique)
{
    std::filesystem::create_directories(Tmp / "a/b");
    std::filesystem::create_directory_symlink(Tmp / "a/b", Tmp / "link");
    TOLEDocumentWex* Doc = Docs->NewDocument(10, 10);
    Doc->SetFileName(Tmp / "a/b/x.srn");
    EXPECT_EQ(Docs->FindByFileName(Tmp / "a/b/../b/./x.srn"), Doc);
    EXPECT_EQ(Docs->FindByFileName(Tmp / "link/x.srn"), Doc);
    EXPECT_EQ(Docs->FindByFileName(Tmp / "a/b/X.srn"), nullptr);
    EXPECT_EQ(Docs->FindByFileName("x.srn"), nullptr);
    TOLEDocumentWex* Untitled = Docs->NewDocument(10, 10);
    EXPECT_EQ(Docs->FindByFileName("画像1"), Untitled);
    Doc->MakeUniqueFileName(Tmp / "photo.jpg");
    EXPECT_EQ(Doc->FileName(), Tmp / "photo.srn");
    Tmp.Put("photo.srn", "x");
    Untitled->SetFileName(Tmp / "photo_1.srn");
    Doc->MakeUniqueFileName(Tmp / "photo.jpg");
    EXPECT_EQ(Doc->FileName(), Tmp / "photo_2.srn");
}

TEST_F(DocumentTest, SaveAsRunsDialogAndKeepsLastFolder)
{
    TMemIniFile Ini(Tmp / "tavro.ini");
    Ini.WriteString("4.0", "DirData", Tmp.Dir + "/");
    TDocuments WithIni("画像", "srn", &Ini, "4.0", "DirData", DocumentFileHeader);
    TOLEDocumentWex* Doc = WithIni.NewDocument(30, 20);
    Doc->SetModified(true);
    std::filesystem::create_directory(Tmp / "out");
    Dialog.Answer = Tmp / "out/作品.srn";
    EXPECT_TRUE(Doc->Save());
    EXPECT_EQ(std::tie(Dialog.SeenFileName, Dialog.SeenInitialDir), std::tuple("画像1", Tmp.Dir + "/"));
    EXPECT_EQ(Doc->FileName(), Tmp / "out/作品.srn");
    EXPECT_FALSE(Doc->Modified());
    EXPECT_EQ(Ini.ReadString("4.0", "DirData", ""), Tmp / "out/");
    EXPECT_EQ(Recent.Added, std::vector<std::string>{Tmp / "out/作品.srn"});
    EXPECT_TRUE(std::filesystem::exists(Tmp / "out/作品.srn"));
    // Titled: Save writes without the dialog; Save As starts in its folder.
    Doc->SetModified(true);
    EXPECT_TRUE(Doc->Save());
    EXPECT_EQ(Dialog.Runs, 1);
    Dialog.Answer.clear();
    EXPECT_FALSE(Doc->SaveAs());
    EXPECT_EQ(std::tie(Dialog.SeenFileName, Dialog.SeenInitialDir), std::tuple("作品.srn", Tmp / "out/"));
    TOLEDocumentsWex::SetDocumentHistoryMenuAndSaveDialog(&Recent, nullptr);
    EXPECT_FALSE(Doc->SaveAs());
}

TEST_F(DocumentTest, SaveKeepsABackupAndOffersRetries)
{
    TOLEDocumentWex* Doc = Docs->NewDocument(30, 20);
    // A file that cannot be made.
    EXPECT_FALSE(Doc->SaveToFile(Tmp / "missing/pic.srn"));
    ASSERT_EQ(Boxes.Calls.size(), 1u);
    EXPECT_EQ(Boxes.Calls[0].Text, "ﾌｧｲﾙ " + (Tmp / "missing/pic.srn") + " の作成に失敗しました。");
    EXPECT_EQ(Doc->FileName(), "画像1");
    const std::string Name = Tmp / "pic.srn";
    ASSERT_TRUE(Doc->SaveToFile(Name));
    EXPECT_EQ(FolderEntries(Tmp.Dir), std::vector<std::string>{"pic.srn"});
    const std::string First = Tmp.Get("pic.srn");
    EXPECT_EQ(First.substr(0, 3), "TAV");
    static_cast<TOLECustomPage*>(Doc->GetPage(0))->SetDPI(96);
    ASSERT_TRUE(Doc->SaveToFile(Name));
    EXPECT_EQ(FolderEntries(Tmp.Dir), (std::vector<std::string>{"pic.bak", "pic.srn"}));
    EXPECT_EQ(Tmp.Get("pic.bak"), First);
    const std::string Saved = Tmp.Get("pic.srn");
    EXPECT_NE(Saved, First);
    EXPECT_EQ(Recent.Added.size(), 2u);
    // A folder in the backup's place cannot be removed as a file.
    std::filesystem::remove(Tmp / "pic.bak");
    std::filesystem::create_directories(Tmp / "pic.bak/inside");
    Doc->SetFileName(Tmp / "elsewhere.srn");
    Doc->SetModified(true);
    EXPECT_FALSE(Doc->SaveToFile(Name));
    ASSERT_EQ(Boxes.Calls.size(), 2u);
    EXPECT_EQ(Boxes.Calls[1].Text, "旧ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ " + (Tmp / "pic.bak") + " の削除に失敗しました。");
    EXPECT_EQ(Boxes.Calls[1].Flags, MB_RETRYCANCEL | MB_ICONERROR);
    EXPECT_EQ(std::tuple(Tmp.Get("pic.srn"), FolderEntries(Tmp.Dir), Doc->FileName(), Doc->Modified()),
              std::tuple(Saved, std::vector<std::string>{"pic.bak", "pic.srn"}, Tmp / "elsewhere.srn", true));
    // Retry after the obstacle is gone.
    Boxes.Answer = [&](const TBoxCall&) {
        std::filesystem::remove_all(Tmp / "pic.bak");
        return IDRETRY;
    };
    EXPECT_TRUE(Doc->SaveToFile(Name));
    EXPECT_EQ(Tmp.Get("pic.bak"), Saved);
    EXPECT_EQ(Doc->FileName(), Name);
}
TEST_F(DocumentTest, WriteFailureAtAnyByteLosesNothing)
{
    Docs->SetDocumentClass(&NewFaultyDocument);
    auto* Doc = static_cast<TFaultyDocument*>(Docs->NewDocument(64, 48));
    const std::string Name = Tmp / "safe.srn";
    ASSERT_TRUE(Doc->SaveToFile(Name));
    ASSERT_TRUE(Doc->SaveToFile(Name));  // now with a backup as well
    const std::string Saved = Tmp.Get("safe.srn");
    const std::string Bak = Tmp.Get("safe.bak");
    const std::vector<std::string> Entries = FolderEntries(Tmp.Dir);
    static_cast<TOLECustomPage*>(Doc->GetPage(0))->SetDPI(300);
    ASSERT_TRUE(Doc->Modified());
    TMemoryStream Whole;
    Doc->SaveToStream(Whole);
    const auto Size = static_cast<int64_t>(Whole.Size());
    ASSERT_GT(Size, 100);
    // A stream that stops taking bytes after N of them, then a real full disk
    // (the file cannot grow past N bytes).
    for (const bool RealDisk : {false, true}) {
        for (int64_t N = 0; N < Size; ++N) {
            Doc->FailAfter = RealDisk ? -1 : N;
            std::optional<TFileSizeLimit> Full;
            if (RealDisk)
                Full.emplace(N);
            EXPECT_THROW(Doc->SaveToFile(Name), Exception) << N;
            EXPECT_THROW(Doc->SaveToFile(Tmp / "other.srn"), Exception) << N;
            Full.reset();
            ASSERT_EQ(Tmp.Get("safe.srn"), Saved) << N;
            ASSERT_EQ(Tmp.Get("safe.bak"), Bak) << N;
            ASSERT_EQ(FolderEntries(Tmp.Dir), Entries) << N;
            ASSERT_TRUE(Doc->Modified());
            ASSERT_EQ(Doc->FileName(), Name);
        }
    }
    Doc->FailAfter = -1;
    ASSERT_TRUE(Doc->SaveToFile(Tmp / "other.srn"));
    EXPECT_EQ(Doc->FileName(), Tmp / "other.srn");
    EXPECT_FALSE(Doc->Modified());
}

TEST_F(DocumentTest, OpenReadsFileAndReportsMissingOne)
{
    TOLEDocumentWex* Doc = Docs->NewDocument(30, 20);
    static_cast<TOLECustomPage*>(Doc->GetPage(0))->SetBkColor(0x123456);
    const std::string Name = Tmp / "pic.srn";
    ASSERT_TRUE(Doc->SaveToFile(Name));
    auto Opened = std::make_unique<TDocument>(nullptr, Docs.get());
    Opened->SetFileName(Name);
    Opened->SetModified(true);
    Recent.Added.clear();
    Opened->Open();
    EXPECT_EQ(Opened->FileName(), Name);
    EXPECT_FALSE(Opened->Modified());
    ASSERT_EQ(Opened->GetPageCount(), 1);
    EXPECT_EQ((std::array{Opened->GetPage(0)->BkColor(), Opened->GetPage(0)->Width()}),
              (std::array{0x123456, 30}));
    EXPECT_EQ(Recent.Added, std::vector<std::string>{Name});
    // A damaged file changes nothing and writes nothing.
    const std::string Whole = Tmp.Get("pic.srn");
    for (size_t Cut : {size_t(0), size_t(7), Whole.size() / 2}) {
        Tmp.Put("cut.srn", Whole.substr(0, Cut));
        const std::vector<std::string> Entries = FolderEntries(Tmp.Dir);
        Opened->SetFileName(Tmp / "cut.srn");
        EXPECT_THROW(Opened->Open(), Exception) << Cut;
        EXPECT_EQ(Opened->GetPage(0)->BkColor(), 0x123456);
        EXPECT_FALSE(Opened->Modified());
        EXPECT_EQ(Tmp.Get("cut.srn"), Whole.substr(0, Cut));
        EXPECT_EQ(FolderEntries(Tmp.Dir), Entries);
    }
    EXPECT_EQ(Recent.Added.size(), 1u);
    auto Missing = std::make_unique<TDocument>(nullptr, Docs.get());
    Missing->SetFileName(Tmp / "none.srn");
    EXPECT_EQ(MessageOf<EUserError>([&] { Missing->Open(); }),
              (Tmp / "none.srn") + " を開けません。");
    EXPECT_EQ(Recent.Added.size(), 1u);
}

TEST_F(DocumentTest, CollectPicturesKeepsExtraReferences)
{
    TOLEDocumentWex* Doc = Docs->NewDocument(30, 20);
    TListRecPict* Store = Doc->GetPictureStore();
    int32_t Handles[2];
    for (int I = 0; I < 2; ++I) {
        TrecPicture P;
        RecPictureCreate(P, TPoint{0, 0}, 4 + I, 4, 24, false);
        std::fill_n(P.pBits, RecPictureGetImageSize(P), uint8_t(40 * I));
        Handles[I] = Store->AddPicture(-1, 0, 0, 0.0, TPoint{0, 0}, 4 + I, 4, 0, P, "");
        RecPictureClear(P);
    }
    Doc->ExtraPictures().Add(reinterpret_cast<void*>(intptr_t(Handles[1])));
    Doc->CollectPictures();
    EXPECT_EQ(Store->GetItemByHandle(Handles[0]), nullptr);
    EXPECT_NE(Store->GetItemByHandle(Handles[1]), nullptr);
}

TEST_F(DocumentTest, LoadGivesFirstViewItsNewPage)
{
    TMemoryStream Data;
    Docs->NewDocument(30, 20)->SaveToStream(Data);
    TOLEDocumentWex* Target = Docs->NewDocument(50, 50);
    TRecView View;
    Target->GetPage(0)->AddForm(&View);
    const int Layouts = View.LayoutChanges;
    Data.SetPosition(0);
    Target->LoadFromStream(Data);
    EXPECT_EQ(Docs->GetCount(), 2);  // not freed while its view changed pages
    ASSERT_EQ(Target->GetPageCount(), 1);
    EXPECT_EQ(View.Page(), Target->GetPage(0));
    EXPECT_EQ(Target->GetPage(0)->Width(), 30);
    EXPECT_EQ(Target->GetForms(), std::vector<TOLEFormDoc*>{&View});
    EXPECT_EQ(View.LayoutChanges, Layouts + 1);
    EXPECT_GE(View.WholeInvalidations, 1);
    Target->GetPage(0)->RemoveForm(&View);
}

// A save replaces only a regular file (through a link to one, the link
// kept, the backup beside the file); a pipe, device, socket or folder in the
// document's place is refused in the retry box, which says why, and left as
// it was, with no temporary file behind. So is one in the backup's place:
// the old backup goes only when it is a file or a link.
TEST_F(DocumentTest, ASaveReplacesOnlyAFileAndKeepsWhatIsNone)
{
    for (const bool AtBackup : {false, true})
        for (const THostileRow& Row : HostileRows(ErrNotRegularFile)) {
            SCOPED_TRACE(std::string(AtBackup ? "backup: " : "document: ") + Row.What);
            TTempDir Dir;
            std::vector<std::string> Pipes;
            const std::string Name = Dir / "f.srn";
            if (AtBackup)
                Dir.Put("f.srn", "old");
            MakeHostile(Dir.Dir, AtBackup ? "f.bak" : "f.srn", Row.Kind, Pipes);
            const auto Before = FolderPrint(Dir.Dir);
            TOLEDocumentWex* Doc = Docs->NewDocument(30, 20);
            Boxes.Calls.clear();
            const bool Saved = WithinDeadline([&] { return Doc->SaveToFile(Name); }, Pipes, "the save");
            const int Refused = AtBackup ? (Row.WriteError == EISDIR ? 0 : Row.WriteError) : Row.WriteError;
            if (Refused != 0) {
                EXPECT_FALSE(Saved);
                ASSERT_EQ(Boxes.Calls.size(), 1u);
                EXPECT_EQ(Boxes.Calls[0].Text,
                          AtBackup ? "旧ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ " + (Dir / "f.bak") + " の削除に失敗しました。(通常のファイルではありません)"
                                   : "ﾌｧｲﾙ " + Name + " の作成に失敗しました。(" + FileErrorText(Refused) + ")");
                EXPECT_EQ(Boxes.Calls[0].Flags, MB_RETRYCANCEL | MB_ICONERROR);
                EXPECT_EQ(FolderPrint(Dir.Dir), Before);
                EXPECT_NE(Doc->FileName(), Name);
            } else if (AtBackup && Row.WriteError == EISDIR) {
                EXPECT_FALSE(Saved);  // the folder: as it always was
            } else {
                EXPECT_TRUE(Saved);
                EXPECT_TRUE(Boxes.Calls.empty());
                std::string Bytes;
                EXPECT_EQ(ReadRegularFile(Name, Bytes), 0);
                EXPECT_EQ(Bytes.substr(0, 3), "TAV");
                EXPECT_EQ(std::filesystem::is_symlink(Name), !AtBackup && Row.Kind == THostileKind::LinkToFile);
                EXPECT_EQ(Doc->FileName(), Name);
                // The old file is the backup, beside the file itself (the
                // linked one is "f.srn-file", whose backup is "f.bak" too).
                const std::string Bak = Dir / "f.bak";
                if (AtBackup || Row.Kind != THostileKind::DanglingLink) {
                    EXPECT_EQ(ReadRegularFile(Bak, Bytes), 0);
                    EXPECT_EQ(Bytes, "old");
                    EXPECT_FALSE(std::filesystem::is_symlink(Bak));
                }
                // A link in the backup's place went, not the file it named.
                if (AtBackup && Row.Kind == THostileKind::LinkToFile)
                    EXPECT_EQ(Dir.Get("f.bak-file"), "old");
            }
            Doc->SetModified(false);
        }
}
