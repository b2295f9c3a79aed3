// Opening documents by every road: the menu through its dialog, the recent
// list, the command line, the DDE stand-in over a real local socket,
// dropped files and URLs (HTTP from a local server), pictures as picture
// rectangles, and the batch conversion to BMP.
#include "shell_test_support.h"

#include "editors/frm_plt_color.h"
#include "foundation/user_error.h"
#include "paint/fill_value.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "platform/global_memory.h"
#include "platform/qt/dde_server.h"
#include "raster/picture_file.h"
#include "shell/http_get.h"
#include "shell/tavro_action.h"
#include "ui/history_menu.h"
#include "ui/ole2_color.h"
#include "ui/ole_qt_bridge.h"
#include "ui/preview_dialogs.h"
#include "ui/rv_clip_detector.h"

#include <QClipboard>
#include <QDropEvent>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <fstream>
#include <functional>

namespace {

// Writes a 256-colour BMP of W x H whose pixel (x, y) has palette entry
// (x + y) mod 4 of red, green, blue, white.
void WriteIndexedBmp(const std::string& Path, int W, int H)
{
    QImage Img(W, H, QImage::Format_Indexed8);
    Img.setColorTable({qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)});
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            Img.setPixel(X, Y, uint((X + Y) % 4));
    ASSERT_TRUE(Img.save(QString::fromStdString(Path), "BMP"));
}

// Answers every request with Response (nothing at all when it is empty).
class THttpServer {
public:
    explicit THttpServer(QByteArray Response) : FResponse(std::move(Response))
    {
        EXPECT_TRUE(FServer.listen(QHostAddress::LocalHost));
        QObject::connect(&FServer, &QTcpServer::newConnection, &FServer, [this] {
            while (QTcpSocket* S = FServer.nextPendingConnection())
                QObject::connect(S, &QTcpSocket::readyRead, S, [this, S] {
                    if (!S->readAll().isEmpty() && !FResponse.isEmpty()) {
                        if (BeforeAnswer)
                            BeforeAnswer();
                        S->write(FResponse);
                        S->disconnectFromHost();
                    }
                });
        });
    }
    std::string Url(const char* Path) const
    {
        return "http://127.0.0.1:" + std::to_string(FServer.serverPort()) + "/" + Path;
    }
    // Runs while the request waits for its answer.
    std::function<void()> BeforeAnswer;

private:
    QTcpServer FServer;
    QByteArray FResponse;
};

QByteArray HttpResponse(const std::string& Body, bool WithLength = true)
{
    QByteArray R = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n";
    if (WithLength)
        R += "Content-Length: " + QByteArray::number(qsizetype(Body.size())) + "\r\n";
    return R + "\r\n" + QByteArray::fromStdString(Body);
}

class TOpenTest : public TFrameTest {
protected:
    void SetUp() override
    {
        TFrameTest::SetUp();
        Doc = Tmp / "doc.srn";
        SaveDocumentFile(Doc, 2);
    }
    // Drags Mime onto the frame and drops it: the action the frame took.
    Qt::DropAction Drop(QMimeData& Mime)
    {
        const QPoint P(Frame->width() / 2, Frame->height() / 2);
        const Qt::DropActions Allowed = Qt::CopyAction | Qt::LinkAction;
        QDragEnterEvent Enter(P, Allowed, &Mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Frame.get(), &Enter);
        if (!Enter.isAccepted())
            return Qt::IgnoreAction;
        QDropEvent Dropped(QPointF(P), Allowed, &Mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Frame.get(), &Dropped);
        return Dropped.isAccepted() ? Dropped.dropAction() : Qt::IgnoreAction;
    }
    static void SetUrl(QMimeData& Mime, const std::string& Url)
    {
        const QString U = QString::fromStdString(Url);
        if (U.startsWith("file:")) {
            // A file address as a browser drags it: not a file list.
            const std::u16string Moz = (U + "\nlink").toStdU16String();
            Mime.setData("text/x-moz-url", QByteArray(reinterpret_cast<const char*>(Moz.data()),
                                                      qsizetype(Moz.size() * 2)));
        } else {
            Mime.setUrls({QUrl(U)});
        }
        Mime.setText(U);
    }
    int32_t ItemCount() const { return ActivePage() ? ActivePage()->RootGroup().GetCount() : -1; }

    std::string Doc;
};

TEST_F(TOpenTest, MenuOpenThroughTheDialogReplacesTheUntitledDocument)
{
    AppIniFile().WriteString("4.0", "DirData", Tmp.Dir);
    Start();
    QString SeenDir;
    QTimer::singleShot(0, Frame->dlgOpen(), [&] {
        SeenDir = Frame->dlgOpen()->directory().absolutePath();
        ChooseFile(Frame->dlgOpen(), Doc);
    });
    Frame->actOpen->trigger();
    Settle();
    EXPECT_EQ(SeenDir.toStdString(), Tmp.Dir);
    EXPECT_EQ(DocNames(), std::vector<std::string>{"doc.srn"});
    EXPECT_EQ(ItemCount(), 2);
    EXPECT_EQ(Frame->DocWindows().size(), 1u);
    EXPECT_EQ(Setting("DirData"), Tmp.Dir + "/");
    ASSERT_GE(Frame->HistoryMenu->List().Count(), 1);
    EXPECT_EQ(Frame->HistoryMenu->List().Strings(0), Doc);

    // From the recent list once the window is closed; the entry is "&0 " + name.
    Frame->actClose->trigger();
    Settle();
    ASSERT_TRUE(gDocuments->GetCount() == 0);
    QAction* Entry = nullptr;
    for (QAction* A : Frame->menuBar()->actions().first()->menu()->actions())
        if (A->text() == QString::fromStdString("&0 " + Doc))
            Entry = A;
    ASSERT_NE(Entry, nullptr);
    Entry->trigger();
    EXPECT_EQ(DocNames(), std::vector<std::string>{"doc.srn"});
    EXPECT_EQ(ItemCount(), 2);
}

// A document saved under another extension (a typed "mydoc.png") is known
// by its first bytes, when opened directly and from the recent list.
TEST_F(TOpenTest, ADocumentUnderAnotherExtensionOpensAsADocument)
{
    Start();
    for (const char* Name : {"mydoc.png", "mydoc.BMP", "mydoc"}) {
        SaveDocumentFile(Tmp / Name, 3);
        Frame->OpenFile(Tmp / Name);
        EXPECT_TRUE(Boxes.empty()) << Name;
        ASSERT_FALSE(DocNames().empty());
        EXPECT_EQ(DocNames().back(), Name);
        EXPECT_EQ(ItemCount(), 3) << Name;
        Frame->actClose->trigger();
        Settle();
    }
    ASSERT_EQ(gDocuments->GetCount(), 0);
    const std::string Png = Tmp / "mydoc.png";
    QAction* Entry = nullptr;
    for (QAction* A : Frame->menuBar()->actions().first()->menu()->actions())
        if (A->text() == QString::fromStdString("&2 " + Png))
            Entry = A;
    ASSERT_NE(Entry, nullptr);
    Entry->trigger();
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(DocNames(), std::vector<std::string>{"mydoc.png"});
    EXPECT_EQ(ItemCount(), 3);
}

TEST_F(TOpenTest, ImageMenuRemembersThePictureFolder)
{
    WriteIndexedBmp(Tmp / "pic.bmp", 6, 4);
    Start();
    QTimer::singleShot(0, Frame->dlgOpenImage(), [&] {
        ChooseFile(Frame->dlgOpenImage(), Tmp / "pic.bmp");
    });
    Frame->actOpenImage->trigger();
    Settle();
    EXPECT_EQ(DocNames(), std::vector<std::string>{"pic.srn"});
    EXPECT_EQ(Setting("DirGrph"), Tmp.Dir + "/");
}

TEST_F(TOpenTest, CommandLineOpensDocumentsAndPictures)
{
    WriteIndexedBmp(Tmp / "pic.bmp", 6, 4);
    Start({QString::fromStdString(Doc), QString::fromStdString(Tmp / "pic.bmp")});
    EXPECT_EQ(DocNames(), (std::vector<std::string>{"doc.srn", "pic.srn"}));
    EXPECT_EQ(Frame->DocWindows().size(), 2u);
    // Opening it again activates its window and reads nothing.
    Frame->OpenFile(Doc);
    EXPECT_EQ(gDocuments->GetCount(), 2);
    EXPECT_EQ(Frame->ActiveDocWindow()->Page(), gDocuments->GetDocument(0)->GetPage(0));
}

TEST_F(TOpenTest, CommandLineOfDdeOpensNothingItself)
{
    for (const char* Flag : {"/E", "-e"}) {
        Start({Flag, QString::fromStdString(Doc)});
        EXPECT_EQ(DocNames(), std::vector<std::string>{"画像1"}) << Flag;
        Close();
    }
}

TEST_F(TOpenTest, AFailingFileOfTheCommandLineIsReportedAndStartUpGoesOn)
{
    Tmp.Put("bad.srn", "not a document");
    Start({QString::fromStdString(Tmp / "bad.srn"), QString::fromStdString(Doc)});
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, Tmp / "bad.srn" + " の読み込みに失敗しました。\nデータ形式が違います。");
    EXPECT_EQ(Boxes[0].Caption, "エラー");
    EXPECT_EQ(DocNames(), std::vector<std::string>{"doc.srn"});
    // Start-up went to its end.
    EXPECT_TRUE(frmPltColor && frmObjProperty);
    EXPECT_NE(Frame->DropTarget(), nullptr);
    EXPECT_TRUE(bool(Frame->ClipDetector()->OnClipChange()));
}

TEST_F(TOpenTest, AModifiedUntitledDocumentStays)
{
    Start();
    ActivePage()->SetPageSize(30, 30);
    Frame->OpenFile(Doc);
    EXPECT_EQ(DocNames(), (std::vector<std::string>{"画像1", "doc.srn"}));
    gDocuments->GetDocument(0)->SetModified(false);
}

TEST(Dde, OpenCommandShape)
{
    struct TCase {
        const char* Text;
        bool Taken;
        const char* Path;
    };
    const TCase Cases[] = {
        {"[open(\"/a/b.srn\")]\r\n", true, "/a/b.srn"},
        {"[OPEN(\"/a/b.srn\")]\r\n", true, "/a/b.srn"},
        {"[open(\"\")]\r\n", true, ""},
        // Eleven characters: the prefix and the end would share the quote.
        {"[open(\")]\r\n", false, ""},
        {"[open(\"/a/b.srn\")]", false, ""},
        {"[open(\"/a/b.srn\")\r\n", false, ""},
        {"[print(\"/a/b.srn\")]\r\n", false, ""},
    };
    for (const TCase& C : Cases) {
        std::string Path = "(untouched)";
        EXPECT_EQ(DdeOpenPath(C.Text, Path), C.Taken) << C.Text;
        if (C.Taken) {
            EXPECT_EQ(Path, C.Path) << C.Text;
        }
    }
}

TEST_F(TOpenTest, DroppedFilesOpen)
{
    WriteIndexedBmp(Tmp / "pic.bmp", 6, 4);
    Start();
    QMimeData Mime;
    Mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(Doc)),
                  QUrl::fromLocalFile(QString::fromStdString(Tmp / "pic.bmp"))});
    EXPECT_EQ(Drop(Mime), Qt::CopyAction);
    EXPECT_EQ(DocNames(), (std::vector<std::string>{"doc.srn", "pic.srn"}));
}

TEST_F(TOpenTest, DroppedFileAddressesPasteTheirTextOrOpenTheDocument)
{
    Start();
    Tmp.Put("items.txt", DrawItemText(3));
    Tmp.Put("other.txt", "hello\r\n" + DrawItemText(1));
    struct TCase {
        std::string Url;
        int64_t Cap;
        int32_t Items; // on the untitled page afterwards
        bool Error;
    };
    const std::string Items = "file://" + (Tmp / "items.txt");
    const TCase Cases[] = {
        {Items, 1 << 20, 3, false},
        {Items, 40, 3, true},                            // larger than the cap
        {"file://" + (Tmp / "other.txt"), 1 << 20, 3, true}, // not draw items
        {"file://" + (Tmp / "missing.txt"), 1 << 20, 3, true},
        {"ftp://host/x", 1 << 20, 3, false},             // another scheme: nothing
    };
    for (const TCase& C : Cases) {
        Boxes.clear();
        Frame->DroppedFileMaxBytes = C.Cap;
        QMimeData Mime;
        SetUrl(Mime, C.Url);
        EXPECT_EQ(Drop(Mime), Qt::LinkAction) << C.Url;
        EXPECT_EQ(ItemCount(), C.Items) << C.Url;
        EXPECT_EQ(Boxes.size(), C.Error ? 1u : 0u) << C.Url;
        if (C.Error && !Boxes.empty()) {
            EXPECT_EQ(Boxes[0].Text, "データの読み込みに失敗しました");
        }
    }
    EXPECT_EQ(ActivePage()->HistoryCommand()->UndoCaption(), "図形の貼り付け");
    // A document's address opens it: by ".srn", or by its first bytes under
    // any other name.
    std::filesystem::copy_file(Doc, Tmp / "CAPS.SRN");
    QMimeData Caps;
    SetUrl(Caps, "file://" + (Tmp / "CAPS.SRN"));
    Boxes.clear();
    Drop(Caps);
    EXPECT_TRUE(Boxes.empty());
    QMimeData Srn;
    SetUrl(Srn, "file://" + Doc);
    Drop(Srn);
    EXPECT_EQ(DocNames(), (std::vector<std::string>{"画像1", "CAPS.SRN", "doc.srn"}));
    gDocuments->GetDocument(0)->SetModified(false);
}

TEST_F(TOpenTest, DroppedWebAddressIsFetchedAndPasted)
{
    THttpServer Server(HttpResponse(DrawItemText(2)));
    Start();
    QMimeData Mime;
    SetUrl(Mime, Server.Url("items"));
    EXPECT_EQ(Drop(Mime), Qt::LinkAction);
    EXPECT_EQ(ItemCount(), 2);
    EXPECT_TRUE(Boxes.empty());
    gDocuments->GetDocument(0)->SetModified(false);
    // Without a document window nothing is fetched.
    Frame->actClose->trigger();
    Settle();
    QMimeData Again;
    SetUrl(Again, Server.Url("items"));
    Drop(Again);
    EXPECT_EQ(gDocuments->GetCount(), 0);
}

// The fetch waits for its answer with the event loop running: a document
// handed over meanwhile opens and becomes the active one, and what was
// fetched still goes to the window the address was dropped on.
TEST_F(TOpenTest, AFetchGoesToTheWindowTheAddressWasDroppedOn)
{
    THttpServer Server(HttpResponse(DrawItemText(3)));
    const std::string Other = Tmp / "other.srn";
    SaveDocumentFile(Other, 1);
    Start({QString::fromStdString(Doc)});
    TDocWindow* Dropped = Frame->ActiveDocWindow();
    ASSERT_TRUE(Dropped);
    Server.BeforeAnswer = [&] {
        EXPECT_TRUE(HandOver({"-e", QString::fromStdString(Other)}));
        EXPECT_TRUE(WaitUntil([&] { return DocNames().size() == 2; }));
    };
    QMimeData Mime;
    SetUrl(Mime, Server.Url("items"));
    EXPECT_EQ(Drop(Mime), Qt::LinkAction);
    EXPECT_EQ(DocNames(), (std::vector<std::string>{"doc.srn", "other.srn"}));
    EXPECT_NE(Frame->ActiveDocWindow(), Dropped);
    EXPECT_EQ(ItemCount(), 1) << "pasted into the document handed over";
    EXPECT_EQ(Dropped->DrawingPage()->RootGroup().GetCount(), 5);
    EXPECT_TRUE(Boxes.empty());
    gDocuments->GetDocument(0)->SetModified(false);
}

TEST(Http, TimeOutAndSizeCap)
{
    const std::string Body(300, 'x');
    THttpServer Full(HttpResponse(Body));
    EXPECT_EQ(HttpGet(Full.Url("a"), 5000, 300), Body);
    EXPECT_EQ(MessageOf<EUserError>([&] { HttpGet(Full.Url("a"), 5000, 299); }),
              Full.Url("a") + " のデータが大きすぎます。");
    THttpServer Unsized(HttpResponse(Body, false));
    EXPECT_EQ(MessageOf<EUserError>([&] { HttpGet(Unsized.Url("b"), 5000, 100); }),
              Unsized.Url("b") + " のデータが大きすぎます。");
    THttpServer Silent{QByteArray()};
    EXPECT_EQ(MessageOf<EUserError>([&] { HttpGet(Silent.Url("c"), 150, 100); }),
              Silent.Url("c") + " の取得が時間切れになりました。");
    THttpServer Missing("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(MessageOf<EUserError>([&] { HttpGet(Missing.Url("d"), 5000, 100); }).rfind(Missing.Url("d") + " を取得できません: ", 0), 0u);
}

TEST_F(TOpenTest, APictureBecomesAPictureRectangleFilledByTheBlurFill)
{
    WriteIndexedBmp(Tmp / "pic.bmp", 6, 4);
    Start();
    Frame->OpenFile(Tmp / "pic.bmp");
    ASSERT_EQ(DocNames(), std::vector<std::string>{"pic.srn"});
    TOLEDocumentWex* D = gDocuments->GetDocument(0);
    auto* Page = dynamic_cast<TPage*>(D->GetPage(0));
    EXPECT_EQ(Page->Width(), 6);
    EXPECT_EQ(Page->Height(), 4);
    ASSERT_EQ(Page->RootGroup().GetCount(), 1);
    auto* Rect = dynamic_cast<TRectObj*>(Page->RootGroup().GetItem(0));
    ASSERT_NE(Rect, nullptr);
    EXPECT_EQ(std::vector<int32_t>({Rect->X(), Rect->Y(), Rect->Width(), Rect->Height()}),
              std::vector<int32_t>({0, 0, 6, 4}));
    EXPECT_EQ(Rect->FillPath(), 1);
    EXPECT_EQ(Rect->Layer(), Page->GetLayers()->GetCurrent());
    ASSERT_EQ(Rect->Macros().Count(), 1);
    EXPECT_EQ(Rect->Macros().GetMacro(0)->Name(), "塗り(ボカシ)");
    std::string Method;
    ASSERT_TRUE(Rect->Macros().GetMacro(0)->GetParamValue("塗り方法", Method));
    TFillPictParam Param;
    ASSERT_EQ(Method.substr(0, 2), "41");
    StrToFillPictParam(Method.substr(2), Param);
    EXPECT_EQ(Param.iWidth, 6);
    EXPECT_EQ(Param.iHeight, 4);
    const TListRecPictItem* Item = D->GetPictureStore()->GetItemByHandle(Param.iHandle);
    ASSERT_NE(Item, nullptr);
    const BITMAPINFOHEADER* H = RecPictureHeader(Item->Picture);
    EXPECT_EQ(H->biBitCount, 24);
    // Top-left pixel is palette entry 0 (red); rows are bottom-up, BGR.
    const uint8_t* TopRow = Item->Picture.pBits + 3 * CalcLineBytes(6, 24);
    EXPECT_EQ(TopRow[0], 0);
    EXPECT_EQ(TopRow[2], 255);
    gDocuments->GetDocument(0)->SetModified(false);
}

TEST_F(TOpenTest, AMissingBlurFillFreesEachPictureBlockOnce)
{
    WriteIndexedBmp(Tmp / "pic.bmp", 6, 4);
    Start();
    const size_t Blocks = GlobalBlockCount();
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    std::string Info;
    TPictureInfo PI{};
    ASSERT_EQ(LoadPicture(Tmp / "pic.bmp", Header, Bits, 1, nullptr, 0, false, Info, PI), lpOK);
    std::unique_ptr<TMacroLibrary> Saved = std::move(gMacroLibrary);
    gMacroLibrary = std::make_unique<TMacroLibrary>();
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MessageOf<EUserError>([&] { Frame->OpenImageFile(Header, Bits, Tmp / "pic.bmp"); }),
              "TfrmTavro.OpenImageFile: gslstMacroPaint.IndexOf(strMacroName) < 0");
    gMacroLibrary = std::move(Saved);
    EXPECT_NE(GetLastError(), ERROR_INVALID_HANDLE);
    Settle();
    EXPECT_EQ(GlobalBlockCount(), Blocks);
    // The untitled document is still there, alone.
    EXPECT_EQ(DocNames(), std::vector<std::string>{"画像1"});
}

TEST_F(TOpenTest, ConvertToBmpWritesTheFirstPageBesideTheDocument)
{
    Start();
    Frame->ConvertFileToBmp(Doc);
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    ASSERT_EQ(LoadBmpFile(Tmp / "doc.bmp", Header, Bits), lpOK);
    const auto* H = static_cast<const BITMAPINFOHEADER*>(Header);
    EXPECT_EQ(H->biWidth, 120);
    EXPECT_EQ(H->biHeight, 80);
    EXPECT_EQ(H->biBitCount, 24);
    GlobalFree(Header);
    GlobalFree(Bits);
    EXPECT_TRUE(Boxes.empty());
    Frame->ConvertFileToBmp(Tmp / "none.srn");
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, Tmp / "none.srn" + " の変換に失敗しました。");
    EXPECT_EQ(DocNames(), std::vector<std::string>{"画像1"});
}

// The bytes of the file at Path.
std::string FileBytes(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
}

TEST_F(TOpenTest, ConvertToBmpAsksBeforeReplacingAPicture)
{
    // The person's own picture beside the document, and a second document
    // whose picture does not exist yet.
    const std::string Photo = Tmp / "doc.bmp";
    WriteIndexedBmp(Photo, 6, 4);
    const std::string Own = FileBytes(Photo);
    SaveDocumentFile(Tmp / "next.srn", 1);
    AppIniFile().WriteString("4.0", "DirData", Tmp.Dir);
    Start();
    struct TCase {
        int Answer;
        bool Replaced;
        bool NextConverted;
    };
    for (const TCase& C : {TCase{IDNO, false, true}, TCase{IDCANCEL, false, false}, TCase{IDYES, true, true}}) {
        std::filesystem::remove(Tmp / "next.bmp");
        std::vector<std::pair<TBox, uint32_t>> Asked;
        TMessageBoxHandler Old = SetMessageBoxHandler([&](void*, const std::string& Text, const std::string& Caption,
                                                         uint32_t Flags) {
            Asked.push_back({{Text, Caption}, Flags});
            return C.Answer;
        });
        QTimer::singleShot(0, Frame->dlgOpen(), [&] {
            ChooseFile(Frame->dlgOpen(), "\"doc.srn\" \"next.srn\"");
        });
        Frame->actConvertToBmp->trigger();
        SetMessageBoxHandler(Old);
        ASSERT_EQ(Asked.size(), 1u) << C.Answer;
        EXPECT_EQ(Asked[0].first.Text, Photo + " は既に存在します。上書きしますか？");
        EXPECT_EQ(Asked[0].first.Caption, "タヴロ");
        EXPECT_EQ(Asked[0].second, MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON2);
        EXPECT_EQ(FileBytes(Photo) == Own, !C.Replaced) << C.Answer;
        EXPECT_EQ(std::filesystem::exists(Tmp / "next.bmp"), C.NextConverted) << C.Answer;
    }
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    ASSERT_EQ(LoadBmpFile(Photo, Header, Bits), lpOK);
    EXPECT_EQ(static_cast<const BITMAPINFOHEADER*>(Header)->biWidth, 120);
    GlobalFree(Header);
    GlobalFree(Bits);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(TOpenTest, PasteStaysAsTheClipboardSaysWhenDocumentsOpen)
{
    // Plain text, then a colour, then drawing items on the clipboard; a new
    // document and an opened one each time.
    const std::vector<std::pair<std::function<void()>, bool>> Clips = {
        {[] { QGuiApplication::clipboard()->setText("plain"); }, false},
        {[] { OleSetClipboard(MakeCom<TOle2DataObjColorWex>(0x00336699).Get()); }, false},
        {[] { QGuiApplication::clipboard()->setText(QString::fromStdString(DrawItemText(1))); }, true},
    };
    Start();
    for (const auto& [Put, Pastable] : Clips) {
        Put();
        QTest::qWait(1);
        ASSERT_EQ(Frame->actPaste->isEnabled(), Pastable);
        Frame->actNew->trigger();
        EXPECT_EQ(Frame->actPaste->isEnabled(), Pastable) << "new document";
        Frame->OpenFile(Doc);
        EXPECT_EQ(Frame->actPaste->isEnabled(), Pastable) << "opened document";
        Frame->actClose->trigger();
        Settle();
        EXPECT_EQ(Frame->actPaste->isEnabled(), Pastable) << "closed document";
    }
}

} // namespace
