#include "editors/anchor_grad.h"

#include "editors/frm_sel_color.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

bool TAnchorPnt::HitTest(int32_t AX, int32_t AY) const
{
    return std::abs(AX - X) <= Radius() && std::abs(AY - Y) <= Radius();
}

void TAnchorPnt::Draw(QPainter& Painter) const
{
    Painter.save();
    Painter.setBrush(Qt::NoBrush);
    const int R = Radius();
    const QColor Rings[3] = {Qt::black, Qt::white, Qt::black};
    for (int I = 0; I < 3; ++I) {
        Painter.setPen(Rings[I]);
        // Box (x-r+i, y-r+i) .. (x+r+1-i, y+r+1-i), right and bottom exclusive.
        const int Side = 2 * R + 1 - 2 * I;
        if (Side > 1)
            Painter.drawEllipse(X - R + I, Y - R + I, Side - 1, Side - 1);
    }
    Painter.restore();
}

bool TAnchorCol::HitTest(int32_t AX, int32_t AY) const
{
    return std::abs(AX - X) <= 4 && std::abs(AY - Y) <= 4;
}

void TAnchorCol::Draw(QPainter& Painter) const
{
    Painter.save();
    Painter.setPen(Qt::black);
    Painter.setBrush(ColorOfRef(Color));
    Painter.drawRect(X - 4, Y - 4, 8, 8); // (x-4, y-4) .. (x+5, y+5) exclusive
    Painter.setPen(Qt::NoPen);
    Painter.setBrush(Qt::black);
    if (Kind == AnchorColor)
        Painter.drawRect(X, Y + 5, 2, 4);
    else
        Painter.drawRect(X, Y - 8, 2, 4);
    Painter.restore();
}

void TAnchorCol::Erase(QPainter& Painter, const QColor& Face) const
{
    Painter.fillRect(X - 4, Y - 4, 10, 10, Face);
    if (Kind == AnchorColor)
        Painter.fillRect(X, Y + 5, 3, 5, Face);
    else
        Painter.fillRect(X, Y - 9, 3, 6, Face);
}

uint8_t TGradAnchors::HitTest(int32_t X, int32_t Y)
{
    for (const auto& A : FItems)
        if (A->HitTest(X, Y)) {
            FHit = A.get();
            return A->Kind;
        }
    return 0;
}

TAnchorCol* TGradAnchors::AddOrSet(uint8_t Kind, int32_t X, int32_t Color, int32_t Y)
{
    for (const auto& A : FItems)
        if (A->X == X) {
            A->Color = Color;
            return A.get();
        }
    return Put(std::make_unique<TAnchorCol>(Kind, X, Y, Color));
}

void TGradAnchors::Sort()
{
    std::stable_sort(FItems.begin(), FItems.end(), [](const auto& A, const auto& B) { return A->X < B->X; });
}

bool TGradAnchors::Occupied(int32_t X, const TAnchorCol* Except) const
{
    return std::any_of(FItems.begin(), FItems.end(),
                       [&](const auto& A) { return A.get() != Except && A->X == X; });
}

bool TGradAnchors::DelAnchor(uint8_t Kind, int32_t X, int32_t Y)
{
    for (auto It = FItems.begin(); It != FItems.end(); ++It)
        if ((*It)->Kind == Kind && (*It)->X == X && (*It)->Y == Y) {
            if (FHit == It->get())
                FHit = nullptr;
            FItems.erase(It);
            return true;
        }
    return false;
}

std::unique_ptr<TAnchorCol> TGradAnchors::Take(TAnchorCol* Anchor)
{
    const int I = IndexOf(Anchor);
    if (I < 0)
        return nullptr;
    auto Out = std::move(FItems[I]);
    FItems.erase(FItems.begin() + I);
    return Out;
}

TAnchorCol* TGradAnchors::Put(std::unique_ptr<TAnchorCol> Anchor)
{
    auto It = FItems.begin();
    for (auto J = FItems.begin(); J != FItems.end(); ++J)
        if ((*J)->X < Anchor->X)
            It = J + 1;
    return FItems.insert(It, std::move(Anchor))->get();
}

void TGradAnchors::Draw(QPainter& Painter) const
{
    for (const auto& A : FItems)
        A->Draw(Painter);
}

void TGradAnchors::Clear()
{
    FItems.clear();
    FHit = nullptr;
}

void TGradAnchors::Mirror(int32_t Lo, int32_t Hi)
{
    std::reverse(FItems.begin(), FItems.end());
    for (auto& A : FItems)
        A->X = Lo + Hi - A->X;
}

int TGradAnchors::IndexOf(const TAnchorCol* Anchor) const
{
    for (size_t I = 0; I < FItems.size(); ++I)
        if (FItems[I].get() == Anchor)
            return static_cast<int>(I);
    return -1;
}

int32_t StopBarPixel(int32_t Left, int32_t Width, int32_t Position)
{
    return Left + (Width - 2) * Position / 1023;
}

int32_t StopBarPosition(int32_t Left, int32_t Width, int32_t X)
{
    // A bar narrower than 3 pixels has one position only.
    return Width > 2 ? (X - Left) * 1023 / (Width - 2) : 0;
}

bool FindFreeSlot(const TGradAnchors& Anchors, int32_t Left, int32_t Width, int32_t X, int32_t& Slot,
                  const TAnchorCol* Except)
{
    return FindFreeSlot([&](int32_t S) { return Anchors.Occupied(S, Except); }, Left, Width, X, Slot);
}

bool FindFreeSlot(const std::function<bool(int32_t Slot)>& Taken, int32_t Left, int32_t Width, int32_t X,
                  int32_t& Slot)
{
    const int32_t X0 = Left + ((X - Left) / 4) * 4;
    if (!Taken(X0)) {
        Slot = X0;
        return true;
    }
    int32_t Right = -1, LeftSlot = -1;
    bool HasRight = false, HasLeft = false;
    for (int32_t S = X0 + 4; S < Left + Width; S += 4)
        if (!Taken(S)) {
            Right = S;
            HasRight = true;
            break;
        }
    for (int32_t S = X0 - 4; S >= Left; S -= 4)
        if (!Taken(S)) {
            LeftSlot = S;
            HasLeft = true;
            break;
        }
    if (!HasRight && !HasLeft)
        return false;
    if (HasRight && HasLeft)
        // The nearer one; the left one when both are as near.
        Slot = (X0 - LeftSlot) <= (Right - X0) ? LeftSlot : Right;
    else
        Slot = HasLeft ? LeftSlot : Right;
    return true;
}

namespace {

double PreviewOrigin(int32_t Extent, int32_t Zoom, int32_t Box)
{
    return Box / 2.0 - (Extent / 2.0) * Zoom / 100.0;
}

} // namespace

int32_t GradUnitToPreview(int32_t Unit, int32_t Extent, int32_t Zoom, int32_t Box)
{
    return static_cast<int32_t>(
        std::lround(double(Unit) * Extent * Zoom / 16384.0 / 100.0 + PreviewOrigin(Extent, Zoom, Box)));
}

int32_t PreviewToGradUnit(int32_t Pixel, int32_t Extent, int32_t Zoom, int32_t Box)
{
    const double Scale = double(std::max(Extent, 1)) * std::max(Zoom, 1);
    return static_cast<int32_t>(std::lround((Pixel - PreviewOrigin(Extent, Zoom, Box)) * 16384.0 * 100.0 / Scale));
}

std::string GradPointsText(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t W, int32_t H)
{
    auto Pc = [](int32_t V) { return static_cast<long>(std::lround(V * 100.0 / 16384.0)); };
    double Angle = std::atan2(double(Y2 - Y1) * H, double(X2 - X1) * W) * 180.0 / M_PI + 90.0;
    if (Angle < 0)
        Angle += 360.0;
    char Buf[160];
    std::snprintf(Buf, sizeof Buf, "基準1=(%ld, %ld)%%, 基準2=(%ld, %ld)%%, 角度=%.1f度", Pc(X1), Pc(Y1), Pc(X2), Pc(Y2),
                  Angle);
    return Buf;
}

void ConstrainToAngle(int32_t FromX, int32_t FromY, int32_t& X, int32_t& Y, double Step)
{
    const double Dx = X - FromX, Dy = Y - FromY;
    if (Step <= 0 || (Dx == 0 && Dy == 0))
        return;
    const double A = std::round(std::atan2(Dy, Dx) * 180.0 / M_PI / Step) * Step * M_PI / 180.0;
    const double Len = Dx * std::cos(A) + Dy * std::sin(A);
    X = FromX + static_cast<int32_t>(std::lround(Len * std::cos(A)));
    Y = FromY + static_cast<int32_t>(std::lround(Len * std::sin(A)));
}
