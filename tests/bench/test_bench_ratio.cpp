// The ratio lines and the CSV file output of the benchmark programs, fed with
// made-up runs.
#include "../bench/bench_ratio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using TRun = benchmark::BenchmarkReporter::Run;

// One repetition of Name taking Seconds per iteration, with some counters.
TRun MakeRun(const std::string& Name, double Seconds, int64_t Family,
             const std::vector<std::pair<std::string, double>>& Counters = {})
{
    TRun R;
    R.run_name.function_name = Name;
    R.family_index = Family;
    R.per_family_instance_index = 0;
    R.run_type = TRun::RT_Iteration;
    R.iterations = 10;
    R.real_accumulated_time = Seconds * 10;
    R.cpu_accumulated_time = Seconds * 10;
    for (const auto& [Key, Value] : Counters)
        R.counters[Key] = benchmark::Counter(Value);
    return R;
}

std::string Printed(const std::function<void()>& Print)
{
    testing::internal::CaptureStdout();
    Print();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

struct TRatioCase {
    std::vector<double> Num, Den;
    std::string Line;
};

TEST(BenchRatio, RatioOfMediansWithTheSpreadOfPairedRepetitions)
{
    const std::vector<TRatioCase> Cases = {
        // Median 3 over median 2; the pairs give 0.5 ... 10.
        {{1, 2, 3, 10, 5}, {2, 2, 2, 1, 2}, "ratio X 1.500 spread 0.500-10.000\n"},
        // An even count takes the mean of the middle two: 2.5 / 1.
        {{4, 1, 2, 3}, {1, 1, 1, 1}, "ratio X 2.500 spread 1.000-4.000\n"},
        // One repetition: no spread.
        {{3}, {2}, "ratio X 1.500\n"},
    };
    for (const TRatioCase& C : Cases) {
        TRatioReporter R;
        std::ostringstream Console;
        R.SetOutputStream(&Console);
        R.SetErrorStream(&Console);
        std::vector<TRun> Num, Den;
        for (double T : C.Num)
            Num.push_back(MakeRun("BM_X_Ours", T, 0));
        for (double T : C.Den)
            Den.push_back(MakeRun("BM_X_Peer", T, 1));
        R.ReportRuns(Num);
        R.ReportRuns(Den);
        EXPECT_EQ(Printed([&] { R.PrintPairRatios(); }), C.Line);
        EXPECT_EQ(Printed([&] { R.PrintRatio("X", "BM_X_Ours", "BM_X_Peer"); }), C.Line);
    }
}

// Two counters of one benchmark: the ratio of their medians, the spread from
// each repetition's own pair; nothing for a counter or a benchmark missing.
TEST(BenchRatio, CountersOfOneBenchmarkPairByRepetition)
{
    struct TCase {
        std::vector<std::pair<double, double>> Reps; // load, preview
        std::string Line;
    };
    const std::vector<TCase> Cases = {
        // Medians 30 and 1.5: 20; the repetitions give 20, 15, 25, 40 / 1.5 and 25.
        {{{20, 1}, {30, 2}, {50, 2}, {40, 1.5}, {25, 1}}, "ratio L 20.000 spread 15.000-26.667\n"},
        {{{8, 2}}, "ratio L 4.000\n"},
    };
    for (const TCase& C : Cases) {
        TRatioReporter R;
        std::ostringstream Console;
        R.SetOutputStream(&Console);
        std::vector<TRun> Runs;
        for (const auto& [Load, Preview] : C.Reps)
            Runs.push_back(MakeRun("BM_L", 1, 0, {{"load_s", Load}, {"preview_s", Preview}}));
        R.ReportRuns(Runs);
        EXPECT_EQ(Printed([&] { R.PrintCountersRatio("L", "BM_L", "load_s", "preview_s"); }), C.Line);
        EXPECT_EQ(Printed([&] { R.PrintCountersRatio("L", "BM_L", "load_s", "other_s"); }), "");
        EXPECT_EQ(Printed([&] { R.PrintCountersRatio("L", "BM_M", "load_s", "preview_s"); }), "");
    }
}

// Pairs are printed in the order they were declared, whatever order their
// repetitions finished in.
TEST(BenchRatio, PairsInDeclarationOrder)
{
    TRatioReporter R;
    std::ostringstream Console;
    R.SetOutputStream(&Console);
    for (const auto& [Name, Family] : std::vector<std::pair<std::string, int64_t>>{
             {"BM_B_Peer", 3}, {"BM_B_Ours", 2}, {"BM_A_Ours", 0}, {"BM_A_Peer", 1}})
        R.ReportRuns({MakeRun(Name, 1, Family)});
    EXPECT_EQ(Printed([&] { R.PrintPairRatios(); }), "ratio A 1.000\nratio B 1.000\n");
}

// Google Benchmark's own CSV writer stops the program when a later run has a
// counter the first one had not; the file reporter writes them all at the end.
TEST(BenchRatio, CsvFileTakesTheCountersOfEveryRun)
{
    TCsvFileReporter Csv;
    std::ostringstream File;
    Csv.SetOutputStream(&File);
    Csv.SetErrorStream(&File);
    Csv.ReportRuns({MakeRun("BM_First", 1, 0)});
    Csv.ReportRuns({MakeRun("BM_Second", 1, 1, {{"bytes", 42}})});
    Csv.ReportRuns({MakeRun("BM_Third", 1, 2, {{"area", 0.5}})});
    Csv.Finalize();
    std::istringstream Lines(File.str());
    std::vector<std::string> Rows;
    for (std::string L; std::getline(Lines, L);)
        Rows.push_back(L);
    ASSERT_EQ(Rows.size(), 4u);
    EXPECT_NE(Rows[0].find("\"area\",\"bytes\""), std::string::npos) << Rows[0];
    EXPECT_EQ(Rows[1].substr(Rows[1].size() - 2), ",,");
    EXPECT_EQ(Rows[2].substr(Rows[2].size() - 3), ",42");
    EXPECT_EQ(Rows[3].substr(Rows[3].size() - 5), ",0.5,");
}

// A benchmark timed by its thread's processor time counts the work it does,
// not the time it waits: an iteration that sleeps 20 ms takes next to
// nothing, one that spins for 10 ms of processor time takes those 10 ms,
// whatever else the machine runs meanwhile; the ratio reads those times.
TEST(BenchRatio, ThreadCpuIterationsCountWorkNotWaiting)
{
    benchmark::RegisterBenchmark("BM_WaitsCpuTimed", [](benchmark::State& State) {
        for (auto _ : State) {
            const TThreadCpuIteration Timed(State);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    })->Iterations(3)->UseManualTime();
    benchmark::RegisterBenchmark("BM_SpinsCpuTimed", [](benchmark::State& State) {
        for (auto _ : State) {
            const TThreadCpuIteration Timed(State);
            const double Start = ThreadCpuSeconds();
            while (ThreadCpuSeconds() - Start < 0.010) {
            }
        }
    })->Iterations(3)->UseManualTime();
    TRatioReporter R;
    std::ostringstream Console;
    R.SetOutputStream(&Console);
    R.SetErrorStream(&Console);
    benchmark::RunSpecifiedBenchmarks(&R, "CpuTimed");
    EXPECT_LT(R.Time("BM_WaitsCpuTimed"), 0.005);
    EXPECT_GE(R.Time("BM_SpinsCpuTimed"), 0.010);
    EXPECT_LT(R.Time("BM_SpinsCpuTimed"), 0.015);
    const std::string Line = Printed([&] { R.PrintRatio("Waits", "BM_WaitsCpuTimed", "BM_SpinsCpuTimed"); });
    ASSERT_EQ(Line.rfind("ratio Waits 0.", 0), 0u) << Line;
    EXPECT_LT(std::stod(Line.substr(12)), 0.5) << Line;
}

} // namespace
