// The main of a benchmark program that has none of its own: the benchmarks
// through RunBenchmarksWithRatios (its repetitions, its CSV output), then a
// "ratio" line for every BM_<X>_Ours with its BM_<X>_Peer.
#include "bench_ratio.h"

int main(int argc, char** argv)
{
    return RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) { R.PrintPairRatios(); });
}
