#ifndef VEK_BENCH_PAIRS_H
#define VEK_BENCH_PAIRS_H

// Prints, after the usual table, each benchmark of the program's own code next
// to the bare library doing the same work, with the ratio of their CPU times
// (of the whole process, every thread counted) and its target.

#include <benchmark/benchmark.h>

#include <stdio.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

class PairReporter : public benchmark::ConsoleReporter
{
public:
    PairReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void AddPair(const std::string& what, const std::string& through, const std::string& bare,
                 double target)
    {
        fPairs.push_back({what, through, bare, target});
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
                // Without the arguments after the name ("/min_time:2.000").
                std::string name = run.benchmark_name();
                fSeconds[name.substr(0, name.find('/'))] =
                    run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // False when a pair was not measured or missed its target.
    bool PrintPairs() const
    {
        bool met = true;
        for (const Pair& pair : fPairs) {
            auto through = fSeconds.find(pair.through);
            auto bare = fSeconds.find(pair.bare);
            if (through == fSeconds.end() || bare == fSeconds.end()) {
                printf("%s: not measured\n", pair.what.c_str());
                met = false;
                continue;
            }
            double ratio = through->second / bare->second;
            bool ok = ratio <= pair.target;
            met = met && ok;
            printf("%s: %.1f us through the program, %.1f us bare, ratio %.2fx (target <= %.1fx) "
                   "%s\n",
                   pair.what.c_str(), through->second * 1e6, bare->second * 1e6, ratio, pair.target,
                   ok ? "met" : "MISSED");
        }
        fflush(stdout);
        return met;
    }

private:
    struct Pair {
        std::string what;
        std::string through;
        std::string bare;
        double target;
    };
    std::vector<Pair> fPairs;
    std::map<std::string, double> fSeconds;
};

// Runs the benchmarks given on the command line and prints the pairs.
inline int RunPairs(int argc, char** argv, PairReporter& reporter)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintPairs();
    benchmark::Shutdown();
    return 0;
}

#endif
