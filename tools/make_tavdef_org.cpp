// Build-time generator of the factory defaults file "TavDef.dat.org" that
// ships beside the program: the defaults a new object gets while the user has
// no "TavDef.dat" yet. The default fill is the catalogue's basic fill
// "塗り(ボカシ)" with the catalogue's own parameter values, so that a new
// shape paints at once. Like every stored macro it is kept by name and found
// in "Macro.tvm" when the file is read.
//
// Usage: make_tavdef_org OUTPUT...   (every OUTPUT gets the same bytes)

#include "platform/cp932.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

class TWriter {
public:
    void Bytes(const void* P, size_t N)
    {
        const auto* B = static_cast<const uint8_t*>(P);
        FData.insert(FData.end(), B, B + N);
    }
    void U8(uint8_t V) { Bytes(&V, 1); }
    void I32(int32_t V) { U32(static_cast<uint32_t>(V)); }
    void U32(uint32_t V)
    {
        for (int I = 0; I < 4; ++I)
            U8(static_cast<uint8_t>(V >> (8 * I)));
    }
    void U16(uint16_t V)
    {
        U8(static_cast<uint8_t>(V));
        U8(static_cast<uint8_t>(V >> 8));
    }
    void F64(double V)
    {
        uint64_t U;
        std::memcpy(&U, &V, 8);
        for (int I = 0; I < 8; ++I)
            U8(static_cast<uint8_t>(U >> (8 * I)));
    }
    // int32 byte length, then the CP932 bytes.
    void Str(const std::string& Utf8)
    {
        std::string S;
        if (!TryUtf8ToCp932(Utf8, S)) {
            std::fprintf(stderr, "make_tavdef_org: not CP932: %s\n", Utf8.c_str());
            std::exit(1);
        }
        I32(static_cast<int32_t>(S.size()));
        Bytes(S.data(), S.size());
    }
    const std::vector<uint8_t>& Data() const { return FData; }

private:
    std::vector<uint8_t> FData;
};

// The default fill macro: its name, enabled, no parameter of its own.
void WriteDefaultFillMacros(TWriter& W)
{
    W.I32(1);
    W.Str("塗り(ボカシ)");
    W.U8(1);
    W.I32(0);
}

constexpr double Pi = 3.141592653589793;

// The body of version 25, field by field.
std::vector<uint8_t> MakeFile()
{
    TWriter W;
    // Header: signature, version 25 (high byte first), one spare byte.
    W.Bytes("QVD", 3);
    W.U8(0);
    W.U8(25);
    W.U8(0);

    // File-handling part: the wireframe colour, the fill macros, an empty
    // second list.
    W.I32(0);
    WriteDefaultFillMacros(W);
    W.I32(0);

    // Drawing part. Text layout record: 0, 5, two bytes, filler, 0, two
    // bytes, filler.
    W.I32(0);
    W.I32(5);
    for (int I = 0; I < 4; ++I)
        W.U8(0);
    W.I32(0);
    for (int I = 0; I < 4; ++I)
        W.U8(0);
    // Font: face name, height as text, four style bytes, two int32.
    W.Str("ＭＳ Ｐゴシック");
    W.Str("48");
    for (int I = 0; I < 4; ++I)
        W.U8(0);
    W.I32(0);
    W.I32(0);
    W.I32(0);      // the int32,
    W.U8(0);       // the byte
    W.F64(1.0);    // and the double after the font
    W.U8(1);       // second flag byte (display cache)
    W.U8(1);       // first flag byte (fill path)
    // Rectangle: bevel 0, filler, corner radius 0, corner count 4, position 0.
    for (int I = 0; I < 4; ++I)
        W.U8(0);
    W.I32(0);
    W.U16(4);
    W.U16(0);
    // Polygon: count 5, corner 0, jitters 0, 0, seed, start angle pi.
    W.I32(5);
    W.I32(0);
    W.U32(0);
    W.U32(0);
    W.U32(0x0F0F0F0F);
    W.F64(Pi);
    // Star: ratio 0.5, count 5, corners 0, 0, six words, start angle pi.
    W.F64(0.5);
    W.U32(5);
    W.I32(0);
    W.I32(0);
    for (uint32_t V : {0u, 0u, 0u, 0u, 0u, 0x0F0F0F0Fu})
        W.U32(V);
    W.F64(Pi);

    // Application part: angle step, the two int32, the ruler flag.
    W.F64(15.0);
    W.I32(3);
    W.I32(5);
    W.U8(0);
    return W.Data();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_tavdef_org OUTPUT...\n");
        return 2;
    }
    const std::vector<uint8_t> Data = MakeFile();
    for (int I = 1; I < argc; ++I) {
        std::ofstream Out(argv[I], std::ios::binary | std::ios::trunc);
        Out.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
        if (!Out) {
            std::fprintf(stderr, "make_tavdef_org: cannot write %s\n", argv[I]);
            return 1;
        }
    }
    return 0;
}
