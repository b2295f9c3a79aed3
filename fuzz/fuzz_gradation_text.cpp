// The text form of gradations, then the tables the renderers build from what
// was read.
#include "fuzz/fuzz_support.h"
#include "paint/gradation_object.h"

namespace {

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    TGradationObject G;
    const bool Read = G.StrToGradation(In.RestString());
    TGradationTable R, Gr, B, A;
    MakeGradationTable(G, R, Gr, B, A);
    G.GradationToStr();
    return Read;
}

[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    TGradationObject G;
    Seeds.Add("new", G.GradationToStr());
    G.bShape = GradShapeEllipse;
    G.bRepetition = GradRepeatReflect;
    G.iRepeatCount = 3;
    G.bInterpolation = GradInterpSmooth;
    G.iOpacity = 200;
    G.iX1 = 100;
    G.iY1 = 16000;
    G.iX2 = 8192;
    G.iY2 = -40;
    G.SetColStop(0, 0x0000FF);
    G.SetColStop(511, 0x00FF00);
    G.SetColStop(1023, 0xFF0000);
    G.SetTransStop(0, 255);
    G.SetTransStop(1023, 0);
    G.Adjust = TrecColorAdjust{30, -10, 90, 5, 120};
    Seeds.Add("three-stops", G.GradationToStr());
    G.bShape = GradShapeSquare;
    G.bInterpolation = GradInterpLinear;
    G.bRepetition = GradRepeatWrap;
    G.Reverse();
    Seeds.Add("reversed", G.GradationToStr());
}

} // namespace

TAVRO_FUZZ_TARGET(gradation_text)
