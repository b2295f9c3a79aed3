// Colour byte orders and the colour models of the pickers and tone filters.
// Colours are 0x00BBGGRR values (red in the low byte). All model arithmetic is
// integer, with divisions truncating toward zero.
#pragma once

#include <cstdint>

// Exchanges the lowest and the third byte and clears the top byte: turns
// 0x00BBGGRR into 0x00RRGGBB and back.
int32_t SwapRB(int32_t C);
int32_t ReverseRGB(int32_t C);                    // the same operation
// Stores a 0x00BBGGRR colour as the B, G, R bytes of a 24-bit DIB pixel.
void ColorToPixel24(int32_t C, uint8_t* P);
// P[0] := B, P[1] := C, P[2] := A.
void SetPixel24(uint8_t A, uint8_t B, uint8_t C, uint8_t* P);

// Hue in thousandths of a degree 0..359999, saturation 0..256, brightness
// 0..255. HSBToRGB takes any hue modulo 360000 (negative hues wrap).
void RGBToHSB(int32_t R, int32_t G, int32_t B, int32_t& H, int32_t& S, int32_t& V);
void HSBToRGB(int32_t H, int32_t S, int32_t V, int32_t& R, int32_t& G, int32_t& B);

// Lightness on the 16-bit scale (65280 full) of 8-bit channels.
int32_t GetLightness(int32_t R, int32_t G, int32_t B);
// Hue 1024 per sector (0..6144), saturation and lightness 0..65280; channels
// 0..255. HLSToRGB takes any hue modulo 6144.
void RGBToHLS(int32_t R, int32_t G, int32_t B, int32_t& H, int32_t& S, int32_t& L);
void HLSToRGB(int32_t H, int32_t S, int32_t L, int32_t& R, int32_t& G, int32_t& B);

// BT.601 on the 16-bit scale: channels 0..65280, Cb and Cr centred on 32640.
void RGBToYCbCr(int32_t R, int32_t G, int32_t B, int32_t& Y, int32_t& Cb, int32_t& Cr);
void YCbCrToRGB(int32_t Y, int32_t Cb, int32_t Cr, int32_t& R, int32_t& G, int32_t& B);
