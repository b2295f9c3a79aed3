// The "ratio <name> <value>" lines a benchmark program prints last, and the
// main that runs its benchmarks before printing them.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Keeps, per benchmark name without its "/..." suffix, the real time per
// iteration and the user counters of its first run; when repetitions are
// asked for, the median replaces that run.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    // No colour codes, so that the ratio lines start their lines.
    TRatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& Runs) override
    {
        for (const Run& R : Runs) {
            const bool Median = R.run_type == Run::RT_Aggregate && R.aggregate_name == "median";
            if (R.error_occurred || R.iterations <= 0 || (R.run_type != Run::RT_Iteration && !Median))
                continue;
            const std::string Full = R.run_name.str();
            const std::string Name = Full.substr(0, Full.find('/'));
            auto It = FRuns.find(Name);
            if (It == FRuns.end()) {
                It = FRuns.emplace(Name, TKept{}).first;
                FOrder.push_back(Name);
            } else if (It->second.Median || !Median) {
                continue;
            }
            // Per iteration, so that the benchmark's time unit does not matter.
            It->second.Time = R.real_accumulated_time / double(R.iterations);
            It->second.Median = Median;
            It->second.Counters.clear();
            for (const auto& [Key, C] : R.counters)
                It->second.Counters[Key] = C.value;
        }
        ConsoleReporter::ReportRuns(Runs);
    }

    // Real seconds per iteration; 0 when the benchmark did not run.
    double Time(const std::string& Name) const
    {
        const auto It = FRuns.find(Name);
        return It == FRuns.end() ? 0 : It->second.Time;
    }

    // "ratio <Label> <time of Num / time of Den>" when both ran.
    void PrintRatio(const char* Label, const std::string& Num, const std::string& Den,
                    const char* Format = "%.3f") const
    {
        const auto N = FRuns.find(Num), D = FRuns.find(Den);
        if (N != FRuns.end() && D != FRuns.end())
            PrintValue(Label, N->second.Time, D->second.Time, Format);
    }

    // The same for a user counter that both benchmarks set.
    void PrintCounterRatio(const char* Label, const std::string& Num, const std::string& Den,
                           const std::string& Counter, const char* Format = "%.3f") const
    {
        const double* N = FindCounter(Num, Counter);
        const double* D = FindCounter(Den, Counter);
        if (N && D)
            PrintValue(Label, *N, *D, Format);
    }

    // "ratio <X> <ours/peer>" for every BM_<X>_Ours with its BM_<X>_Peer, in
    // the order the benchmarks ran.
    void PrintPairRatios(const char* Format = "%.3f") const
    {
        const std::string Prefix = "BM_", Suffix = "_Ours";
        for (const std::string& Name : FOrder) {
            if (Name.size() <= Prefix.size() + Suffix.size() || Name.compare(0, Prefix.size(), Prefix) != 0 ||
                Name.compare(Name.size() - Suffix.size(), Suffix.size(), Suffix) != 0)
                continue;
            const std::string Base = Name.substr(0, Name.size() - Suffix.size());
            PrintRatio(Base.substr(Prefix.size()).c_str(), Name, Base + "_Peer", Format);
        }
    }

private:
    struct TKept {
        double Time = 0;
        bool Median = false;
        std::map<std::string, double> Counters;
    };
    std::map<std::string, TKept> FRuns;
    std::vector<std::string> FOrder;

    const double* FindCounter(const std::string& Name, const std::string& Counter) const
    {
        const auto It = FRuns.find(Name);
        if (It == FRuns.end())
            return nullptr;
        const auto C = It->second.Counters.find(Counter);
        return C == It->second.Counters.end() ? nullptr : &C->second;
    }
    static void PrintValue(const char* Label, double Num, double Den, const char* Format)
    {
        if (Den <= 0)
            return;
        std::printf("ratio %s ", Label);
        std::printf(Format, Num / Den);
        std::printf("\n");
    }
};

// Runs the benchmarks the command line selects, then PrintRatios. Returns the
// program's exit code.
inline int RunBenchmarksWithRatios(int& argc, char** argv,
                                   const std::function<void(const TRatioReporter&)>& PrintRatios)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TRatioReporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    benchmark::Shutdown();
    std::fflush(stdout);
    PrintRatios(Reporter);
    std::fflush(stdout);
    return 0;
}
