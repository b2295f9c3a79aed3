#include "model/text_object.h"

#include "foundation/geometry.h"
#include "foundation/lists.h"
#include "foundation/numbers.h"
#include "foundation/wrap_int.h"
#include "foundation/stream_text.h"
#include "foundation/stream_values.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/default_data.h"
#include "model/draw_group.h"
#include "model/page_link.h"
#include "store/history.h"
#include "model/text_outline.h"
#include "paint/macro_list.h"
#include "platform/cp932.h"
#include "platform/global_memory.h"
#include "raster/rec_picture.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <unordered_set>

static_assert(std::endian::native == std::endian::little,
              "records are copied as they lie in memory");

namespace {

constexpr const char* kUndoDataError = "TTextObj.Undo: Illegal Data.";
constexpr uint8_t CR = 13;
constexpr uint8_t LF = 10;
constexpr int32_t kLayoutSize = 20;
constexpr int32_t kRecordVersion = DrawItemStreamVersion;

bool IsEmptyRect(const TRect& R)
{
    return R.Left > R.Right;
}

int32_t RoundSat(double V)
{
    if (!(V == V))
        return 0;
    if (V >= 2147483647.0)
        return 2147483647;
    if (V <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int32_t>(RoundOff(V));
}

// The stored float32 of an angle; values beyond its range become infinite
// (a plain conversion of them is undefined).
float ToFloat32(double V)
{
    constexpr double Max = std::numeric_limits<float>::max();
    if (V > Max)
        return std::numeric_limits<float>::infinity();
    if (V < -Max)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(V);
}

// Undo and redo records: little-endian fields appended in order.
class TRecordWriter {
public:
    void I32(int32_t V) { Raw(&V, 4); }
    void U8(uint8_t V) { Raw(&V, 1); }
    void F32(float V) { Raw(&V, 4); }
    void F64(double V) { Raw(&V, 8); }
    void Str(const std::string& S)
    {
        I32(static_cast<int32_t>(S.size()));
        FBytes.append(S);
    }
    void Raw(const void* P, size_t N) { FBytes.append(static_cast<const char*>(P), N); }
    void Stream(TMemoryStream& S)
    {
        Raw(S.Memory(), static_cast<size_t>(S.Size()));
    }
    const void* Data() const { return FBytes.data(); }
    int32_t Size() const { return static_cast<int32_t>(FBytes.size()); }

private:
    std::string FBytes;
};

// Reads a record; a record that ends early raises the undo data error.
class TRecordReader {
public:
    TRecordReader(const void* Data, int32_t Size)
        : FData(static_cast<const uint8_t*>(Data)), FSize(Data && Size > 0 ? Size : 0)
    {
    }
    int32_t I32()
    {
        int32_t V;
        Take(&V, 4);
        return V;
    }
    uint8_t U8()
    {
        uint8_t V;
        Take(&V, 1);
        return V;
    }
    float F32()
    {
        float V;
        Take(&V, 4);
        return V;
    }
    double F64()
    {
        double V;
        Take(&V, 8);
        return V;
    }
    std::string Str()
    {
        const int32_t N = I32();
        if (N < 0 || N > FSize - FPos)
            throw EUserError(kUndoDataError);
        std::string S(reinterpret_cast<const char*>(FData + FPos), static_cast<size_t>(N));
        FPos += N;
        return S;
    }
    bool AtEnd() const { return FPos >= FSize; }
    int32_t Left() const { return FSize - FPos; }
    // The whole record as a stream placed after what was read.
    void Rest(TMemoryStreamWex& S) const
    {
        S.SetPointer(FData, FSize);
        S.SetPosition(FPos);
    }

private:
    void Take(void* P, int32_t N)
    {
        if (FSize - FPos < N)
            throw EUserError(kUndoDataError);
        std::memcpy(P, FData + FPos, static_cast<size_t>(N));
        FPos += N;
    }
    const uint8_t* FData;
    int32_t FSize;
    int32_t FPos = 0;
};

std::array<uint8_t, kLayoutSize> LayoutToBytes(const TrecTextParam& P)
{
    std::array<uint8_t, kLayoutSize> B{};
    std::memcpy(B.data(), &P, kLayoutSize);
    return B;
}

TrecTextParam LayoutFromBytes(const uint8_t* B)
{
    TrecTextParam P;
    std::memcpy(&P, B, kLayoutSize);
    return P;
}

int64_t BytesLeft(TStream& S)
{
    return S.Size() - S.Position();
}

// The lines of a text: the parts between its CR LF pairs, which the readers
// put back between the lines, so that every text reads back as it was (a
// lone CR or LF stays inside its line); no text has no lines.
std::vector<std::string> SplitLines(const std::string& Text)
{
    std::vector<std::string> Lines;
    if (Text.empty())
        return Lines;
    size_t Start = 0;
    for (size_t At; (At = Text.find("\r\n", Start)) != std::string::npos; Start = At + 2)
        Lines.push_back(Text.substr(Start, At - Start));
    Lines.push_back(Text.substr(Start));
    return Lines;
}

// The text form reads a line up to any CR or LF: a lone one comes back as
// CR LF. False when Rich has none; else Text is the text as it will read
// back and Styles holds copies of Rich's styles, each in the slot of its
// character there, the added LF slots empty.
bool TextFormWithCrLf(const TRTFTav& Rich, std::string& Text, TListCharStyle& Styles)
{
    const std::string& T = Rich.Text;
    std::string Out;
    std::vector<int32_t> From;  // per byte of Out: its slot in Rich, or -1
    bool Lone = false;
    const auto N = static_cast<int32_t>(T.size());
    for (int32_t I = 0; I < N; ++I) {
        const auto B = static_cast<uint8_t>(T[I]);
        if (B != CR && B != LF) {
            Out += T[I];
            From.push_back(I);
            continue;
        }
        Out += "\r\n";
        From.push_back(I);
        if (B == CR && I + 1 < N && static_cast<uint8_t>(T[I + 1]) == LF) {
            From.push_back(++I);
        } else {
            From.push_back(-1);
            Lone = true;
        }
    }
    if (!Lone)
        return false;
    Text = std::move(Out);
    Styles.Clear();
    Styles.InsertSpace(0, static_cast<int32_t>(From.size()));
    for (size_t J = 0; J < From.size(); ++J) {
        if (const TCharStyle* S = From[J] < 0 ? nullptr : Rich.Styles.GetItem(From[J])) {
            auto Copy = std::make_unique<TCharStyle>();
            Copy->Assign(*S);
            Styles.SetItem(static_cast<int32_t>(J), Copy.release());
        }
    }
    return true;
}

std::string JoinLines(const std::vector<std::string>& Lines)
{
    std::string Text;
    for (size_t I = 0; I < Lines.size(); ++I) {
        if (I > 0)
            Text += "\r\n";
        Text += Lines[I];
    }
    return Text;
}

// The byte positions where the characters of Text start, line breaks left out.
template <class F>
void ForEachCharStart(const std::string& Text, F&& Fn)
{
    size_t I = 0;
    while (I < Text.size()) {
        const auto B = static_cast<uint8_t>(Text[I]);
        if (B != CR && B != LF)
            Fn(static_cast<int32_t>(I));
        I += IsSjisLeadByte(B) ? 2 : 1;
    }
}

template <class F>
void ForEachTextObj(TDrawItem& Item, F&& Fn)
{
    if (auto* Group = dynamic_cast<TDrawGroup*>(&Item)) {
        for (int32_t I = 0; I < Group->GetCount(); ++I)
            ForEachTextObj(*Group->GetItem(I), Fn);
    } else if (auto* T = dynamic_cast<TTextObj*>(&Item)) {
        Fn(*T);
    }
}

std::unique_ptr<TDrawItem> NewTextObj(TPageLink* Page, int32_t ID)
{
    return std::make_unique<TTextObj>(Page, ID);
}

}  // namespace

// ---------------------------------------------------------------------------

TrecCharAttr CharAttrOfDefaultFont(const TrecDefaultFont& F)
{
    TrecCharAttr A;
    A.Size = F.Height;
    static_assert(sizeof(A.FaceName) == sizeof(F.FaceName));
    std::memcpy(A.FaceName, F.FaceName, sizeof(A.FaceName));
    A.FaceName[sizeof(A.FaceName) - 1] = 0;
    A.CharSet = F.CharSet;
    A.Unused = F.Byte1;
    A.Bold = F.Style[0];
    A.Italic = F.Style[1];
    A.Underline = F.Style[2];
    A.StrikeOut = F.Style[3];
    A.Rise = F.Value1;
    A.ExtraAdvance = F.Value2;
    return A;
}

void SetDefaultFontCharAttr(TrecDefaultFont& F, const TrecCharAttr& A)
{
    F.Height = A.Size;
    F.Style[0] = A.Bold;
    F.Style[1] = A.Italic;
    F.Style[2] = A.Underline;
    F.Style[3] = A.StrikeOut;
    F.Value1 = A.Rise;
    F.Value2 = A.ExtraAdvance;
}

TrecCharAttr DefaultCharAttr()
{
    TrecCharAttr A;
    if (const TDefaultData* D = GetDefaultAttributes()) {
        A = CharAttrOfDefaultFont(D->Font);
    } else {
        A.Size = 48;
        SetCharAttrFaceName(A, Utf8ToCp932("ＭＳ Ｐゴシック"));
        A.CharSet = 128;
    }
    return A;
}

void RegisterTextObjType()
{
    RegisterDrawItemType(doftText, &NewTextObj);
}

const TDrawItemClass TTextObj::ClassInfo{"TTextObj", &TLineObject::ClassInfo, &NewTextObj};

TTextObj::TTextObj(TPageLink* APage, int32_t AID)
    : TLineObject(APage, AID), FRichText(std::make_unique<TRTFTav>()),
      FParagraph(std::make_unique<TParagraphStyle>())
{
    uint8_t Fill = 1;
    if (const TDefaultData* D = GetDefaultAttributes()) {
        FParagraph->FLineSpacingRule = D->Value1;
        FParagraph->LineSpacing = D->Double1;
        FParagraph->SpacingUnit = D->Byte1;
        FLayout = D->TextParam;
        Fill = D->FillPath;
    }
    FOutputPath.Flag = Fill;
    FBasePath.Flag = Fill;
}

TTextObj::~TTextObj() = default;

// ---------------------------------------------------------------------------
// The link

TDrawItem* TTextObj::LinkedPath() const
{
    if (FiLinkedID > 0) {
        if (const THistoryCommand* H = HistoryCommand()) {
            // An ID an undone step gave back may name a new object since.
            if (H->ObjGeneration(FiLinkedID) != FiLinkedGen)
                return nullptr;
            return dynamic_cast<TDrawItem*>(H->GetObj(FiLinkedID));
        }
    }
    return FLinked.Get();
}

uint32_t TTextObj::GenerationOf(int32_t ID) const
{
    const THistoryCommand* H = HistoryCommand();
    return H && ID > 0 ? H->ObjGeneration(ID) : 0;
}

void TTextObj::LinkTo(const TDrawItem* Item)
{
    FLinked = TDrawItemRef(Item);
    FiLinkedID = Item ? Item->ObjID() : 0;
    FiLinkedGen = GenerationOf(FiLinkedID);
}

int32_t TTextObj::StoredLinkID() const
{
    if (const TDrawItem* L = LinkedPath())
        return L->ObjID();
    // Gone: a file or a copy holds no link, as the text stands. The record
    // of the text's own deletion keeps it while the path may come back
    // under its ID (none other holds it since).
    if (WritingDeletionRecord() && FiLinkedID > 0) {
        const THistoryCommand* H = HistoryCommand();
        if (H && !H->GetObj(FiLinkedID) && H->ObjGeneration(FiLinkedID) == FiLinkedGen)
            return FiLinkedID;
    }
    return 0;
}

void TTextObj::CheckPathSource()
{
    // A stale glyph path is laid anew anyway; one being laid is not
    // checked against itself.
    if (FbBasePathState != 2 || FbBuilding || FbCheckingSource)
        return;
    TDrawObject* Guide = LinkedGuide();
    // A text laid on a text follows that one's own path first.
    if (auto* GuideText = dynamic_cast<TTextObj*>(Guide))
        GuideText->CheckPathSource();
    if ((Guide != nullptr) == FbLaidOnPath &&
        (!Guide || (Guide->ObjID() == FiLaidOnID && Guide->PathSerial() == FiLaidOnSerial)))
        return;
    // The area the glyphs leave is measured with the path they had.
    FbCheckingSource = true;
    try {
        SetPathState(0);
    } catch (...) {
        FbCheckingSource = false;
        throw;
    }
    FbCheckingSource = false;
}

TDrawObject* TTextObj::LinkedGuide() const
{
    TDrawItem* L = LinkedPath();
    if (!L || L == this)
        return nullptr;
    // Texts linked in a ring would each wait for the other's path: every
    // text of the ring stands straight (a file holding such links reads
    // back the same). A ring further down the chain is that ring's own
    // matter; this text lays on its first link as usual.
    std::unordered_set<const TDrawItem*> Seen;
    for (const TTextObj* T = dynamic_cast<const TTextObj*>(L); T;) {
        if (T == this)
            return nullptr;
        if (!Seen.insert(T).second)
            break;
        T = dynamic_cast<const TTextObj*>(T->LinkedPath());
    }
    return dynamic_cast<TDrawObject*>(L);
}

void TTextObj::SetLinkedPath(TDrawItem* Item)
{
    if (Item == this)
        Item = nullptr;
    if (Item == LinkedPath())
        return;
    LinkTo(Item);
    SetPathState(0);
    SetModified();
}

void TTextObj::InvalidateTextPath(uint8_t Flag)
{
    if (Flag != FbPathLink)
        SetPathState(0);
}

void TTextObj::ReplaceReference(TDrawItem* OldItem, TDrawItem* NewItem)
{
    if (!OldItem || LinkedPath() != OldItem)
        return;
    if (NewItem == this)
        NewItem = nullptr;
    const int32_t Old = FiLinkedID;
    const int32_t New = NewItem ? NewItem->ObjID() : 0;
    AddHistory(0, 48, &Old, 4);
    AddHistory(1, 48, &New, 4);
    LinkTo(NewItem);
    SetPathState(0);
    SetModified();
}

void TTextObj::NotifyItemChanged(TDrawItem* Item)
{
    TDrawItem* L = LinkedPath();
    if (L && Item && Item->IsSameItem(L))
        SetPathState(0);
}

void TTextObj::RelinkReadItems(const TList2Item* IDMap)
{
    if (FiLinkedID == 0) {
        FLinked = {};
        return;
    }
    // Without a map the item was re-read under the IDs it had.
    if (IDMap) {
        const int32_t I = IDMap->IndexOfKey(FiLinkedID);
        if (I < 0) {
            FiLinkedID = 0;
            FLinked = {};
            return;
        }
        FiLinkedID = static_cast<int32_t>(IDMap->GetItem(I));
    }
    FiLinkedGen = GenerationOf(FiLinkedID);
    FLinked = {};
    FLinked = TDrawItemRef(LinkedPath());
    if (!FLinked.Get())
        FiLinkedID = 0;
}

// ---------------------------------------------------------------------------
// Text

void TTextObj::SetText(const std::string& Cp932Text)
{
    Invalidate(true);
    FRichText->Text = Cp932Text;
    FRichText->Styles.Clear();
    FRichText->Styles.InsertText(0, Cp932Text, DefaultCharAttr());
    SetPathState(0);
    SetModified();
}

void TTextObj::SetNewText(const std::string& Cp932Text)
{
    SetText(Cp932Text);
    if (!Cp932Text.empty())
        SetCharFaceName(0, static_cast<int32_t>(Cp932Text.size()), CharAttrFaceName(DefaultCharAttr()));
}

void TTextObj::SetPosition(int32_t X, int32_t Y)
{
    if (X == FiX && Y == FiY)
        return;
    Invalidate(true);
    FiX = X;
    FiY = Y;
    SetPathState(0);
    SetModified();
}

void TTextObj::PadStyles()
{
    TListCharStyle& Styles = FRichText->Styles;
    const auto Len = static_cast<int32_t>(FRichText->Text.size());
    if (Styles.Count() > Len)
        Styles.DeleteRangeFree(Len, Styles.Count() - Len);
    if (Styles.Count() < Len)
        Styles.InsertSpace(Styles.Count(), Len - Styles.Count());
    // A character without a style takes that of the character before it (the
    // first styled one for a leading gap, else the default attributes).
    const TCharStyle* Fallback = nullptr;
    for (int32_t I = 0; I < Len && !Fallback; ++I)
        Fallback = Styles.GetItem(I);
    TrecCharAttr Attr = Fallback ? Fallback->Attr : DefaultCharAttr();
    ForEachCharStart(FRichText->Text, [&](int32_t I) {
        if (const TCharStyle* S = Styles.GetItem(I)) {
            Attr = S->Attr;
            return;
        }
        auto Style = std::make_unique<TCharStyle>();
        Style->Attr = Attr;
        Styles.SetItem(I, Style.release());
    });
}

void TTextObj::CheckRange(int32_t Position, int32_t Length, const char* Message) const
{
    const auto Len = static_cast<int64_t>(FRichText->Text.size());
    if (Position < 0 || Length < 0 || int64_t(Position) + Length > Len)
        throw EUserError(Message);
}

void TTextObj::SetCaret(int32_t Start, int32_t Length)
{
    if (auto* Link = dynamic_cast<TTextCaretLink*>(Page()))
        Link->SetTextCaret(this, Start, Length);
}

void TTextObj::DeleteRange(int32_t Position, int32_t Length)
{
    Invalidate(true);
    FRichText->Text.erase(static_cast<size_t>(Position), static_cast<size_t>(Length));
    TListCharStyle& Styles = FRichText->Styles;
    const int32_t N = std::min(Length, Styles.Count() - Position);
    if (N > 0)
        Styles.DeleteRangeFree(Position, N);
    SetPathState(0);
    SetModified();
}

void TTextObj::InsertTyped(int32_t Position, const std::string& Text, const TrecCharAttr& Attr)
{
    Invalidate(true);
    FRichText->Text.insert(static_cast<size_t>(Position), Text);
    FRichText->Styles.InsertText(Position, Text, Attr);
    SetPathState(0);
    SetModified();
}

void TTextObj::InsertStyledText(TStream& Stream, bool Select)
{
    const int32_t Position = StreamReadInt32(Stream);
    const std::string Text = StreamReadString(Stream);
    CheckRange(Position, 0, "TTextObj.InsertStyledText: Illegal Position");
    std::vector<std::pair<int32_t, std::unique_ptr<TCharStyle>>> Read;
    ForEachCharStart(Text, [&](int32_t I) {
        auto Style = std::make_unique<TCharStyle>();
        Style->ReadFromStream(Stream, kRecordVersion);
        Read.emplace_back(I, std::move(Style));
    });
    const auto N = static_cast<int32_t>(Text.size());
    Invalidate(true);
    FRichText->Text.insert(static_cast<size_t>(Position), Text);
    TListCharStyle& Styles = FRichText->Styles;
    Styles.InsertSpace(Position, N);
    for (auto& [I, Style] : Read)
        Styles.SetItem(Position + I, Style.release());
    SetPathState(0);
    SetModified();
    if (Select)
        SetCaret(Position, N);
    else
        SetCaret(Position + N, 0);
}

// ---------------------------------------------------------------------------
// Recorded edits

void TTextObj::ApplyLayoutChange()
{
    SetPathState(0);
    SetModified();
}

bool TTextObj::DoSetTextPaintKind(uint8_t Kind)
{
    Kind = std::min(Kind, MaxTextPaintKind);
    Invalidate(true);
    AddHistory(0, 32, &FbPaintKind, 1);
    AddHistory(1, 32, &Kind, 1);
    FbPaintKind = Kind;
    ApplyLayoutChange();
    return true;
}

bool TTextObj::DoSetTextLayoutParam(const TrecTextParam& Change)
{
    TrecTextParam Rec = Change;
    HoldTextLayout(Rec);
    Invalidate(true);
    const auto Old = LayoutToBytes(FLayout);
    const auto New = LayoutToBytes(Rec);
    AddHistory(0, 33, Old.data(), kLayoutSize);
    AddHistory(1, 33, New.data(), kLayoutSize);
    MergeTextParam(FLayout, Rec);
    DeclareAnchorsInvalid();
    ApplyLayoutChange();
    return true;
}

void TTextObj::SetLineSpacing(double Value)
{
    Value = HeldLineSpacing(FParagraph->FLineSpacingRule, FParagraph->SpacingUnit, Value);
    Invalidate(true);
    AddHistory(0, 36, &FParagraph->LineSpacing, 8);
    AddHistory(1, 36, &Value, 8);
    FParagraph->LineSpacing = Value;
    ApplyLayoutChange();
}

void TTextObj::SetLineSpacingRule(int32_t Rule)
{
    Rule = HeldLineSpacingRule(Rule);
    Invalidate(true);
    AddHistory(0, 37, &FParagraph->FLineSpacingRule, 4);
    AddHistory(1, 37, &Rule, 4);
    FParagraph->FLineSpacingRule = Rule;
    ApplyLayoutChange();
}

void TTextObj::SetSpacingUnit(uint8_t Unit)
{
    Unit = HeldSpacingUnit(Unit);
    Invalidate(true);
    AddHistory(0, 38, &FParagraph->SpacingUnit, 1);
    AddHistory(1, 38, &Unit, 1);
    FParagraph->SpacingUnit = Unit;
    ApplyLayoutChange();
}

void TTextObj::TypeText(int32_t Position, const std::string& Cp932Text, const TrecCharAttr& Attr)
{
    CheckRange(Position, 0, "TTextObj.TypeText: Illegal Position");
    if (CanRecord()) {
        TRecordWriter Undo;
        Undo.I32(Position);
        Undo.I32(static_cast<int32_t>(Cp932Text.size()));
        TRecordWriter Redo;
        Redo.I32(Position);
        Redo.Str(Cp932Text);
        TMemoryStream S;
        WriteCharStyleRec(S, Attr);
        Redo.Stream(S);
        AddHistory(0, 39, Undo.Data(), Undo.Size());
        AddHistory(1, 39, Redo.Data(), Redo.Size());
    }
    InsertTyped(Position, Cp932Text, Attr);
}

void TTextObj::PasteText(int32_t Position, const TRTFTav& Source)
{
    CheckRange(Position, 0, "TTextObj.PasteText: Illegal Position");
    // The inserted-text record: position, text, one style per character.
    TMemoryStream Record;
    StreamWriteInt32(Record, Position);
    StreamWriteString(Record, Source.Text);
    TCharStyle Default;
    Default.Attr = DefaultCharAttr();
    ForEachCharStart(Source.Text, [&](int32_t I) {
        const TCharStyle* S = Source.Styles.GetItem(I);
        (S ? *S : Default).WriteToStream(Record);
    });
    if (CanRecord()) {
        const int32_t Undo[2] = {Position, static_cast<int32_t>(Source.Text.size())};
        AddHistory(0, 40, Undo, 8);
        AddHistory(1, 40, Record.Memory(), static_cast<int32_t>(Record.Size()));
    }
    Record.SetPosition(0);
    InsertStyledText(Record, false);
}

void TTextObj::DeleteText(int32_t Position, int32_t Length)
{
    CheckRange(Position, Length, "TTextObj.DeleteText: Illegal Range");
    if (CanRecord()) {
        TMemoryStream Undo;
        StreamWriteInt32(Undo, Position);
        const std::string Part = FRichText->Text.substr(static_cast<size_t>(Position),
                                                        static_cast<size_t>(Length));
        StreamWriteString(Undo, Part);
        TCharStyle Default;
        Default.Attr = DefaultCharAttr();
        ForEachCharStart(Part, [&](int32_t I) {
            const TCharStyle* S = FRichText->Styles.GetItem(Position + I);
            (S ? *S : Default).WriteToStream(Undo);
        });
        const int32_t Redo[2] = {Position, Length};
        AddHistory(0, 41, Undo.Memory(), static_cast<int32_t>(Undo.Size()));
        AddHistory(1, 41, Redo, 8);
    }
    DeleteRange(Position, Length);
}

void TTextObj::SetCharFaceName(int32_t Position, int32_t Length, const std::string& Cp932Name)
{
    CheckRange(Position, Length, "TTextObj.SetCharFaceName: Illegal Range");
    std::string Face;
    uint8_t CharSet = 0;
    ValidateFontName(Cp932Name, Face, CharSet);
    TListCharStyle& Styles = FRichText->Styles;
    if (CanRecord()) {
        TRecordWriter Undo;
        Undo.I32(Position);
        Undo.I32(Length);
        for (int32_t I = Position; I < Position + Length; ++I)
            if (const TCharStyle* S = Styles.GetItem(I)) {
                Undo.Str(CharAttrFaceName(S->Attr));
                Undo.U8(S->Attr.CharSet);
            }
        TRecordWriter Redo;
        Redo.I32(Position);
        Redo.I32(Length);
        Redo.Str(Cp932Name);
        AddHistory(0, 42, Undo.Data(), Undo.Size());
        AddHistory(1, 42, Redo.Data(), Redo.Size());
    }
    Invalidate(true);
    for (int32_t I = Position; I < Position + Length; ++I)
        if (TCharStyle* S = Styles.GetItem(I)) {
            SetCharAttrFaceName(S->Attr, Face);
            S->Attr.CharSet = CharSet;
        }
    ApplyLayoutChange();
}

template <class T, class Get, class Set>
void TTextObj::SetCharValue(int32_t Code, int32_t Position, int32_t Length, T Value, Get GetFn,
                            Set SetFn)
{
    CheckRange(Position, Length, "TTextObj.SetCharAttr: Illegal Range");
    TListCharStyle& Styles = FRichText->Styles;
    if (CanRecord()) {
        TRecordWriter Undo;
        Undo.I32(Position);
        Undo.I32(Length);
        for (int32_t I = Position; I < Position + Length; ++I)
            if (const TCharStyle* S = Styles.GetItem(I)) {
                const T Old = GetFn(S->Attr);
                Undo.Raw(&Old, sizeof(T));
            }
        TRecordWriter Redo;
        Redo.I32(Position);
        Redo.I32(Length);
        Redo.Raw(&Value, sizeof(T));
        AddHistory(0, Code, Undo.Data(), Undo.Size());
        AddHistory(1, Code, Redo.Data(), Redo.Size());
    }
    Invalidate(true);
    for (int32_t I = Position; I < Position + Length; ++I)
        if (TCharStyle* S = Styles.GetItem(I))
            SetFn(S->Attr, Value);
    ApplyLayoutChange();
}

namespace {
// The character attributes of codes 43 to 47.
uint8_t GetBold(const TrecCharAttr& A) { return A.Bold; }
void SetBold(TrecCharAttr& A, uint8_t V) { A.Bold = V; }
uint8_t GetItalic(const TrecCharAttr& A) { return A.Italic; }
void SetItalic(TrecCharAttr& A, uint8_t V) { A.Italic = V; }
int32_t GetSize(const TrecCharAttr& A) { return A.Size; }
void SetSize(TrecCharAttr& A, int32_t V) { A.Size = V; }
int32_t GetRise(const TrecCharAttr& A) { return A.Rise; }
void SetRise(TrecCharAttr& A, int32_t V) { A.Rise = V; }
int32_t GetExtra(const TrecCharAttr& A) { return A.ExtraAdvance; }
void SetExtra(TrecCharAttr& A, int32_t V) { A.ExtraAdvance = V; }
}  // namespace

void TTextObj::SetCharBold(int32_t Position, int32_t Length, uint8_t Value)
{
    SetCharValue<uint8_t>(43, Position, Length, Value, GetBold, SetBold);
}

void TTextObj::SetCharItalic(int32_t Position, int32_t Length, uint8_t Value)
{
    SetCharValue<uint8_t>(44, Position, Length, Value, GetItalic, SetItalic);
}

void TTextObj::SetCharSize(int32_t Position, int32_t Length, int32_t Value)
{
    SetCharValue<int32_t>(45, Position, Length, Value, GetSize, SetSize);
}

void TTextObj::SetCharRise(int32_t Position, int32_t Length, int32_t Value)
{
    SetCharValue<int32_t>(46, Position, Length, Value, GetRise, SetRise);
}

void TTextObj::SetCharExtraAdvance(int32_t Position, int32_t Length, int32_t Value)
{
    SetCharValue<int32_t>(47, Position, Length, Value, GetExtra, SetExtra);
}

// ---------------------------------------------------------------------------
// Undo and redo

void TTextObj::Undo(int32_t Command, const void* Data, int32_t Size)
{
    if (!Replay(Command, Data, Size, false))
        TLineObject::Undo(Command, Data, Size);
}

void TTextObj::Redo(int32_t Command, const void* Data, int32_t Size)
{
    if (!Replay(Command, Data, Size, true))
        TLineObject::Redo(Command, Data, Size);
}

void TTextObj::ApplyPosition(int32_t X, int32_t Y, float Angle)
{
    Invalidate(true);
    FiX = X;
    FiY = Y;
    FAngle = Angle;
    DeclareAnchorsInvalid();
    ApplyLayoutChange();
}

bool TTextObj::Replay(int32_t Command, const void* Data, int32_t Size, bool IsRedo)
{
    const int32_t Code = Command & 0x7F;
    if (Code < 32 || Code > 48)
        return false;
    TRecordReader R(Data, Size);
    TListCharStyle& Styles = FRichText->Styles;
    // The styled slots of a range, checked against the text first.
    auto StyledSlots = [&](int32_t Position, int32_t Length) {
        CheckRange(Position, Length, kUndoDataError);
        std::vector<TCharStyle*> Slots;
        for (int32_t I = Position; I < Position + Length; ++I)
            if (TCharStyle* S = Styles.GetItem(I))
                Slots.push_back(S);
        return Slots;
    };
    auto EndRecord = [&] {
        if (!R.AtEnd())
            throw EUserError(kUndoDataError);
    };
    // The caret after an edit of the text (39 to 47).
    auto Caret = [&](int32_t Start, int32_t Length) {
        SetCaret(Start, Length);
        if (auto* Link = dynamic_cast<TTextCaretLink*>(Page()))
            Link->ClearPendingTyping();
    };

    switch (Code) {
    case 48: {
        // The link as the replacement left it (redo) or found it (undo); the
        // item may come back later in the same replay.
        const int32_t ID = R.I32();
        EndRecord();
        FiLinkedID = std::max(ID, 0);
        FiLinkedGen = GenerationOf(FiLinkedID);
        FLinked = {};
        SetPathState(0);
        SetModified();
        break;
    }
    case 32: {
        const uint8_t Kind = R.U8();
        Invalidate(true);
        FbPaintKind = Kind;
        ApplyLayoutChange();
        break;
    }
    case 33: {
        if (R.Left() < kLayoutSize)
            throw EUserError(kUndoDataError);
        uint8_t B[kLayoutSize];
        for (uint8_t& V : B)
            V = R.U8();
        Invalidate(true);
        MergeTextParam(FLayout, LayoutFromBytes(B));
        DeclareAnchorsInvalid();
        ApplyLayoutChange();
        break;
    }
    case 34: {
        const int32_t X = R.I32();
        const int32_t Y = R.I32();
        const float Angle = R.F32();
        ApplyPosition(X, Y, Angle);
        break;
    }
    case 35: {
        if (IsRedo) {
            const double CX = R.F64();
            const double CY = R.F64();
            const double FX = R.F64();
            const double FY = R.F64();
            ScaleTo(CX, CY, FX, FY);
            DeclareAnchorsInvalid();
            break;
        }
        const int32_t X = R.I32();
        const int32_t Y = R.I32();
        if (R.Left() % 8 != 0)
            throw EUserError(kUndoDataError);
        std::vector<std::pair<int32_t, int32_t>> Sizes;
        while (!R.AtEnd()) {
            const int32_t Index = R.I32();
            Sizes.emplace_back(Index, R.I32());
        }
        Invalidate(true);
        FiX = X;
        FiY = Y;
        for (const auto& [Index, Value] : Sizes)
            if (Index >= 0)
                if (TCharStyle* S = Styles.GetItem(Index))
                    S->Attr.Size = Value;
        DeclareAnchorsInvalid();
        ApplyLayoutChange();
        break;
    }
    case 36: {
        const double V = R.F64();
        Invalidate(true);
        FParagraph->LineSpacing = V;
        ApplyLayoutChange();
        break;
    }
    case 37: {
        const int32_t V = R.I32();
        Invalidate(true);
        FParagraph->FLineSpacingRule = V;
        ApplyLayoutChange();
        break;
    }
    case 38: {
        const uint8_t V = R.U8();
        Invalidate(true);
        FParagraph->SpacingUnit = V;
        ApplyLayoutChange();
        break;
    }
    case 39:
    case 40:
    case 41: {
        // Undo 39 and 40 and redo 41 delete a range; undo 41 and redo 40
        // insert styled text; redo 39 inserts typed text.
        const bool Deletes = IsRedo ? Code == 41 : Code != 41;
        if (Deletes) {
            const int32_t Position = R.I32();
            const int32_t Length = R.I32();
            EndRecord();
            CheckRange(Position, Length, kUndoDataError);
            DeleteRange(Position, Length);
            Caret(Position, 0);
        } else if (IsRedo && Code == 39) {
            const int32_t Position = R.I32();
            const std::string Text = R.Str();
            CheckRange(Position, 0, kUndoDataError);
            TMemoryStreamWex S;
            R.Rest(S);
            TrecCharAttr Attr;
            ReadCharStyleRec(S, Attr, kRecordVersion);
            InsertTyped(Position, Text, Attr);
            Caret(Position + static_cast<int32_t>(Text.size()), 0);
        } else {
            // The insertion places the caret itself: after the text (redo
            // 40) or over it (undo 41).
            TMemoryStreamWex S;
            R.Rest(S);
            InsertStyledText(S, !IsRedo);
            if (auto* Link = dynamic_cast<TTextCaretLink*>(Page()))
                Link->ClearPendingTyping();
        }
        break;
    }
    case 42: {
        const int32_t Position = R.I32();
        const int32_t Length = R.I32();
        const std::vector<TCharStyle*> Slots = StyledSlots(Position, Length);
        if (IsRedo) {
            const std::string Name = R.Str();
            EndRecord();
            std::string Face;
            uint8_t CharSet = 0;
            ValidateFontName(Name, Face, CharSet);
            Invalidate(true);
            for (TCharStyle* S : Slots) {
                SetCharAttrFaceName(S->Attr, Face);
                S->Attr.CharSet = CharSet;
            }
        } else {
            std::vector<std::pair<std::string, uint8_t>> Faces;
            for (size_t I = 0; I < Slots.size(); ++I) {
                std::string Face = R.Str();
                Faces.emplace_back(std::move(Face), R.U8());
            }
            EndRecord();
            Invalidate(true);
            for (size_t I = 0; I < Slots.size(); ++I) {
                SetCharAttrFaceName(Slots[I]->Attr, Faces[I].first);
                Slots[I]->Attr.CharSet = Faces[I].second;
            }
        }
        ApplyLayoutChange();
        Caret(Position, Length);
        break;
    }
    default: { // 43 to 47
        const int32_t Position = R.I32();
        const int32_t Length = R.I32();
        const std::vector<TCharStyle*> Slots = StyledSlots(Position, Length);
        const bool IsByte = Code <= 44;
        std::vector<int32_t> Values;
        const size_t Count = IsRedo ? 1 : Slots.size();
        for (size_t I = 0; I < Count; ++I)
            Values.push_back(IsByte ? R.U8() : R.I32());
        EndRecord();
        Invalidate(true);
        for (size_t I = 0; I < Slots.size(); ++I) {
            const int32_t V = Values[IsRedo ? 0 : I];
            TrecCharAttr& A = Slots[I]->Attr;
            switch (Code) {
            case 43: A.Bold = static_cast<uint8_t>(V); break;
            case 44: A.Italic = static_cast<uint8_t>(V); break;
            case 45: A.Size = V; break;
            case 46: A.Rise = V; break;
            default: A.ExtraAdvance = V; break;
            }
        }
        ApplyLayoutChange();
        Caret(Position, Length);
        break;
    }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Geometry

bool TTextObj::MoveKeepsReach(int32_t DX, int32_t DY)
{
    if (LinkedPath())
        return true;
    return SpanKeepsReach(FiX, FiX, DX) && SpanKeepsReach(FiY, FiY, DY) && TLineObject::MoveKeepsReach(DX, DY);
}

void TTextObj::MoveBy(int32_t DX, int32_t DY)
{
    if (LinkedPath() || (DX == 0 && DY == 0))
        return;
    Invalidate(true);
    FiX = WrapAdd(FiX, DX);
    FiY = WrapAdd(FiY, DY);
    SetPathState(0);
    TLineObject::MoveBy(DX, DY);
}

void TTextObj::Rotate(double CX, double CY, double Angle)
{
    if (FPathMacros->Count() != 0 || LinkedPath())
        return;
    DeclareAnchorsInvalid();
    Invalidate(true);
    const int32_t OldX = FiX;
    const int32_t OldY = FiY;
    const float OldAngle = FAngle;
    const TRect OldBounds = GetPath().Bounds;
    const double DX = double(FiX) - CX;
    const double DY = double(FiY) - CY;
    FiX = RoundSat(DX * std::cos(Angle) - DY * std::sin(Angle) + CX);
    FiY = RoundSat(DX * std::sin(Angle) + DY * std::cos(Angle) + CY);
    FAngle = ToFloat32(double(FAngle) + Angle);
    SetPathState(0);
    const bool Recording = CanRecord();
    if (Recording) {
        TRecordWriter Undo;
        Undo.I32(OldX);
        Undo.I32(OldY);
        Undo.F32(OldAngle);
        TRecordWriter Redo;
        Redo.I32(FiX);
        Redo.I32(FiY);
        Redo.F32(FAngle);
        AddHistory(0, 34, Undo.Data(), Undo.Size());
        AddHistory(1, 34, Redo.Data(), Redo.Size());
    }
    const TRect NewBounds = GetPath().Bounds;
    TMemoryStream Changes;
    FMacros->TransformParams(Angle, TPoint{RoundSat(CX), RoundSat(CY)}, OldBounds, NewBounds,
                             Recording ? &Changes : nullptr);
    if (Recording)
        RecordParamChanges(Changes);
    SetModified();
}

void TTextObj::ScaleTo(double CX, double CY, double FX, double FY)
{
    if (LinkedPath())
        return;
    DoScale(CX, CY, FX, FY);
}

void TTextObj::DoScale(double CX, double CY, double FX, double FY)
{
    DeclareAnchorsInvalid();
    Invalidate(true);
    // A flip keeps its size; a factor of 0 (or none at all) becomes 1.0.
    auto Positive = [](double F) { return F > 0 ? F : (F < 0 ? -F : 1.0); };
    FX = Positive(FX);
    FY = Positive(FY);
    double F;
    if (FX == 1024.0 && FY < 1024.0)
        F = FY;
    else if (FY == 1024.0 && FX < 1024.0)
        F = FX;
    else
        F = FX > FY ? FX : FY;
    TListCharStyle& Styles = FRichText->Styles;
    if (CanRecord()) {
        TRecordWriter Undo;
        Undo.I32(FiX);
        Undo.I32(FiY);
        for (int32_t I = 0; I < Styles.Count(); ++I)
            if (const TCharStyle* S = Styles.GetItem(I)) {
                Undo.I32(I);
                Undo.I32(S->Attr.Size);
            }
        TRecordWriter Redo;
        Redo.F64(CX);
        Redo.F64(CY);
        Redo.F64(FX);
        Redo.F64(FY);
        AddHistory(0, 35, Undo.Data(), Undo.Size());
        AddHistory(1, 35, Redo.Data(), Redo.Size());
    }
    FiX = RoundSat((double(FiX) - CX) * F / 1024.0 + CX);
    FiY = RoundSat((double(FiY) - CY) * F / 1024.0 + CY);
    for (int32_t I = 0; I < Styles.Count(); ++I)
        if (TCharStyle* S = Styles.GetItem(I)) {
            const int32_t Size = RoundSat(double(S->Attr.Size) * F / 1024.0);
            S->Attr.Size = Size == 0 ? 1 : Size;
        }
    SetPathState(0);
    SetModified();
}

bool TTextObj::DoSetItemAngle(double Angle)
{
    const TrecPath& P = GetPath();
    double CX = FiX;
    double CY = FiY;
    if (P.Count > 0) {
        CX = (double(P.Bounds.Left) + P.Bounds.Right) / 2.0;
        CY = (double(P.Bounds.Top) + P.Bounds.Bottom) / 2.0;
    }
    Rotate(CX, CY, Angle - double(FAngle));
    return true;
}

bool TTextObj::DoSetItemPosX(int32_t X)
{
    MoveBy(static_cast<int32_t>(static_cast<uint32_t>(X) - static_cast<uint32_t>(FiX)), 0);
    return true;
}

bool TTextObj::DoSetItemPosY(int32_t Y)
{
    MoveBy(0, static_cast<int32_t>(static_cast<uint32_t>(Y) - static_cast<uint32_t>(FiY)));
    return true;
}

bool TextLayoutInRange(const TrecTextParam& Layout)
{
    const auto Within = [](int32_t V) { return V >= -MaxTextPathDistance && V <= MaxTextPathDistance; };
    return Within(Layout.Value1) && Within(Layout.Value2);
}

bool HoldTextLayout(TrecTextParam& Layout)
{
    if (TextLayoutInRange(Layout))
        return false;
    Layout.Value1 = ClampedValue(Layout.Value1, -MaxTextPathDistance, MaxTextPathDistance);
    Layout.Value2 = ClampedValue(Layout.Value2, -MaxTextPathDistance, MaxTextPathDistance);
    return true;
}

// ---------------------------------------------------------------------------
// Paths

void TTextObj::BuildBasePath()
{
    if (FbBasePathState == 2)
        return;
    TBuildGuard Guard(FbBuilding);
    const uint8_t Flag = FBasePath.Flag;
    std::vector<int32_t> Counts;
    std::vector<TPoint> Centres;
    const std::string& Text = FRichText->Text;
    const TListCharStyle& Styles = FRichText->Styles;
    TDrawObject* Guide = LinkedGuide();
    FbLaidOnPath = Guide != nullptr;
    FiLaidOnID = Guide ? Guide->ObjID() : 0;
    if (Guide) {
        const TrecPath& G = Guide->GetPath();
        FiLaidOnSerial = Guide->PathSerial();
        MakeTextPathOnPath(Text, TextLayoutDpi, Styles, *FParagraph, G, FLayout.Value1,
                           FLayout.Value2, Counts, Centres, FBasePath);
    } else {
        if (FbPaintKind != 0)
            MakeTextPathPerChar(Text, TextLayoutDpi, Styles, *FParagraph, Counts, Centres, FBasePath);
        else
            MakeTextPath(Text, TextLayoutDpi, Styles, *FParagraph, FBasePath);
        RecPathOffset(FBasePath, FiX, FiY);
        for (TPoint& C : Centres)
            C = TPoint{WrapAdd(C.X, FiX), WrapAdd(C.Y, FiY)};
    }
    if (FbPaintKind == 0) {
        Counts.clear();
        Centres.clear();
    }
    FBasePath.Flag = Flag;
    FGlyphRanges = std::move(Counts);
    FGlyphOffsets = std::move(Centres);
    TLineObject::BuildBasePath();
}

void TTextObj::RebuildPath()
{
    CheckPathSource();
    if (FbOutputPathState == 2 || FbBuilding)
        return;
    if (FbOutputPathState == 1) {
        RecPathCalcBounds(FOutputPath);
        FbOutputPathState = 2;
        return;
    }
    {
        TBuildGuard Guard(FbBuilding);
        EnsureBasePath();
        std::vector<int32_t> Ranges = FGlyphRanges;
        FOutline.Transform(FBasePath.Bounds, FBasePath, FOutputPath, Ranges, FGlyphOffsets);
        if (FAngle != 0.0f && !LinkedGuide())
            RecPolyLineRotate(FOutputPath, FiX, FiY, FAngle);
        RecPathCalcBounds(FOutputPath);
        FOutputRanges = std::move(Ranges);
        FbOutputPathState = 2;
    }
    Invalidate(true);
}

// ---------------------------------------------------------------------------
// Painting

void TTextObj::Paint(TrecDrawTarget& Target, uint8_t DisplayMode, TListRecPict* PictureStore,
                     uint8_t* AbortFlag, int32_t Flags)
{
    if (!Visible())
        return;
    if (FbPaintKind == 0 || !Page()) {
        TLineObject::Paint(Target, DisplayMode, PictureStore, AbortFlag, Flags);
        return;
    }
    TDrawObject::Paint(Target, DisplayMode, PictureStore, AbortFlag, Flags);
    GetPath();
    if (IsEmptyRect(FrectExtent1) || IsEmptyRect(FrectExtent2))
        CalcExtents();
    TRect R;
    RecPictureGetRect(Target.Picture, R);
    if (RectsIntersect(R, FrectExtent1) || RectsIntersect(R, FrectExtent2))
        PaintGlyphs(Target.Picture, PictureStore, DisplayMode, AbortFlag);
}

void TTextObj::PaintGlyphs(TrecPicture& Target, TListRecPict* Store, uint8_t DisplayMode,
                           uint8_t* AbortFlag)
{
    const std::vector<int32_t>& R = FOutputRanges;
    bool Valid = R.size() >= 2 && R.front() >= 0 && R.back() == FOutputPath.Count;
    for (size_t I = 0; Valid && I + 1 < R.size(); ++I)
        Valid = R[I] <= R[I + 1];
    if (!Valid) {
        PaintFillMacros(Target, Store, DisplayMode, AbortFlag);
        return;
    }
    const auto Glyphs = static_cast<int32_t>(R.size()) - 1;
    TrecPath Glyph;
    Glyph.Flag = FOutputPath.Flag;
    TMacroPaintArgs Args = FillMacroArgs(&Target, Store, DisplayMode, AbortFlag);
    Args.PrimaryPath = &Glyph;
    for (int32_t K = 0; K < Glyphs; ++K) {
        const int32_t I = FbPaintKind == 1 ? K : Glyphs - 1 - K;
        const int32_t First = R[static_cast<size_t>(I)];
        const int32_t N = R[static_cast<size_t>(I) + 1] - First;
        if (N == 0)
            continue;
        RecPolyLineSetCount(Glyph, N);
        std::copy_n(FOutputPath.Points.begin() + First, N, Glyph.Points.begin());
        std::copy_n(FOutputPath.pabType.begin() + First, N, Glyph.pabType.begin());
        RecPathCalcBounds(Glyph);
        Args.Instance = I;
        TRect R1;
        TRect R2;
        FMacros->Paint(Args, {}, nullptr, R1, R2);
        if (AbortFlag && *AbortFlag)
            break;
    }
}

bool TTextObj::SameAttributes(TDrawItem* Other)
{
    auto* O = dynamic_cast<TTextObj*>(Other);
    return O && TLineObject::SameAttributes(Other) && O->FbPathLink == FbPathLink &&
           O->LinkedPath() == LinkedPath() && LayoutToBytes(O->FLayout) == LayoutToBytes(FLayout) &&
           O->FDouble1 == FDouble1 && O->FDouble2 == FDouble2 && O->FiX == FiX && O->FiY == FiY &&
           O->FAngle == FAngle;
}

void TTextObj::Assign(TDrawItem* Source)
{
    auto* S = dynamic_cast<TTextObj*>(Source);
    if (!S)
        throw EConvertError("TTextObj.Assign: DrawItemSrc is not TTextObj");
    TLineObject::Assign(Source);
    if (S == this)
        return;
    FbPathLink = S->FbPathLink;
    TDrawItem* Linked = S->LinkedPath();
    FLinked = TDrawItemRef(Linked);
    FiLinkedID = Linked ? Linked->ObjID() : 0;
    if (Linked && FiLinkedID <= 0)
        FiLinkedID = S->FiLinkedID;
    FiLinkedGen = Linked ? S->FiLinkedGen : 0;
    FLayout = S->FLayout;
    FDouble1 = S->FDouble1;
    FDouble2 = S->FDouble2;
    FiX = S->FiX;
    FiY = S->FiY;
    FAngle = S->FAngle;
    FRichText->Assign(*S->FRichText);
    FParagraph->Assign(*S->FParagraph);
    FbPaintKind = S->FbPaintKind;
    FGlyphRanges = S->FGlyphRanges;
    FGlyphOffsets = S->FGlyphOffsets;
    FOutputRanges = S->FOutputRanges;
}

bool TTextObj::ValuesDrawable(int32_t Dpi) const
{
    // The editor makes texts of any length (MaxTextObjectBytes holds what
    // one paste brings): a longer text draws.
    if (!WithinItemReach(FiX) || !WithinItemReach(FiY))
        return false;
    const TListCharStyle& Styles = FRichText->Styles;
    for (int32_t I = 0; I < Styles.Count(); ++I)
        if (const TCharStyle* S = Styles.GetItem(I); S && !CharAttrDrawable(S->Attr, Dpi))
            return false;
    return ParagraphInRange(*FParagraph) && TextLayoutInRange(FLayout) && FbPaintKind <= MaxTextPaintKind &&
           TLineObject::ValuesDrawable(Dpi);
}

void TTextObj::BringValuesIntoRange(int32_t Dpi)
{
    bool Changed = HoldParagraph(*FParagraph);
    Changed = HoldTextLayout(FLayout) || Changed;
    const TListCharStyle& Styles = FRichText->Styles;
    for (int32_t I = 0; I < Styles.Count(); ++I)
        if (TCharStyle* S = Styles.GetItem(I))
            Changed = HoldCharAttr(S->Attr, Dpi) || Changed;
    // Every kind above 2 painted from the last glyph, as 2 does.
    FbPaintKind = std::min(FbPaintKind, MaxTextPaintKind);
    // The text's origin within the item reach: the text moves, it keeps
    // its look.
    const int32_t X = std::clamp(FiX, -MaxItemReach, MaxItemReach);
    const int32_t Y = std::clamp(FiY, -MaxItemReach, MaxItemReach);
    Changed = Changed || X != FiX || Y != FiY;
    FiX = X;
    FiY = Y;
    if (Changed)
        SetPathState(0);
    TLineObject::BringValuesIntoRange(Dpi);
}

bool TTextObj::TakeCommonAttributes(TDrawGroup& Group)
{
    if (!TLineObject::TakeCommonAttributes(Group))
        return false;
    auto* First = dynamic_cast<TTextObj*>(TDrawItem::GetFirstDrawObject(&Group));
    if (!First)
        return true;
    float Angle = First->FAngle;
    uint8_t Kind = First->FbPaintKind;
    TrecTextParam L = First->FLayout;
    ForEachTextObj(Group, [&](TTextObj& T) {
        if (T.FbPaintKind != Kind)
            Kind = 255;
        if (T.FAngle != Angle)
            Angle = AngleUnchanged;
        const TrecTextParam& P = T.FLayout;
        if (P.Value1 != L.Value1)
            L.Value1 = -1;
        if (P.Value2 != L.Value2)
            L.Value2 = -1;
        if (P.Value3 != L.Value3)
            L.Value3 = -1;
        if (P.Byte1 != L.Byte1)
            L.Byte1 = 255;
        if (P.Byte2 != L.Byte2)
            L.Byte2 = 255;
        if (P.Byte3 != L.Byte3)
            L.Byte3 = 255;
        if (P.Byte4 != L.Byte4)
            L.Byte4 = 255;
    });
    FAngle = Angle;
    FbPaintKind = Kind;
    FLayout = L;
    return true;
}

// ---------------------------------------------------------------------------
// Stream forms

void TTextObj::WriteToStream(TStream& Stream)
{
    if (&GetClass() == &ClassInfo)
        Stream.WriteBuffer(&doftText, 1);
    TLineObject::WriteToStream(Stream);
    FParagraph->WriteToStream(Stream);
    FRichText->Styles.WriteToStream(Stream);
    Stream.WriteBuffer(&FbPaintKind, 1);
    Stream.WriteBuffer(&FDouble1, 8);
    Stream.WriteBuffer(&FDouble2, 8);
    StreamWriteInt32(Stream, FiX);
    StreamWriteInt32(Stream, FiY);
    Stream.WriteBuffer(&FAngle, 4);
    Stream.WriteBuffer(&FbPathLink, 1);
    StreamWriteInt32(Stream, StoredLinkID());
    const auto Layout = LayoutToBytes(FLayout);
    Stream.WriteBuffer(Layout.data(), kLayoutSize);
    const std::vector<std::string> Lines = SplitLines(FRichText->Text);
    StreamWriteInt32(Stream, static_cast<int32_t>(Lines.size()));
    for (const std::string& Line : Lines)
        StreamWriteString(Stream, Line);
}

void TTextObj::WriteToStreamAsText(TStream& Stream)
{
    if (&GetClass() == &ClassInfo)
        StreamWriteln(Stream, std::to_string(doftText));
    TLineObject::WriteToStreamAsText(Stream);
    FParagraph->WriteToStreamAsText(Stream);
    std::string CrLfText;
    TListCharStyle CrLfStyles;
    const bool Lone = TextFormWithCrLf(*FRichText, CrLfText, CrLfStyles);
    (Lone ? CrLfStyles : FRichText->Styles).WriteToStreamAsText(Stream);
    StreamWriteln(Stream, std::to_string(FbPaintKind));
    StreamWriteln(Stream, FloatToStr(FDouble1));
    StreamWriteln(Stream, FloatToStr(FDouble2));
    StreamWriteln(Stream, std::to_string(FiX));
    StreamWriteln(Stream, std::to_string(FiY));
    StreamWriteln(Stream, FloatToStr(FAngle));
    StreamWriteln(Stream, std::to_string(FbPathLink));
    StreamWriteln(Stream, std::to_string(StoredLinkID()));
    for (int32_t V : {FLayout.Value1, FLayout.Value2, int32_t(FLayout.Byte1), int32_t(FLayout.Byte2),
                      FLayout.Value3, int32_t(FLayout.Byte3), int32_t(FLayout.Byte4)})
        StreamWriteln(Stream, std::to_string(V));
    const std::vector<std::string> Lines = SplitLines(Lone ? CrLfText : FRichText->Text);
    StreamWriteln(Stream, std::to_string(Lines.size()));
    for (const std::string& Line : Lines)
        StreamWriteln(Stream, Line);
}

void TTextObj::ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    TLineObject::ReadFromStream(Stream, IDMap, Version);
    ReadTextPart(Stream, Version, false);
}

void TTextObj::ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    TLineObject::ReadFromStreamAsText(Stream, IDMap, Version);
    ReadTextPart(Stream, Version, true);
}

void TTextObj::ReadTextPart(TStream& Stream, int32_t Version, bool AsText)
{
    const char* const Where = AsText ? "TTextObj.ReadFromStreamAsText" : "TTextObj.ReadFromStream";
    auto Byte = [&] { return AsText ? ReadByteLine(Stream, Where) : StreamReadByte(Stream); };
    auto Int = [&] { return AsText ? StrToInt(StreamReadln(Stream)) : StreamReadInt32(Stream); };
    auto Double = [&] {
        if (AsText)
            return StrToFloat(StreamReadln(Stream));
        double V;
        Stream.ReadBuffer(&V, 8);
        return V;
    };

    TParagraphStyle Paragraph;
    Paragraph.Assign(*FParagraph);
    auto Rich = std::make_unique<TRTFTav>();
    TrecCharAttr OldAttr;
    const bool Old = Version <= 8;
    if (!Old) {
        if (AsText) {
            Paragraph.ReadFromStreamAsText(Stream);
            Rich->Styles.ReadFromStreamAsText(Stream);
        } else {
            Paragraph.ReadFromStream(Stream);
            Rich->Styles.ReadFromStream(Stream, Version);
        }
    } else if (AsText) {
        uint8_t Rec[CharAttrSize];
        void* Buffer = Rec;
        if (StreamReadlnBin(Stream, Buffer, CharAttrSize) != CharAttrSize)
            throw EReadError(std::string(Where) + ": Illegal character attributes");
        std::memcpy(&OldAttr, Rec, CharAttrSize);
    } else {
        Stream.ReadBuffer(&OldAttr, CharAttrSize);
    }
    OldAttr.FaceName[sizeof(OldAttr.FaceName) - 1] = 0;
    const uint8_t Kind = Version >= 18 ? Byte() : 0;
    const double D1 = Double();
    const double D2 = Double();
    const int32_t X = Int();
    const int32_t Y = Int();
    float Angle;
    if (AsText || Old) {
        Angle = ToFloat32(Double());
    } else {
        Stream.ReadBuffer(&Angle, 4);
    }
    const uint8_t Link = Byte();
    const int32_t LinkID = Int();
    TrecTextParam Layout;
    if (AsText) {
        Layout.Value1 = Int();
        Layout.Value2 = Int();
        Layout.Byte1 = Byte();
        Layout.Byte2 = Byte();
        Layout.Value3 = Int();
        Layout.Byte3 = Byte();
        Layout.Byte4 = Byte();
    } else {
        uint8_t B[kLayoutSize];
        Stream.ReadBuffer(B, kLayoutSize);
        Layout = LayoutFromBytes(B);
    }
    const int32_t LineCount = Int();
    // Every line takes at least its length (binary) or its end (text).
    if (LineCount < 0 || LineCount > (AsText ? BytesLeft(Stream) + 1 : BytesLeft(Stream) / 4))
        throw EReadError(std::string(Where) + ": Illegal line count");
    std::vector<std::string> Lines;
    Lines.reserve(static_cast<size_t>(LineCount));
    for (int32_t I = 0; I < LineCount; ++I)
        Lines.push_back(AsText ? StreamReadln(Stream) : StreamReadString(Stream));

    // Everything was read: the object takes it.
    FParagraph->Assign(Paragraph);
    FRichText = std::move(Rich);
    FRichText->Text = JoinLines(Lines);
    if (Old) {
        FRichText->Styles.Clear();
        FRichText->Styles.InsertText(0, FRichText->Text, OldAttr);
    }
    PadStyles();
    FbPaintKind = Kind;
    FDouble1 = D1;
    FDouble2 = D2;
    FiX = X;
    FiY = Y;
    FAngle = Angle;
    FbPathLink = Link;
    FiLinkedID = LinkID;
    FiLinkedGen = GenerationOf(LinkID);
    FLinked = {};
    FLayout = Layout;
    FGlyphRanges.clear();
    FGlyphOffsets.clear();
    FOutputRanges.clear();
    if (Old) {
        // Old texts were placed by their bottom: the glyph path is laid out
        // once (without the link, which is not resolved yet) for its height.
        const int32_t Linked = FiLinkedID;
        FiLinkedID = 0;
        FbBasePathState = 0;
        try {
            EnsureBasePath();
        } catch (...) {
            FiLinkedID = Linked;
            throw;
        }
        FiLinkedID = Linked;
        if (FBasePath.Count > 0)
            FiY = WrapSub(FiY, Sat32(int64_t{FBasePath.Bounds.Bottom} - FBasePath.Bounds.Top));
    }
    FbBasePathState = 0;
    FbOutputPathState = 0;
    ++FiPathSerial;
    SetPathState(0);
}
