#include "foundation/colour_models.h"

#include <algorithm>

// Intermediates are 64-bit so that out-of-range inputs cannot overflow; for
// inputs in range every value fits 32 bits anyway.

int32_t SwapRB(int32_t C)
{
    const uint32_t U = static_cast<uint32_t>(C);
    return static_cast<int32_t>(((U & 0xFFu) << 16) | (U & 0xFF00u) | ((U >> 16) & 0xFFu));
}

int32_t ReverseRGB(int32_t C)
{
    return SwapRB(C);
}

void ColorToPixel24(int32_t C, uint8_t* P)
{
    const uint32_t U = static_cast<uint32_t>(C);
    P[0] = static_cast<uint8_t>(U >> 16);
    P[1] = static_cast<uint8_t>(U >> 8);
    P[2] = static_cast<uint8_t>(U);
}

void SetPixel24(uint8_t A, uint8_t B, uint8_t C, uint8_t* P)
{
    P[0] = B;
    P[1] = C;
    P[2] = A;
}

void RGBToHSB(int32_t R, int32_t G, int32_t B, int32_t& H, int32_t& S, int32_t& V)
{
    const int64_t Max = std::max({R, G, B});
    const int64_t Min = std::min({R, G, B});
    V = static_cast<int32_t>(Max);
    if (Max == Min) {
        S = 0;
        H = 0;
        return;
    }
    const int64_t D = Max - Min;
    S = static_cast<int32_t>(((D << 8) + Max / 2) / Max);
    int64_t Hue;
    if (R == Max) {
        Hue = ((static_cast<int64_t>(G) - B) * 60000 + D / 2) / D;
        if (Hue < 0)
            Hue += 360000;
    } else if (G == Max) {
        Hue = ((static_cast<int64_t>(B) - R) * 60000 + D / 2) / D + 120000;
    } else {
        Hue = ((static_cast<int64_t>(R) - G) * 60000 + D / 2) / D + 240000;
    }
    H = static_cast<int32_t>(Hue);
}

void HSBToRGB(int32_t H, int32_t S, int32_t V, int32_t& R, int32_t& G, int32_t& B)
{
    if (S == 0) {
        R = G = B = V;
        return;
    }
    int64_t Hue = H % 360000;
    if (Hue < 0)
        Hue += 360000;   // a true modulo, so that every hue sets the outputs
    const int64_t Sector = Hue / 60000;
    const int64_t F = Hue % 60000;
    const int64_t S64 = S;
    const int64_t V64 = V;
    // "/ 256" is the shift right by 8 that rounds toward zero for negatives.
    const int64_t P = ((256 - S64) * V64 + 128) / 256;
    const int64_t Fs = (S64 * F + 30000) / 60000;
    const int64_t Q = ((256 - Fs) * V64 + 128) / 256;
    const int64_t T = (V64 * (256 - (S64 - Fs)) + 128) / 256;
    int64_t Rr, Gg, Bb;
    switch (Sector) {
    case 0: Rr = V64; Gg = T; Bb = P; break;
    case 1: Rr = Q; Gg = V64; Bb = P; break;
    case 2: Rr = P; Gg = V64; Bb = T; break;
    case 3: Rr = P; Gg = Q; Bb = V64; break;
    case 4: Rr = T; Gg = P; Bb = V64; break;
    default: Rr = V64; Gg = P; Bb = Q; break;
    }
    R = static_cast<int32_t>(Rr);
    G = static_cast<int32_t>(Gg);
    B = static_cast<int32_t>(Bb);
}

int32_t GetLightness(int32_t R, int32_t G, int32_t B)
{
    const int64_t Max = std::max({R, G, B});
    const int64_t Min = std::min({R, G, B});
    return static_cast<int32_t>((Max + Min + 1) << 7);
}

void RGBToHLS(int32_t R, int32_t G, int32_t B, int32_t& H, int32_t& S, int32_t& L)
{
    const int64_t Max = std::max({R, G, B});
    const int64_t Min = std::min({R, G, B});
    const int64_t Light = (Max + Min + 1) << 7;
    L = static_cast<int32_t>(Light);
    const int64_t D = (Max - Min) << 8;
    if (D == 0) {
        S = 0;
        H = 0;
        return;
    }
    if (Light > 32640)
        S = static_cast<int32_t>(D * 255 / (510 - Max - Min));
    else
        S = static_cast<int32_t>(D * 255 / (Max + Min));
    // Distances from the maximum, 255 for the minimum channel.
    const int64_t Rc = (Max - R) * 65280 / D;
    const int64_t Gc = (Max - G) * 65280 / D;
    const int64_t Bc = (Max - B) * 65280 / D;
    int64_t X;
    if (R == Max)
        X = G != Min ? 255 - Gc : 1275 + Bc;
    else if (G == Max)
        X = B != Min ? 765 - Bc : 255 + Rc;
    else
        X = R == Min ? 765 + Gc : 1275 - Rc;
    H = static_cast<int32_t>((X << 10) / 255);
}

void HLSToRGB(int32_t H, int32_t S, int32_t L, int32_t& R, int32_t& G, int32_t& B)
{
    const int64_t L64 = L;
    const int64_t S64 = S;
    int64_t M2;
    if (L64 > 32640)
        M2 = L64 + S64 - ((L64 / 4) * S64) / 16320;
    else
        M2 = ((S64 + 65280) / 4 * L64) / 16320;
    if (M2 <= 0) {
        R = G = B = 0;
        return;
    }
    const int64_t M1 = 2 * L64 - M2;
    // 6144 is the same hue as 0, so a true modulo keeps every hue in the
    // sectors below and always sets the outputs.
    int64_t Hue = H % 6144;
    if (Hue < 0)
        Hue += 6144;
    const int64_t Sector = Hue / 1024;
    const int64_t Inc = (M2 - M1) * (Hue % 1024) / 1024;
    const int64_t Up = M1 + Inc;
    const int64_t Down = M2 - Inc;
    int64_t Rr, Gg, Bb;
    switch (Sector) {
    case 0: Rr = M2; Gg = Up; Bb = M1; break;
    case 1: Rr = Down; Gg = M2; Bb = M1; break;
    case 2: Rr = M1; Gg = M2; Bb = Up; break;
    case 3: Rr = M1; Gg = Down; Bb = M2; break;
    case 4: Rr = Up; Gg = M1; Bb = M2; break;
    default: Rr = M2; Gg = M1; Bb = Down; break;
    }
    auto Channel = [](int64_t C) { return static_cast<int32_t>(std::clamp<int64_t>(C / 256, 0, 255)); };
    R = Channel(Rr);
    G = Channel(Gg);
    B = Channel(Bb);
}

void RGBToYCbCr(int32_t R, int32_t G, int32_t B, int32_t& Y, int32_t& Cb, int32_t& Cr)
{
    const int64_t R64 = R, G64 = G, B64 = B;
    Y = static_cast<int32_t>((1225 * R64 + 2404 * G64 + 467 * B64) / 4096);
    Cb = static_cast<int32_t>((-691 * R64 - 1357 * G64 + 2048 * B64) / 4096 + 32640);
    Cr = static_cast<int32_t>((2048 * R64 - 1715 * G64 - 333 * B64) / 4096 + 32640);
}

void YCbCrToRGB(int32_t Y, int32_t Cb, int32_t Cr, int32_t& R, int32_t& G, int32_t& B)
{
    const int64_t Cb0 = static_cast<int64_t>(Cb) - 32640;
    const int64_t Cr0 = static_cast<int64_t>(Cr) - 32640;
    auto Limit = [](int64_t C) { return static_cast<int32_t>(std::clamp<int64_t>(C, 0, 65280)); };
    R = Limit(Y + Cr0 * 5743 / 4096);
    G = Limit(Y + (Cb0 * -1410 - Cr0 * 2925) / 4096);
    B = Limit(Y + Cb0 * 7258 / 4096);
}
