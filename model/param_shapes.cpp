#include "model/param_shapes.h"

#include "foundation/numbers.h"
#include "foundation/stream_text.h"
#include "foundation/stream_values.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/default_data.h"
#include "model/draw_group.h"
#include "model/shape_outline.h"
#include "model/shape_param_range.h"
#include "paint/macro_list.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <utility>
#include <vector>

namespace {

constexpr int32_t kMinInt = -2147483647 - 1;
constexpr int32_t kMaxInt = 2147483647;
constexpr const char* kUndoDataError = "TParamObj.Undo: Illegal Data.";

// 32-bit arithmetic that wraps.
int32_t WrapAdd(int32_t A, int32_t B)
{
    return static_cast<int32_t>(static_cast<uint32_t>(A) + static_cast<uint32_t>(B));
}

int32_t WrapSub(int32_t A, int32_t B)
{
    return static_cast<int32_t>(static_cast<uint32_t>(A) - static_cast<uint32_t>(B));
}

// ---------------------------------------------------------------------------
// Little-endian fields

void PutU32(uint8_t* B, uint32_t V)
{
    for (int I = 0; I < 4; ++I)
        B[I] = static_cast<uint8_t>(V >> (8 * I));
}

uint32_t GetU32(const uint8_t* B)
{
    return uint32_t(B[0]) | uint32_t(B[1]) << 8 | uint32_t(B[2]) << 16 | uint32_t(B[3]) << 24;
}

void PutI32(uint8_t* B, int32_t V) { PutU32(B, static_cast<uint32_t>(V)); }
int32_t GetI32(const uint8_t* B) { return static_cast<int32_t>(GetU32(B)); }

void PutU16(uint8_t* B, uint16_t V)
{
    B[0] = static_cast<uint8_t>(V);
    B[1] = static_cast<uint8_t>(V >> 8);
}

uint16_t GetU16(const uint8_t* B) { return static_cast<uint16_t>(B[0] | B[1] << 8); }

void PutF32(uint8_t* B, float V)
{
    uint32_t U;
    std::memcpy(&U, &V, 4);
    PutU32(B, U);
}

float GetF32(const uint8_t* B)
{
    const uint32_t U = GetU32(B);
    float V;
    std::memcpy(&V, &U, 4);
    return V;
}

void PutF64(uint8_t* B, double V)
{
    uint64_t U;
    std::memcpy(&U, &V, 8);
    PutU32(B, static_cast<uint32_t>(U));
    PutU32(B + 4, static_cast<uint32_t>(U >> 32));
}

double GetF64(const uint8_t* B)
{
    const uint64_t U = uint64_t(GetU32(B)) | uint64_t(GetU32(B + 4)) << 32;
    double V;
    std::memcpy(&V, &U, 8);
    return V;
}

// ---------------------------------------------------------------------------
// Text lines

// The 15-digit form where it reads back to the same double, else as few
// more digits as needed: 15 digits alone would change values such as pi.
std::string FloatToStrExact(double V)
{
    for (int Digits = 15; Digits < 17; ++Digits) {
        const std::string S = FloatToStr(V, Digits);
        if (!std::isfinite(V) || StrToFloatDef(S, 0.0) == V)
            return S;
    }
    return FloatToStr(V, 17);
}

void WriteFloatLine(TStream& Stream, double V)
{
    StreamWriteln(Stream, FloatToStrExact(V));
}

// Not StreamReadIntLine: the end of the stream reads as an empty line here,
// so it raises the conversion error.
int32_t ReadIntLine(TStream& Stream)
{
    return StrToInt(StreamReadln(Stream));
}

double ReadFloatLine(TStream& Stream)
{
    const std::string S = StreamReadln(Stream);
    const double V = StrToFloatDef(S, std::numeric_limits<double>::quiet_NaN());
    if (std::isnan(V))
        throw EConvertError("'" + S + "' は有効な浮動小数点数値ではありません");
    return V;
}

uint16_t ReadWordLine(TStream& Stream, const char* Caller)
{
    const int32_t V = ReadIntLine(Stream);
    if (V < 0 || V > 65535)
        throw EReadError(std::string(Caller) + ": " + std::to_string(V) + " is not a 16-bit value");
    return static_cast<uint16_t>(V);
}

// ---------------------------------------------------------------------------
// Walks over the leaves of one class; Fn returns True to stop.

template <class T, class F>
bool WalkLeaves(TDrawItem& Item, F&& Fn)
{
    if (auto* Group = dynamic_cast<TDrawGroup*>(&Item)) {
        for (int32_t I = 0; I < Group->GetCount(); ++I)
            if (WalkLeaves<T>(*Group->GetItem(I), Fn))
                return true;
        return false;
    }
    if (auto* Obj = dynamic_cast<T*>(&Item))
        return Fn(*Obj);
    return false;
}

template <class T>
T* FirstLeaf(TDrawGroup& Group)
{
    T* First = nullptr;
    WalkLeaves<T>(Group, [&](T& Obj) {
        First = &Obj;
        return true;
    });
    return First;
}

template <class V>
void Differ(V& Field, const V& Other, const V& Sentinel)
{
    if (Field != Other)
        Field = Sentinel;
}

// The same for a field of a packed record, which no reference may bind to.
template <class V, class S>
V Differed(V Field, V Other, S Sentinel)
{
    return Field != Other ? static_cast<V>(Sentinel) : Field;
}

// A centre given in doubles, on whole page units.
int32_t CentreCoord(double V)
{
    return std::isnan(V) ? 0 : Sat32(RoundOff(V));
}

template <size_t N>
void ReadRecordBytes(TStream& Stream, std::array<uint8_t, N>& B, size_t Count = N)
{
    Stream.ReadBuffer(B.data(), static_cast<int32_t>(Count));
}

void NeedSize(int32_t Size, const void* Data, int32_t Need)
{
    if (!Data || Size < Need)
        throw EUserError(kUndoDataError);
}

template <class T>
std::unique_ptr<TDrawItem> NewShape(TPageLink* Page, int32_t ID)
{
    return std::make_unique<T>(Page, ID);
}

}  // namespace

// ---------------------------------------------------------------------------
// Records

std::array<uint8_t, 12> RectParamToBytes(const TrecRectParam& P)
{
    std::array<uint8_t, 12> B{};
    B[0] = P.Bevel;
    std::memcpy(&B[1], P.Filler, 3);
    PutI32(&B[4], P.CornerRadius);
    PutU16(&B[8], P.CornerCount);
    PutU16(&B[10], P.CornerPosition);
    return B;
}

TrecRectParam RectParamFromBytes(const uint8_t* B)
{
    TrecRectParam P;
    P.Bevel = B[0];
    std::memcpy(P.Filler, &B[1], 3);
    P.CornerRadius = GetI32(&B[4]);
    P.CornerCount = GetU16(&B[8]);
    P.CornerPosition = GetU16(&B[10]);
    return P;
}

std::array<uint8_t, 28> PolygonParamToBytes(const TrecPolygonParam& P)
{
    std::array<uint8_t, 28> B{};
    PutI32(&B[0], P.Count);
    PutI32(&B[4], P.CornerSize);
    PutI32(&B[8], P.AngleVariation);
    PutI32(&B[12], P.RadiusVariation);
    PutI32(&B[16], P.Seed);
    PutF64(&B[20], P.StartAngle);
    return B;
}

TrecPolygonParam PolygonParamFromBytes(const uint8_t* B)
{
    TrecPolygonParam P;
    P.Count = GetI32(&B[0]);
    P.CornerSize = GetI32(&B[4]);
    P.AngleVariation = GetI32(&B[8]);
    P.RadiusVariation = GetI32(&B[12]);
    P.Seed = GetI32(&B[16]);
    P.StartAngle = GetF64(&B[20]);
    return P;
}

std::array<uint8_t, 52> StarParamToBytes(const TrecStarParam& P)
{
    std::array<uint8_t, 52> B{};
    PutF64(&B[0], P.InnerRadius);
    const int32_t Ints[9] = {P.Count,          P.Corner1,        P.Corner2,
                             P.AngleVariation, P.InnerVariation, P.OuterVariation,
                             P.Kept1,          P.Kept2,          P.Seed};
    for (int I = 0; I < 9; ++I)
        PutI32(&B[8 + 4 * I], Ints[I]);
    PutF64(&B[44], P.StartAngle);
    return B;
}

TrecStarParam StarParamFromBytes(const uint8_t* B)
{
    TrecStarParam P;
    P.InnerRadius = GetF64(&B[0]);
    int32_t* Ints[9] = {&P.Count,          &P.Corner1,        &P.Corner2,
                        &P.AngleVariation, &P.InnerVariation, &P.OuterVariation,
                        &P.Kept1,          &P.Kept2,          &P.Seed};
    for (int I = 0; I < 9; ++I)
        *Ints[I] = GetI32(&B[8 + 4 * I]);
    P.StartAngle = GetF64(&B[44]);
    return P;
}

std::array<uint8_t, 16> EllipseParamToBytes(const TrecEllipseParam& P)
{
    std::array<uint8_t, 16> B{};
    PutF64(&B[0], P.Value1);
    PutF64(&B[8], P.Value2);
    return B;
}

TrecEllipseParam EllipseParamFromBytes(const uint8_t* B)
{
    return TrecEllipseParam{GetF64(&B[0]), GetF64(&B[8])};
}

// ---------------------------------------------------------------------------
// TParamObj

const TDrawItemClass TParamObj::ClassInfo{"TParamObj", &TLineObject::ClassInfo,
                                          &NewShape<TParamObj>};

TParamObj::TParamObj(TPageLink* APage, int32_t AID) : TLineObject(APage, AID)
{
    const TDefaultData* D = GetDefaultAttributes();
    const uint8_t Flag = D ? D->FillPath : 1;
    FOutputPath.Flag = Flag;
    FBasePath.Flag = Flag;
}

TRect TParamObj::ShapeRect() const
{
    return TRect{FiX, FiY, Sat32(int64_t{FiX} + FiWidth), Sat32(int64_t{FiY} + FiHeight)};
}

void TParamObj::SetFrame(int32_t X, int32_t Y, int32_t Width, int32_t Height)
{
    Invalidate(true);
    FiX = X;
    FiY = Y;
    FiWidth = Width;
    FiHeight = Height;
    SetPathState(0);
}

void TParamObj::FinishBasePath()
{
    RecPathCalcBounds(FBasePath);
    SetPathState(2);
}

void TParamObj::StoreFrame(int32_t X, int32_t Y, int32_t Width, int32_t Height)
{
    Invalidate(true);
    FiX = X;
    FiY = Y;
    FiWidth = Width;
    FiHeight = Height;
    SetPathState(0);
    SetModified();
}

void TParamObj::StorePosition(int32_t X, int32_t Y, float Angle)
{
    Invalidate(true);
    FiX = X;
    FiY = Y;
    FfAngle = Angle;
    SetPathState(0);
    SetModified();
}

// ---------------------------------------------------------------------------
// Undo

void TParamObj::Undo(int32_t Command, const void* Data, int32_t Size)
{
    const auto* B = static_cast<const uint8_t*>(Data);
    switch (Command & 0x7F) {
    case 25:
    case 26: {
        NeedSize(Size, Data, 4);
        const int32_t V = GetI32(B);
        Invalidate(true);
        if ((Command & 0x7F) == 25)
            FiWidth = V;
        else
            FiHeight = V;
        SetPathState(0);
        SetModified();
        break;
    }
    case 27:
        NeedSize(Size, Data, 12);
        StorePosition(GetI32(B), GetI32(B + 4), GetF32(B + 8));
        break;
    case 28:
        NeedSize(Size, Data, 16);
        StoreFrame(GetI32(B), GetI32(B + 4), GetI32(B + 8), GetI32(B + 12));
        break;
    default:
        TLineObject::Undo(Command, Data, Size);
        return;
    }
    DeclareAnchorsInvalid();
}

// An undo record holds the whole record the object had and restores it as it
// was, leave-unchanged values included; a redo record holds the change as
// it was given and is merged.
template <class TRec>
void TParamObj::ReplayParam(TRec& Param, const TRec& Rec, bool Merge,
                            void (*MergeFn)(TRec&, const TRec&))
{
    Invalidate(true);
    if (Merge)
        MergeFn(Param, Rec);
    else
        Param = Rec;
    SetPathState(0);
    SetModified();
    DeclareAnchorsInvalid();
}

// ---------------------------------------------------------------------------
// Paths

void TParamObj::RebuildPath()
{
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
        const TRect Ref{FiX, FiY, Sat32(int64_t{FiX} + FiWidth - 1),
                        Sat32(int64_t{FiY} + FiHeight - 1)};
        std::vector<int32_t> Counts;
        const std::vector<TPoint> Centres;
        FOutline.Transform(Ref, FBasePath, FOutputPath, Counts, Centres);
        RecPolyLineRotate(FOutputPath, FiX, FiY, UsableAngle());
        RecPathCalcBounds(FOutputPath);
        FbOutputPathState = 2;
    }
    Invalidate(true);
}

bool TParamObj::SameAttributes(TDrawItem* Other)
{
    auto* O = dynamic_cast<TParamObj*>(Other);
    return O && &O->GetClass() == &GetClass() && TLineObject::SameAttributes(Other) &&
           O->FiX == FiX && O->FiY == FiY && O->FiWidth == FiWidth && O->FiHeight == FiHeight &&
           O->FfAngle == FfAngle && SameParam(*O);
}

bool TParamObj::SameParam(const TParamObj&) const { return true; }
void TParamObj::TakeCommonParam(TDrawGroup&) {}
void TParamObj::WriteParam(TStream&) {}
void TParamObj::ReadParam(TStream&, int32_t) {}
void TParamObj::WriteParamAsText(TStream&) {}
void TParamObj::ReadParamAsText(TStream&, int32_t) {}
bool TParamObj::TypeNumber(uint8_t&) const { return false; }
bool TParamObj::ParamInRange() const { return true; }
void TParamObj::HoldParam(bool) {}

// ---------------------------------------------------------------------------
// Stream forms

void TParamObj::WriteToStream(TStream& Stream)
{
    uint8_t Type = 0;
    if (TypeNumber(Type))
        Stream.WriteBuffer(&Type, 1);
    TLineObject::WriteToStream(Stream);
    uint8_t B[20];
    PutI32(B, FiX);
    PutI32(B + 4, FiY);
    PutI32(B + 8, FiWidth);
    PutI32(B + 12, FiHeight);
    PutF32(B + 16, FfAngle);
    Stream.WriteBuffer(B, 20);
    WriteParam(Stream);
}

void TParamObj::WriteToStreamAsText(TStream& Stream)
{
    uint8_t Type = 0;
    if (TypeNumber(Type))
        StreamWriteIntLine(Stream, Type);
    TLineObject::WriteToStreamAsText(Stream);
    for (int32_t V : {FiX, FiY, FiWidth, FiHeight})
        StreamWriteIntLine(Stream, V);
    StreamWriteln(Stream, FloatToStr(FfAngle, 15));  // enough for any float
    WriteParamAsText(Stream);
}

void TParamObj::ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    TLineObject::ReadFromStream(Stream, IDMap, Version);
    ReadFrame(Stream, Version, false);
    ReadParam(Stream, Version);
    SetPathState(0);
}

void TParamObj::ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    TLineObject::ReadFromStreamAsText(Stream, IDMap, Version);
    ReadFrame(Stream, Version, true);
    ReadParamAsText(Stream, Version);
    SetPathState(0);
}

void TParamObj::ReadFrame(TStream& Stream, int32_t Version, bool Text)
{
    int32_t V[4];
    double Angle;
    if (Text) {
        for (int32_t& F : V)
            F = ReadIntLine(Stream);
        Angle = ReadFloatLine(Stream);
    } else {
        uint8_t B[20];
        Stream.ReadBuffer(B, 20);
        for (int I = 0; I < 4; ++I)
            V[I] = GetI32(B + 4 * I);
        Angle = GetF32(B + 16);
    }
    // Older forms stored the size one larger.
    if (Version < 21) {
        V[2] = WrapSub(V[2], 1);
        V[3] = WrapSub(V[3], 1);
    }
    FiX = V[0];
    FiY = V[1];
    FiWidth = V[2];
    FiHeight = V[3];
    // Kept as stored, also when it is no number: the code that turns points
    // by it reads it through UsableAngle.
    FfAngle = static_cast<float>(Angle);
}

// ---------------------------------------------------------------------------

void TParamObj::Assign(TDrawItem* Source)
{
    auto* S = dynamic_cast<TParamObj*>(Source);
    if (!S)
        throw EConvertError("TParamObj.Assign: DrawItemSrc is not TParamObj");
    TLineObject::Assign(Source);
    FiX = S->FiX;
    FiY = S->FiY;
    FiWidth = S->FiWidth;
    FiHeight = S->FiHeight;
    FfAngle = S->FfAngle;
}

bool TParamObj::MoveKeepsReach(int32_t DX, int32_t DY)
{
    return SpanKeepsReach(FiX, int64_t{FiX} + FiWidth, DX) && SpanKeepsReach(FiY, int64_t{FiY} + FiHeight, DY) &&
           TLineObject::MoveKeepsReach(DX, DY);
}

void TParamObj::MoveBy(int32_t DX, int32_t DY)
{
    if (DX == 0 && DY == 0)
        return;
    Invalidate(true);
    FiX = WrapAdd(FiX, DX);
    FiY = WrapAdd(FiY, DY);
    SetPathState(0);
    TLineObject::MoveBy(DX, DY);
}

void TParamObj::Rotate(double CX, double CY, double Angle)
{
    if (FPathMacros->Count() != 0)
        return;
    DeclareAnchorsInvalid();
    Invalidate(true);
    const TRect OldBounds = GetBounds();
    const double DX = double(FiX) - CX;
    const double DY = double(FiY) - CY;
    const double C = std::cos(Angle);
    const double S = std::sin(Angle);
    const int32_t NewX = Sat32(RoundOff(DX * C - DY * S + CX));
    const int32_t NewY = Sat32(RoundOff(DX * S + DY * C + CY));
    const auto NewAngle = static_cast<float>(UsableAngle() + Angle);
    const bool Recording = CanRecord();
    if (Recording) {
        uint8_t Old[12];
        PutI32(Old, FiX);
        PutI32(Old + 4, FiY);
        PutF32(Old + 8, FfAngle);
        uint8_t New[12];
        PutI32(New, NewX);
        PutI32(New + 4, NewY);
        PutF32(New + 8, NewAngle);
        AddHistory(0, 27, Old, 12);
        AddHistory(1, 27, New, 12);
    }
    FiX = NewX;
    FiY = NewY;
    FfAngle = NewAngle;
    SetPathState(0);
    TMemoryStream Changes;
    FMacros->TransformParams(Angle, TPoint{CentreCoord(CX), CentreCoord(CY)}, OldBounds,
                             GetBounds(), Recording ? &Changes : nullptr);
    if (Recording)
        RecordParamChanges(Changes);
    SetModified();
}

void TParamObj::ScaleTo(double CX, double CY, double FX, double FY)
{
    DeclareAnchorsInvalid();
    Invalidate(true);
    // A shape standing about a quarter turn takes the factors the other way.
    const double Turn = UsableAngle() / std::numbers::pi;
    const double F = std::fabs(Turn - std::trunc(Turn));
    if (F > 0.25 && F < 0.75)
        std::swap(FX, FY);
    int32_t NewX = FloorInt((double(FiX) - CX) * FX / 1024.0 + CX + 0.5);
    int32_t NewY = FloorInt((double(FiY) - CY) * FY / 1024.0 + CY + 0.5);
    // A negative factor mirrors the frame on that axis; the size stays positive.
    const bool FlipX = FX < 0;
    const bool FlipY = FY < 0;
    FX = std::fabs(FX);
    FY = std::fabs(FY);
    int32_t NewW = FloorInt(double(FiWidth) * FX / 1024.0 + 0.5);
    int32_t NewH = FloorInt(double(FiHeight) * FY / 1024.0 + 0.5);
    if (NewW == 0)
        NewW = 1;
    if (NewH == 0)
        NewH = 1;
    if (FlipX)
        NewX = WrapSub(NewX, NewW);
    if (FlipY)
        NewY = WrapSub(NewY, NewH);
    if (CanRecord()) {
        uint8_t Old[16];
        uint8_t New[16];
        const int32_t O[4] = {FiX, FiY, FiWidth, FiHeight};
        const int32_t N[4] = {NewX, NewY, NewW, NewH};
        for (int I = 0; I < 4; ++I) {
            PutI32(Old + 4 * I, O[I]);
            PutI32(New + 4 * I, N[I]);
        }
        AddHistory(0, 28, Old, 16);
        AddHistory(1, 28, New, 16);
    }
    FiX = NewX;
    FiY = NewY;
    FiWidth = NewW;
    FiHeight = NewH;
    SetPathState(0);
    SetModified();
}

bool TParamObj::ValuesDrawable(int32_t Dpi) const
{
    return ShapeFrameDrawable(TShapeFrame{FiX, FiY, FiWidth, FiHeight}, UsableAngle()) && ParamInRange() &&
           TLineObject::ValuesDrawable(Dpi);
}

void TParamObj::BringValuesIntoRange(int32_t Dpi)
{
    TShapeFrame F{FiX, FiY, FiWidth, FiHeight};
    HoldShapeFrame(F, UsableAngle());
    FiX = F.X;
    FiY = F.Y;
    FiWidth = F.Width;
    FiHeight = F.Height;
    HoldParam(false);
    SetPathState(0);
    TLineObject::BringValuesIntoRange(Dpi);
}

bool TParamObj::TakeCommonAttributes(TDrawGroup& Group)
{
    if (!TLineObject::TakeCommonAttributes(Group))
        return false;
    auto* First = FirstLeaf<TParamObj>(Group);
    if (!First)
        return true;
    int32_t X = First->FiX;
    int32_t Y = First->FiY;
    int32_t W = First->FiWidth;
    int32_t H = First->FiHeight;
    float A = First->FfAngle;
    WalkLeaves<TParamObj>(Group, [&](TParamObj& O) {
        Differ(X, O.FiX, ParamPosUnchanged);
        Differ(Y, O.FiY, ParamPosUnchanged);
        Differ(W, O.FiWidth, ParamSizeUnchanged);
        Differ(H, O.FiHeight, ParamSizeUnchanged);
        Differ(A, O.FfAngle, ParamAngleUnchanged);
        return X == ParamPosUnchanged && Y == ParamPosUnchanged && W == ParamSizeUnchanged &&
               H == ParamSizeUnchanged && A == ParamAngleUnchanged;
    });
    FiX = X;
    FiY = Y;
    FiWidth = W;
    FiHeight = H;
    FfAngle = A;
    TakeCommonParam(Group);
    SetPathState(0);
    return true;
}

bool TParamObj::DoSetParamSize(int32_t Width, int32_t Height)
{
    // Below 1: the side is mixed in the property object and stays.
    const bool SetW = Width >= 1;
    const bool SetH = Height >= 1;
    if (!SetW && !SetH)
        return true;
    Invalidate(true);
    auto Record = [&](int32_t Code, int32_t Old, int32_t New) {
        uint8_t B[8];
        PutI32(B, Old);
        PutI32(B + 4, New);
        AddHistory(0, Code, B, 4);
        AddHistory(1, Code, B + 4, 4);
    };
    if (SetW) {
        Record(25, FiWidth, Width);
        FiWidth = Width;
    }
    if (SetH) {
        Record(26, FiHeight, Height);
        FiHeight = Height;
    }
    SetPathState(0);
    SetModified();
    return true;
}

bool TParamObj::DoSetItemAngle(double Angle)
{
    // The centre of the frame, turned with the shape.
    const double C = std::cos(UsableAngle());
    const double S = std::sin(UsableAngle());
    const double HW = FiWidth / 2.0;
    const double HH = FiHeight / 2.0;
    Rotate(FiX + HW * C - HH * S, FiY + HW * S + HH * C, Angle - UsableAngle());
    return true;
}

bool TParamObj::DoSetItemPosX(int32_t X)
{
    MoveBy(WrapSub(X, FiX), 0);
    return true;
}

bool TParamObj::DoSetItemPosY(int32_t Y)
{
    MoveBy(0, WrapSub(Y, FiY));
    return true;
}

// ---------------------------------------------------------------------------
// TRectObj

const TDrawItemClass TRectObj::ClassInfo{"TRectObj", &TParamObj::ClassInfo, &NewShape<TRectObj>};

TRectObj::TRectObj(TPageLink* APage, int32_t AID) : TParamObj(APage, AID)
{
    FParam = RectParamFromBytes(std::array<uint8_t, 12>{}.data());
    FParam.CornerCount = 4;
}

bool TRectObj::TypeNumber(uint8_t& Type) const
{
    Type = doftRect;
    return true;
}

void TRectObj::Undo(int32_t Command, const void* Data, int32_t Size)
{
    if ((Command & 0x7F) != 29) {
        TParamObj::Undo(Command, Data, Size);
        return;
    }
    NeedSize(Size, Data, 12);
    ReplayParam(FParam, RectParamFromBytes(static_cast<const uint8_t*>(Data)), false,
                MergeRectParam);
}

void TRectObj::Redo(int32_t Command, const void* Data, int32_t Size)
{
    if ((Command & 0x7F) != 29) {
        TParamObj::Redo(Command, Data, Size);
        return;
    }
    NeedSize(Size, Data, 12);
    ReplayParam(FParam, RectParamFromBytes(static_cast<const uint8_t*>(Data)), true,
                MergeRectParam);
}

void TRectObj::BuildBasePath()
{
    if (FbBasePathState == 2)
        return;
    MakeRectPath(ShapeRect(), FParam, FBasePath);
    FinishBasePath();
}

void TRectObj::Assign(TDrawItem* Source)
{
    auto* S = dynamic_cast<TRectObj*>(Source);
    if (!S)
        throw EConvertError("TRectObj.Assign: DrawItemSrc is not TRectObj");
    TParamObj::Assign(Source);
    FParam = S->FParam;
}

bool TRectObj::DoSetRectParam(const TrecRectParam& Rec)
{
    TrecRectParam Held = Rec;
    HoldRectParam(Held, true);
    Invalidate(true);
    const auto Old = RectParamToBytes(FParam);
    const auto New = RectParamToBytes(Held);
    AddHistory(0, 29, Old.data(), 12);
    AddHistory(1, 29, New.data(), 12);
    MergeRectParam(FParam, Held);
    SetPathState(0);
    SetModified();
    return true;
}

void TRectObj::SetParam(const TrecRectParam& Param)
{
    Invalidate(true);
    FParam = Param;
    HoldRectParam(FParam, true);
    SetPathState(0);
}

bool TRectObj::ParamInRange() const { return RectParamInRange(FParam); }
void TRectObj::HoldParam(bool KeepUnchanged) { HoldRectParam(FParam, KeepUnchanged); }

bool TRectObj::SameParam(const TParamObj& Other) const
{
    const auto& O = static_cast<const TRectObj&>(Other).FParam;
    return O.Bevel == FParam.Bevel && O.CornerRadius == FParam.CornerRadius &&
           O.CornerCount == FParam.CornerCount && O.CornerPosition == FParam.CornerPosition;
}

void TRectObj::TakeCommonParam(TDrawGroup& Group)
{
    auto* First = FirstLeaf<TRectObj>(Group);
    if (!First)
        return;
    TrecRectParam P = First->FParam;
    WalkLeaves<TRectObj>(Group, [&](TRectObj& O) {
        P.Bevel = Differed(P.Bevel, O.FParam.Bevel, uint8_t{255});
        P.CornerRadius = Differed(P.CornerRadius, O.FParam.CornerRadius, kMinInt);
        P.CornerCount = Differed(P.CornerCount, O.FParam.CornerCount, uint16_t{65535});
        P.CornerPosition = Differed(P.CornerPosition, O.FParam.CornerPosition, uint16_t{65535});
        return P.Bevel == 255 && P.CornerRadius == kMinInt && P.CornerCount == 65535 &&
               P.CornerPosition == 65535;
    });
    FParam = P;
}

void TRectObj::WriteParam(TStream& Stream)
{
    const auto B = RectParamToBytes(FParam);
    Stream.WriteBuffer(B.data(), 12);
}

void TRectObj::ReadParam(TStream& Stream, int32_t Version)
{
    std::array<uint8_t, 12> B{};
    ReadRecordBytes(Stream, B, Version < 25 ? 8 : 12);
    TrecRectParam P = RectParamFromBytes(B.data());
    if (Version < 25) {
        P.CornerCount = 4;
        P.CornerPosition = 0;
    }
    FParam = P;
}

void TRectObj::WriteParamAsText(TStream& Stream)
{
    StreamWriteIntLine(Stream, FParam.Bevel);
    StreamWriteIntLine(Stream, FParam.CornerRadius);
    StreamWriteIntLine(Stream, FParam.CornerCount);
    StreamWriteIntLine(Stream, FParam.CornerPosition);
}

void TRectObj::ReadParamAsText(TStream& Stream, int32_t Version)
{
    constexpr const char* Caller = "TRectObj.ReadFromStreamAsText";
    TrecRectParam P = FParam;
    P.Bevel = ReadByteLine(Stream, Caller);
    P.CornerRadius = ReadIntLine(Stream);
    if (Version < 25) {
        P.CornerCount = 4;
        P.CornerPosition = 0;
    } else {
        P.CornerCount = ReadWordLine(Stream, Caller);
        P.CornerPosition = ReadWordLine(Stream, Caller);
    }
    FParam = P;
}

// ---------------------------------------------------------------------------
// TPolygonObj

const TDrawItemClass TPolygonObj::ClassInfo{"TPolygonObj", &TParamObj::ClassInfo,
                                            &NewShape<TPolygonObj>};

TPolygonObj::TPolygonObj(TPageLink* APage, int32_t AID) : TParamObj(APage, AID)
{
    FParam = PolygonParamFromBytes(std::array<uint8_t, 28>{}.data());
}

bool TPolygonObj::TypeNumber(uint8_t& Type) const
{
    Type = doftPolygon;
    return true;
}

void TPolygonObj::Undo(int32_t Command, const void* Data, int32_t Size)
{
    if ((Command & 0x7F) != 30) {
        TParamObj::Undo(Command, Data, Size);
        return;
    }
    NeedSize(Size, Data, 28);
    ReplayParam(FParam, PolygonParamFromBytes(static_cast<const uint8_t*>(Data)), false,
                MergePolygonParam);
}

void TPolygonObj::Redo(int32_t Command, const void* Data, int32_t Size)
{
    if ((Command & 0x7F) != 30) {
        TParamObj::Redo(Command, Data, Size);
        return;
    }
    NeedSize(Size, Data, 28);
    ReplayParam(FParam, PolygonParamFromBytes(static_cast<const uint8_t*>(Data)), true,
                MergePolygonParam);
}

void TPolygonObj::BuildBasePath()
{
    if (FbBasePathState == 2)
        return;
    TrecPolygonParam Used;
    GetPolygonPath(ShapeRect(), FParam, Used, FBasePath);
    FinishBasePath();
}

void TPolygonObj::Assign(TDrawItem* Source)
{
    auto* S = dynamic_cast<TPolygonObj*>(Source);
    if (!S)
        throw EConvertError("TPolygonObj.Assign: DrawItemSrc is not TPolygonObj");
    TParamObj::Assign(Source);
    FParam = S->FParam;
}

bool TPolygonObj::DoSetPolygonParam(const TrecPolygonParam& Rec)
{
    TrecPolygonParam Held = Rec;
    HoldPolygonParam(Held, true);
    Invalidate(true);
    const auto Old = PolygonParamToBytes(FParam);
    const auto New = PolygonParamToBytes(Held);
    AddHistory(0, 30, Old.data(), 28);
    AddHistory(1, 30, New.data(), 28);
    MergePolygonParam(FParam, Held);
    SetPathState(0);
    SetModified();
    return true;
}

void TPolygonObj::SetParam(const TrecPolygonParam& Param)
{
    Invalidate(true);
    FParam = Param;
    HoldPolygonParam(FParam, true);
    SetPathState(0);
}

bool TPolygonObj::ParamInRange() const { return PolygonParamInRange(FParam); }
void TPolygonObj::HoldParam(bool KeepUnchanged) { HoldPolygonParam(FParam, KeepUnchanged); }

bool TPolygonObj::SameParam(const TParamObj& Other) const
{
    const auto& O = static_cast<const TPolygonObj&>(Other).FParam;
    return O.Count == FParam.Count && O.CornerSize == FParam.CornerSize &&
           O.AngleVariation == FParam.AngleVariation &&
           O.RadiusVariation == FParam.RadiusVariation && O.Seed == FParam.Seed &&
           O.StartAngle == FParam.StartAngle;
}

void TPolygonObj::TakeCommonParam(TDrawGroup& Group)
{
    auto* First = FirstLeaf<TPolygonObj>(Group);
    if (!First)
        return;
    TrecPolygonParam P = First->FParam;
    WalkLeaves<TPolygonObj>(Group, [&](TPolygonObj& O) {
        const TrecPolygonParam& Q = O.FParam;
        P.Count = Differed(P.Count, Q.Count, -1);
        P.CornerSize = Differed(P.CornerSize, Q.CornerSize, kMinInt);
        P.AngleVariation = Differed(P.AngleVariation, Q.AngleVariation, -1);
        P.RadiusVariation = Differed(P.RadiusVariation, Q.RadiusVariation, -1);
        P.Seed = Differed(P.Seed, Q.Seed, -1);
        P.StartAngle = Differed(P.StartAngle, Q.StartAngle, ParamDoubleUnchanged);
        return P.Count == -1 && P.CornerSize == kMinInt && P.AngleVariation == -1 &&
               P.RadiusVariation == -1 && P.Seed == -1 && P.StartAngle == ParamDoubleUnchanged;
    });
    FParam = P;
}

void TPolygonObj::WriteParam(TStream& Stream)
{
    const auto B = PolygonParamToBytes(FParam);
    Stream.WriteBuffer(B.data(), 28);
}

void TPolygonObj::ReadParam(TStream& Stream, int32_t)
{
    std::array<uint8_t, 28> B{};
    ReadRecordBytes(Stream, B);
    TrecPolygonParam P = PolygonParamFromBytes(B.data());
    FParam = P;
}

void TPolygonObj::WriteParamAsText(TStream& Stream)
{
    for (int32_t V : {FParam.Count, FParam.CornerSize, FParam.AngleVariation,
                      FParam.RadiusVariation, FParam.Seed})
        StreamWriteIntLine(Stream, V);
    WriteFloatLine(Stream, FParam.StartAngle);
}

void TPolygonObj::ReadParamAsText(TStream& Stream, int32_t)
{
    TrecPolygonParam P;
    for (int32_t* V :
         {&P.Count, &P.CornerSize, &P.AngleVariation, &P.RadiusVariation, &P.Seed})
        *V = ReadIntLine(Stream);
    P.StartAngle = ReadFloatLine(Stream);
    FParam = P;
}

// ---------------------------------------------------------------------------
// TStarObj

const TDrawItemClass TStarObj::ClassInfo{"TStarObj", &TParamObj::ClassInfo, &NewShape<TStarObj>};

TStarObj::TStarObj(TPageLink* APage, int32_t AID) : TParamObj(APage, AID)
{
    FParam = StarParamFromBytes(std::array<uint8_t, 52>{}.data());
}

bool TStarObj::TypeNumber(uint8_t& Type) const
{
    Type = doftStar;
    return true;
}

void TStarObj::Undo(int32_t Command, const void* Data, int32_t Size)
{
    if ((Command & 0x7F) != 31) {
        TParamObj::Undo(Command, Data, Size);
        return;
    }
    NeedSize(Size, Data, 52);
    ReplayParam(FParam, StarParamFromBytes(static_cast<const uint8_t*>(Data)), false,
                MergeStarParam);
}

void TStarObj::Redo(int32_t Command, const void* Data, int32_t Size)
{
    if ((Command & 0x7F) != 31) {
        TParamObj::Redo(Command, Data, Size);
        return;
    }
    NeedSize(Size, Data, 52);
    ReplayParam(FParam, StarParamFromBytes(static_cast<const uint8_t*>(Data)), true,
                MergeStarParam);
}

void TStarObj::BuildBasePath()
{
    if (FbBasePathState == 2)
        return;
    TrecStarParam Used;
    GetStarPath(ShapeRect(), FParam, Used, FBasePath);
    FinishBasePath();
}

void TStarObj::Assign(TDrawItem* Source)
{
    auto* S = dynamic_cast<TStarObj*>(Source);
    if (!S)
        throw EConvertError("TStarObj.Assign: DrawItemSrc is not TStarObj");
    TParamObj::Assign(Source);
    FParam = S->FParam;
}

bool TStarObj::DoSetStarParam(const TrecStarParam& Rec)
{
    TrecStarParam Held = Rec;
    HoldStarParam(Held, true);
    Invalidate(true);
    const auto Old = StarParamToBytes(FParam);
    const auto New = StarParamToBytes(Held);
    AddHistory(0, 31, Old.data(), 52);
    AddHistory(1, 31, New.data(), 52);
    MergeStarParam(FParam, Held);
    SetPathState(0);
    SetModified();
    return true;
}

void TStarObj::SetParam(const TrecStarParam& Param)
{
    Invalidate(true);
    FParam = Param;
    HoldStarParam(FParam, true);
    SetPathState(0);
}

bool TStarObj::ParamInRange() const { return StarParamInRange(FParam); }
void TStarObj::HoldParam(bool KeepUnchanged) { HoldStarParam(FParam, KeepUnchanged); }

bool TStarObj::SameParam(const TParamObj& Other) const
{
    const auto& O = static_cast<const TStarObj&>(Other).FParam;
    return O.InnerRadius == FParam.InnerRadius && O.Count == FParam.Count &&
           O.Corner1 == FParam.Corner1 && O.Corner2 == FParam.Corner2 &&
           O.AngleVariation == FParam.AngleVariation &&
           O.InnerVariation == FParam.InnerVariation &&
           O.OuterVariation == FParam.OuterVariation && O.Kept1 == FParam.Kept1 &&
           O.Kept2 == FParam.Kept2 && O.Seed == FParam.Seed &&
           O.StartAngle == FParam.StartAngle;
}

void TStarObj::TakeCommonParam(TDrawGroup& Group)
{
    auto* First = FirstLeaf<TStarObj>(Group);
    if (!First)
        return;
    TrecStarParam P = First->FParam;
    WalkLeaves<TStarObj>(Group, [&](TStarObj& O) {
        const TrecStarParam& Q = O.FParam;
        P.InnerRadius = Differed(P.InnerRadius, Q.InnerRadius, -1.0);
        P.Count = Differed(P.Count, Q.Count, -1);
        P.Corner1 = Differed(P.Corner1, Q.Corner1, kMinInt);
        P.Corner2 = Differed(P.Corner2, Q.Corner2, kMinInt);
        P.AngleVariation = Differed(P.AngleVariation, Q.AngleVariation, -1);
        P.InnerVariation = Differed(P.InnerVariation, Q.InnerVariation, -1);
        P.OuterVariation = Differed(P.OuterVariation, Q.OuterVariation, -1);
        P.Kept1 = Differed(P.Kept1, Q.Kept1, -1);
        P.Kept2 = Differed(P.Kept2, Q.Kept2, -1);
        P.Seed = Differed(P.Seed, Q.Seed, -1);
        P.StartAngle = Differed(P.StartAngle, Q.StartAngle, ParamDoubleUnchanged);
        return P.InnerRadius == -1.0 && P.Count == -1 && P.Corner1 == kMinInt &&
               P.Corner2 == kMinInt && P.AngleVariation == -1 && P.InnerVariation == -1 &&
               P.OuterVariation == -1 && P.Kept1 == -1 && P.Kept2 == -1 && P.Seed == -1 &&
               P.StartAngle == ParamDoubleUnchanged;
    });
    FParam = P;
}

void TStarObj::WriteParam(TStream& Stream)
{
    const auto B = StarParamToBytes(FParam);
    Stream.WriteBuffer(B.data(), 52);
}

void TStarObj::ReadParam(TStream& Stream, int32_t)
{
    std::array<uint8_t, 52> B{};
    ReadRecordBytes(Stream, B);
    TrecStarParam P = StarParamFromBytes(B.data());
    FParam = P;
}

void TStarObj::WriteParamAsText(TStream& Stream)
{
    WriteFloatLine(Stream, FParam.InnerRadius);
    for (int32_t V : {FParam.Count, FParam.Corner1, FParam.Corner2, FParam.AngleVariation,
                      FParam.InnerVariation, FParam.OuterVariation, FParam.Kept1, FParam.Kept2,
                      FParam.Seed})
        StreamWriteIntLine(Stream, V);
    WriteFloatLine(Stream, FParam.StartAngle);
}

void TStarObj::ReadParamAsText(TStream& Stream, int32_t)
{
    TrecStarParam P;
    P.InnerRadius = ReadFloatLine(Stream);
    for (int32_t* V : {&P.Count, &P.Corner1, &P.Corner2, &P.AngleVariation, &P.InnerVariation,
                       &P.OuterVariation, &P.Kept1, &P.Kept2, &P.Seed})
        *V = ReadIntLine(Stream);
    P.StartAngle = ReadFloatLine(Stream);
    FParam = P;
}

// ---------------------------------------------------------------------------
// TEllipseObj

const TDrawItemClass TEllipseObj::ClassInfo{"TEllipseObj", &TParamObj::ClassInfo,
                                            &NewShape<TEllipseObj>};

TEllipseObj::TEllipseObj(TPageLink* APage, int32_t AID) : TParamObj(APage, AID) {}

bool TEllipseObj::TypeNumber(uint8_t& Type) const
{
    Type = doftEllipse;
    return true;
}

void TEllipseObj::BuildBasePath()
{
    if (FbBasePathState == 2)
        return;
    GetEllipsePath(ShapeRect(), FBasePath);
    FinishBasePath();
}

void TEllipseObj::Assign(TDrawItem* Source)
{
    auto* S = dynamic_cast<TEllipseObj*>(Source);
    if (!S)
        throw EConvertError("TEllipseObj.Assign: DrawItemSrc is not TEllipseObj");
    TParamObj::Assign(Source);
    FParam = S->FParam;
}

void TEllipseObj::SetParam(const TrecEllipseParam& Param)
{
    FParam = Param;
}

bool TEllipseObj::SameParam(const TParamObj& Other) const
{
    const auto& O = static_cast<const TEllipseObj&>(Other).FParam;
    return O.Value1 == FParam.Value1 && O.Value2 == FParam.Value2;
}

void TEllipseObj::TakeCommonParam(TDrawGroup& Group)
{
    auto* First = FirstLeaf<TEllipseObj>(Group);
    if (!First)
        return;
    TrecEllipseParam P = First->FParam;
    WalkLeaves<TEllipseObj>(Group, [&](TEllipseObj& O) {
        P.Value1 = Differed(P.Value1, O.FParam.Value1, ParamDoubleUnchanged);
        P.Value2 = Differed(P.Value2, O.FParam.Value2, ParamDoubleUnchanged);
        return P.Value1 == ParamDoubleUnchanged && P.Value2 == ParamDoubleUnchanged;
    });
    FParam = P;
}

void TEllipseObj::WriteParam(TStream& Stream)
{
    const auto B = EllipseParamToBytes(FParam);
    Stream.WriteBuffer(B.data(), 16);
}

void TEllipseObj::ReadParam(TStream& Stream, int32_t)
{
    std::array<uint8_t, 16> B{};
    ReadRecordBytes(Stream, B);
    TrecEllipseParam P = EllipseParamFromBytes(B.data());
    FParam = P;
}

void TEllipseObj::WriteParamAsText(TStream& Stream)
{
    WriteFloatLine(Stream, FParam.Value1);
    WriteFloatLine(Stream, FParam.Value2);
}

void TEllipseObj::ReadParamAsText(TStream& Stream, int32_t)
{
    TrecEllipseParam P;
    P.Value1 = ReadFloatLine(Stream);
    P.Value2 = ReadFloatLine(Stream);
    FParam = P;
}

// ---------------------------------------------------------------------------

void RegisterParamShapeTypes()
{
    RegisterDrawItemType(doftStar, &NewShape<TStarObj>);
    RegisterDrawItemType(doftRect, &NewShape<TRectObj>);
    RegisterDrawItemType(doftPolygon, &NewShape<TPolygonObj>);
    RegisterDrawItemType(doftEllipse, &NewShape<TEllipseObj>);
}
