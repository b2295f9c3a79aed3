// The parametric shapes: rectangles, regular polygons, stars and ellipses.
// Their base path is never edited; it is generated from a position, a size,
// an angle and a per-shape parameter record whenever the base path state is
// 0. The output path is the base path through the outline transform, turned
// about (X, Y) by the angle.
//
// TParamObj holds what the four share (undo codes 25 to 28); TRectObj (29),
// TPolygonObj (30) and TStarObj (31) add their record and its undo code,
// TEllipseObj two stored doubles. Stream forms after the line-object part:
// X, Y, width, height (int32), angle (float32), then the raw record.
//
// Records are kept as read, leave-unchanged values and doubles that are no
// numbers included, so that a load and save changes nothing; the generators
// take such values safely, and drawing never changes the record.
#pragma once

#include <cmath>

#include "model/line_object.h"

#include <array>
#include <cstdint>
#include <limits>

// Stored type numbers of the shapes.
constexpr uint8_t doftStar = 2;
constexpr uint8_t doftRect = 3;
constexpr uint8_t doftPolygon = 4;
constexpr uint8_t doftEllipse = 5;

// Leave-unchanged values of the shape frame in a property object.
constexpr int32_t ParamPosUnchanged = 2147483647;   // X, Y
constexpr int32_t ParamSizeUnchanged = -1;          // width, height
constexpr float ParamAngleUnchanged = std::numeric_limits<float>::max();

// The ellipse's two doubles: stored, copied, compared and merged only.
struct TrecEllipseParam {
    double Value1 = 0.0;   // 1.7e308
    double Value2 = 0.0;   // 1.7e308
};

// The stored little-endian bytes of the records and back.
std::array<uint8_t, 12> RectParamToBytes(const TrecRectParam& P);
TrecRectParam RectParamFromBytes(const uint8_t* B);
std::array<uint8_t, 28> PolygonParamToBytes(const TrecPolygonParam& P);
TrecPolygonParam PolygonParamFromBytes(const uint8_t* B);
std::array<uint8_t, 52> StarParamToBytes(const TrecStarParam& P);
TrecStarParam StarParamFromBytes(const uint8_t* B);
std::array<uint8_t, 16> EllipseParamToBytes(const TrecEllipseParam& P);
TrecEllipseParam EllipseParamFromBytes(const uint8_t* B);

class TParamObj : public TLineObject {
public:
    // The line object with the default fill-path flag (1 without installed
    // defaults) in both paths; frame and angle 0.
    TParamObj(TPageLink* APage, int32_t AID);

    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }

    // Codes 25 to 28; others go to TLineObject. Redo replays the same codes
    // with the redo data.
    void Undo(int32_t Command, const void* Data, int32_t Size) override;

    // As the line object's, with the reference rectangle (X, Y, X + width - 1,
    // Y + height - 1) for the outline and the result turned about (X, Y).
    void RebuildPath() override;
    // Same class, the line-object test, equal frame, angle and record.
    bool SameAttributes(TDrawItem* Other) override;

    void WriteToStream(TStream& Stream) override;
    void ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version) override;
    void WriteToStreamAsText(TStream& Stream) override;
    void ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version) override;

    // EConvertError "TParamObj.Assign: DrawItemSrc is not TParamObj".
    void Assign(TDrawItem* Source) override;
    void MoveBy(int32_t DX, int32_t DY) override;
    // The frame (X, Y to X + width, Y + height) and the paths.
    bool MoveKeepsReach(int32_t DX, int32_t DY) override;
    // Turns the frame's origin about the centre and adds Angle (code 27);
    // the fill parameters follow (code 16). Nothing with path macros.
    void Rotate(double CX, double CY, double Angle) override;
    // Scales the frame (code 28); a negative factor mirrors the frame and
    // is taken positive; a quarter-turned shape swaps the factors.
    void ScaleTo(double CX, double CY, double FX, double FY) override;
    // Differing X or Y give MaxInt, width or height -1, angle
    // ParamAngleUnchanged, record fields their leave-unchanged values.
    bool TakeCommonAttributes(TDrawGroup& Group) override;
    // The frame (ShapeFrameDrawable) and the shape's record within the
    // ranges of model/shape_param_range.h.
    bool ValuesDrawable(int32_t Dpi) const override;
    // The frame (HoldShapeFrame) and the record brought into those ranges.
    void BringValuesIntoRange(int32_t Dpi) override;

    // Codes 25 (width) and 26 (height); a value below 1 leaves that side.
    bool DoSetParamSize(int32_t Width, int32_t Height) override;
    // Turn about the shape's centre to the angle, move to the position.
    bool DoSetItemAngle(double Angle) override;
    bool DoSetItemPosX(int32_t X) override;
    bool DoSetItemPosY(int32_t Y) override;

    // Sets the frame without recording (a new shape); the path is rebuilt.
    void SetFrame(int32_t X, int32_t Y, int32_t Width, int32_t Height);

    int32_t X() const { return FiX; }
    int32_t Y() const { return FiY; }
    int32_t Width() const { return FiWidth; }
    int32_t Height() const { return FiHeight; }
    float Angle() const { return FfAngle; }
    // The angle points are turned by: a stored angle that is no number
    // (kept so that the shape saves back as it was read) turns nothing.
    double UsableAngle() const { return std::isfinite(FfAngle) ? double(FfAngle) : 0.0; }
    // The generators' rectangle (X, Y, X + width, Y + height), saturated.
    TRect ShapeRect() const;

protected:
    // Each shape's record: compared, merged in a property object, and
    // written after the frame.
    virtual bool SameParam(const TParamObj& Other) const;
    virtual void TakeCommonParam(TDrawGroup& Group);
    virtual void WriteParam(TStream& Stream);
    virtual void ReadParam(TStream& Stream, int32_t Version);
    virtual void WriteParamAsText(TStream& Stream);
    virtual void ReadParamAsText(TStream& Stream, int32_t Version);
    // The record within its ranges (True without one), and brought into
    // them (KeepUnchanged: see HoldRectParam).
    virtual bool ParamInRange() const;
    virtual void HoldParam(bool KeepUnchanged);
    // The shape's type number, written first; nothing for TParamObj itself.
    virtual bool TypeNumber(uint8_t& Type) const;
    // Generates the base path; SetPathState(2).
    void FinishBasePath();
    // Records and undo: invalidate, store, SetPathState(0).
    void StoreFrame(int32_t X, int32_t Y, int32_t Width, int32_t Height);
    void StorePosition(int32_t X, int32_t Y, float Angle);
    // Replays a record change: Rec replaces Param (undo) or is merged into
    // it with MergeFn (redo); invalidate, SetPathState(0), modified.
    template <class TRec>
    void ReplayParam(TRec& Param, const TRec& Rec, bool Merge, void (*MergeFn)(TRec&, const TRec&));

    int32_t FiX = 0;
    int32_t FiY = 0;
    int32_t FiWidth = 0;
    int32_t FiHeight = 0;
    float FfAngle = 0.0f;

private:
    void ReadFrame(TStream& Stream, int32_t Version, bool Text);
};

class TRectObj : public TParamObj {
public:
    // Records start zeroed; a rectangle's corner count is 4.
    TRectObj(TPageLink* APage, int32_t AID);
    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }

    // 29: undo restores the recorded record, redo merges the change.
    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    void Redo(int32_t Command, const void* Data, int32_t Size) override;
    void BuildBasePath() override;
    // EConvertError "TRectObj.Assign: DrawItemSrc is not TRectObj".
    void Assign(TDrawItem* Source) override;
    // The change held to the ranges (leave-unchanged fields stay) first.
    bool DoSetRectParam(const TrecRectParam& Rec) override;

    const TrecRectParam& Param() const { return FParam; }
    // Without recording (a new shape); the path is rebuilt. Held to the
    // ranges as the recorded setter is; leave-unchanged values stay (a
    // property object's mixed fields).
    void SetParam(const TrecRectParam& Param);

protected:
    bool SameParam(const TParamObj& Other) const override;
    void TakeCommonParam(TDrawGroup& Group) override;
    void WriteParam(TStream& Stream) override;
    // Before version 25: 8 bytes; corner count 4, position 0.
    void ReadParam(TStream& Stream, int32_t Version) override;
    void WriteParamAsText(TStream& Stream) override;
    void ReadParamAsText(TStream& Stream, int32_t Version) override;
    bool TypeNumber(uint8_t& Type) const override;
    bool ParamInRange() const override;
    void HoldParam(bool KeepUnchanged) override;

private:
    TrecRectParam FParam;
};

class TPolygonObj : public TParamObj {
public:
    TPolygonObj(TPageLink* APage, int32_t AID);
    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }

    // 30: undo restores the recorded record, redo merges the change.
    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    void Redo(int32_t Command, const void* Data, int32_t Size) override;
    // From a copy of the record: the vertex count the generator raises is
    // used, not stored.
    void BuildBasePath() override;
    // EConvertError "TPolygonObj.Assign: DrawItemSrc is not TPolygonObj".
    void Assign(TDrawItem* Source) override;
    bool DoSetPolygonParam(const TrecPolygonParam& Rec) override;

    const TrecPolygonParam& Param() const { return FParam; }
    void SetParam(const TrecPolygonParam& Param);

protected:
    bool SameParam(const TParamObj& Other) const override;
    void TakeCommonParam(TDrawGroup& Group) override;
    void WriteParam(TStream& Stream) override;
    void ReadParam(TStream& Stream, int32_t Version) override;
    void WriteParamAsText(TStream& Stream) override;
    void ReadParamAsText(TStream& Stream, int32_t Version) override;
    bool TypeNumber(uint8_t& Type) const override;
    bool ParamInRange() const override;
    void HoldParam(bool KeepUnchanged) override;

private:
    TrecPolygonParam FParam;
};

class TStarObj : public TParamObj {
public:
    TStarObj(TPageLink* APage, int32_t AID);
    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }

    // 31: undo restores the recorded record, redo merges the change.
    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    void Redo(int32_t Command, const void* Data, int32_t Size) override;
    // From a copy of the record: the point count the generator raises is
    // used, not stored.
    void BuildBasePath() override;
    // EConvertError "TStarObj.Assign: DrawItemSrc is not TStarObj".
    void Assign(TDrawItem* Source) override;
    bool DoSetStarParam(const TrecStarParam& Rec) override;

    const TrecStarParam& Param() const { return FParam; }
    void SetParam(const TrecStarParam& Param);

protected:
    bool SameParam(const TParamObj& Other) const override;
    void TakeCommonParam(TDrawGroup& Group) override;
    void WriteParam(TStream& Stream) override;
    void ReadParam(TStream& Stream, int32_t Version) override;
    void WriteParamAsText(TStream& Stream) override;
    void ReadParamAsText(TStream& Stream, int32_t Version) override;
    bool TypeNumber(uint8_t& Type) const override;
    bool ParamInRange() const override;
    void HoldParam(bool KeepUnchanged) override;

private:
    TrecStarParam FParam;
};

class TEllipseObj : public TParamObj {
public:
    TEllipseObj(TPageLink* APage, int32_t AID);
    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }

    void BuildBasePath() override;
    // EConvertError "TEllipseObj.Assign: DrawItemSrc is not TEllipseObj".
    void Assign(TDrawItem* Source) override;

    const TrecEllipseParam& Param() const { return FParam; }
    void SetParam(const TrecEllipseParam& Param);

protected:
    bool SameParam(const TParamObj& Other) const override;
    void TakeCommonParam(TDrawGroup& Group) override;
    void WriteParam(TStream& Stream) override;
    void ReadParam(TStream& Stream, int32_t Version) override;
    void WriteParamAsText(TStream& Stream) override;
    void ReadParamAsText(TStream& Stream, int32_t Version) override;
    bool TypeNumber(uint8_t& Type) const override;

private:
    TrecEllipseParam FParam;
};

// Registers the four shapes under their type numbers (start-up).
void RegisterParamShapeTypes();
