// Pictures leaving the pixel world and changing shape: drawing a picture
// record scaled onto a device context, scaling part of one record into
// another, scaled and rotated copies, and the checkerboard behind
// transparent areas of previews. The scaling itself is StretchDIB's.
#pragma once

#include "foundation/geometry_types.h"
#include "platform/device_context.h"
#include "raster/rec_picture.h"

#include <cstdint>

// Draws the source rectangle (XSrc, YSrc, WSrc, HSrc; top row = 0) of a 4-,
// 8- or 24-bit picture into the destination rectangle (X, Y, W, H) of DC,
// nearest pixel, one BitBlt per destination row with Rop. The source
// rectangle is cut to the picture without moving the destination. Clip
// (inclusive right and bottom, or nullptr) limits the rows and columns drawn.
// Each distinct source row is converted once. An empty picture or an empty
// rectangle draws nothing.
void RecPictureStretchBlt(const TrecPicture& P, TDeviceContext& DC, int32_t X, int32_t Y,
                          int32_t W, int32_t H, int32_t XSrc, int32_t YSrc, int32_t WSrc,
                          int32_t HSrc, uint32_t Rop, const TRect* Clip);
// Source rows converted by this thread's latest RecPictureStretchBlt.
int64_t RecPictureStretchBltRowsConverted();

// Scales S's rectangle into D's rectangle (both left, top, width, height in
// page coordinates), both clipped to their pictures in proportion. Companion
// (8-bit, S's size, or nullptr) goes to StretchDIB as the mask.
void RecPictureStretchDraw(TrecPicture& D, int32_t XD, int32_t YD, int32_t WD, int32_t HD,
                           const TrecPicture& S, int32_t XS, int32_t YS, int32_t WS, int32_t HS,
                           const TrecPicture* Companion, uint8_t bExpandMode, uint8_t bReduceMode,
                           uint8_t bTile);

// D := all of S scaled to W x H (S's depth, a DIB section when S has one),
// placed by scaling S's position about Pt.
void RecPictureStretch(TrecPicture& D, const TrecPicture& S, const TPoint& Pt, int32_t W,
                       int32_t H, uint8_t bExpandMode, uint8_t bReduceMode, uint8_t bTile);

// D := the 8- or 24-bit S, used as a tile, turned by Angle (radians) about the
// centre C and shifted by the offsets, covering R (inclusive; any corner
// order) and placed at R's top-left. Smooth interpolates four pixels.
// Offsets of any size wrap; a non-finite angle or offset is refused.
void RecPictureRotate(TrecPicture& D, const TrecPicture& S, const TPoint& C, const TRect& R,
                      double Angle, double OX, double OY, bool bSmooth);

// Checkerboard of Size x Size cells over a 24-bit picture, Color1 in the
// first memory row's first cell; a colour's bytes 0, 1, 2 are written in
// pixel byte order. A Size below 1 counts as 1.
void RecPictureFillChecker(TrecPicture& P, int32_t Size, uint32_t Color1, uint32_t Color2);
