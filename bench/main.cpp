// Runs every benchmark, then prints the ratios that matter against their targets, taken
// from the fastest repetition of each.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_frames.h"
#include "pipeline/yuy2_convert.h"

namespace {

class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool single = run.run_type == Run::RT_Iteration;
            if (!single && run.aggregate_name != "min") continue;
            const std::string name = run.run_name.function_name;
            const double ns = run.GetAdjustedRealTime();
            const auto it = best_.find(name);
            best_[name] = it == best_.end() ? ns : std::min(it->second, ns);
        }
    }

    // Fastest time of a benchmark in microseconds, or 0 when it did not run.
    double Time(const std::string& name) const {
        const auto it = best_.find(name);
        return it == best_.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> best_;
};

struct Row {
    std::string label;
    std::string numerator, numeratorVariant;      // group and variant
    std::string denominator, denominatorVariant;  // empty variant: the faster libyuv route
    double target;                                // 0: shown for information
};

double LibyuvTime(const SummaryReporter& r, FrameSize size, std::string* route) {
    const double argb = r.Time(BenchName("yuy2", "libyuv-argb", size));
    const double i422 = r.Time(BenchName("yuy2", "libyuv-i422", size));
    const bool useArgb = i422 == 0.0 || (argb != 0.0 && argb <= i422);
    if (route) *route = useArgb ? "YUY2ToARGB+ARGBToRGB24" : "YUY2ToI422+I422ToRGB24";
    return useArgb ? argb : i422;
}

void PrintSummary(const SummaryReporter& r) {
    const std::string best = Yuy2PathName(BestYuy2Path());
    std::vector<Row> rows = {
        {"YUY2 best (" + best + ") / libyuv", "yuy2", "best", "yuy2", "", 0.9},
        {"YUY2 best / memcpy", "yuy2", "best", "memcpy", "bgr", 0},
    };
    for (const char* path : {"avx2", "ssse3", "sse2", "scalar"}) {
        rows.push_back({std::string("  ") + path + " / libyuv", "yuy2", path, "yuy2", "", 0});
    }
    rows.push_back(
        {"MJPG per-sample handle / reused", "mjpg", "per-sample", "mjpg", "reused-handle", 1.05});
    // The same question without the decode's run-to-run noise: what the handle alone costs.
    rows.push_back(
        {"  handle create+destroy / decode", "mjpg", "handle-only", "mjpg", "reused-handle", 0});
    for (const char* f : {"mirror", "gray", "binary", "invert", "emboss"}) {
        rows.push_back({std::string(f) + " / memcpy", f, "fast", "memcpy", "bgr", 4.0});
        rows.push_back(
            {std::string("  ") + f + " reference / memcpy", f, "reference", "memcpy", "bgr", 0});
    }

    std::printf("\nStanding (fastest repetition of each; ratio of times, lower is faster)\n");
    std::printf("%-36s", "");
    for (FrameSize size : kBenchSizes) std::printf("%11s", SizeName(size).c_str());
    std::printf("   target\n");
    for (const Row& row : rows) {
        std::printf("%-36s", row.label.c_str());
        bool met = true;
        bool any = false;
        for (FrameSize size : kBenchSizes) {
            const double num = r.Time(BenchName(row.numerator, row.numeratorVariant, size));
            const double den =
                row.denominatorVariant.empty()
                    ? LibyuvTime(r, size, nullptr)
                    : r.Time(BenchName(row.denominator, row.denominatorVariant, size));
            if (num == 0.0 || den == 0.0) {
                std::printf("%11s", "-");
                continue;
            }
            any = true;
            const double ratio = num / den;
            met = met && (row.target == 0.0 || ratio <= row.target);
            std::printf("%11.2f", ratio);
        }
        if (row.target != 0.0 && any) {
            std::printf("   <= %.2f %s", row.target, met ? "met" : "MISSED");
        }
        std::printf("\n");
    }
    std::printf("\nAnchors (ms per frame)\n");
    for (FrameSize size : kBenchSizes) {
        std::string route;
        const double libyuv = LibyuvTime(r, size, &route);
        std::printf("  %-10s memcpy %.3f   libyuv %.3f (%s)   YUY2 best %.3f   MJPG %.3f\n",
                    SizeName(size).c_str(), r.Time(BenchName("memcpy", "bgr", size)) / 1e3,
                    libyuv / 1e3, route.c_str(), r.Time(BenchName("yuy2", "best", size)) / 1e3,
                    r.Time(BenchName("mjpg", "per-sample", size)) / 1e3);
    }
}

bool HasFlag(int argc, char** argv, const char* flag) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Five short repetitions by default, shown as aggregates; the summary uses their minimum,
    // which other work on the machine disturbs least.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5";
    std::string aggregatesOnly = "--benchmark_display_aggregates_only=true";
    std::string minTime = "--benchmark_min_time=0.3";
    if (!HasFlag(argc, argv, "--benchmark_repetitions")) {
        args.push_back(repetitions.data());
        args.push_back(aggregatesOnly.data());
    }
    if (!HasFlag(argc, argv, "--benchmark_min_time")) args.push_back(minTime.data());
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    RegisterYuy2Benchmarks();
    RegisterMjpgBenchmarks();
    RegisterFilterBenchmarks();

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
