#include "model/text_model.h"

#include "foundation/stream_text.h"
#include "foundation/stream_values.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/text_outline.h"
#include "platform/cp932.h"
#include "foundation/numbers.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "the 50-byte attribute record is copied as it lies in memory");

namespace {

constexpr uint8_t CR = 13;
constexpr uint8_t LF = 10;

// Halves to even, as the old stored doubles were rounded.
int32_t RoundStoredDouble(double D, const char* Where)
{
    const double R = std::nearbyint(D);
    if (!(R >= -2147483648.0 && R <= 2147483647.0))
        throw EReadError(std::string(Where) + ": value out of range");
    return static_cast<int32_t>(R);
}

uint8_t ReadByteLine(TStream& Stream, const char* Where)
{
    const int32_t V = StrToInt(StreamReadln(Stream));
    if (V < 0 || V > 255)
        throw EReadError(std::string(Where) + ": value out of range");
    return static_cast<uint8_t>(V);
}

int64_t BytesLeft(TStream& Stream)
{
    return Stream.Size() - Stream.Position();
}

// The face as read, validated against the installed fonts.
void TakeFace(TrecCharAttr& Attr, const std::string& Name)
{
    std::string Face;
    uint8_t CharSet = DEFAULT_CHARSET;
    ValidateFontName(Name, Face, CharSet);
    SetCharAttrFaceName(Attr, Face);
    Attr.CharSet = CharSet;
}

void WriteCharAttrText(TStream& Stream, const TrecCharAttr& Attr)
{
    StreamWriteln(Stream, CharAttrFaceName(Attr));
    StreamWriteln(Stream, std::to_string(Attr.Size));
    StreamWriteln(Stream, std::to_string(Attr.Bold));
    StreamWriteln(Stream, std::to_string(Attr.Italic));
    StreamWriteln(Stream, std::to_string(Attr.Underline));
    StreamWriteln(Stream, std::to_string(Attr.StrikeOut));
    StreamWriteln(Stream, std::to_string(Attr.Rise));
    StreamWriteln(Stream, std::to_string(Attr.ExtraAdvance));
}

void ReadCharAttrText(TStream& Stream, TrecCharAttr& Attr)
{
    constexpr const char* Where = "TCharStyle.ReadFromStreamAsText";
    TrecCharAttr A = Attr;
    const std::string Face = StreamReadln(Stream);
    A.Size = StrToInt(StreamReadln(Stream));
    A.Bold = ReadByteLine(Stream, Where);
    A.Italic = ReadByteLine(Stream, Where);
    A.Underline = ReadByteLine(Stream, Where);
    A.StrikeOut = ReadByteLine(Stream, Where);
    A.Rise = StrToInt(StreamReadln(Stream));
    A.ExtraAdvance = StrToInt(StreamReadln(Stream));
    TakeFace(A, Face);
    Attr = A;
}

// A slot flag of the list forms: 0 no style, 1 a style follows.
bool SlotFlag(int32_t Flag, const char* Where)
{
    if (Flag != 0 && Flag != 1)
        throw EReadError(std::string(Where) + ": Illegal slot flag");
    return Flag == 1;
}

// Styles read off a stream before they replace the list's.
using TStyleSlots = std::vector<std::unique_ptr<TCharStyle>>;

} // namespace

// ---------------------------------------------------------------------------
// Attribute record

void SetCharAttrFaceName(TrecCharAttr& Attr, const std::string& Cp932Name)
{
    TLogFont F;
    SetLogFontFaceName(F, Cp932Name);
    static_assert(sizeof(Attr.FaceName) == sizeof(F.lfFaceName));
    std::memcpy(Attr.FaceName, F.lfFaceName, sizeof(Attr.FaceName));
}

std::string CharAttrFaceName(const TrecCharAttr& Attr)
{
    size_t N = 0;
    while (N < sizeof(Attr.FaceName) - 1 && Attr.FaceName[N] != 0)
        ++N;
    return std::string(Attr.FaceName, N);
}

void WriteCharStyleRec(TStream& Stream, const TrecCharAttr& Attr)
{
    StreamWriteString(Stream, CharAttrFaceName(Attr));
    StreamWriteString(Stream, std::to_string(Attr.Size));
    const uint8_t Bytes[4] = {Attr.Bold, Attr.Italic, Attr.Underline, Attr.StrikeOut};
    Stream.WriteBuffer(Bytes, 4);
    StreamWriteInt32(Stream, Attr.Rise);
    StreamWriteInt32(Stream, Attr.ExtraAdvance);
}

void ReadCharStyleRec(TStream& Stream, TrecCharAttr& Attr, int32_t Version)
{
    constexpr const char* Where = "TCharStyle.ReadFromStream";
    TrecCharAttr A = Attr;
    const std::string Face = StreamReadString(Stream);
    A.Size = StrToInt(StreamReadString(Stream));
    uint8_t Bytes[4];
    Stream.ReadBuffer(Bytes, 4);
    A.Bold = Bytes[0];
    A.Italic = Bytes[1];
    A.Underline = Bytes[2];
    A.StrikeOut = Bytes[3];
    if (Version >= 13) {
        A.Rise = StreamReadInt32(Stream);
        A.ExtraAdvance = StreamReadInt32(Stream);
    } else {
        A.Rise = RoundStoredDouble(StreamReadDouble(Stream), Where);
        A.ExtraAdvance = RoundStoredDouble(StreamReadDouble(Stream), Where);
    }
    TakeFace(A, Face);
    Attr = A;
}

// ---------------------------------------------------------------------------
// TCharStyle

void TCharStyle::Assign(const TCharStyle& Source)
{
    if (&Source == this)
        return;
    Attr = Source.Attr;
    RecPathAssign(Glyph, Source.Glyph);
}

void TCharStyle::WriteToStream(TStream& Stream) const
{
    WriteCharStyleRec(Stream, Attr);
    RecPathWriteToStream(Glyph, Stream);
}

void TCharStyle::ReadFromStream(TStream& Stream, int32_t Version)
{
    TrecCharAttr A = Attr;
    ReadCharStyleRec(Stream, A, Version);
    TrecPath P;
    RecPathReadFromStream(P, Stream);
    Attr = A;
    Glyph = std::move(P);
}

void TCharStyle::WriteToStreamAsText(TStream& Stream) const
{
    WriteCharAttrText(Stream, Attr);
    RecPathWriteToStreamAsText(Glyph, Stream);
}

void TCharStyle::ReadFromStreamAsText(TStream& Stream)
{
    TrecCharAttr A = Attr;
    ReadCharAttrText(Stream, A);
    TrecPath P;
    RecPathReadFromStreamAsText(P, Stream);
    Attr = A;
    Glyph = std::move(P);
}

// ---------------------------------------------------------------------------
// TListCharStyle

namespace {

// Replaces the list's styles by Slots (which it then owns).
void InstallSlots(TListCharStyle& List, TStyleSlots& Slots)
{
    List.Clear();
    List.SetCount(static_cast<int32_t>(Slots.size()));
    for (size_t I = 0; I < Slots.size(); ++I)
        List.SetItem(static_cast<int32_t>(I), Slots[I].release());
}

} // namespace

TListCharStyle::~TListCharStyle()
{
    TListCharStyle::Clear();
}

TCharStyle* TListCharStyle::GetItem(int32_t Index) const
{
    if (Index < 0)
        Error(SListIndexError, Index);
    if (Index >= FCount)
        return nullptr;
    return static_cast<TCharStyle*>(FList[Index]);
}

void TListCharStyle::SetItem(int32_t Index, TCharStyle* Style)
{
    Put(Index, Style);
}

void TListCharStyle::Clear()
{
    FreeObjects();
    TListPtrWex::Clear();
}

void TListCharStyle::InsertText(int32_t Position, const std::string& Text, const TrecCharAttr& Attr)
{
    const auto N = static_cast<int32_t>(Text.size());
    InsertSpace(Position, N);
    int32_t I = 0;
    while (I < N) {
        const auto B = static_cast<uint8_t>(Text[I]);
        if (B != CR && B != LF) {
            auto Style = std::make_unique<TCharStyle>();
            Style->Attr = Attr;
            Put(Position + I, Style.release());
        }
        I += IsSjisLeadByte(B) ? 2 : 1;
    }
}

void TListCharStyle::Assign(const TCustomListWex& Source)
{
    if (&Source == this)
        return;
    const auto* Src = dynamic_cast<const TListCharStyle*>(&Source);
    if (!Src)
        RaiseAssignError(this, &Source);
    TStyleSlots Copies(static_cast<size_t>(Src->Count()));
    for (int32_t I = 0; I < Src->Count(); ++I) {
        if (const TCharStyle* S = Src->GetItem(I)) {
            Copies[I] = std::make_unique<TCharStyle>();
            Copies[I]->Assign(*S);
        }
    }
    Clear();
    SetCapacity(Src->Capacity());
    SetCount(Src->Count());
    for (int32_t I = 0; I < Src->Count(); ++I)
        FList[I] = Copies[I].release();
}

void TListCharStyle::WriteToStream(TStream& Stream) const
{
    StreamWriteInt32(Stream, FCount);
    for (int32_t I = 0; I < FCount; ++I) {
        const TCharStyle* S = GetItem(I);
        StreamWriteByte(Stream, S ? 1 : 0);
        if (S)
            S->WriteToStream(Stream);
    }
}

void TListCharStyle::ReadFromStream(TStream& Stream, int32_t Version)
{
    constexpr const char* Where = "TListCharStyle.ReadFromStream";
    const int32_t N = StreamReadInt32(Stream);
    // Every slot takes at least its flag byte.
    if (N < 0 || N >= MaxListSize || N > BytesLeft(Stream))
        throw EReadError(std::string(Where) + ": Illegal Count");
    TStyleSlots Slots(static_cast<size_t>(N));
    for (auto& Slot : Slots) {
        if (SlotFlag(StreamReadByte(Stream), Where)) {
            Slot = std::make_unique<TCharStyle>();
            Slot->ReadFromStream(Stream, Version);
        }
    }
    InstallSlots(*this, Slots);
}

void TListCharStyle::WriteToStreamAsText(TStream& Stream) const
{
    StreamWriteln(Stream, std::to_string(FCount));
    for (int32_t I = 0; I < FCount; ++I) {
        const TCharStyle* S = GetItem(I);
        StreamWriteln(Stream, S ? "1" : "0");
        if (S)
            S->WriteToStreamAsText(Stream);
    }
}

void TListCharStyle::ReadFromStreamAsText(TStream& Stream)
{
    constexpr const char* Where = "TListCharStyle.ReadFromStreamAsText";
    const int32_t N = StrToInt(StreamReadln(Stream));
    // Every slot takes at least one byte for its flag line.
    if (N < 0 || N >= MaxListSize || N > BytesLeft(Stream))
        throw EReadError(std::string(Where) + ": Illegal Count");
    TStyleSlots Slots(static_cast<size_t>(N));
    for (auto& Slot : Slots) {
        if (SlotFlag(StrToInt(StreamReadln(Stream)), Where)) {
            Slot = std::make_unique<TCharStyle>();
            Slot->ReadFromStreamAsText(Stream);
        }
    }
    InstallSlots(*this, Slots);
}

// ---------------------------------------------------------------------------
// TRTFTav

void TRTFTav::Assign(const TRTFTav& Source)
{
    if (&Source == this)
        return;
    Styles.Assign(Source.Styles);
    Text = Source.Text;
}

void TRTFTav::Clear()
{
    Text.clear();
    Styles.Clear();
}

// ---------------------------------------------------------------------------
// TTabs

TTabs::~TTabs()
{
    TTabs::Clear();
}

void TTabs::Clear()
{
    for (int32_t I = 0; I < FCount; ++I) {
        delete static_cast<TrecTabStop*>(FList[I]);
        FList[I] = nullptr;
    }
    TListPtrWex::Clear();
}

int32_t TTabs::AddTab(const TrecTabStop& Tab)
{
    auto Rec = std::make_unique<TrecTabStop>(Tab);
    const int32_t I = Add(Rec.get());
    Rec.release();
    return I;
}

const TrecTabStop& TTabs::GetTab(int32_t Index) const
{
    return *static_cast<const TrecTabStop*>(Get(Index));
}

void TTabs::Assign(const TCustomListWex& Source)
{
    if (&Source == this)
        return;
    const auto* Src = dynamic_cast<const TTabs*>(&Source);
    if (!Src)
        RaiseAssignError(this, &Source);
    std::vector<std::unique_ptr<TrecTabStop>> Copies(static_cast<size_t>(Src->Count()));
    for (int32_t I = 0; I < Src->Count(); ++I)
        if (const void* P = Src->Get(I))
            Copies[I] = std::make_unique<TrecTabStop>(*static_cast<const TrecTabStop*>(P));
    Clear();
    SetCapacity(Src->Capacity());
    SetCount(Src->Count());
    for (int32_t I = 0; I < Src->Count(); ++I)
        FList[I] = Copies[I].release();
}

// ---------------------------------------------------------------------------
// TParagraphStyle

void TParagraphStyle::Assign(const TParagraphStyle& Source)
{
    if (&Source == this)
        return;
    Tabs.Assign(Source.Tabs);
    Extra = Source.Extra;
    FLineSpacingRule = Source.FLineSpacingRule;
    LineSpacing = Source.LineSpacing;
    SpacingUnit = Source.SpacingUnit;
}

void TParagraphStyle::WriteToStream(TStream& Stream) const
{
    StreamWriteInt32(Stream, FLineSpacingRule);
    StreamWriteByte(Stream, SpacingUnit);
    StreamWriteDouble(Stream, LineSpacing);
}

void TParagraphStyle::ReadFromStream(TStream& Stream)
{
    const int32_t Rule = StreamReadInt32(Stream);
    const uint8_t Unit = StreamReadByte(Stream);
    const double Spacing = StreamReadDouble(Stream);
    FLineSpacingRule = Rule;
    SpacingUnit = Unit;
    LineSpacing = Spacing;
}

void TParagraphStyle::WriteToStreamAsText(TStream& Stream) const
{
    const auto Low = static_cast<int8_t>(static_cast<uint8_t>(static_cast<uint32_t>(FLineSpacingRule)));
    StreamWriteln(Stream, std::to_string(Low));
    StreamWriteln(Stream, std::to_string(SpacingUnit));
    StreamWriteln(Stream, FloatToStr(LineSpacing));
}

void TParagraphStyle::ReadFromStreamAsText(TStream& Stream)
{
    const int32_t Rule = StrToInt(StreamReadln(Stream));
    const uint8_t Unit = ReadByteLine(Stream, "TParagraphStyle.ReadFromStreamAsText");
    const double Spacing = StrToFloat(StreamReadln(Stream));
    FLineSpacingRule = Rule;
    SpacingUnit = Unit;
    LineSpacing = Spacing;
}

// ---------------------------------------------------------------------------
// Fonts and counting

void MakeCharFont(TLogFont& LogFont, const TrecCharAttr& Attr)
{
    LogFont = TLogFont{};
    LogFont.lfHeight = static_cast<int32_t>(0u - static_cast<uint32_t>(Attr.Size));
    LogFont.lfWeight = Attr.Bold != 0 ? FW_BOLD : FW_NORMAL;
    LogFont.lfItalic = Attr.Italic != 0 ? 1 : 0;
    LogFont.lfUnderline = Attr.Underline != 0 ? 1 : 0;
    LogFont.lfStrikeOut = Attr.StrikeOut != 0 ? 1 : 0;
    const std::string Face = CharAttrFaceName(Attr);
    SetLogFontFaceName(LogFont, Face);
    uint8_t CharSet = DEFAULT_CHARSET;
    GetFontCharset(CharSet, Face);
    LogFont.lfCharSet = CharSet;
}

bool CharAttrDrawable(const TrecCharAttr& Attr, int32_t Dpi)
{
    // |V| pixels lie below the limit when |V| * 72 < MaxCharAttrPoints * Dpi.
    const int64_t Limit = int64_t{MaxCharAttrPoints} * std::max(Dpi, 1);
    const auto Below = [Limit](int32_t V) { return std::llabs(int64_t{V}) * 72 < Limit; };
    return Attr.Size >= 1 && Below(Attr.Size) && Below(Attr.Rise) && Below(Attr.ExtraAdvance) && Attr.Bold <= 1 &&
           Attr.Italic <= 1 && Attr.Underline <= 1 && Attr.StrikeOut <= 1;
}

bool HoldCharAttr(TrecCharAttr& Attr, int32_t Dpi)
{
    // The largest |V| with |V| * 72 < MaxCharAttrPoints * Dpi.
    const auto Limit = static_cast<int32_t>((int64_t{MaxCharAttrPoints} * std::max(Dpi, 1) - 1) / 72);
    const TrecCharAttr Was = Attr;
    Attr.Size = ClampedValue(Attr.Size, 1, std::max(Limit, 1));
    Attr.Rise = ClampedValue(Attr.Rise, -Limit, Limit);
    Attr.ExtraAdvance = ClampedValue(Attr.ExtraAdvance, -Limit, Limit);
    // Any byte but 0 drew the style.
    for (uint8_t* Flag : {&Attr.Bold, &Attr.Italic, &Attr.Underline, &Attr.StrikeOut})
        *Flag = *Flag != 0;
    return std::memcmp(&Attr, &Was, sizeof(Attr)) != 0;
}

int32_t HeldLineSpacingRule(int32_t Rule)
{
    return Rule >= LineSpacingMultiple && Rule <= LineSpacingExactly ? Rule : LineSpacingMultiple;
}

uint8_t HeldSpacingUnit(uint8_t Unit)
{
    return Unit < LineSpacingUnitCount ? Unit : 0;
}

double HeldLineSpacing(int32_t Rule, uint8_t Unit, double Value)
{
    const double Max = HeldLineSpacingRule(Rule) == LineSpacingMultiple ? MaxLineSpacingMultiple
                                                                        : MaxLineSpacingLength[HeldSpacingUnit(Unit)];
    return std::isnan(Value) ? 1.0 : std::clamp(Value, 0.0, Max);
}

bool ParagraphInRange(const TParagraphStyle& P)
{
    return HeldLineSpacingRule(P.FLineSpacingRule) == P.FLineSpacingRule &&
           HeldSpacingUnit(P.SpacingUnit) == P.SpacingUnit &&
           HeldLineSpacing(P.FLineSpacingRule, P.SpacingUnit, P.LineSpacing) == P.LineSpacing;
}

bool HoldParagraph(TParagraphStyle& P)
{
    if (ParagraphInRange(P))
        return false;
    P.LineSpacing = HeldLineSpacing(P.FLineSpacingRule, P.SpacingUnit, P.LineSpacing);
    P.FLineSpacingRule = HeldLineSpacingRule(P.FLineSpacingRule);
    P.SpacingUnit = HeldSpacingUnit(P.SpacingUnit);
    return true;
}

int32_t CountTextChars(const std::string& Text)
{
    const size_t N = Text.size();
    int32_t Count = 0;
    size_t I = 0;
    while (I < N) {
        const auto B = static_cast<uint8_t>(Text[I]);
        if (B == CR || B == LF) {
            I += (B == CR && I + 1 < N && static_cast<uint8_t>(Text[I + 1]) == LF) ? 2 : 1;
            continue;
        }
        if (IsSjisLeadByte(B)) {
            if (I + 1 >= N)
                break;
            I += 2;
        } else {
            ++I;
        }
        ++Count;
    }
    return Count;
}
