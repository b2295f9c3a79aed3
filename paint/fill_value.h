// Fill values of paint-function parameters, the picture-fill parameter set
// inside them, and the jittered point lattices of the stained-glass cells.
//
// A fill value is a method digit and its data:
//   "0", "5"                       nothing is painted
//   "1" + hexadecimal colour        0x00BBGGRR, written with six digits
//   "2" + option digit + gradation  text of TGradationObject
//   "4" + option digit + picture    text of TFillPictParam
// Option digit "0": the fill keeps its place when the object turns; any other
// digit: it turns with the object.
// Picture-fill text: kind, offset x, offset y, width, height, angle (real),
// handle, first option, second option, e.g. "1,0,0,0,0,0,-1,0,0".
#pragma once

#include "foundation/geometry_types.h"
#include "paint/gradation_object.h"
#include "raster/bmp_conv.h"
#include "raster/rec_picture.h"

#include <cstdint>
#include <string>
#include <vector>

class TListRecPict;

inline constexpr char FillMethodNone = '0';
inline constexpr char FillMethodColor = '1';
inline constexpr char FillMethodGradation = '2';
inline constexpr char FillMethodPicture = '4';
inline constexpr char FillMethodNoPaint = '5';

struct TFillPictParam {
    int32_t iOffsetX = 0; // placement relative to the object, turned with it
    int32_t iOffsetY = 0;
    int32_t iWidth = 0;   // the picture's size in pixels
    int32_t iHeight = 0;
    double dAngle = 0.0;  // degrees
    uint8_t bKind = 1;
    uint8_t bOption1 = 0;
    uint8_t bOption2 = 0;
    int32_t iHandle = -1; // in the document's picture store; -1 none

    friend bool operator==(const TFillPictParam&, const TFillPictParam&) = default;
};

// The largest side of a picture fill and the farthest its offset reaches
// either way: the side of the largest picture the program reads or makes a
// page of, so that every picture it loads fills at its own size. The fill
// editor's edits, its loaders and the check of values read from outside all
// keep to it.
inline constexpr int32_t MaxFillPictExtent = static_cast<int32_t>(MaxPicturePixels);

std::string FillPictParamToStr(const TFillPictParam& Param);
// An empty text gives the defaults with first option 2. Fields 0 to 6 must be
// numbers (field 5 a real); fields 7 and 8 read 0 when unreadable, and field 8
// is taken only when present. A bad field raises EUserError
// "TGradationObject.StrToRecGradParam Error!", keeping the fields before it.
// The option bytes are held as FillPictOptionsAsStored tells.
void StrToFillPictParam(const std::string& Text, TFillPictParam& Param);
// Each option byte is stored as one digit (the first is the picture's
// interpolation: none, smooth, best). A stored number beyond a digit (a
// wider integer, a negative one) reads as 1, not as its low byte: it is not
// 0, and the fill draws smooth for any first byte but 0. True when the
// option fields of the picture-fill text Text hold numbers that read as
// they stand.
bool FillPictOptionsAsStored(const std::string& Text);

struct TFillValue {
    char Method = FillMethodNone;
    char Option = '0';          // methods 2 and 4
    int32_t Color = 0;          // method 1
    TGradationObject Gradation; // method 2
    TFillPictParam PictParam;   // method 4
};

// False, leaving Value unchanged, for an empty text, an unknown method, a
// colour that is not 1 to 8 hexadecimal digits, a missing option digit or
// malformed method data.
bool StrToFillValue(const std::string& Text, TFillValue& Value);
std::string FillValueToStr(const TFillValue& Value);

// The stored picture a picture-fill value refers to; nil for other methods
// and for a handle the store does not hold. A malformed picture-fill text
// raises as StrToFillPictParam does.
TrecPicture* GetFillPictParamPicture(const std::string& Value, const TListRecPict& Store);

// Points of a jittered lattice, row by row; Columns and Rows give the points
// per row and the number of rows. Jitter 0 gives the exact lattice; the
// jitter draws come from the system's random generator, so a lattice is
// reproducible from its seed. Cell sizes below 1 count as 1 and negative areas
// as 0.
//
// Rectangular cells: Columns = AreaWidth div CellWidth + 7 and Rows likewise,
// starting three cells before the offset point, offsets kept within two cells.
// The wrapping lattice is not offered: Loop raises EUserError
// "MakeRectPoint: boolLoop Not Implememt".
void MakeRectPoint(double CellWidth, double CellHeight, double OffsetX, bool Loop,
                   std::vector<TDPoint>& Points, int32_t& Columns, int32_t& Rows, double Jitter,
                   int32_t AreaWidth, int32_t AreaHeight, double OffsetY);
// Hexagon centres for the cell size CellWidth (CellHeight is not used), every
// other column shifted by half a cell, offsets kept within four cells. With
// Loop the pitches are fitted to an even number of cells over the area and the
// lattice repeats exactly: the point Columns - 14 further along a row lies
// AreaWidth further right, the one Rows - 9 rows down AreaHeight lower; an
// empty area gives the lattice without Loop.
void MakeHexPoint(double CellWidth, double CellHeight, double OffsetX, bool Loop,
                  std::vector<TDPoint>& Points, int32_t& Columns, int32_t& Rows, double Jitter,
                  int32_t AreaWidth, int32_t AreaHeight, double OffsetY);
