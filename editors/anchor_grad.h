// The anchors of the gradation page: the stop anchors standing on the colour
// and opacity bars, the two geometry points over the preview, and the pure
// geometry behind them (stop position <-> bar pixel, the 4-pixel free-slot
// search, gradation units <-> preview pixels, the points text).
#pragma once

#include "foundation/tobject.h"

#include <QColor>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPainter;

// Anchor kinds.
inline constexpr uint8_t AnchorPoint1 = 1;
inline constexpr uint8_t AnchorPoint2 = 2;
inline constexpr uint8_t AnchorTrans = 3; // opacity stop, stem upwards
inline constexpr uint8_t AnchorColor = 4; // colour stop, stem downwards

class TGradAnchor : public TObject {
public:
    TGradAnchor(uint8_t AKind, int32_t AX, int32_t AY) : Kind(AKind), X(AX), Y(AY) {}
    std::string ClassName() const override { return "TGradAnchor"; }
    virtual bool HitTest(int32_t AX, int32_t AY) const = 0;
    virtual void Draw(QPainter& Painter) const = 0;
    virtual void Erase(QPainter& Painter, const QColor& Face) const = 0;

    uint8_t Kind;
    int32_t X;
    int32_t Y;
};

class TAnchorPnt : public TGradAnchor {
public:
    using TGradAnchor::TGradAnchor;
    std::string ClassName() const override { return "TAnchorPnt"; }
    int32_t Radius() const { return Kind == AnchorPoint1 ? 5 : 3; }
    bool HitTest(int32_t AX, int32_t AY) const override;
    void Draw(QPainter& Painter) const override;
    // The preview is repainted under a point instead.
    void Erase(QPainter&, const QColor&) const override {}
};

class TAnchorCol : public TGradAnchor {
public:
    TAnchorCol(uint8_t AKind, int32_t AX, int32_t AY, int32_t AColor) : TGradAnchor(AKind, AX, AY), Color(AColor) {}
    std::string ClassName() const override { return "TAnchorCol"; }
    bool HitTest(int32_t AX, int32_t AY) const override;
    void Draw(QPainter& Painter) const override;
    void Erase(QPainter& Painter, const QColor& Face) const override;

    int32_t Color;
};

// Stop anchors of one bar, kept in ascending X.
class TGradAnchors : public TObject {
public:
    std::string ClassName() const override { return "TGradAnchors"; }

    // The kind of the first anchor hit in list order, 0 when none; the hit
    // anchor is remembered (Hit()).
    uint8_t HitTest(int32_t X, int32_t Y);
    TAnchorCol* Hit() const { return FHit; }
    // An anchor at X takes the colour; otherwise a new one goes in after the
    // last anchor with a lower X.
    TAnchorCol* AddOrSet(uint8_t Kind, int32_t X, int32_t Color, int32_t Y);
    void Sort();
    bool Occupied(int32_t X, const TAnchorCol* Except = nullptr) const;
    bool DelAnchor(uint8_t Kind, int32_t X, int32_t Y);
    // Out of the list without freeing (the trash), and back in by X.
    std::unique_ptr<TAnchorCol> Take(TAnchorCol* Anchor);
    TAnchorCol* Put(std::unique_ptr<TAnchorCol> Anchor);
    void Draw(QPainter& Painter) const;
    void Clear();
    // Reversed, each X becoming Lo + Hi - X.
    void Mirror(int32_t Lo, int32_t Hi);

    int Count() const { return static_cast<int>(FItems.size()); }
    TAnchorCol* operator[](int Index) const { return FItems[Index].get(); }
    int IndexOf(const TAnchorCol* Anchor) const;

private:
    std::vector<std::unique_ptr<TAnchorCol>> FItems;
    TAnchorCol* FHit = nullptr;
};

// A stop position 0..1023 and a pixel of a bar at Left, Width wide.
int32_t StopBarPixel(int32_t Left, int32_t Width, int32_t Position);
int32_t StopBarPosition(int32_t Left, int32_t Width, int32_t X);
// The 4-pixel slot for a click at X on a bar: the slot itself when free,
// else the nearer free slot on either side (the left one on a tie); false
// when every slot is taken. Except is not counted as taking its slot.
bool FindFreeSlot(const TGradAnchors& Anchors, int32_t Left, int32_t Width, int32_t X, int32_t& Slot,
                  const TAnchorCol* Except = nullptr);
// The same search where Taken says which slots are in use.
bool FindFreeSlot(const std::function<bool(int32_t Slot)>& Taken, int32_t Left, int32_t Width, int32_t X,
                  int32_t& Slot);

// A geometry coordinate (1/16384 of the box) and a preview pixel, for a
// scaled outline Extent pixels wide (or high) at Zoom percent in a preview
// Box pixels wide (or high), centred.
int32_t GradUnitToPreview(int32_t Unit, int32_t Extent, int32_t Zoom, int32_t Box);
int32_t PreviewToGradUnit(int32_t Pixel, int32_t Extent, int32_t Zoom, int32_t Box);
// "基準1=(x1, y1)%, 基準2=(x2, y2)%, 角度=a度" for the two points; the angle
// is that of the point difference scaled to the outline (W x H), plus 90.
std::string GradPointsText(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t W, int32_t H);
// P moved onto the ray from From at the multiple of Step degrees nearest to
// its own direction, at P's distance projected onto that ray; P itself when
// Step is not positive or P is From.
void ConstrainToAngle(int32_t FromX, int32_t FromY, int32_t& X, int32_t& Y, double Step);
