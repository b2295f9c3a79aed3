#include "editors/rich_edit_tav.h"

#include "editors/rich_edit_q.h"
#include "editors/rtf_tav_data_obj.h"
#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "model/text_object.h"
#include "model/text_outline.h"
#include "platform/clipboard_formats.h"
#include "platform/cp932.h"
#include "platform/message_box.h"
#include "platform/qt/application_wex.h"
#include "store/history.h"
#include "ui/ole_qt_bridge.h"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace {

constexpr uint8_t CR = 13;
constexpr uint8_t LF = 10;

// A counter raised for a scope.
class TRaised {
public:
    explicit TRaised(int32_t& Counter) : FCounter(Counter) { ++FCounter; }
    ~TRaised() { --FCounter; }
    TRaised(const TRaised&) = delete;
    TRaised& operator=(const TRaised&) = delete;

private:
    int32_t& FCounter;
};

uint8_t ByteAt(const std::string& T, size_t I)
{
    return static_cast<uint8_t>(T[I]);
}

// The byte length of the character that starts at I: 2 for CR LF and for a
// lead byte with its trail byte.
int32_t CharLength(const std::string& T, int32_t I)
{
    const auto N = static_cast<int32_t>(T.size());
    const uint8_t B = ByteAt(T, static_cast<size_t>(I));
    if (B == CR)
        return I + 1 < N && ByteAt(T, static_cast<size_t>(I) + 1) == LF ? 2 : 1;
    if (B == LF)
        return 1;
    return IsSjisLeadByte(B) && I + 1 < N ? 2 : 1;
}

bool IsLineBreak(uint8_t B)
{
    return B == CR || B == LF;
}

QChar ShownChar(const std::string& T, int32_t I, int32_t Length)
{
    const uint8_t B = ByteAt(T, static_cast<size_t>(I));
    if (IsLineBreak(B))
        return QLatin1Char('\n');
    if (Length == 1 && B < 0x80)
        return QChar(B);
    std::string Utf8;
    if (TryCp932ToUtf8(std::string_view(T.data() + I, static_cast<size_t>(Length)), Utf8)) {
        const QString S = QString::fromUtf8(Utf8.data(), static_cast<qsizetype>(Utf8.size()));
        if (S.size() == 1)
            return S[0];
    }
    return QChar(0xFFFD);
}

bool SameAttr(const TrecCharAttr& A, const TrecCharAttr& B)
{
    return std::memcmp(&A, &B, sizeof A) == 0;
}

const char* const kImeDeleteCaption = "選択範囲の削除";
const char* const kImeInsertCaption = "文字列の挿入";

} // namespace

// ---------------------------------------------------------------------------
// Positions

int32_t TControlTextMap::PositionOfByte(const std::string& Cp932, int32_t Byte)
{
    const auto N = static_cast<int32_t>(Cp932.size());
    int32_t Pos = 0;
    for (int32_t I = 0; I < N; ++Pos) {
        const int32_t L = CharLength(Cp932, I);
        if (Byte < I + L)
            return Pos;
        I += L;
    }
    return Pos;
}

int32_t TControlTextMap::ByteOfPosition(const std::string& Cp932, int32_t Position)
{
    const auto N = static_cast<int32_t>(Cp932.size());
    int32_t I = 0;
    for (int32_t Pos = 0; I < N && Pos < Position; ++Pos)
        I += CharLength(Cp932, I);
    return I;
}

void TControlTextMap::CharAt(const std::string& Cp932, int32_t Byte, int32_t& Start, int32_t& Length)
{
    const auto N = static_cast<int32_t>(Cp932.size());
    Start = 0;
    Length = 0;
    for (int32_t I = 0; I < N;) {
        const int32_t L = CharLength(Cp932, I);
        if (Byte < I + L) {
            Start = I;
            Length = L;
            return;
        }
        I += L;
    }
    Start = N;
}

QString TControlTextMap::ControlText(const std::string& Cp932)
{
    QString S;
    const auto N = static_cast<int32_t>(Cp932.size());
    S.reserve(N);
    for (int32_t I = 0; I < N;) {
        if (IsLineBreak(ByteAt(Cp932, static_cast<size_t>(I)))) {
            S.append(QLatin1Char('\n'));
            I += CharLength(Cp932, I);
            continue;
        }
        // A line in one conversion when it gives one character per character.
        int32_t End = I, Count = 0;
        while (End < N && !IsLineBreak(ByteAt(Cp932, static_cast<size_t>(End)))) {
            End += CharLength(Cp932, End);
            ++Count;
        }
        std::string Utf8;
        if (TryCp932ToUtf8(std::string_view(Cp932.data() + I, static_cast<size_t>(End - I)), Utf8)) {
            const QString Line = QString::fromUtf8(Utf8.data(), static_cast<qsizetype>(Utf8.size()));
            if (Line.size() == Count) {
                S.append(Line);
                I = End;
                continue;
            }
        }
        for (; I < End; I += CharLength(Cp932, I))
            S.append(ShownChar(Cp932, I, CharLength(Cp932, I)));
    }
    return S;
}

bool TControlTextMap::Cp932Text(const QString& Text, std::string& Cp932)
{
    Cp932.clear();
    std::string Out;
    QString Line;
    auto Flush = [&]() {
        std::string Part;
        if (!Line.isEmpty() && !TryUtf8ToCp932(Line.toStdString(), Part))
            return false;
        Out += Part;
        Line.clear();
        return true;
    };
    for (qsizetype I = 0; I < Text.size(); ++I) {
        const QChar C = Text[I];
        const bool Break = C == QLatin1Char('\n') || C == QLatin1Char('\r') || C == QChar::ParagraphSeparator ||
                           C == QChar::LineSeparator;
        if (Break) {
            if (!Flush())
                return false;
            Out += "\r\n";
            if (C == QLatin1Char('\r') && I + 1 < Text.size() && Text[I + 1] == QLatin1Char('\n'))
                ++I;
            continue;
        }
        // One position per character: no control characters, no pairs.
        if ((C.unicode() < 0x20 && C != QLatin1Char('\t')) || C.unicode() == 0x7F || C.isSurrogate())
            return false;
        Line.append(C);
    }
    if (!Flush())
        return false;
    // A character that CP932 holds only as part of another would shift the positions.
    if (TControlTextMap::ControlText(Out).size() != Text.size() - Text.count(QStringLiteral("\r\n")))
        return false;
    Cp932 = std::move(Out);
    return true;
}

bool TControlTextMap::Typable(QChar C)
{
    const char16_t U = C.unicode();
    if (U == '\r' || U == '\n')
        return true;
    return U >= 0x20 && U != 0x7F;
}

QString TControlTextMap::TypableText(QString Text)
{
    Text.removeIf([](QChar C) { return !Typable(C); });
    return Text;
}

bool TControlTextMap::TypableRichText(const TRTFTav& Source, TRTFTav& Target)
{
    Target.Clear();
    const std::string& T = Source.Text;
    const auto N = static_cast<int32_t>(T.size());
    TRTFTav Out;
    std::vector<std::pair<int32_t, const TCharStyle*>> Styles;
    for (int32_t I = 0; I < N;) {
        const int32_t L = CharLength(T, I);
        const uint8_t B = ByteAt(T, static_cast<size_t>(I));
        bool Keep = true;
        if (!IsLineBreak(B)) {
            if (B < 0x80) {
                Keep = B >= 0x20 && B != 0x7F;
            } else {
                // The character must be one that typing gives, byte for byte.
                std::string Utf8, Back;
                const std::string Bytes = T.substr(static_cast<size_t>(I), static_cast<size_t>(L));
                if (!TryCp932ToUtf8(Bytes, Utf8))
                    return false;
                const QString Char = QString::fromUtf8(Utf8.data(), static_cast<qsizetype>(Utf8.size()));
                if (Char.size() != 1)
                    return false;
                Keep = Typable(Char[0]);
                if (Keep && (!Cp932Text(Char, Back) || Back != Bytes))
                    return false;
            }
        }
        if (Keep) {
            Styles.emplace_back(static_cast<int32_t>(Out.Text.size()), Source.Styles.GetItem(I));
            Out.Text.append(T, static_cast<size_t>(I), static_cast<size_t>(L));
        }
        I += L;
    }
    Out.Styles.InsertSpace(0, static_cast<int32_t>(Out.Text.size()));
    for (const auto& [At, Style] : Styles)
        if (Style) {
            auto Copy = std::make_unique<TCharStyle>();
            Copy->Assign(*Style);
            Out.Styles.SetItem(At, Copy.release());
        }
    Target.Assign(Out);
    return true;
}

// ---------------------------------------------------------------------------
// Events of the control

class TRichEditTav::TEventFilter : public QObject {
public:
    explicit TEventFilter(TRichEditTav& Owner) : FOwner(Owner) {}
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (FOwner.FbPassEvent)
            return false;
        switch (Event->type()) {
        case QEvent::KeyPress:
            return Watched == FOwner.FControl && FOwner.HandleKey(Watched, static_cast<QKeyEvent*>(Event));
        case QEvent::InputMethod:
            return Watched == FOwner.FControl && FOwner.HandleInputMethod(static_cast<QInputMethodEvent*>(Event));
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return FOwner.HandleDrop(static_cast<QDropEvent*>(Event));
        default:
            return false;
        }
    }

private:
    TRichEditTav& FOwner;
};

// ---------------------------------------------------------------------------
// The binding

TRichEditTav::TRichEditTav(TCustomRichEditWex* Control) : FControl(Control)
{
    if (const QScreen* S = QGuiApplication::primaryScreen())
        FiScreenDpi = std::max(1, static_cast<int32_t>(RoundOff(S->logicalDotsPerInchY())));
    FSelAttributes = std::make_unique<TTextAttributesTavroSel>(*this);
    FFilter = std::make_unique<TEventFilter>(*this);
    FControl->setAttribute(Qt::WA_InputMethodEnabled, true);
    FControl->setReadOnly(true);
    FControl->installEventFilter(FFilter.get());
    FControl->viewport()->installEventFilter(FFilter.get());
    QObject::connect(FControl, &QTextEdit::cursorPositionChanged, FFilter.get(), [this] { FireSelectionChange(); });
    QObject::connect(FControl, &QTextEdit::selectionChanged, FFilter.get(), [this] { FireSelectionChange(); });
    QObject::connect(FControl->document(), &QTextDocument::contentsChange, FFilter.get(),
                     [this](int P, int R, int A) { ContentsChanged(P, R, A); });
}

TRichEditTav::~TRichEditTav()
{
    if (!FControl)
        return;
    FControl->removeEventFilter(FFilter.get());
    FControl->viewport()->removeEventFilter(FFilter.get());
}

const std::string& TRichEditTav::ModelText() const
{
    static const std::string Empty;
    return FTextObj ? FTextObj->Text() : Empty;
}

int32_t TRichEditTav::BytePos(int32_t Position) const
{
    return TControlTextMap::ByteOfPosition(ModelText(), Position);
}

QTextCharFormat TRichEditTav::CharFormatOf(const TrecCharAttr& Attr) const
{
    QTextCharFormat F;
    const std::string Face = CharAttrFaceName(Attr);
    auto It = FFaceCache.find(Face);
    if (It == FFaceCache.end())
        It = FFaceCache.emplace(Face, QString::fromStdString(Cp932ToUtf8(Face))).first;
    F.setFontFamilies({It->second});
    const double Twips = std::floor(Attr.Size * 1440.0 / FiScreenDpi * FiZoom / 100.0 + 0.5);
    F.setFontPointSize(std::max(Twips, 20.0) / 20.0);
    F.setFontWeight(Attr.Bold ? QFont::Bold : QFont::Normal);
    F.setFontItalic(Attr.Italic != 0);
    return F;
}

void TRichEditTav::ApplyCharStyle(const TrecCharAttr& Attr)
{
    TRaised Applying(FiApplying);
    QTextCursor C = FControl->textCursor();
    C.setCharFormat(CharFormatOf(Attr));
    FControl->setTextCursor(C);
}

void TRichEditTav::SetStyleByPosition(int32_t Start, int32_t Count)
{
    if (!FTextObj)
        return;
    const std::string& T = ModelText();
    const TListCharStyle& Styles = FTextObj->RichText().Styles;
    const auto End = std::min<int32_t>(Start + Count, static_cast<int32_t>(T.size()));
    // Runs of equal styles, each shown with one format; a line break takes
    // the style of the character before it.
    struct TRun {
        int32_t From, To;
        const TrecCharAttr* Attr;
    };
    std::vector<TRun> Runs;
    const TrecCharAttr* Last = nullptr;
    int32_t Pos = TControlTextMap::PositionOfByte(T, Start);
    for (int32_t I = Start; I < End; ++Pos) {
        const int32_t L = CharLength(T, I);
        const TCharStyle* S = Styles.GetItem(I);
        if (!S && L == 2 && !IsLineBreak(ByteAt(T, static_cast<size_t>(I)))) {
            MessageBox(nullptr, "TRichEditTav.SetStyleByPosition: FlstCharStyle.Items[iCntr] = nil", "警告",
                       MB_OK | MB_ICONWARNING);
            break;
        }
        const TrecCharAttr* A = S ? &S->Attr : Last;
        if (A) {
            if (!Runs.empty() && Runs.back().To == Pos && SameAttr(*Runs.back().Attr, *A))
                Runs.back().To = Pos + 1;
            else
                Runs.push_back({Pos, Pos + 1, A});
            Last = A;
        }
        I += L;
    }
    TRaised Applying(FiApplying);
    QTextCursor C(FControl->document());
    for (const TRun& R : Runs) {
        C.setPosition(R.From);
        C.setPosition(R.To, QTextCursor::KeepAnchor);
        C.setCharFormat(CharFormatOf(*R.Attr));
    }
}

void TRichEditTav::SetTextObj(TTextObj* Obj)
{
    {
        TRaised Busy(FiBusy);
        TRaised Applying(FiApplying);
        FControl->setUpdatesEnabled(false);
        FTextObj = Obj;
        FParagraph = Obj ? &Obj->ParagraphStyle() : nullptr;
        FControl->setReadOnly(!Obj);
        FControl->setPlainText(TControlTextMap::ControlText(ModelText()));
        SetStyleByPosition(0, static_cast<int32_t>(ModelText().size()));
        QTextCursor C = FControl->textCursor();
        C.setPosition(0);
        FControl->setTextCursor(C);
        FControl->setUpdatesEnabled(true);
    }
    FControl->viewport()->update();
    FireSelectionChange();
}

void TRichEditTav::StoreText(TTextObj* Obj)
{
    if (!Obj)
        return;
    std::string Shown;
    if (TControlTextMap::Cp932Text(FControl->toPlainText(), Shown)) {
        // Line breaks of the object's own form are kept where the texts agree.
        std::string Own;
        const std::string& T = Obj->Text();
        for (size_t I = 0; I < T.size(); ++I) {
            if (IsLineBreak(ByteAt(T, I))) {
                Own += "\r\n";
                if (ByteAt(T, I) == CR && I + 1 < T.size() && ByteAt(T, I + 1) == LF)
                    ++I;
            } else {
                Own += T[I];
            }
        }
        if (Own != Shown) {
            Obj->Invalidate(true);
            TListCharStyle& Styles = Obj->RichText().Styles;
            Obj->RichText().Text = Shown;
            const auto N = static_cast<int32_t>(Shown.size());
            if (Styles.Count() > N)
                Styles.DeleteRangeFree(N, Styles.Count() - N);
            else if (Styles.Count() < N)
                Styles.InsertSpace(Styles.Count(), N - Styles.Count());
            Obj->SetModified();
        }
    }
    Obj->SetPathState(0);
}

void TRichEditTav::SetZoom(int32_t Percent)
{
    if (Percent == FiZoom || Percent <= 0)
        return;
    FiZoom = Percent;
    ApplyZoom();
}

void TRichEditTav::ApplyZoom()
{
    if (!FTextObj)
        return;
    const std::string& T = ModelText();
    const TListCharStyle& Styles = FTextObj->RichText().Styles;
    // Runs of one stored size; a line break goes with the character before it.
    struct TRun {
        int32_t From, To, Size;
    };
    std::vector<TRun> Runs;
    const TCharStyle* Last = nullptr;
    int32_t Pos = 0;
    for (int32_t I = 0; I < static_cast<int32_t>(T.size()); ++Pos) {
        if (const TCharStyle* S = Styles.GetItem(I))
            Last = S;
        if (Last) {
            if (!Runs.empty() && Runs.back().To == Pos && Runs.back().Size == Last->Attr.Size)
                Runs.back().To = Pos + 1;
            else
                Runs.push_back({Pos, Pos + 1, Last->Attr.Size});
        }
        I += CharLength(T, I);
    }
    TRaised Busy(FiBusy);
    TRaised Applying(FiApplying);
    FControl->setUpdatesEnabled(false);
    QTextCursor C(FControl->document());
    for (const TRun& R : Runs) {
        TrecCharAttr A;
        A.Size = R.Size;
        QTextCharFormat F;
        F.setFontPointSize(CharFormatOf(A).fontPointSize());
        C.setPosition(R.From);
        C.setPosition(R.To, QTextCursor::KeepAnchor);
        C.mergeCharFormat(F);
    }
    FControl->setUpdatesEnabled(true);
    FControl->viewport()->update();
}

void TRichEditTav::FireChange()
{
    if (OnChange)
        OnChange();
}

void TRichEditTav::FireSelectionChange()
{
    if (FiBusy > 0)
        return;
    if (!FbComposing)
        FSelAttributes->Update();
    if (OnSelectionChange)
        OnSelectionChange();
}

void TRichEditTav::GetSelection(int32_t& Start, int32_t& Length) const
{
    const QTextCursor C = FControl->textCursor();
    Start = BytePos(C.selectionStart());
    Length = BytePos(C.selectionEnd()) - Start;
}

void TRichEditTav::SetSelection(int32_t Start, int32_t Length)
{
    const std::string& T = ModelText();
    QTextCursor C = FControl->textCursor();
    C.setPosition(TControlTextMap::PositionOfByte(T, Start));
    C.setPosition(TControlTextMap::PositionOfByte(T, Start + Length), QTextCursor::KeepAnchor);
    FControl->setTextCursor(C);
}

void TRichEditTav::RunCommand(const std::string& Caption, const std::function<void()>& Body, bool Dropping)
{
    THistoryCommand* H = FTextObj ? FTextObj->HistoryCommand() : nullptr;
    // Inside a command the caller opened, the edit is part of it.
    if (H && H->IsCommandOpen())
        H = nullptr;
    const int32_t Before = FiEdits;
    if (H)
        H->CommandStart(Caption);
    try {
        Body();
        if (H)
            FiEdits != Before ? H->CommandEnd() : H->CommandCancel();
    } catch (...) {
        try {
            if (H && H->IsCommandOpen())
                H->CommandRollback();
        } catch (...) {
        }
        // The control shows the text object as it is now.
        int32_t Start = 0, Length = 0;
        GetSelection(Start, Length);
        SetTextObj(FTextObj);
        SetSelection(Start, Length);
        if (!Dropping)
            throw;
        // The input method's own event must go on; the user is told here.
        ShowEventException(std::current_exception());
    }
}

// ---------------------------------------------------------------------------
// Text edits

void TRichEditTav::DeleteSelection()
{
    if (!FTextObj)
        return;
    QTextCursor C = FControl->textCursor();
    if (!C.hasSelection())
        return;
    const int32_t Start = BytePos(C.selectionStart());
    const int32_t End = BytePos(C.selectionEnd());
    FTextObj->DeleteText(Start, End - Start);
    ++FiEdits;
    {
        TRaised Applying(FiApplying);
        C.removeSelectedText();
        FControl->setTextCursor(C);
    }
    if (FiChangeLock == 0)
        FireChange();
}

void TRichEditTav::DeleteAChar(int32_t Index)
{
    if (!FTextObj)
        return;
    const std::string& T = ModelText();
    if (Index < 0 || Index >= static_cast<int32_t>(T.size()))
        return;
    const TListCharStyle& Styles = FTextObj->RichText().Styles;
    int32_t Start = 0, Length = 0;
    {
        TRaised Busy(FiBusy);
        const uint8_t B = ByteAt(T, static_cast<size_t>(Index));
        if (IsLineBreak(B)) {
            Start = B == LF && Index > 0 && ByteAt(T, static_cast<size_t>(Index) - 1) == CR ? Index - 1 : Index;
            Length = CharLength(T, Start);
            for (int32_t I = Start; I < Start + Length; ++I)
                if (Styles.GetItem(I))
                    throw EUserError(ByteAt(T, static_cast<size_t>(I)) == CR
                                         ? "TRichEditTav.DeleteAChar: Illegal Items[#$0D] <> nil"
                                         : "TRichEditTav.DeleteAChar: Illegal Items[#$0A] <> nil");
        } else {
            TControlTextMap::CharAt(T, Index, Start, Length);
            if (Length == 2 && Styles.GetItem(Start + 1))
                throw EUserError("TRichEditTav.DeleteAChar: Illegal Items[] <> nil");
        }
        SetSelection(Start, Length);
    }
    DeleteSelection();
}

void TRichEditTav::DeleteKey()
{
    const QTextCursor C = FControl->textCursor();
    if (C.hasSelection())
        DeleteSelection();
    else
        DeleteAChar(BytePos(C.position()));
}

void TRichEditTav::BackSpaceKey()
{
    const QTextCursor C = FControl->textCursor();
    if (C.hasSelection())
        DeleteSelection();
    else if (C.position() > 0)
        DeleteAChar(BytePos(C.position() - 1));
}

void TRichEditTav::InsertText(const std::string& Cp932, bool ApplyToControl)
{
    if (!FTextObj || Cp932.empty())
        return;
    TRaised Lock(FiChangeLock);
    const TrecCharAttr Attr = FSelAttributes->InsertionStyle();
    DeleteSelection();
    QTextCursor C = FControl->textCursor();
    const int32_t Pos = C.position();
    FTextObj->TypeText(BytePos(Pos), Cp932, Attr);
    ++FiEdits;
    {
        TRaised Busy(FiBusy);
        TRaised Applying(FiApplying);
        const QString Shown = TControlTextMap::ControlText(Cp932);
        if (ApplyToControl) {
            C.insertText(Shown, CharFormatOf(Attr));
            FControl->setTextCursor(C);
        } else {
            // The control shows the text already: it only takes the format.
            QTextCursor R(FControl->document());
            R.setPosition(Pos);
            R.setPosition(Pos + static_cast<int32_t>(Shown.size()), QTextCursor::KeepAnchor);
            R.setCharFormat(CharFormatOf(Attr));
        }
    }
    FireChange();
}

std::string PasteTooLongMessage()
{
    return "貼り付けるテキストが長すぎます。\r\n貼り付けられるのはシフトJISで" + std::to_string(MaxTextObjectBytes) +
           "バイトまでです。";
}

void TRichEditTav::Refuse()
{
    MessageBox(FControl, "シフトJISで表せない文字は入力できません。", "警告", MB_OK | MB_ICONWARNING);
}

bool TRichEditTav::InsertControlText(const QString& Text, bool ApplyToControl)
{
    std::string Cp932;
    if (!TControlTextMap::Cp932Text(Text, Cp932)) {
        Refuse();
        return false;
    }
    if (Cp932.size() > size_t{MaxTextObjectBytes}) {
        MessageBox(FControl, PasteTooLongMessage(), "警告", MB_OK | MB_ICONWARNING);
        return false;
    }
    InsertText(Cp932, ApplyToControl);
    return true;
}

void TRichEditTav::InsertRichText(const TRTFTav& Source)
{
    if (!FTextObj)
        return;
    {
        TRaised Lock(FiChangeLock);
        DeleteSelection();
    }
    if (Source.Text.empty())
        return;
    const int32_t Pos = FControl->textCursor().position();
    const int32_t Byte = BytePos(Pos);
    FTextObj->PasteText(Byte, Source);
    ++FiEdits;
    TRaised Busy(FiBusy);
    TRaised Applying(FiApplying);
    FControl->setUpdatesEnabled(false);
    const QString Shown = TControlTextMap::ControlText(Source.Text);
    QTextCursor C(FControl->document());
    C.setPosition(Pos);
    C.insertText(Shown);
    SetStyleByPosition(Byte, static_cast<int32_t>(Source.Text.size()));
    C.setPosition(Pos + static_cast<int32_t>(Shown.size()));
    FControl->setTextCursor(C);
    FControl->setUpdatesEnabled(true);
}

void TRichEditTav::CopyToClipboard()
{
    if (!FTextObj)
        return;
    const QTextCursor C = FControl->textCursor();
    if (!C.hasSelection())
        return;
    int32_t Start = 0, Length = 0;
    GetSelection(Start, Length);
    TRTFTav Rich;
    Rich.Text = ModelText().substr(static_cast<size_t>(Start), static_cast<size_t>(Length));
    Rich.Styles.InsertSpace(0, Length);
    const TListCharStyle& Styles = FTextObj->RichText().Styles;
    for (int32_t I = 0; I < Length; ++I)
        if (const TCharStyle* S = Styles.GetItem(Start + I)) {
            auto Copy = std::make_unique<TCharStyle>();
            Copy->Assign(*S);
            Rich.Styles.SetItem(I, Copy.release());
        }
    const auto Data = MakeCom<TRtfTavDataObj>(Rich, QTextDocumentFragment(C).toHtml());
    SetRtfTavClipboard(Data.Get());
}

void TRichEditTav::CutToClipboard()
{
    CopyToClipboard();
    DeleteSelection();
}

void TRichEditTav::PasteFromClipboard()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        PasteFromMime(QGuiApplication::clipboard()->mimeData());
}

namespace {
constexpr const char* kRefusedRichText =
    "クリップボードの文字は読み込めないか、大きさや位置が範囲外のため、貼り付けできません。";
} // namespace

bool TRichEditTav::PasteHtml(const QString& Html)
{
    QTextDocument Doc;
    Doc.setHtml(Html);
    // The characters with their formats, a line break between blocks.
    QString Text;
    std::vector<QTextCharFormat> Formats;
    for (QTextBlock B = Doc.begin(); B.isValid(); B = B.next()) {
        if (B != Doc.begin()) {
            Text.append(QLatin1Char('\n'));
            Formats.emplace_back();
        }
        for (auto It = B.begin(); !It.atEnd(); ++It) {
            const QTextFragment F = It.fragment();
            // Held to what typing puts in: control characters are left out.
            for (const QChar C : F.text())
                if (TControlTextMap::Typable(C)) {
                    Text.append(C);
                    Formats.push_back(F.charFormat());
                }
        }
    }
    // Nothing typing would put in: the selection stays as it is.
    if (Text.isEmpty() && !Doc.isEmpty())
        return false;
    std::string Cp932;
    if (!TControlTextMap::Cp932Text(Text, Cp932)) {
        Refuse();
        return false;
    }
    if (Cp932.size() > size_t{MaxTextObjectBytes}) {
        MessageBox(FControl, PasteTooLongMessage(), "警告", MB_OK | MB_ICONWARNING);
        return false;
    }
    TRTFTav Rich;
    Rich.Text = Cp932;
    Rich.Styles.InsertSpace(0, static_cast<int32_t>(Cp932.size()));
    std::map<QString, std::pair<std::string, uint8_t>> Faces;
    const TrecCharAttr& Insertion = FSelAttributes->InsertionStyle();
    size_t Index = 0;
    for (int32_t I = 0; I < static_cast<int32_t>(Cp932.size()); ++Index) {
        const int32_t L = CharLength(Cp932, I);
        if (!IsLineBreak(ByteAt(Cp932, static_cast<size_t>(I))) && Index < Formats.size()) {
            const QTextCharFormat& F = Formats[Index];
            auto Style = std::make_unique<TCharStyle>();
            Style->Attr = Insertion;
            const QStringList Families = F.fontFamilies().toStringList();
            if (!Families.isEmpty() && !Families.front().isEmpty()) {
                auto It = Faces.find(Families.front());
                if (It == Faces.end()) {
                    std::pair<std::string, uint8_t> Face;
                    ValidateFontName(Utf8ToCp932(Families.front().toStdString()), Face.first, Face.second);
                    It = Faces.emplace(Families.front(), Face).first;
                }
                SetCharAttrFaceName(Style->Attr, It->second.first);
                Style->Attr.CharSet = It->second.second;
            }
            if (F.fontPointSize() > 0) {
                const double Size =
                    std::floor(FiScreenDpi * (F.fontPointSize() * 20) / 1440.0 * 100.0 / FiZoom + 0.5);
                // A size the text model cannot draw refuses the whole paste.
                Style->Attr.Size = Size >= 1 && Size < INT32_MAX ? static_cast<int32_t>(Size) : 0;
                if (!CharAttrDrawable(Style->Attr, FiScreenDpi)) {
                    MessageBox(FControl, kRefusedRichText, "警告", MB_OK | MB_ICONWARNING);
                    return false;
                }
            }
            Style->Attr.Bold = F.fontWeight() >= QFont::DemiBold ? 1 : 0;
            Style->Attr.Italic = F.fontItalic() ? 1 : 0;
            Rich.Styles.SetItem(I, Style.release());
        }
        I += L;
    }
    InsertRichText(Rich);
    return true;
}

void TRichEditTav::PasteFromMime(const QMimeData* Mime)
{
    if (!FTextObj || !Mime)
        return;
    const auto Warn = [this](const std::string& Message) {
        MessageBox(FControl, Message, "警告", MB_OK | MB_ICONWARNING);
    };
    {
        TRaised Busy(FiBusy);
        const auto Data = MakeCom<TMimeDataObject>(Mime);
        if (DataObjectHasFormat(Data.Get(), CFWexRtfTav())) {
            TRTFTav Rich;
            switch (TRtfTavDataObj::ReadRichText(Data.Get(), Rich, FSelAttributes->InsertionStyle(), FiScreenDpi)) {
            case TRtfTavRead::Read: {
                // Held to what typing puts in, like every other paste.
                TRTFTav Typable;
                if (!TControlTextMap::TypableRichText(Rich, Typable)) {
                    Warn(kRefusedRichText);
                    return;
                }
                if (Typable.Text.empty() && !Rich.Text.empty())
                    return;
                InsertRichText(Typable);
                break;
            }
            case TRtfTavRead::TooLarge:
                Warn(PasteTooLongMessage());
                return;
            default:
                Warn(kRefusedRichText);
                return;
            }
        } else if (Mime->hasHtml()) {
            if (Mime->data(QStringLiteral("text/html")).size() > MaxPasteHtmlBytes) {
                Warn(PasteTooLongMessage());
                return;
            }
            PasteHtml(Mime->html());
        } else if (Mime->hasText()) {
            const QString Text = Mime->text();
            // Every character takes one CP932 byte at least: a text longer
            // than the limit in characters is refused before it is converted.
            if (Text.size() > MaxTextObjectBytes) {
                Warn(PasteTooLongMessage());
                return;
            }
            const QString Typable = TControlTextMap::TypableText(Text);
            // Nothing typing would put in: the selection stays as it is.
            if (Typable.isEmpty() && !Text.isEmpty())
                return;
            InsertControlText(Typable, true);
        }
        FireChange();
    }
    FSelAttributes->Update();
    FireSelectionChange();
}

// ---------------------------------------------------------------------------
// Keys, the input method, drops and outside changes

bool TRichEditTav::HandleKey(QObject*, QKeyEvent* E)
{
    if (E->matches(QKeySequence::Copy)) {
        CopyToClipboard();
        return true;
    }
    const bool Editable = FTextObj != nullptr;
    if (E->matches(QKeySequence::Cut)) {
        if (Editable)
            RunCommand("切り取り", [this] { CutToClipboard(); });
        return true;
    }
    if (E->matches(QKeySequence::Paste)) {
        if (Editable)
            RunCommand("貼り付け", [this] { PasteFromClipboard(); });
        return true;
    }
    // The document's history is the undo; the control's own editing keys
    // would change the text behind the text object's back.
    if (E->matches(QKeySequence::Undo) || E->matches(QKeySequence::Redo) ||
        E->matches(QKeySequence::DeleteEndOfLine) || E->matches(QKeySequence::DeleteStartOfWord) ||
        E->matches(QKeySequence::DeleteEndOfWord) || E->matches(QKeySequence::DeleteCompleteLine))
        return true;
    const Qt::KeyboardModifiers Mods = E->modifiers() & ~Qt::KeypadModifier;
    switch (E->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        if (Editable && Mods == Qt::NoModifier)
            RunCommand("１文字削除", [this, E] { E->key() == Qt::Key_Backspace ? BackSpaceKey() : DeleteKey(); });
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (Editable && !(Mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
            RunCommand("改行の挿入", [this] { InsertText("\r\n", true); });
        return true;
    default:
        break;
    }
    const QString Text = E->text();
    if (Text.isEmpty() || (Mods & (Qt::ControlModifier | Qt::MetaModifier)))
        return false;
    for (const QChar C : Text)
        if (C.unicode() < 0x20 || C.unicode() == 0x7F)
            return true;
    if (Editable)
        RunCommand("１文字挿入", [this, &Text] { InsertControlText(Text, true); });
    return true;
}

bool TRichEditTav::HandleInputMethod(QInputMethodEvent* E)
{
    if (!FTextObj)
        return false;
    const bool Preedit = !E->preeditString().isEmpty();
    const bool Commit = !E->commitString().isEmpty();
    auto Pass = [this](QInputMethodEvent& Event) {
        FbPassEvent = true;
        QCoreApplication::sendEvent(FControl, &Event);
        FbPassEvent = false;
    };
    // The control would remove the selection itself when the input starts.
    if (((Preedit && !FbComposing) || Commit) && FControl->textCursor().hasSelection()) {
        RunCommand(kImeDeleteCaption, [this] { DeleteSelection(); }, true);
        if (OnImeEdit)
            OnImeEdit();
    }
    if (!FbComposing)
        FiCompStart = FControl->textCursor().position();
    if (!Commit) {
        FbComposing = Preedit;
        return false;
    }
    std::string Cp932;
    if (!TControlTextMap::Cp932Text(E->commitString(), Cp932)) {
        Refuse();
        QInputMethodEvent Stripped(E->preeditString(), E->attributes());
        Pass(Stripped);
        FbComposing = Preedit;
        return true;
    }
    {
        TRaised Applying(FiApplying);
        TRaised Busy(FiBusy);
        if (E->replacementStart() != 0 || E->replacementLength() != 0) {
            // The text object takes the commit at the caret only, and so does the control.
            QInputMethodEvent AtCaret(E->preeditString(), E->attributes());
            AtCaret.setCommitString(E->commitString());
            Pass(AtCaret);
        } else {
            Pass(*E);
        }
    }
    const QTextCursor After = FControl->textCursor();
    {
        TRaised Busy(FiBusy);
        QTextCursor C = FControl->textCursor();
        C.setPosition(FiCompStart);
        FControl->setTextCursor(C);
    }
    RunCommand(kImeInsertCaption, [this, &Cp932] { InsertText(Cp932, false); }, true);
    FiCompStart += static_cast<int32_t>(TControlTextMap::ControlText(Cp932).size());
    FControl->setTextCursor(After);
    FbComposing = Preedit;
    if (OnImeEdit)
        OnImeEdit();
    return true;
}

bool TRichEditTav::HandleDrop(QDropEvent* E)
{
    if (!FTextObj || !FControl->AllowOLEDragDrop() || !FControl->IsDropTarget()) {
        E->ignore();
        return true;
    }
    // A drop is a copy: a move would have the source delete behind our back.
    E->setDropAction(Qt::CopyAction);
    E->accept();
    if (E->type() == QEvent::Drop) {
        const QMimeData* Mime = E->mimeData();
        const int32_t At = FControl->cursorForPosition(E->position().toPoint()).position();
        RunCommand("貼り付け", [this, Mime, At] {
            QTextCursor C = FControl->textCursor();
            C.setPosition(At);
            FControl->setTextCursor(C);
            PasteFromMime(Mime);
        });
    }
    return true;
}

void TRichEditTav::ContentsChanged(int32_t, int32_t Removed, int32_t Added)
{
    if (FiApplying > 0 || (Removed == 0 && Added == 0) || FbResyncPending || !FTextObj)
        return;
    // A change the binding did not make (a drag moved out of the control):
    // the text object stays the master and is shown again.
    FbResyncPending = true;
    QTimer::singleShot(0, FFilter.get(), [this] {
        FbResyncPending = false;
        if (FTextObj && FControl->toPlainText() != TControlTextMap::ControlText(ModelText())) {
            const int32_t Pos = FControl->textCursor().position();
            SetTextObj(FTextObj);
            QTextCursor C = FControl->textCursor();
            C.setPosition(std::min(Pos, static_cast<int32_t>(FControl->document()->characterCount() - 1)));
            FControl->setTextCursor(C);
        }
    });
}

// ---------------------------------------------------------------------------
// Attributes

TTextAttributesTavro::TTextAttributesTavro(TRichEditTav& Owner) : FOwner(Owner) {}

uint8_t TTextAttributesTavro::GetCharset() const
{
    // The control knows no character sets.
    return 1;
}

void TTextAttributesTavro::SetCharset(uint8_t) {}

std::string TTextAttributesTavro::GetName() const
{
    const QStringList F = FOwner.FControl->currentCharFormat().fontFamilies().toStringList();
    return F.isEmpty() ? std::string() : F.front().toStdString();
}

void TTextAttributesTavro::SetName(const std::string& Name)
{
    std::string Face;
    uint8_t CharSet = 0;
    ValidateFontName(Utf8ToCp932(Name), Face, CharSet);
    TRaised Applying(FOwner.FiApplying);
    QTextCharFormat F;
    F.setFontFamilies({QString::fromStdString(Cp932ToUtf8(Face))});
    FOwner.FControl->mergeCurrentCharFormat(F);
}

double TTextAttributesTavro::GetSize() const
{
    return FOwner.FControl->currentCharFormat().fontPointSize() * 100.0 / FOwner.FiZoom;
}

void TTextAttributesTavro::SetSize(double Points)
{
    TRaised Applying(FOwner.FiApplying);
    FOwner.FControl->setFontPointSize(std::max(1.0, std::floor(Points * FOwner.FiZoom / 100.0 + 0.5)));
}

bool TTextAttributesTavro::GetBold() const
{
    return FOwner.FControl->currentCharFormat().fontWeight() >= QFont::DemiBold;
}

void TTextAttributesTavro::SetBold(bool Value)
{
    TRaised Applying(FOwner.FiApplying);
    FOwner.FControl->setFontWeight(Value ? QFont::Bold : QFont::Normal);
}

bool TTextAttributesTavro::GetItalic() const
{
    return FOwner.FControl->currentCharFormat().fontItalic();
}

void TTextAttributesTavro::SetItalic(bool Value)
{
    TRaised Applying(FOwner.FiApplying);
    FOwner.FControl->setFontItalic(Value);
}

TTextAttributesTavroSel::TTextAttributesTavroSel(TRichEditTav& Owner) : TTextAttributesTavro(Owner), FAttr(DefaultCharAttr()) {}

namespace {

int32_t PixelsOfPoints(int32_t Dpi, double Points)
{
    return static_cast<int32_t>(RoundOff(Dpi / 72.0 * Points));
}

} // namespace

bool TTextAttributesTavroSel::Selection(int32_t& Start, int32_t& Length) const
{
    FOwner.GetSelection(Start, Length);
    return FOwner.FTextObj && Length > 0;
}

void TTextAttributesTavroSel::SetCharset(uint8_t Value)
{
    FAttr.CharSet = Value;
    int32_t Start = 0, Length = 0;
    if (!Selection(Start, Length))
        return;
    TTextObj* T = FOwner.FTextObj;
    T->Invalidate(true);
    for (int32_t I = Start; I < Start + Length; ++I)
        if (TCharStyle* S = T->RichText().Styles.GetItem(I))
            S->Attr.CharSet = Value;
    T->SetPathState(0);
    T->SetModified();
    FOwner.FireChange();
}

void TTextAttributesTavroSel::SetName(const std::string& Name)
{
    const std::string Cp932 = Utf8ToCp932(Name);
    SetCharAttrFaceName(FAttr, Cp932);
    ApplyToSelection([&](int32_t Start, int32_t Length) { FOwner.FTextObj->SetCharFaceName(Start, Length, Cp932); },
                     true, [&] { TTextAttributesTavro::SetName(Name); });
}

bool TTextAttributesTavroSel::ApplyToSelection(const std::function<void(int32_t, int32_t)>& Set, bool Restyle,
                                               const std::function<void()>& Caret)
{
    int32_t Start = 0, Length = 0;
    if (!Selection(Start, Length)) {
        if (Caret)
            Caret();
        return false;
    }
    Set(Start, Length);
    ++FOwner.FiEdits;
    if (Restyle)
        FOwner.SetStyleByPosition(Start, Length);
    FOwner.FireChange();
    return true;
}

double TTextAttributesTavroSel::GetSize() const
{
    return FAttr.Size * 72.0 / FOwner.FiScreenDpi;
}

void TTextAttributesTavroSel::SetSize(double Points)
{
    const int32_t Pixels = PixelsOfPoints(FOwner.FiScreenDpi, Points);
    FAttr.Size = Pixels;
    ApplyToSelection([&](int32_t Start, int32_t Length) { FOwner.FTextObj->SetCharSize(Start, Length, Pixels); },
                     true, [&] { FOwner.ApplyCharStyle(FAttr); });
}

void TTextAttributesTavroSel::SetBold(bool Value)
{
    FAttr.Bold = Value ? 1 : 0;
    ApplyToSelection([&](int32_t Start, int32_t Length) { FOwner.FTextObj->SetCharBold(Start, Length, FAttr.Bold); },
                     true, [&] { FOwner.ApplyCharStyle(FAttr); });
}

void TTextAttributesTavroSel::SetItalic(bool Value)
{
    FAttr.Italic = Value ? 1 : 0;
    ApplyToSelection(
        [&](int32_t Start, int32_t Length) { FOwner.FTextObj->SetCharItalic(Start, Length, FAttr.Italic); }, true,
        [&] { FOwner.ApplyCharStyle(FAttr); });
}

double TTextAttributesTavroSel::GetBase() const
{
    return FAttr.Rise * 72.0 / FOwner.FiScreenDpi;
}

void TTextAttributesTavroSel::SetBase(double Points)
{
    FAttr.Rise = PixelsOfPoints(FOwner.FiScreenDpi, Points);
    ApplyToSelection([&](int32_t Start, int32_t Length) { FOwner.FTextObj->SetCharRise(Start, Length, FAttr.Rise); },
                     false);
}

double TTextAttributesTavroSel::GetSpacing() const
{
    return FAttr.ExtraAdvance * 72.0 / FOwner.FiScreenDpi;
}

void TTextAttributesTavroSel::SetSpacing(double Points)
{
    FAttr.ExtraAdvance = PixelsOfPoints(FOwner.FiScreenDpi, Points);
    ApplyToSelection(
        [&](int32_t Start, int32_t Length) { FOwner.FTextObj->SetCharExtraAdvance(Start, Length, FAttr.ExtraAdvance); },
        false);
}

void TTextAttributesTavroSel::Update()
{
    const std::string& T = FOwner.ModelText();
    bool HasChars = false;
    for (char C : T)
        if (!IsLineBreak(static_cast<uint8_t>(C))) {
            HasChars = true;
            break;
        }
    if (HasChars) {
        const int32_t Index = FindStyleIndex();
        const TCharStyle* S = Index >= 0 ? FOwner.FTextObj->RichText().Styles.GetItem(Index) : nullptr;
        FAttr = S ? S->Attr : DefaultCharAttr();
    }
    if (!FOwner.FControl->textCursor().hasSelection()) {
        TRaised Busy(FOwner.FiBusy);
        TRaised Applying(FOwner.FiApplying);
        FOwner.FControl->setCurrentCharFormat(FOwner.CharFormatOf(FAttr));
    }
}

int32_t TTextAttributesTavroSel::FindStyleIndex() const
{
    if (!FOwner.FTextObj)
        return -1;
    const std::string& T = FOwner.ModelText();
    const TListCharStyle& Styles = FOwner.FTextObj->RichText().Styles;
    const QTextCursor C = FOwner.FControl->textCursor();
    if (C.hasSelection()) {
        int32_t Start = 0, Length = 0;
        FOwner.GetSelection(Start, Length);
        for (int32_t I = Start; I < std::min(Start + Length, Styles.Count()); ++I)
            if (Styles.GetItem(I))
                return I;
        return -1;
    }
    if (T.empty())
        return -1;
    const int32_t Byte = FOwner.BytePos(C.position());
    if (C.atBlockStart() && Styles.GetItem(Byte))
        return Byte;
    for (int32_t I = std::min(Byte, Styles.Count()) - 1; I >= 0; --I)
        if (Styles.GetItem(I))
            return I;
    return -1;
}

int32_t TTextAttributesTavroSel::ConsistentBaseSpacing() const
{
    int32_t Start = 0, Length = 0;
    FOwner.GetSelection(Start, Length);
    if (!FOwner.FTextObj || Length <= 0)
        return 3;
    const TListCharStyle& Styles = FOwner.FTextObj->RichText().Styles;
    const TCharStyle* First = nullptr;
    int32_t Result = 3;
    for (int32_t I = Start; I < Start + Length; ++I) {
        const TCharStyle* S = Styles.GetItem(I);
        if (!S)
            continue;
        if (!First) {
            First = S;
            continue;
        }
        if (S->Attr.Rise != First->Attr.Rise)
            Result &= ~1;
        if (S->Attr.ExtraAdvance != First->Attr.ExtraAdvance)
            Result &= ~2;
    }
    return Result;
}
