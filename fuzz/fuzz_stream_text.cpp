// The stream primitives every stored format is made of: length-prefixed
// strings, text lines, binary blocks in text lines and the text encoding of
// binary bytes. The first byte picks the primitive, which then reads the rest
// of the input call after call.
#include "foundation/platform_wrappers.h"
#include "foundation/stream_text.h"
#include "fuzz/fuzz_support.h"

#include <memory>
#include <vector>

namespace {

// Every call must use up input or stand at the end: a reader that stops
// moving would hold its caller's loop for ever.
void CheckProgress(TStream& S, int64_t Before)
{
    if (S.Position() == Before && Before < S.Size())
        FuzzFault("a read took nothing before the end");
}

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    const uint8_t Op = In.Byte() % 5;
    const uint8_t Capacity = In.Byte();
    TMemoryStreamWex S;
    In.Attach(S);
    switch (Op) {
    case 0:
        while (S.Position() < S.Size()) {
            const int64_t Before = S.Position();
            std::string Text;
            StreamReadString(S, Text);
            CheckProgress(S, Before);
        }
        break;
    case 1:
        while (S.Position() < S.Size()) {
            const int64_t Before = S.Position();
            StreamReadln(S);
            CheckProgress(S, Before);
        }
        break;
    case 2:
        while (S.Position() < S.Size()) {
            const int64_t Before = S.Position();
            void* Block = nullptr;
            const int32_t N = StreamReadlnBin(S, Block, 0);
            HGLOBAL H = Block;
            if (N < 0 || (N > 0 && (!H || GlobalSizeSafe(H) < N)))
                FuzzFault("binary block of " + std::to_string(N) + " bytes in a smaller block");
            GlobalFreeQ(H);
            CheckProgress(S, Before);
        }
        break;
    case 3:
        // A caller's buffer of exactly Capacity bytes: a longer block must not
        // be written past its end.
        while (S.Position() < S.Size()) {
            const int64_t Before = S.Position();
            std::unique_ptr<uint8_t[]> Buffer(new uint8_t[Capacity]);
            void* P = Buffer.get();
            const int32_t N = StreamReadlnBin(S, P, Capacity);
            if (P != Buffer.get() || N < 0 || N > Capacity)
                FuzzFault("binary block of " + std::to_string(N) + " bytes for a buffer of " +
                          std::to_string(Capacity));
            CheckProgress(S, Before);
        }
        break;
    default: {
        std::vector<uint8_t> Buffer(Capacity);
        const int32_t N = DecodeBinText(In.RestString(), Buffer.data(), Capacity);
        if (N < 0 || N > Capacity)
            FuzzFault("decoded " + std::to_string(N) + " bytes into " + std::to_string(Capacity));
        std::string Again;
        EncodeBinText(Buffer.data(), N, Again);
        break;
    }
    }
    return true;
}

std::string Prefix(uint8_t Op, uint8_t Capacity)
{
    return {static_cast<char>(Op), static_cast<char>(Capacity)};
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    {
        TMemoryStream S;
        StreamWriteString(S, "");
        StreamWriteString(S, "Tavro \x83\x65\x83\x58\x83\x67");
        Seeds.Add("strings", S, Prefix(0, 0));
    }
    {
        TMemoryStream S;
        StreamWriteln(S, "first");
        StreamWriteln(S, "");
        const std::string Mixed = "lf\nsub\x1A" "cr\rend";
        S.WriteBuffer(Mixed.data(), static_cast<int32_t>(Mixed.size()));
        Seeds.Add("lines", S, Prefix(1, 0));
    }
    std::string Bytes;
    for (int I = 0; I < 150; ++I)
        Bytes.push_back(static_cast<char>(I * 7));
    for (int32_t Type = 0; Type < 2; ++Type) {
        TMemoryStream S;
        StreamWritelnBin(S, Bytes.data(), 150, Type);
        StreamWritelnBin(S, Bytes.data(), 1, Type);
        StreamWritelnBin(S, Bytes.data(), 0, Type);
        const std::string Name = Type ? "jis7" : "hex";
        Seeds.Add(Name + "-block", S, Prefix(2, 0));
        Seeds.Add(Name + "-buffer", S, Prefix(3, 160));
    }
    std::string Text;
    EncodeBinText(Bytes.data(), 65, Text);
    Seeds.Add("bintext", Prefix(4, 70) + Text);
}

} // namespace

TAVRO_FUZZ_TARGET(stream_text)
