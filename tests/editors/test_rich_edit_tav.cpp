#include "editors/rich_edit_q.h"
#include "editors/rich_edit_tav.h"
#include "editors/rtf_tav_data_obj.h"

#include "editors/picker_test_support.h"
#include "model/draw_test_doubles.h"
#include "model/text_object.h"
#include "foundation/numbers.h"
#include "platform/cp932.h"
#include "platform/fonts.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>

namespace {

std::string Sjis(const std::string& Utf8) { return Utf8ToCp932(Utf8); }

TrecCharAttr Attr(int32_t Size, uint8_t Bold = 0)
{
    TrecCharAttr A;
    SetCharAttrFaceName(A, "DejaVu Sans");
    A.Size = Size;
    A.Bold = Bold;
    return A;
}

// A text object on a page with a history, shown in a bound control; its
// characters have sizes 20, 21, 22, ... so that every style differs.
struct TBound {
    explicit TBound(const std::string& Utf8)
    {
        Text.SetText(Sjis(Utf8));
        TListCharStyle& S = Text.RichText().Styles;
        for (int32_t I = 0, N = 0; I < S.Count(); ++I)
            if (TCharStyle* C = S.GetItem(I))
                C->Attr = Attr(20 + N++);
        Binding.SetTextObj(&Text);
        Binding.OnChange = [this] { ++Changes; };
    }
    // The object's stream: its text and every style, byte for byte.
    std::vector<uint8_t> Stream()
    {
        TMemoryStream S;
        Text.WriteToStream(S);
        const auto* P = static_cast<const uint8_t*>(S.Memory());
        return std::vector<uint8_t>(P, P + S.Size());
    }
    std::string Shown() const { return Utf8ToCp932(Control.toPlainText().replace('\n', "\r\n").toStdString()); }
    void Send(QInputMethodEvent& E) { QApplication::sendEvent(&Control, &E); }
    // Edit as one step that undoes to the stream before it.
    void ExpectUndoRestores(const std::vector<uint8_t>& Before, const std::string& Caption)
    {
        EXPECT_EQ(Page.History.UndoCaption(), Caption);
        Page.History.Undo();
        EXPECT_EQ(Stream(), Before) << Caption;
    }

    TTestPage Page;
    TTextObj Text{&Page, -1};
    TRichEditWex Control;
    TRichEditTav Binding{&Control};
    int Changes = 0;
};

TEST(RichEditTav, PositionsMapToBytesAndBack)
{
    const std::string T = Sjis("aあ\r\nb\nc");  // a, あ (2 bytes), CR LF, b, lone LF, c
    const int32_t Positions[] = {0, 1, 1, 2, 2, 3, 4, 5, 6};
    for (int32_t Byte = 0; Byte <= 8; ++Byte)
        EXPECT_EQ(TControlTextMap::PositionOfByte(T, Byte), Positions[Byte]) << Byte;
    const int32_t Bytes[] = {0, 1, 3, 5, 6, 7, 8, 8};
    for (int32_t Pos = 0; Pos < 8; ++Pos)
        EXPECT_EQ(TControlTextMap::ByteOfPosition(T, Pos), Bytes[Pos]) << Pos;
    EXPECT_EQ(TControlTextMap::ControlText(T), QString::fromUtf8("aあ\nb\nc"));
    std::string Back;
    ASSERT_TRUE(TControlTextMap::Cp932Text(QString::fromUtf8("aあ\nb\r\nc"), Back));
    EXPECT_EQ(Back, Sjis("aあ\r\nb\r\nc"));
    EXPECT_FALSE(TControlTextMap::Cp932Text(QString::fromUtf8("a😀"), Back));
    EXPECT_TRUE(Back.empty());
}

TEST(RichEditTav, DeletingAtEitherByteRemovesTheWholeCharacter)
{
    struct TCase {
        int32_t Index;
        const char* Left;
    } const Cases[] = {
        {1, "aい\r\nb"}, {2, "aい\r\nb"},  // lead and trail byte of あ
        {5, "aあいb"}, {6, "aあいb"},      // CR and LF
        {0, "あい\r\nb"}, {7, "aあい\r\n"},
    };
    for (const TCase& C : Cases) {
        TBound B("aあい\r\nb");
        const auto Before = B.Stream();
        B.Binding.RunCommand("edit", [&] { B.Binding.DeleteAChar(C.Index); });
        EXPECT_EQ(B.Text.Text(), Sjis(C.Left)) << C.Index;
        EXPECT_EQ(B.Shown(), Sjis(C.Left)) << C.Index;
        EXPECT_EQ(B.Changes, 1);
        B.ExpectUndoRestores(Before, "edit");
    }
}

TEST(RichEditTav, InsertingAtAnyByteNeverSplitsACharacter)
{
    struct TCase {
        int32_t Byte;
        const char* After;
    } const Cases[] = {
        {1, "azあ\r\nb"}, {2, "azあ\r\nb"},  // lead and trail byte of あ
        {3, "aあz\r\nb"}, {4, "aあz\r\nb"},  // CR and LF
        {5, "aあ\r\nzb"},
    };
    for (const TCase& C : Cases) {
        TBound B("aあ\r\nb");
        const auto Before = B.Stream();
        B.Binding.SetSelection(C.Byte, 0);
        B.Binding.RunCommand("edit", [&] { B.Binding.InsertText("z", true); });
        EXPECT_EQ(B.Text.Text(), Sjis(C.After)) << C.Byte;
        EXPECT_EQ(B.Shown(), Sjis(C.After)) << C.Byte;
        B.ExpectUndoRestores(Before, "edit");
    }
}

TEST(RichEditTav, KeysEditTheTextObjectFirst)
{
    TBound B("aあ\r\nb");
    struct TStep {
        int32_t Caret;
        Qt::Key Key;
        const char* Text;
        const char* After;
        const char* Caption;
    } const Steps[] = {
        {3, Qt::Key_X, "x", "aあx\r\nb", "１文字挿入"},       // before CR
        {6, Qt::Key_Y, "y", "aあx\r\nyb", "１文字挿入"},      // after LF
        {4, Qt::Key_Return, "\r", "aあx\r\n\r\nyb", "改行の挿入"},
        {6, Qt::Key_Backspace, "", "aあx\r\nyb", "１文字削除"},  // the break before the caret
        {1, Qt::Key_Delete, "", "ax\r\nyb", "１文字削除"},       // あ
    };
    for (const TStep& S : Steps) {
        const auto Before = B.Stream();
        B.Binding.SetSelection(S.Caret, 0);
        QKeyEvent E(QEvent::KeyPress, S.Key, Qt::NoModifier, QString::fromLatin1(S.Text));
        QApplication::sendEvent(&B.Control, &E);
        EXPECT_EQ(B.Text.Text(), Sjis(S.After)) << S.After;
        EXPECT_EQ(B.Shown(), Sjis(S.After)) << S.After;
        const auto After = B.Stream();
        B.ExpectUndoRestores(Before, S.Caption);
        B.Page.History.Redo();
        EXPECT_EQ(B.Stream(), After);
        B.Binding.SetTextObj(&B.Text);
    }
    // "x" took the insertion style: that of あ (21), before the caret.
    EXPECT_EQ(B.Text.RichText().Styles.GetItem(1)->Attr.Size, 21);
}

TEST(RichEditTav, InputMethodCommitsAndCompositionsAreCommands)
{
    TBound B("abcd");
    const auto Start = B.Stream();
    B.Binding.SetSelection(1, 2);  // "bc"
    int ImeEdits = 0;
    B.Binding.OnImeEdit = [&] { ++ImeEdits; };
    QInputMethodEvent Preedit(QString::fromUtf8("かん"), {});
    B.Send(Preedit);
    EXPECT_TRUE(B.Binding.Composing());
    EXPECT_EQ(B.Text.Text(), "ad");  // the preedit never reaches the text object
    EXPECT_EQ(B.Page.History.UndoCaption(), "選択範囲の削除");
    QInputMethodEvent Commit;
    Commit.setCommitString(QString::fromUtf8("漢字"));
    B.Send(Commit);
    EXPECT_FALSE(B.Binding.Composing());
    EXPECT_EQ(B.Text.Text(), Sjis("a漢字d"));
    EXPECT_EQ(B.Shown(), Sjis("a漢字d"));
    EXPECT_EQ(ImeEdits, 2);
    EXPECT_EQ(B.Text.RichText().Styles.GetItem(2), nullptr);  // trail byte
    ASSERT_NE(B.Text.RichText().Styles.GetItem(3), nullptr);
    B.Page.History.Undo();
    EXPECT_EQ(B.Text.Text(), "ad");
    B.ExpectUndoRestores(Start, "選択範囲の削除");
    // A commit without composition inserts at the caret.
    B.Binding.SetTextObj(&B.Text);
    B.Binding.SetSelection(4, 0);
    const auto Before = B.Stream();
    QInputMethodEvent Direct;
    Direct.setCommitString(QString::fromUtf8("語"));
    B.Send(Direct);
    EXPECT_EQ(B.Text.Text(), Sjis("abcd語"));
    B.ExpectUndoRestores(Before, "文字列の挿入");
}

TEST(RichEditTav, CharactersCp932CannotHoldAreRefused)
{
    TBound B("ab");
    TBoxRecorder Boxes;
    const auto Before = B.Stream();
    B.Binding.SetSelection(1, 0);
    QInputMethodEvent Commit;
    Commit.setCommitString(QString::fromUtf8("x😀"));
    B.Send(Commit);
    QKeyEvent Key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("€"));
    QApplication::sendEvent(&B.Control, &Key);
    EXPECT_FALSE(B.Binding.InsertControlText(QString::fromUtf8("\xF0\x9F\x8E\x89"), true));
    EXPECT_EQ(Boxes.Texts.size(), 3u);
    EXPECT_EQ(B.Stream(), Before);
    EXPECT_EQ(B.Shown(), "ab");
    EXPECT_EQ(B.Page.History.UndoCaption(), "");
}

TEST(RichEditTav, ZoomLeavesStoredSizesAlone)
{
    TBound B("a\r\nあb");
    const auto Before = B.Stream();
    const double At100 = B.Control.document()->begin().begin().fragment().charFormat().fontPointSize();
    B.Binding.SetZoom(50);
    EXPECT_NEAR(B.Control.document()->begin().begin().fragment().charFormat().fontPointSize(), At100 / 2, 0.05);
    B.Binding.SetZoom(250);
    B.Binding.SetZoom(100);
    EXPECT_EQ(B.Stream(), Before);
    EXPECT_DOUBLE_EQ(B.Control.document()->begin().begin().fragment().charFormat().fontPointSize(), At100);
}

TEST(RichEditTav, SelectionAttributesAreRecordedInPoints)
{
    TBound B("aあ\r\nb");
    B.Binding.SetSelection(0, 6);
    struct TSet {
        const char* Name;
        std::function<void(TTextAttributesTavroSel&)> Set;
    } const Sets[] = {
        {"size", [](TTextAttributesTavroSel& A) { A.SetSize(36); }},
        {"bold", [](TTextAttributesTavroSel& A) { A.SetBold(true); }},
        {"italic", [](TTextAttributesTavroSel& A) { A.SetItalic(true); }},
        {"base", [](TTextAttributesTavroSel& A) { A.SetBase(-3); }},
        {"spacing", [](TTextAttributesTavroSel& A) { A.SetSpacing(1.5); }},
    };
    for (const TSet& S : Sets) {
        const auto Before = B.Stream();
        B.Binding.RunCommand(S.Name, [&] { S.Set(B.Binding.SelAttributes()); });
        EXPECT_NE(B.Stream(), Before) << S.Name;
        const auto After = B.Stream();
        B.ExpectUndoRestores(Before, S.Name);
        B.Page.History.Redo();
        EXPECT_EQ(B.Stream(), After);
    }
    const int32_t Dpi = B.Binding.ScreenDpi();
    // Read out by value: the record is packed, and no reference may bind to its fields.
    const TrecCharAttr& A = B.Text.RichText().Styles.GetItem(5)->Attr;
    const int32_t Size = A.Size, Rise = A.Rise, Bold = A.Bold;
    EXPECT_EQ(Size, static_cast<int32_t>(RoundOff(Dpi / 72.0 * 36)));
    EXPECT_EQ(Rise, static_cast<int32_t>(RoundOff(Dpi / 72.0 * -3)));
    EXPECT_EQ(Bold, 1);
    EXPECT_EQ(B.Binding.SelAttributes().ConsistentBaseSpacing(), 3);
    B.Binding.SetSelection(0, 1);
    B.Binding.SelAttributes().SetBase(2);
    B.Binding.SetSelection(0, 6);
    EXPECT_EQ(B.Binding.SelAttributes().ConsistentBaseSpacing(), 2);
}

TEST(RichEditTav, DropsPasteThroughTheTextObjectAndBusyEditsNotifyNothing)
{
    TBound B("ab");
    int Selections = 0;
    B.Binding.OnSelectionChange = [&] { ++Selections; };
    B.Binding.SetSelection(1, 0);
    EXPECT_EQ(Selections, 1);
    B.Binding.InsertText("x", true);  // moves the caret while busy
    EXPECT_EQ(Selections, 1);
    B.Control.resize(300, 100);
    B.Control.show();
    QMimeData Mime;
    Mime.setText(QStringLiteral("dropped"));
    const QPointF End = B.Control.cursorRect(B.Control.textCursor()).center() + QPointF(200, 0);
    for (bool Allow : {false, true}) {
        B.Control.SetAllowOLEDragDrop(Allow);
        // Qt hands a drop to the widget that took the drag's entry.
        QDragEnterEvent Enter(End.toPoint(), Qt::CopyAction | Qt::MoveAction, &Mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(B.Control.viewport(), &Enter);
        EXPECT_EQ(Enter.isAccepted(), Allow);
        QDropEvent Drop(End, Qt::CopyAction | Qt::MoveAction, &Mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(B.Control.viewport(), &Drop);
        EXPECT_EQ(Drop.isAccepted(), Allow);
        if (Allow)
            EXPECT_EQ(Drop.dropAction(), Qt::CopyAction);  // the source never deletes
        EXPECT_EQ(B.Text.Text(), Allow ? "axbdropped" : "axb");
        EXPECT_EQ(B.Shown(), B.Text.Text());
    }
    EXPECT_EQ(B.Page.History.UndoCaption(), "貼り付け");
    // The text object is stored as the control shows it.
    B.Text.SetPathState(1);
    B.Binding.StoreText(&B.Text);
    EXPECT_EQ(B.Text.Text(), "axbdropped");
    EXPECT_EQ(B.Text.BasePathState(), 0);
}

// The block of "aあbc": four styled characters in five bytes.
TEST(RtfTavDataObj, BlockLayout)
{
    TRTFTav R;
    R.Text = Sjis("aあbc");
    R.Styles.InsertText(0, R.Text, Attr(30));
    const std::vector<uint8_t> B = WriteRtfTavBlock(R);
    ASSERT_EQ(B.size(), 4u + 8 + 200 + 6);
    EXPECT_EQ(B[0], 5);
    EXPECT_EQ(std::vector<uint8_t>(B.begin() + 4, B.begin() + 12), (std::vector<uint8_t>{1, 1, 0, 1, 1, 0, 0, 0}));
    EXPECT_EQ(std::memcmp(B.data() + 12, &R.Styles.GetItem(0)->Attr, CharAttrSize), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(B.data()) + 212), R.Text);
    TRTFTav Back;
    ASSERT_TRUE(ReadRtfTavBlock(B.data(), B.size(), Attr(9), 96, Back));
    EXPECT_EQ(Back.Text, R.Text);
    EXPECT_EQ(WriteRtfTavBlock(Back), B);
}

TEST(RtfTavDataObj, ReaderTrustsNoSize)
{
    TRTFTav R;
    R.Text = Sjis("aあ\r\nb");
    R.Styles.InsertText(0, R.Text, Attr(30));
    const std::vector<uint8_t> Good = WriteRtfTavBlock(R);
    auto With = [&](auto Change) {
        std::vector<uint8_t> B = Good;
        Change(B);
        return B;
    };
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Block;
        bool Read;
    } const Cases[] = {
        {"whole", Good, true},
        {"rounded-up block", With([](auto& B) { B.resize(B.size() + 16, 0xAA); }), true},
        {"no terminator", With([](auto& B) { B.pop_back(); }), false},
        {"records cut", With([](auto& B) { B.resize(40); }), false},
        {"header only", With([](auto& B) { B.resize(3); }), false},
        {"length beyond", With([](auto& B) { B[1] = 0x40; }), false},
        {"negative length", With([](auto& B) { B[3] = 0x80; }), false},
        {"a flag too many", With([](auto& B) { B[4 + 2] = 1; }), false},  // trail byte: one more record
        {"zero in text", With([](auto& B) { B[B.size() - 3] = 0; }), false},
    };
    for (const TCase& C : Cases) {
        TRTFTav Out;
        Out.Text = "old";
        EXPECT_EQ(ReadRtfTavBlock(C.Block.data(), C.Block.size(), Attr(9), 96, Out), C.Read) << C.Name;
        EXPECT_EQ(Out.Text, C.Read ? R.Text : "") << C.Name;
    }
}

TEST(RtfTavDataObj, ReaderGivesStylesOnlyToCharacters)
{
    // "aあ\r\nb" with flags on the trail byte and on CR instead of on あ and b.
    std::vector<uint8_t> B = {6, 0, 0, 0, 1, 0, 1, 1, 0, 0, 0, 0};
    TrecCharAttr Long = Attr(30);
    std::memset(Long.FaceName, 'F', sizeof Long.FaceName);  // no terminating zero
    for (int I = 0; I < 3; ++I)
        B.insert(B.end(), reinterpret_cast<const uint8_t*>(&Long), reinterpret_cast<const uint8_t*>(&Long) + CharAttrSize);
    const std::string T = Sjis("aあ\r\nb");
    B.insert(B.end(), T.begin(), T.end());
    B.push_back(0);
    TRTFTav Out;
    ASSERT_TRUE(ReadRtfTavBlock(B.data(), B.size(), Attr(9), 96, Out));
    ASSERT_EQ(Out.Styles.Count(), 6);
    EXPECT_EQ(CharAttrFaceName(Out.Styles.GetItem(0)->Attr), std::string(31, 'F'));
    for (int32_t I : {2, 3, 4})
        EXPECT_EQ(Out.Styles.GetItem(I), nullptr) << I;
    for (int32_t I : {1, 5}) {
        ASSERT_NE(Out.Styles.GetItem(I), nullptr) << I;
        EXPECT_EQ(Out.Styles.GetItem(I)->Attr.Size, 9) << I;  // the insertion style
    }
}

TEST(RichEditTav, CopyAndPasteCarryStyles)
{
    TBound B("aあ\r\nb");
    B.Binding.SetSelection(0, 3);  // "aあ"
    QKeyEvent Copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, QStringLiteral("\x03"));
    QApplication::sendEvent(&B.Control, &Copy);
    const QMimeData* M = QApplication::clipboard()->mimeData();
    ASSERT_NE(M, nullptr);
    EXPECT_TRUE(M->hasFormat(QStringLiteral("application/x-tavro-Wex_RtfTav")));
    EXPECT_TRUE(M->hasHtml());
    EXPECT_EQ(M->text(), QString::fromUtf8("aあ"));
    const TrecCharAttr First = B.Text.RichText().Styles.GetItem(1)->Attr;

    B.Binding.SetSelection(7, 0);
    const auto Before = B.Stream();
    QKeyEvent Paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
    QApplication::sendEvent(&B.Control, &Paste);
    EXPECT_EQ(B.Text.Text(), Sjis("aあ\r\nbaあ"));
    EXPECT_EQ(B.Shown(), B.Text.Text());
    ASSERT_NE(B.Text.RichText().Styles.GetItem(7), nullptr);
    EXPECT_EQ(std::memcmp(&B.Text.RichText().Styles.GetItem(7)->Attr, &First, CharAttrSize), 0);
    B.ExpectUndoRestores(Before, "貼り付け");

    // Other programs' rich text: its bold and its size (at the zoom) come back.
    B.Binding.SetTextObj(&B.Text);
    B.Binding.SetSelection(0, 0);
    QMimeData Html;
    Html.setHtml(QStringLiteral("<b style=\"font-size:24pt\">Q</b>"));
    Html.setText(QStringLiteral("plain"));
    B.Binding.PasteFromMime(&Html);
    ASSERT_NE(B.Text.RichText().Styles.GetItem(0), nullptr);
    const TrecCharAttr& Q = B.Text.RichText().Styles.GetItem(0)->Attr;
    EXPECT_EQ(B.Text.Text()[0], 'Q');
    EXPECT_EQ(Q.Bold, 1);
    EXPECT_EQ(Q.Size, static_cast<int32_t>(std::floor(B.Binding.ScreenDpi() * 24 / 72.0 + 0.5)));
    // Plain text takes the insertion style.
    QMimeData Plain;
    Plain.setText(QStringLiteral("zz"));
    B.Binding.PasteFromMime(&Plain);
    EXPECT_EQ(B.Text.Text().substr(0, 3), "Qzz");
    EXPECT_EQ(B.Text.RichText().Styles.GetItem(2)->Attr.Size, B.Binding.SelAttributes().InsertionStyle().Size);
}

} // namespace

namespace {

// A block of Text in which every character has the style Style.
std::vector<uint8_t> BlockOf(const std::string& Utf8, const TrecCharAttr& Style)
{
    TRTFTav R;
    R.Text = Sjis(Utf8);
    R.Styles.InsertText(0, R.Text, Style);
    return WriteRtfTavBlock(R);
}

TrecCharAttr With(int32_t Size, int32_t Rise, int32_t Extra)
{
    TrecCharAttr A = Attr(Size);
    A.Rise = Rise;
    A.ExtraAdvance = Extra;
    return A;
}

// The ink (darkness summed over the pixels) of the control showing "あいA"
// in Attr.
int64_t InkOf(const TrecCharAttr& A)
{
    TRichEditWex Control;
    TRichEditTav Binding{&Control};
    Control.resize(A.Size * 5, A.Size * 3);
    QTextCursor C(Control.document());
    C.insertText(QString::fromUtf8("あいA"), Binding.CharFormatOf(A));
    const QImage I = Control.viewport()->grab().toImage();
    int64_t Ink = 0;
    for (int Y = 0; Y < I.height(); ++Y)
        for (int X = 0; X < I.width(); ++X)
            Ink += 255 - qGray(I.pixel(X, Y));
    return Ink;
}

} // namespace

// Sizes, rises and advances are read only where the text page could set
// them: below 1000 points at the edit's resolution (1333 pixels at 96).
TEST(RtfTavDataObj, ReaderRefusesWhatTheModelCannotDraw)
{
    struct TCase {
        const char* Name;
        TrecCharAttr Style;
        int32_t Dpi;
        bool Read;
    } const Cases[] = {
        {"ordinary", With(30, 5, -3), 96, true},
        {"largest size", With(1333, 0, 0), 96, true},
        {"size of 1000 points", With(1334, 0, 0), 96, false},
        {"size at twice the resolution", With(2666, 0, 0), 192, true},
        {"huge size", With(2147483647, 0, 0), 96, false},
        {"no size", With(0, 0, 0), 96, false},
        {"negative size", With(-20, 0, 0), 96, false},
        {"rise up", With(20, 1334, 0), 96, false},
        {"rise down", With(20, -1334, 0), 96, false},
        {"lowest rise", With(20, -1333, 0), 96, true},
        {"advance", With(20, 0, 1334), 96, false},
        {"advance back", With(20, 0, -2147483647 - 1), 96, false},
    };
    for (const TCase& C : Cases) {
        const std::vector<uint8_t> B = BlockOf("aあb", C.Style);
        TRTFTav Out;
        EXPECT_EQ(ReadRtfTavBlock(B.data(), B.size(), Attr(9), C.Dpi, Out), C.Read) << C.Name;
        EXPECT_EQ(Out.Text, C.Read ? Sjis("aあb") : "") << C.Name;
    }
    // A record on a trail byte is skipped, but it is still judged.
    std::vector<uint8_t> B = BlockOf("あ", Attr(20));
    B[4 + 1] = 1;
    const TrecCharAttr Huge = With(2147483647, 0, 0);
    B.insert(B.begin() + 8 + CharAttrSize, reinterpret_cast<const uint8_t*>(&Huge),
             reinterpret_cast<const uint8_t*>(&Huge) + CharAttrSize);
    TRTFTav Out;
    EXPECT_FALSE(ReadRtfTavBlock(B.data(), B.size(), Attr(9), 96, Out));
}

namespace {

QMimeData* RtfTavMime(const std::vector<uint8_t>& Block, const QString& Text)
{
    auto* M = new QMimeData;
    CFWexRtfTav();
    M->setData(QStringLiteral("application/x-tavro-Wex_RtfTav"),
               QByteArray(reinterpret_cast<const char*>(Block.data()), qsizetype(Block.size())));
    M->setText(Text);
    return M;
}

} // namespace

// A refused paste changes nothing, not even the selection it would have
// replaced, records nothing and says why once.
TEST(RichEditTav, RefusedPastesChangeNothingAndSayWhy)
{
    const std::vector<uint8_t> Huge = BlockOf("HUGE", With(2147483647, 0, 0));
    std::vector<uint8_t> Long = BlockOf("x", Attr(20));
    Long[0] = 0x01, Long[1] = 0x40, Long[2] = 0x00, Long[3] = 0x00;  // 16385 bytes claimed
    const QString LongText(MaxTextObjectBytes + 1, QLatin1Char('x'));
    QMimeData LongHtml;
    LongHtml.setHtml(QString(MaxPasteHtmlBytes + 1, QLatin1Char('y')));
    QMimeData HugeHtml;
    HugeHtml.setHtml(QStringLiteral("<span style=\"font-size:99999pt\">Q</span>"));
    const std::string Refused = "クリップボードの文字は読み込めないか、大きさや位置が範囲外のため、貼り付けできません。";
    const std::string TooLong = "貼り付けるテキストが長すぎます。\r\n貼り付けられるのはシフトJISで16384バイトまでです。";
    std::unique_ptr<QMimeData> HugeMime(RtfTavMime(Huge, QStringLiteral("HUGE")));
    std::unique_ptr<QMimeData> LongMime(RtfTavMime(Long, QStringLiteral("x")));
    std::unique_ptr<QMimeData> Unreadable(RtfTavMime({1, 2, 3}, QStringLiteral("x")));
    QMimeData Plain;
    Plain.setText(LongText);
    struct TCase {
        const char* Name;
        const QMimeData* Mime;
        std::string Message;
    } const Cases[] = {
        {"characters of 2^31 pixels", HugeMime.get(), Refused},
        {"unreadable block", Unreadable.get(), Refused},
        {"block past the length limit", LongMime.get(), TooLong},
        {"plain text past the limit", &Plain, TooLong},
        {"html past the limit", &LongHtml, TooLong},
        {"html of 99999 points", &HugeHtml, Refused},
    };
    for (const TCase& C : Cases) {
        TBound B("ab");
        B.Binding.SetSelection(1, 1);
        const auto Before = B.Stream();
        TBoxRecorder Boxes;
        B.Binding.RunCommand("貼り付け", [&] { B.Binding.PasteFromMime(C.Mime); });
        EXPECT_EQ(Boxes.Texts, std::vector<std::string>{C.Message}) << C.Name;
        EXPECT_EQ(B.Stream(), Before) << C.Name;
        EXPECT_EQ(B.Shown(), "ab") << C.Name;
        int32_t Start = 0, Length = 0;
        B.Binding.GetSelection(Start, Length);
        EXPECT_EQ(Start, 1) << C.Name;
        EXPECT_EQ(Length, 1) << C.Name;
        EXPECT_EQ(B.Page.History.UndoCaption(), "") << C.Name;
    }
}

// A text of exactly the limit is pasted as one step, in linear time.
TEST(RichEditTav, ATextOfTheLimitIsPasted)
{
    TBound B("ab");
    B.Binding.SetSelection(1, 1);
    const auto Before = B.Stream();
    QMimeData Plain;
    Plain.setText(QString(MaxTextObjectBytes, QLatin1Char('x')));
    TBoxRecorder Boxes;
    B.Binding.RunCommand("貼り付け", [&] { B.Binding.PasteFromMime(&Plain); });
    EXPECT_TRUE(Boxes.Texts.empty());
    EXPECT_EQ(B.Text.Text(), "a" + std::string(MaxTextObjectBytes, 'x'));
    EXPECT_EQ(B.Shown(), B.Text.Text());
    B.ExpectUndoRestores(Before, "貼り付け");
}

// A face without a bold file shows bold at every size, as the page draws it
// (Qt's engine would stop emboldening at 64 pixels).
TEST(RichEditTav, ASynthesisedBoldShowsAtEverySize)
{
    if (!InstalledFonts().Find("IPAPGothic"))
        GTEST_SKIP() << "no IPA P Gothic here";
    for (int32_t Size : {36, 60, 64, 80, 120}) {
        TrecCharAttr A = Attr(Size);
        SetCharAttrFaceName(A, Sjis("IPA Pゴシック"));
        const int64_t Regular = InkOf(A);
        A.Bold = 1;
        const int64_t Bold = InkOf(A);
        // Emboldening adds about half again as much ink.
        EXPECT_GT(Bold, Regular * 5 / 4) << Size;
    }
}

namespace {

// Every paste is held to what typing puts in: control characters (Tab among
// them) are left out with their styles; a character no typing gives refuses
// the styled block whole.
TEST(RichEditTav, PastedTextKeepsToWhatTypingPutsIn)
{
    const QString RtfTavFormat = QStringLiteral("application/x-tavro-Wex_RtfTav");
    auto Block = [](const std::string& Cp932) {
        TRTFTav R;
        R.Text = Cp932;
        R.Styles.InsertSpace(0, static_cast<int32_t>(Cp932.size()));
        for (int32_t I = 0; I < static_cast<int32_t>(Cp932.size()); ++I) {
            auto S = std::make_unique<TCharStyle>();
            S->Attr = Attr(30 + I);
            R.Styles.SetItem(I, S.release());
        }
        const std::vector<uint8_t> B = WriteRtfTavBlock(R);
        return QByteArray(reinterpret_cast<const char*>(B.data()), static_cast<qsizetype>(B.size()));
    };
    struct TCase {
        const char* Name;
        QString Format;
        QByteArray Data;
        std::string After;               // the text object's text after the paste at 1
        std::vector<int32_t> Sizes;      // the sizes of the pasted characters' styles
        std::vector<std::string> Boxes;
    } const Cases[] = {
        {"block with SOH and Tab", RtfTavFormat, Block("a\x01" "b\tc"), "xabcy", {30, 32, 34}, {}},
        {"block with DEL and a line break", RtfTavFormat, Block(Sjis("\x7f" "あ\r\nい")), Sjis("xあ\r\nいy"), {31, 35}, {}},
        {"block of control characters only", RtfTavFormat, Block("\t\x01"), "xy", {}, {}},
        {"block with a lead byte and no trail", RtfTavFormat, Block("ab\x82"), "xy", {},
         {"クリップボードの文字は読み込めないか、大きさや位置が範囲外のため、貼り付けできません。"}},
        {"plain text with Tab and SOH", "text/plain", QByteArray("a\tb\x01" "c"), "xabcy", {}, {}},
        {"plain text of Tabs only", "text/plain", QByteArray("\t\t"), "xy", {}, {}},
        {"html with Tab", "text/html", QByteArray("<pre>a\tb</pre>"), "xaby", {}, {}},
    };
    for (const TCase& C : Cases) {
        TBound B("xy");
        B.Binding.SetSelection(1, 0);
        const auto Before = B.Stream();
        QMimeData Mime;
        Mime.setData(C.Format, C.Data);
        TBoxRecorder Boxes;
        B.Binding.PasteFromMime(&Mime);
        EXPECT_EQ(Boxes.Texts, C.Boxes) << C.Name;
        EXPECT_EQ(B.Text.Text(), C.After) << C.Name;
        EXPECT_EQ(B.Shown(), B.Text.Text()) << C.Name;
        if (C.After == "xy")
            EXPECT_EQ(B.Stream(), Before) << C.Name;
        for (size_t I = 0, At = 1; I < C.Sizes.size(); ++I) {
            const TCharStyle* S = B.Text.RichText().Styles.GetItem(static_cast<int32_t>(At));
            ASSERT_NE(S, nullptr) << C.Name;
            const int32_t Size = S->Attr.Size;
            EXPECT_EQ(Size, C.Sizes[I]) << C.Name;
            At += static_cast<uint8_t>(B.Text.Text()[At]) >= 0x80 ? 2 : 1;
            if (B.Text.Text()[At] == '\r')
                At += 2;
        }
    }
}

TEST(RichEditTav, TypableRichTextRefusesWhatNoTypingGives)
{
    struct TCase {
        std::string In;
        bool Read;
        std::string Out;
    } const Cases[] = {
        {"ab", true, "ab"},
        {Sjis("aあ\r\nｶ"), true, Sjis("aあ\r\nｶ")},
        {"a\tb\x1f\x7f", true, "ab"},
        {"a\x82", false, ""},        // a lead byte without its trail byte
        {"\x85\x40", false, ""},     // a pair CP932 does not hold
        {"\xa0", false, ""},         // a byte no character starts with
    };
    for (const TCase& C : Cases) {
        TRTFTav In, Out;
        In.Text = C.In;
        In.Styles.InsertSpace(0, static_cast<int32_t>(C.In.size()));
        Out.Text = "stale";
        EXPECT_EQ(TControlTextMap::TypableRichText(In, Out), C.Read) << C.In;
        EXPECT_EQ(Out.Text, C.Out) << C.In;
    }
}

} // namespace
