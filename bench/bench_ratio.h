// The "ratio <name> <value>" lines a benchmark program prints last, and the
// main that runs its benchmarks before printing them.
//
// A single run of a benchmark swings widely on a shared machine, so the main
// repeats every benchmark (nine times for at least 0.2 s each, unless the
// command line or the benchmark says otherwise), with the repetitions of all
// benchmarks shuffled together, so that a change of the machine's load falls
// on both sides of a ratio alike. A ratio is the ratio of the medians, printed
// with its spread: "ratio <name> <value> spread <min>-<max>", where min and
// max are the least and greatest ratio of the two benchmarks' repetitions
// taken in pairs (the first with the first...).
//
// Under --benchmark_out with the CSV format the file is written when all
// benchmarks have run, with the counters of all of them: Google Benchmark's
// own CSV writer stops the program when a run has a counter the first run
// did not have.
#pragma once

#include <benchmark/benchmark.h>

#include <ctime>

#include <algorithm>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

// The processor time the calling thread has used so far, in seconds.
inline double ThreadCpuSeconds()
{
    timespec T{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &T);
    return double(T.tv_sec) + double(T.tv_nsec) * 1e-9;
}

// Times one iteration of a benchmark registered with UseManualTime by the
// processor time of its thread: the ratios of such benchmarks read it as
// their time. Work that the thread does itself costs the same however busy
// the machine is, while the time that passes on the wall clock grows with
// every other program that gets the processor meanwhile; short repetitions
// against a peer of tens of microseconds swing most.
class TThreadCpuIteration {
public:
    explicit TThreadCpuIteration(benchmark::State& State) : FState(State), FStart(ThreadCpuSeconds()) {}
    ~TThreadCpuIteration() { FState.SetIterationTime(ThreadCpuSeconds() - FStart); }
    TThreadCpuIteration(const TThreadCpuIteration&) = delete;
    TThreadCpuIteration& operator=(const TThreadCpuIteration&) = delete;

private:
    benchmark::State& FState;
    double FStart;
};

// Keeps, per benchmark name without its "/..." suffix, the real time per
// iteration of each repetition (the manual time of a benchmark that times
// itself), and the user counters; the median of the repetitions stands for
// the benchmark.
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
                It->second.Family = R.family_index;
                It->second.Instance = R.per_family_instance_index;
                FOrder.push_back(Name);
                // Kept in the order the benchmarks were declared, whatever
                // order their repetitions ran in.
                std::stable_sort(FOrder.begin(), FOrder.end(), [this](const std::string& A, const std::string& B) {
                    const TKept &KA = FRuns.at(A), &KB = FRuns.at(B);
                    return KA.Family != KB.Family ? KA.Family < KB.Family : KA.Instance < KB.Instance;
                });
            }
            TKept& K = It->second;
            // Per iteration, so that the benchmark's time unit does not matter.
            const double Time = R.real_accumulated_time / double(R.iterations);
            std::map<std::string, double> Counters;
            for (const auto& [Key, C] : R.counters)
                Counters[Key] = C.value;
            if (Median) {
                // Only when the repetitions themselves were not reported.
                if (K.Times.empty()) {
                    K.AggregateTime = Time;
                    K.AggregateCounters = Counters;
                }
            } else {
                K.Times.push_back(Time);
                K.Counters.push_back(std::move(Counters));
            }
        }
        ConsoleReporter::ReportRuns(Runs);
    }

    // Real seconds per iteration, the median of the repetitions; 0 when the
    // benchmark did not run.
    double Time(const std::string& Name) const
    {
        const auto It = FRuns.find(Name);
        if (It == FRuns.end())
            return 0;
        return It->second.Times.empty() ? It->second.AggregateTime : Median(It->second.Times);
    }

    // Real seconds per iteration of each repetition, in the order they ran.
    std::vector<double> Times(const std::string& Name) const
    {
        const auto It = FRuns.find(Name);
        return It == FRuns.end() ? std::vector<double>() : It->second.Times;
    }

    // "ratio <Label> <time of Num / time of Den> spread <min>-<max>" when
    // both ran.
    void PrintRatio(const char* Label, const std::string& Num, const std::string& Den,
                    const char* Format = "%.3f") const
    {
        const auto N = FRuns.find(Num), D = FRuns.find(Den);
        if (N != FRuns.end() && D != FRuns.end())
            PrintValue(Label, Time(Num), Time(Den), N->second.Times, D->second.Times, Format);
    }

    // The same for a user counter that both benchmarks set.
    void PrintCounterRatio(const char* Label, const std::string& Num, const std::string& Den,
                           const std::string& Counter, const char* Format = "%.3f") const
    {
        std::vector<double> N, D;
        if (FindCounter(Num, Counter, N) && FindCounter(Den, Counter, D))
            PrintValue(Label, Median(N), Median(D), N, D, Format);
    }

    // The same for two user counters of one benchmark (Name), each
    // repetition's pair taken from that repetition: a benchmark that times
    // its peer beside its own work, iteration by iteration, has both sides
    // measured at the same moments of a busy machine.
    void PrintCountersRatio(const char* Label, const std::string& Name, const std::string& NumCounter,
                            const std::string& DenCounter, const char* Format = "%.3f") const
    {
        std::vector<double> N, D;
        if (FindCounter(Name, NumCounter, N) && FindCounter(Name, DenCounter, D))
            PrintValue(Label, Median(N), Median(D), N, D, Format);
    }

    // "ratio <X> <ours/peer>" for every BM_<X>_Ours with its BM_<X>_Peer, in
    // the order the benchmarks were declared.
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

    // The median of some values (the mean of the middle two for an even
    // count); 0 for none.
    static double Median(std::vector<double> V)
    {
        if (V.empty())
            return 0;
        const size_t H = V.size() / 2;
        std::nth_element(V.begin(), V.begin() + H, V.end());
        if (V.size() % 2 == 1)
            return V[H];
        const double Upper = V[H];
        return (*std::max_element(V.begin(), V.begin() + H) + Upper) / 2;
    }

private:
    struct TKept {
        std::vector<double> Times;
        std::vector<std::map<std::string, double>> Counters;
        int64_t Family = 0, Instance = 0; // declaration order
        double AggregateTime = 0;
        std::map<std::string, double> AggregateCounters;
    };
    std::map<std::string, TKept> FRuns;
    std::vector<std::string> FOrder;

    // The counter's value in each repetition (or the median the library
    // worked out when only that was reported).
    bool FindCounter(const std::string& Name, const std::string& Counter, std::vector<double>& Values) const
    {
        Values.clear();
        const auto It = FRuns.find(Name);
        if (It == FRuns.end())
            return false;
        for (const auto& Run : It->second.Counters) {
            const auto C = Run.find(Counter);
            if (C != Run.end())
                Values.push_back(C->second);
        }
        if (It->second.Counters.empty()) {
            const auto C = It->second.AggregateCounters.find(Counter);
            if (C != It->second.AggregateCounters.end())
                Values.push_back(C->second);
        }
        return !Values.empty();
    }
    static void PrintValue(const char* Label, double Num, double Den, const std::vector<double>& Nums,
                           const std::vector<double>& Dens, const char* Format)
    {
        if (Den <= 0)
            return;
        std::printf("ratio %s ", Label);
        std::printf(Format, Num / Den);
        // The repetitions paired in the order they ran.
        const size_t Pairs = std::min(Nums.size(), Dens.size());
        double Lo = 0, Hi = 0;
        bool Any = false;
        for (size_t I = 0; I < Pairs; ++I) {
            if (Dens[I] <= 0)
                continue;
            const double R = Nums[I] / Dens[I];
            Lo = Any ? std::min(Lo, R) : R;
            Hi = Any ? std::max(Hi, R) : R;
            Any = true;
        }
        if (Any && Pairs > 1) {
            std::printf(" spread ");
            std::printf(Format, Lo);
            std::printf("-");
            std::printf(Format, Hi);
        }
        std::printf("\n");
    }
};

// CSV file output that writes every run at the end, under a header naming
// the counters of all of them (a run without a counter leaves its cell empty).
// The library marks its CSV writer deprecated; tools/bench reads CSV.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
class TCsvFileReporter : public benchmark::CSVReporter {
public:
    void ReportRuns(const std::vector<Run>& Runs) override
    {
        FRuns.insert(FRuns.end(), Runs.begin(), Runs.end());
    }
    void Finalize() override
    {
        if (!FRuns.empty())
            CSVReporter::ReportRuns(FRuns);
        FRuns.clear();
        CSVReporter::Finalize();
    }

private:
    std::vector<Run> FRuns;
};
#pragma GCC diagnostic pop

// What every benchmark gets unless the command line or the benchmark names
// its own: repetitions, shuffled together, of at least a minimal time each.
inline const char* const DefaultBenchmarkFlags[][2] = {
    {"--benchmark_repetitions", "9"},
    {"--benchmark_enable_random_interleaving", "true"},
    {"--benchmark_min_time", "0.2"},
};

// Runs the benchmarks the command line selects, then PrintRatios. Returns the
// program's exit code.
inline int RunBenchmarksWithRatios(int& argc, char** argv,
                                   const std::function<void(const TRatioReporter&)>& PrintRatios)
{
    // The library's own flag values are not public: the command line (and
    // the environment variables the library also reads) is looked at here.
    auto Given = [&](const char* Flag, const char* Env) -> const char* {
        const size_t N = std::strlen(Flag);
        const char* Value = nullptr;
        for (int I = 1; I < argc; ++I)
            if (std::strncmp(argv[I], Flag, N) == 0 && (argv[I][N] == '=' || argv[I][N] == 0))
                Value = argv[I][N] == '=' ? argv[I] + N + 1 : "";
        if (Value == nullptr && Env != nullptr)
            Value = std::getenv(Env);
        return Value;
    };
    std::vector<char*> Args(argv, argv + argc);
    static std::vector<std::string> Defaults;
    Defaults.clear();
    for (const auto& [Flag, Value] : DefaultBenchmarkFlags) {
        std::string Env = std::string(Flag + 2);
        for (char& C : Env)
            C = char(std::toupper(static_cast<unsigned char>(C)));
        if (Given(Flag, Env.c_str()) == nullptr)
            Defaults.push_back(std::string(Flag) + "=" + Value);
    }
    for (std::string& D : Defaults)
        Args.push_back(D.data());
    const char* Out = Given("--benchmark_out", "BENCHMARK_OUT");
    const char* Format = Given("--benchmark_out_format", "BENCHMARK_OUT_FORMAT");
    const bool Csv = Out != nullptr && *Out != 0 && Format != nullptr && std::strcmp(Format, "csv") == 0;
    Args.push_back(nullptr);
    int Count = int(Args.size()) - 1;
    benchmark::Initialize(&Count, Args.data());
    // What the library did not take stays for the caller, as before.
    for (int I = 0; I < Count && I < argc; ++I)
        argv[I] = Args[size_t(I)];
    argc = std::min(argc, Count);
    argv[argc] = nullptr;
    if (benchmark::ReportUnrecognizedArguments(Count, Args.data()))
        return 1;
    TRatioReporter Reporter;
    TCsvFileReporter CsvFile;
    benchmark::RunSpecifiedBenchmarks(&Reporter, Csv ? &CsvFile : nullptr);
    benchmark::Shutdown();
    std::fflush(stdout);
    PrintRatios(Reporter);
    std::fflush(stdout);
    return 0;
}
