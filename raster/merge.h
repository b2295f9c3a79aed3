// Compositing: the blend modes and the routines that lay a picture, a solid
// colour, a repeated tile or a gradation over a picture, through an optional
// 8-bit mask and an opacity. Pictures meet where their page rectangles
// overlap; a mask value m turns the opacity o into the weight (m x o + 255) shr 8.
//
// Blend modes (one byte), for source byte s over destination byte d:
//   0 normal, 1 multiply, 2 screen, 3 overlay, 4 hard light, 5 darken
//   (min(s, d)), 6 lighten (max(s, d)), 7 difference, 8 hue (source hue,
//   destination saturation and lightness), 9 saturation (source saturation,
//   destination hue and lightness), 10 luminosity (destination hue and
//   saturation, source lightness), 11 add-subtract, 12 AND, 13 OR, 14
//   destination colour fitted to the source's luma. Modes 8, 9 and 10 work in
//   the HLS model of foundation/colour_models.h; a grey has no hue, so mode 8
//   under a grey source and mode 9 over a grey destination (every 8-bit one)
//   leave the pixel. Weighted, modes 5, 6, 8 and 9 round once. Anything above
//   14 leaves the destination unchanged.
//
// Opacities are taken as 0..255; values outside are clamped. Pictures of a
// depth a routine does not handle are refused with EUserError.
#pragma once

#include "foundation/geometry_types.h"
#include "raster/gradation_record.h"
#include "raster/rec_picture.h"

#include <cstdint>

// One pixel blend of the per-pixel blenders. Both pointers move on by the
// pixel size after each call (1 byte for an 8-bit destination, 3 for a
// 24-bit one); the source pixel has the destination's size.
struct TrecBlendPixel {
    uint8_t* pDest = nullptr;
    const uint8_t* pSrc = nullptr;
    int32_t iWeight = 255;      // 0..255 (clamped)
    int32_t iInvWeight = 0;     // 255 - iWeight; the blenders derive it from iWeight
    int32_t iBytesPerPixel = 3; // 1 (8-bit destination) or 3 (24-bit)
    uint8_t bMode = 0;
};

// The pixel at weight 255: d := b for every byte, b as RecPictureMerge
// computes it (modes 8, 9, 10 and 14 turn the whole pixel; on an 8-bit pixel
// modes 10 and 14 take the source byte). Modes above 14 leave the pixel.
void BlendPixelFull(TrecBlendPixel& B);
// The pixel at the context's weight a, one rounding:
// d := ((255 - a) d + a b + 255) shr 8 (modes 10 and 14 round each term by
// itself). Weight 0 only moves the pointers.
void BlendPixelWeighted(TrecBlendPixel& B);

// Source over destination through the mask (8-bit, may be null) on the
// overlap of all three. Depth pairs (destination, source): (24, 8), (8, 8),
// (16, 8), (24, 24), else EUserError "RecPictureMerge: biBitCount incorrect";
// an 8-bit source over 24 bits acts as grey; a 16-bit destination takes mode
// 0 only. Weighted modes 0, 5, 6, 8 and 9 round once, the others round each
// term. With ClearOutside every destination pixel outside the overlap is set
// to 0 (all of them when there is no overlap).
void RecPictureMerge(const TrecPicture& Dest, const TrecPicture& Src, const TrecPicture* Mask,
                     int32_t Opacity, uint8_t Mode, bool ClearOutside = false);

// A picture repeated without end in both directions, aligned on its own
// iLeft, iTop; it has the destination's depth (8 or 24 bits).
void RecPictureMergeTile(const TrecPicture& Dest, const TrecPicture* Mask, int32_t Opacity,
                         const TrecPicture& Tile, uint8_t Mode);

// One solid 0x00BBGGRR colour; an 8-bit destination takes bits 16..23.
void RecPictureMergeColor(const TrecPicture& Dest, const TrecPicture* Mask, int32_t Opacity,
                          int32_t Color, uint8_t Mode);

// A gradation rendered for Rect (page coordinates) over a 24-bit destination;
// each pixel weighted by the mask, the opacity, the gradation's opacity
// picture and its overall opacity.
void RecPictureMergeGradation(const TrecPicture& Dest, const TrecPicture* Mask, int32_t Opacity,
                              const TRect& Rect, const TrecGradation& Gradation, uint8_t Mode);

// Sets the pixels of an 8- or 24-bit picture, or of its overlap with R, to
// one colour (24-bit: blue, green, red of 0x00BBGGRR; 8-bit: the low byte).
void RecPictureFillColor(const TrecPicture& P, int32_t Color, const TRect* R = nullptr);
