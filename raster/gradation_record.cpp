#include "raster/gradation_record.h"

#include "foundation/colour_models.h"
#include "foundation/numbers.h"

#include <algorithm>
#include <cmath>

namespace {

// A node of a table renderer: a position and up to three channel values.
struct TGradNode {
    int32_t Pos = 0;
    int32_t V[3] = {0, 0, 0};
};

uint8_t ClampByte(int64_t V)
{
    return static_cast<uint8_t>(std::clamp<int64_t>(V, 0, 255));
}

void SplitColor(int32_t C, int32_t* V)
{
    V[0] = C & 0xFF;
    V[1] = (C >> 8) & 0xFF;
    V[2] = (C >> 16) & 0xFF;
}

// The node list of the repetition mode; false for an unknown mode. Stops is
// non-empty.
bool MakeNodes(const std::vector<TGradNode>& Stops, uint8_t Repetition,
               std::vector<TGradNode>& Nodes)
{
    const TGradNode& First = Stops.front();
    const TGradNode& Last = Stops.back();
    Nodes.clear();
    Nodes.reserve(Stops.size() * 2 + 2);
    auto At = [](int32_t Pos, const TGradNode& From) {
        TGradNode N = From;
        N.Pos = Pos;
        return N;
    };
    switch (Repetition) {
    case 0:
        Nodes.push_back(At(0, First));
        Nodes.insert(Nodes.end(), Stops.begin(), Stops.end());
        Nodes.push_back(At(GradationTableSize, Last));
        return true;
    case 1:
        // There and back: the stops on the first half, mirrored on the second.
        Nodes.push_back(At(0, First));
        for (const TGradNode& S : Stops)
            Nodes.push_back(At(S.Pos >> 1, S));
        for (auto It = Stops.rbegin(); It != Stops.rend(); ++It)
            Nodes.push_back(At(static_cast<int32_t>((2048 - int64_t{It->Pos} - 1) / 2), *It));
        Nodes.push_back(At(GradationTableSize, First));
        return true;
    case 2:
        Nodes.push_back(At(static_cast<int32_t>(int64_t{Last.Pos} - GradationTableSize), Last));
        Nodes.insert(Nodes.end(), Stops.begin(), Stops.end());
        Nodes.push_back(At(static_cast<int32_t>(int64_t{First.Pos} + GradationTableSize), First));
        return true;
    default:
        return false;
    }
}

// Straight lines between the nodes around each position. Positions before
// the first node or after the last take that node's value.
void RenderLinear(const std::vector<TGradNode>& Nodes, int Channel, TGradationTable& Table)
{
    const size_t N = Nodes.size();
    size_t K = 0;
    for (int32_t X = 0; X < GradationTableSize; ++X) {
        while (K + 1 < N && Nodes[K + 1].Pos <= X)
            ++K;
        const TGradNode& A = Nodes[K];
        if (X < A.Pos || K + 1 == N) {
            Table[X] = ClampByte(A.V[Channel]);
            continue;
        }
        // A.Pos <= X < B.Pos here, so the divisor is positive.
        const TGradNode& B = Nodes[K + 1];
        const int64_t V = A.V[Channel] + (int64_t{X} - A.Pos) * (int64_t{B.V[Channel]} - A.V[Channel]) /
                                             (int64_t{B.Pos} - A.Pos);
        Table[X] = ClampByte(V);
    }
}

// A closed cubic spline through the nodes. Nodes at one position are one
// node (the later one). Positions out of order cannot make a spline; they get
// straight lines.
void RenderSmooth(const std::vector<TGradNode>& Nodes, int Channels, TGradationTable* const* Tables)
{
    std::vector<double> X, Y[3], Z(Nodes.size() + 1);
    for (const TGradNode& Node : Nodes) {
        if (!X.empty() && X.back() == Node.Pos) {
            for (int C = 0; C < Channels; ++C)
                Y[C].back() = Node.V[C];
            continue;
        }
        X.push_back(Node.Pos);
        for (int C = 0; C < Channels; ++C)
            Y[C].push_back(Node.V[C]);
    }
    const int32_t Intervals = static_cast<int32_t>(X.size()) - 1;
    for (int C = 0; C < Channels; ++C) {
        TGradationTable& Table = *Tables[C];
        if (Intervals < 1 || !PeriodicSplineSetup(Intervals, X.data(), Y[C].data(), Z.data())) {
            RenderLinear(Nodes, C, Table);
            continue;
        }
        for (int32_t P = 0; P < GradationTableSize; ++P) {
            const double V = PeriodicSplineEval(Intervals, X.data(), Y[C].data(), Z.data(), P);
            Table[P] = ClampByte(RoundOff(std::clamp(V, 0.0, 255.0)));
        }
    }
}

// Fills Tables[0 .. Channels - 1] from the stops; unchanged for an unknown
// interpolation or repetition.
void RenderStops(const std::vector<TGradNode>& Stops, const TrecGradation& G, int Channels,
                 TGradationTable* const* Tables)
{
    if (Stops.size() == 1) {
        for (int C = 0; C < Channels; ++C)
            Tables[C]->fill(ClampByte(Stops[0].V[C]));
        return;
    }
    if (G.bInterpolation != GradInterpLinear && G.bInterpolation != GradInterpSmooth)
        return;
    std::vector<TGradNode> Nodes;
    if (!MakeNodes(Stops, G.bRepetition, Nodes))
        return;
    if (G.bInterpolation == GradInterpLinear) {
        for (int C = 0; C < Channels; ++C)
            RenderLinear(Nodes, C, *Tables[C]);
    } else {
        RenderSmooth(Nodes, Channels, Tables);
    }
}

} // namespace

int32_t AdjustColorHSB(int32_t Color, const TrecColorAdjust& Adjust)
{
    if (Adjust == TrecColorAdjust{})
        return Color;
    int32_t V[3];
    SplitColor(Color, V);
    int32_t H, S, B;
    RGBToHSB(V[0], V[1], V[2], H, S, B);
    // 64-bit: the shifts and scales are free int32 values of a stored text.
    int64_t Hue = (H + int64_t{Adjust.iHueShift} * 1000) % 360000;
    if (Hue < 0)
        Hue += 360000;
    const int64_t Bright = int64_t{Adjust.iBrightScale} * B / 100 + int64_t{Adjust.iBrightOffset} * 255 / 100;
    const int64_t Sat = int64_t{Adjust.iSatScale} * S / 100 + int64_t{Adjust.iSatOffset} * 256 / 100;
    HSBToRGB(static_cast<int32_t>(Hue), static_cast<int32_t>(std::clamp<int64_t>(Sat, 0, 256)),
             static_cast<int32_t>(std::clamp<int64_t>(Bright, 0, 255)), V[0], V[1], V[2]);
    return V[0] | (V[1] << 8) | (V[2] << 16);
}

void MakeGradationTable(const TrecGradation& Gradation, TGradationTable& Red, TGradationTable& Green,
                        TGradationTable& Blue, TGradationTable& Opacity)
{
    if (Gradation.ColStops.empty()) {
        Red.fill(255);
        Green.fill(255);
        Blue.fill(255);
    } else {
        std::vector<TGradNode> Stops(Gradation.ColStops.size());
        for (size_t I = 0; I < Stops.size(); ++I) {
            Stops[I].Pos = Gradation.ColStops[I].iPosition;
            SplitColor(AdjustColorHSB(Gradation.ColStops[I].Color, Gradation.Adjust), Stops[I].V);
        }
        TGradationTable* const Tables[3] = {&Red, &Green, &Blue};
        RenderStops(Stops, Gradation, 3, Tables);
    }

    if (Gradation.TransStops.empty()) {
        Opacity.fill(255);
    } else {
        std::vector<TGradNode> Stops(Gradation.TransStops.size());
        for (size_t I = 0; I < Stops.size(); ++I) {
            Stops[I].Pos = Gradation.TransStops[I].iPosition;
            Stops[I].V[0] = Gradation.TransStops[I].iValue & 0xFF;
        }
        TGradationTable* const Tables[1] = {&Opacity};
        RenderStops(Stops, Gradation, 1, Tables);
    }
}

int32_t DrawPathColorTableEntry(const TrecDrawPathStop* Stops, int32_t StopCount, int32_t Index,
                                int32_t EntryCount)
{
    const TrecDrawPathStop& First = Stops[0];
    const TrecDrawPathStop& Last = Stops[StopCount - 1];
    if (EntryCount <= 1)
        return Last.Color;
    const int64_t M1 = int64_t{EntryCount} - 1;
    const int64_t Span = int64_t{Last.iPosition} - First.iPosition;
    const int64_t X = (Index * Span + M1 / 2) / M1 + First.iPosition;
    if (X <= First.iPosition)
        return First.Color;
    int32_t K = 1;
    while (K < StopCount && Stops[K].iPosition < X)
        ++K;
    if (K == StopCount)
        return Last.Color; // only stops out of order get here
    // Stops[K - 1] lies below X (K is the first stop not below it), so the
    // divisor is positive and t in (0, 1].
    const double T = double(X - Stops[K - 1].iPosition) /
                     double(int64_t{Stops[K].iPosition} - Stops[K - 1].iPosition);
    const double Curve = Stops[K].dCurve;
    const double F = Curve < 1000 ? std::pow(T, Curve)
                                  : std::pow(1 - std::sqrt(1 - T * T), Curve - 1000);
    int32_t A[3], B[3];
    SplitColor(Stops[K - 1].Color, A);
    SplitColor(Stops[K].Color, B);
    int32_t Result = 0;
    for (int C = 0; C < 3; ++C) {
        const double V = A[C] + (B[C] - A[C]) * F;
        Result |= ClampByte(RoundOff(V)) << (8 * C);
    }
    return Result;
}

void MakeDrawPathColorTable(const TrecDrawPathStop* Stops, int32_t StopCount, int32_t* Table,
                            int32_t EntryCount)
{
    if (StopCount <= 0 || !Stops)
        return;
    for (int32_t I = 0; I < EntryCount; ++I)
        Table[I] = DrawPathColorTableEntry(Stops, StopCount, I, EntryCount);
}
