// Data objects as Qt MIME data and back, and Qt's drag events turned into
// drop-target calls.
#include "ole_test_support.h"

#include "model/object_test_support.h"

#include "platform/clipboard_formats.h"
#include "platform/cp932.h"
#include "platform/drop_files.h"
#include "ui/drop_target.h"
#include "ui/file_data_object.h"
#include "ui/ole2_color.h"
#include "ui/ole2_gradation.h"
#include "ui/ole2_light.h"
#include "ui/ole2_mac_paint.h"
#include "ui/ole2_pen.h"
#include "ui/ole_qt_bridge.h"

#include <QBuffer>
#include <QDropEvent>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace std::string_literals;

namespace {

// A 2 x 1 24-bit DIB: blue, green, red per pixel, rows padded to 4 bytes.
const std::string Dib = std::string("\x28\0\0\0" "\x02\0\0\0" "\x01\0\0\0" "\x01\0" "\x18\0" "\0\0\0\0" "\x08\0\0\0"
                                    "\0\0\0\0" "\0\0\0\0" "\0\0\0\0" "\0\0\0\0",
                                    40) +
                        "\x10\x20\x30\x40\x50\x60\0\0"s;

std::vector<QRgb> PixelsOf(const QImage& Image)
{
    std::vector<QRgb> P;
    for (int X = 0; X < Image.width(); ++X)
        P.push_back(Image.pixel(X, 0) | 0xFF000000u);
    return P;
}
const std::vector<QRgb> DibPixels{qRgb(0x30, 0x20, 0x10), qRgb(0x60, 0x50, 0x40)};

std::vector<uint16_t> EnumeratedFormats(IDataObject* D)
{
    std::vector<uint16_t> Formats;
    TComPtr<IEnumFORMATETC> E;
    D->EnumFormatEtc(DATADIR_GET, E);
    FORMATETC F;
    while (E->Next(1, &F, nullptr) == S_OK)
        Formats.push_back(F.cfFormat);
    return Formats;
}

QByteArray Utf16(const std::u16string& S)
{
    return QByteArray(reinterpret_cast<const char*>(S.data()), static_cast<qsizetype>(S.size() * 2));
}

} // namespace

TEST(OleQtBridge, FormatsAreOfferedAsMimeTypesAndRenderedOnlyWhenAsked)
{
    const uint16_t Pen = RegisterClipboardFormat("Tavro_Pen");
    const auto D = MakeCom<TBytesDataObject>(TBlocks{{CF_TEXT, "\x93\xfa\x96\x7b\0"s},
                                                     {CF_HDROP, DropFilesBytes({"/tmp/a b", "/tmp/c"})},
                                                     {CF_DIB, Dib},
                                                     {Pen, "pen"}});
    OleSetClipboard(D.Get());
    EXPECT_EQ(D->Renders, 0);
    const QMimeData* M = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(M->formats(), (QStringList{"text/plain", "text/uri-list", "application/x-tavro-dib", "image/bmp",
                                         "image/png", "application/x-tavro-Tavro_Pen"}));
    EXPECT_EQ(D->Renders, 0);
    EXPECT_EQ(StdOf(M->data("text/plain")), "日本");
    EXPECT_EQ(D->Renders, 1);
    EXPECT_EQ(StdOf(M->data("text/uri-list")), "file:///tmp/a%20b\r\nfile:///tmp/c\r\n");
    EXPECT_EQ(StdOf(M->data("application/x-tavro-dib")), Dib);
    EXPECT_EQ(StdOf(M->data("image/bmp")), "BM" "\x3e\0\0\0" "\0\0\0\0" "\x36\0\0\0"s + Dib);
    EXPECT_EQ(PixelsOf(QImage::fromData(M->data("image/png"), "PNG")), DibPixels);
    EXPECT_EQ(StdOf(M->data("application/x-tavro-Tavro_Pen")), "pen");
}

TEST(OleQtBridge, OtherProgramsDataAsADataObject)
{
    QByteArray Png;
    {
        QImage Image(2, 1, QImage::Format_RGB32);
        Image.setPixel(0, 0, DibPixels[0]);
        Image.setPixel(1, 0, DibPixels[1]);
        QBuffer B(&Png);
        B.open(QIODevice::WriteOnly);
        Image.save(&B, "PNG");
    }
    const uint16_t Url = RegisterClipboardFormat("UniformResourceLocator");
    const uint16_t Light = RegisterClipboardFormat("Zelbar Light");
    struct Case {
        std::vector<std::pair<QString, QByteArray>> Entries;
        std::vector<std::pair<uint16_t, std::string>> Blocks; // in enumeration order
    };
    for (const Case& C : {
             Case{{{"text/plain", "日本"}}, {{CF_TEXT, "\x93\xfa\x96\x7b\0"s}}},
             Case{{{"text/uri-list", "file:///tmp/a%20b\r\nhttp://example.com/x?q=1\r\n"}},
                  {{CF_HDROP, DropFilesBytes({"/tmp/a b"})}, {Url, "http://example.com/x?q=1\0"s}}},
             Case{{{"text/x-moz-url", Utf16(u"http://example.com/\nTitle")}}, {{Url, "http://example.com/\0"s}}},
             Case{{{"application/x-tavro-Zelbar Light", "x"}, {"text/html", "<b>"}}, {{Light, "x"}}},
             Case{{{"text/html", "<b>"}}, {}},
         }) {
        PutForeignClipboard(C.Entries);
        TComPtr<IDataObject> D;
        ASSERT_EQ(OleGetClipboard(D), S_OK);
        std::vector<std::pair<uint16_t, std::string>> Got;
        for (uint16_t F : EnumeratedFormats(D.Get()))
            Got.emplace_back(F, BlockOf(D.Get(), F));
        EXPECT_EQ(Got, C.Blocks) << C.Entries[0].first.toStdString();
    }

    PutForeignClipboard({{"image/png", Png}});
    TComPtr<IDataObject> D;
    OleGetClipboard(D);
    EXPECT_EQ(EnumeratedFormats(D.Get()), std::vector<uint16_t>{CF_DIB});
    const QByteArray Block = QByteArray::fromStdString(BlockOf(D.Get(), CF_DIB));
    EXPECT_EQ(Block.left(12), QByteArray("\x28\0\0\0\x02\0\0\0\x01\0\0\0", 12)); // 40-byte header, 2 x 1
    QByteArray Bmp;
    ASSERT_TRUE(BlockToMime(CF_DIB, Block, "image/bmp", Bmp));
    EXPECT_EQ(PixelsOf(QImage::fromData(Bmp, "BMP")), DibPixels);
}

TEST(OleQtBridge, DataThatIsGoneGivesNothing)
{
    auto Mime = std::make_unique<QMimeData>();
    Mime->setText("t");
    const auto D = MakeCom<TMimeDataObject>(Mime.get());
    EXPECT_EQ(BlockOf(D.Get(), CF_TEXT), "t\0"s);
    Mime.reset();
    EXPECT_EQ(BlockOf(D.Get(), CF_TEXT), "(none)");

    QGuiApplication::clipboard()->clear();
    TComPtr<IDataObject> Empty;
    ASSERT_EQ(OleGetClipboard(Empty), S_OK);
    EXPECT_EQ(EnumeratedFormats(Empty.Get()), std::vector<uint16_t>{});
}

class OleQtDrop : public ::testing::Test {
protected:
    void SetUp() override
    {
        Widget.move(100, 200);
        ASSERT_EQ(RegisterDragDrop(&Widget, Target.Get()), S_OK);
        Target->OnDragEnter = [this](IDataObject*, uint32_t Keys, POINTL P, uint32_t& Effect) {
            Log.push_back("enter " + std::to_string(Keys) + " " + std::to_string(Effect) + " " +
                          std::to_string(P.x) + "," + std::to_string(P.y));
        };
        Target->OnDragOver = [this](IDataObject*, uint32_t, POINTL, uint32_t& Effect) {
            Log.push_back("over " + std::to_string(Effect));
        };
        Target->OnDrop = [this](IDataObject* D, uint32_t, POINTL, uint32_t& Effect) {
            Log.push_back("drop " + std::to_string(Effect));
            Dropped = Read ? Read(D) : "";
        };
        Target->OnDragLeave = [this] { Log.push_back("leave"); };
    }
    void TearDown() override { RevokeDragDrop(&Widget); }

    // Enter, move and drop with the same buttons, keys and allowed actions;
    // the drop actions Qt was given ("-" where the event was refused).
    std::string Drag(const QMimeData& Mime, Qt::KeyboardModifiers Keys,
                     Qt::DropActions Allowed = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)
    {
        std::string Actions;
        const auto Note = [&](QDropEvent& E) {
            QCoreApplication::sendEvent(&Widget, &E);
            Actions += E.isAccepted() ? std::to_string(E.dropAction()) : "-";
        };
        QDragEnterEvent Enter(QPoint(3, 4), Allowed, &Mime, Qt::LeftButton, Keys);
        Note(Enter);
        QDragMoveEvent Move(QPoint(5, 6), Allowed, &Mime, Qt::LeftButton, Keys);
        Note(Move);
        QDropEvent Drop(QPointF(5, 6), Allowed, &Mime, Qt::NoButton, Keys);
        Note(Drop);
        return Actions;
    }

    static TComPtr<TDropTarget> NewTarget(uint16_t Format)
    {
        return MakeCom<TDropTarget>(TFormatEtcList{MakeFormatEtc(Format)});
    }

    QWidget Widget;
    TComPtr<TDropTarget> Target = NewTarget(CF_TEXT);
    std::vector<std::string> Log;
    std::function<std::string(IDataObject*)> Read;
    std::string Dropped;
};

TEST_F(OleQtDrop, EffectsFollowTheModifiersWithinWhatTheDragAllows)
{
    QMimeData Mime;
    Mime.setText("t");
    const Qt::DropActions CopyMove = Qt::CopyAction | Qt::MoveAction;
    struct Case {
        Qt::KeyboardModifiers Keys;
        Qt::DropActions Allowed;
        std::string Actions;
    };
    for (const Case& C : {Case{Qt::NoModifier, CopyMove, "222"}, Case{Qt::ControlModifier, CopyMove, "111"},
                          Case{Qt::ShiftModifier, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, "222"},
                          Case{Qt::ControlModifier | Qt::ShiftModifier, Qt::CopyAction | Qt::LinkAction, "444"},
                          Case{Qt::ControlModifier | Qt::ShiftModifier, Qt::CopyAction, "---"},
                          Case{Qt::AltModifier, Qt::CopyAction, "---"}})
        EXPECT_EQ(Drag(Mime, C.Keys, C.Allowed), C.Actions) << C.Keys.toInt();
    Log.clear();
    Drag(Mime, Qt::ControlModifier | Qt::AltModifier);
    // Left button (1), Ctrl (8) and Alt (0x20); points in screen coordinates.
    EXPECT_EQ(Log, (std::vector<std::string>{"enter 41 1 103,204", "over 1", "drop 1"}));
}

TEST_F(OleQtDrop, ADragWithoutAnAcceptedFormatIsRefusedThroughout)
{
    QMimeData Mime;
    Mime.setData("text/html", "<b>");
    EXPECT_EQ(Drag(Mime, Qt::ControlModifier), "---");
    EXPECT_EQ(Log, std::vector<std::string>{});

    Mime.setText("t");
    QDragEnterEvent Enter(QPoint(3, 4), Qt::CopyAction, &Mime, Qt::LeftButton, Qt::ControlModifier);
    QCoreApplication::sendEvent(&Widget, &Enter);
    QDragLeaveEvent Leave;
    QCoreApplication::sendEvent(&Widget, &Leave);
    EXPECT_EQ(Log, (std::vector<std::string>{"enter 9 1 103,204", "leave"}));
    EXPECT_EQ(Target->DataObject(), nullptr);
}

TEST_F(OleQtDrop, RegistrationHoldsTheTargetUntilRevoked)
{
    EXPECT_EQ(RegisterDragDrop(&Widget, Target.Get()), DRAGDROP_E_ALREADYREGISTERED);
    EXPECT_TRUE(Widget.acceptDrops());
    EXPECT_EQ(Target->RefCount(), 2u);
    EXPECT_EQ(RevokeDragDrop(&Widget), S_OK);
    EXPECT_EQ(Target->RefCount(), 1u);
    EXPECT_FALSE(Widget.acceptDrops());
    EXPECT_EQ(RevokeDragDrop(&Widget), DRAGDROP_E_NOTREGISTERED);
    QMimeData Mime;
    Mime.setText("t");
    Drag(Mime, Qt::NoModifier);
    EXPECT_EQ(Log, std::vector<std::string>{});
}

TEST(OleQtBridge, AWidgetWithChildrenIsRegisteredAndRevokedAlone)
{
    QWidget Widget;
    const QPointer<QWidget> Child = new QWidget(&Widget);
    const auto Target = MakeCom<TDropTarget>(TFormatEtcList{MakeFormatEtc(CF_TEXT)});
    EXPECT_EQ(RegisterDragDrop(&Widget, Target.Get()), S_OK);
    EXPECT_EQ(Target->RefCount(), 2u);
    EXPECT_EQ(RevokeDragDrop(&Widget), S_OK);
    EXPECT_EQ(Target->RefCount(), 1u);
    EXPECT_FALSE(Child.isNull());
}

TEST_F(OleQtDrop, EveryValueFormatArrivesThroughADrop)
{
    TTestMacroLibrary Library;
    const auto Red = TTestMacroLibrary::Get("Red");
    TStringList Files;
    Files.Add("/tmp/x y");
    const TrecPenData Pen{0x200, 3, {}, 1.5};
    QMimeData Url;
    Url.setData("text/x-moz-url", Utf16(u"https://example.com/a\nA"));
    struct Case {
        TComPtr<IDataObject> Data; // nil: drag Url
        uint16_t Format;
        std::function<std::string(IDataObject*)> Read;
        std::string Expected;
    };
    const auto Text = [](const TFormatEtcList& Formats) {
        return [Formats](IDataObject* D) {
            std::string S;
            TDataObject::GetDataString(D, S, Formats);
            return S;
        };
    };
    for (const Case& C : {
             Case{MakeCom<TOle2DataObjColorWex>(0x123456), CFWexColor(),
                  [](IDataObject* D) { return std::to_string(TOle2DataObjColorWex::GetColor(D)); }, "1193046"},
             Case{MakeCom<TOle2DataObjPenWex>(Pen), CFTavroPen(),
                  [](IDataObject* D) {
                      TrecPenData P{};
                      return TOle2DataObjPenWex::GetPen(D, P) ? std::to_string(P.Width) : "no pen";
                  },
                  "3"},
             Case{MakeCom<TDataObjectGradation>("Zelbar Gradation\r\ng"), CFZelbarGradation(),
                  Text(TDataObjectGradation::GetFormats()), "Zelbar Gradation\r\ng"},
             Case{MakeCom<TLightDataObject>("Zelbar Light\r\n光"), CFZelbarLight(), Text(TLightDataObject::GetFormats()),
                  "Zelbar Light\r\n光"},
             Case{MakeCom<TDataObjectMacPaint>(*Red), CFMacPaint().PaintMacro,
                  [](IDataObject* D) {
                      TMacro M;
                      return TDataObjectMacPaint::GetMacro(D, M) ? M.Name() : "no macro";
                  },
                  "Red"},
             Case{MakeCom<TFileDataObject>(Files), CF_HDROP,
                  [](IDataObject* D) {
                      TStringList L;
                      TFileDataObject::GetFileList(D, L);
                      return L.Count() == 1 ? L.Strings(0) : "no file";
                  },
                  "/tmp/x y"},
             Case{nullptr, CFUniformResourceLocator(), Text({MakeFormatEtc(CFUniformResourceLocator())}),
                  "https://example.com/a"},
         }) {
        RevokeDragDrop(&Widget);
        Target = NewTarget(C.Format);
        SetUp();
        Read = C.Read;
        Dropped.clear();
        const std::unique_ptr<QMimeData> Mime(C.Data ? new TOleMimeData(C.Data.Get()) : nullptr);
        EXPECT_EQ(Drag(Mime ? *Mime : Url, Qt::ControlModifier), "111") << C.Format;
        EXPECT_EQ(Dropped, C.Expected);
    }
}

// The offscreen platform refuses every drag at once; a real desktop runs it.
TEST(OleQtBridge, ARefusedDragIsCancelledAndLetsGoOfItsData)
{
    bool Gone = false;
    {
        const auto D = MakeCom<TBytesDataObject>(TBlocks{{CF_TEXT, "t\0"s}}, &Gone);
        uint32_t Effect = 7;
        EXPECT_EQ(DoDragDrop(D.Get(), nullptr, DROPEFFECT_COPY, Effect), DRAGDROP_S_CANCEL);
        EXPECT_EQ(Effect, DROPEFFECT_NONE);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(Gone);
}
