// Glyph outlines: 1,000 characters of mixed Japanese and Latin text at 48 px
// (IPA Gothic) turned into outlines, with and without the glyph cache,
// reported as time per glyph. No peer: these set the baseline.
//   Whole: one font, every character appended to one path.
//   PerChar: a font made from its record for every character and a fresh
//   path per character, as the per-character layout does.
#include "platform/cp932.h"
#include "platform/fonts.h"
#include "platform/glyph_outline.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int32_t Glyphs = 1000;
constexpr int32_t Size = 48;

// The characters of the text in CP932, one entry per character.
const std::vector<std::string>& Text()
{
    static const std::vector<std::string> Chars = [] {
        const std::string Sample = "文字を輪郭に変えて、袋文字や影を付ける。"
                                   "The quick brown fox jumps over the lazy dog. "
                                   "漢字とひらがな、カタカナ、English words 123 が混じった見出しです。";
        const std::string Cp = Utf8ToCp932(Sample);
        std::vector<std::string> Units;
        for (size_t I = 0; I < Cp.size();) {
            const size_t N = IsSjisLeadByte(static_cast<uint8_t>(Cp[I])) && I + 1 < Cp.size() ? 2 : 1;
            Units.push_back(Cp.substr(I, N));
            I += N;
        }
        std::vector<std::string> Out;
        while (static_cast<int32_t>(Out.size()) < Glyphs)
            Out.push_back(Units[Out.size() % Units.size()]);
        return Out;
    }();
    return Chars;
}

TLogFont Record()
{
    TLogFont Lf;
    Lf.lfHeight = -Size;
    Lf.lfWeight = FW_NORMAL;
    SetLogFontFaceName(Lf, "IPAGothic");
    return Lf;
}

void SetPerGlyph(benchmark::State& State)
{
    State.counters["per_glyph"] =
        benchmark::Counter(Glyphs, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_GlyphsWhole(benchmark::State& State)
{
    const bool Cached = State.range(0) != 0;
    SetGlyphCacheCapacity(Cached ? 4096 : 0);
    const auto& Chars = Text();
    auto Font = TGlyphFont::Create(Record());
    TGlyphPath Path;
    for (auto _ : State) {
        Path.Clear();
        int32_t X = 0;
        for (const std::string& C : Chars)
            X += Font->AppendChar(C, X, Size, Path);
        benchmark::DoNotOptimize(Path.Points.data());
    }
    SetPerGlyph(State);
    State.counters["points"] = static_cast<double>(Path.Points.size());
    SetGlyphCacheCapacity(4096);
}
BENCHMARK(BM_GlyphsWhole)->ArgName("cache")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_GlyphsPerChar(benchmark::State& State)
{
    const bool Cached = State.range(0) != 0;
    SetGlyphCacheCapacity(Cached ? 4096 : 0);
    const auto& Chars = Text();
    const TLogFont Lf = Record();
    size_t Points = 0;
    for (auto _ : State) {
        Points = 0;
        int32_t X = 0;
        for (const std::string& C : Chars) {
            auto Font = TGlyphFont::Create(Lf);
            TGlyphPath Path;
            X += Font->AppendChar(C, X, Size, Path);
            Points += Path.Points.size();
            benchmark::DoNotOptimize(Path.Points.data());
        }
    }
    SetPerGlyph(State);
    State.counters["points"] = static_cast<double>(Points);
    SetGlyphCacheCapacity(4096);
}
BENCHMARK(BM_GlyphsPerChar)->ArgName("cache")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
