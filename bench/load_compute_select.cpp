// The start-up path over a large records file: read "kivos.ini", compute every record, select.
#include "bench/bench_support.h"
#include "core/records_file.h"
#include "core/text_file.h"
#include "engine/occurrence.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

using kivo::Date;

namespace fs = std::filesystem;

// Generated record files, in a scratch folder removed when the benchmark ends.
class BenchFolder {
public:
    // The records file with `count` records, written once per count.
    const std::string& recordsFile(std::size_t count) {
        auto found = files_.find(count);
        if (found != files_.end())
            return found->second;
        const fs::path folder = scratch_.path() / std::to_string(count);
        fs::create_directories(folder);
        const std::string file = (folder / kivo::kRecordsFileName).string();
        writeRecords(file, count);
        return files_.emplace(count, file).first->second;
    }

private:
    // Written line by line so that generating the file does not raise the peak memory measured.
    static void writeRecords(const std::string& file, std::size_t count) {
        kivo::bench::RecordGenerator generate({.skipYears = true, .emails = true});
        std::ofstream out(file, std::ios::binary);
        std::string chunk;
        kivo::appendTextLine(chunk, kivo::kRecordsHeader);
        kivo::appendTextLine(chunk, "mailpath=mailer --to %s");
        for (std::size_t i = 0; i < count; ++i) {
            kivo::appendTextLine(chunk, kivo::formatRecordLine(generate.next()));
            if (chunk.size() > (1 << 16)) {
                out << chunk;
                chunk.clear();
            }
        }
        out << chunk;
    }

    kivo::bench::ScratchFolder scratch_{"kivo-bench-"};
    std::map<std::size_t, std::string> files_;
};

BenchFolder& folder() {
    static BenchFolder instance;
    return instance;
}

void LoadComputeSelect(benchmark::State& state) {
    const std::size_t count = static_cast<std::size_t>(state.range(0));
    const std::string& file = folder().recordsFile(count);
    const Date today{std::chrono::year{2026}, std::chrono::June, std::chrono::day{7}};
    std::size_t lines = 0;
    for (auto _ : state) {
        kivo::RecordList records;
        std::string mailPath;
        if (!kivo::readRecordsFile(file, records, mailPath)) {
            state.SkipWithError("the records file could not be read");
            return;
        }
        for (kivo::PersonRecord& record : records)
            kivo::ComputeOccurrence(record, today);
        const kivo::DueSelection due = kivo::SelectDue(records, today, 3, today);
        lines = due.entries.size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["records"] = static_cast<double>(count);
    state.counters["due_lines"] = static_cast<double>(lines);
    state.counters["peak_rss_MB"] = kivo::bench::peakResidentMebibytes();
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
}

BENCHMARK(LoadComputeSelect)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The selection alone over 100,000 computed records, with past windows up to the largest: the
// past part looks each record's days up instead of testing every record once per day.
void SelectDueOnly(benchmark::State& state) {
    const int pastDays = static_cast<int>(state.range(0));
    const Date today{std::chrono::year{2026}, std::chrono::June, std::chrono::day{7}};
    kivo::RecordList records;
    std::string mailPath;
    if (!kivo::readRecordsFile(folder().recordsFile(100000), records, mailPath)) {
        state.SkipWithError("the records file could not be read");
        return;
    }
    for (kivo::PersonRecord& record : records)
        kivo::ComputeOccurrence(record, today);
    std::size_t lines = 0;
    for (auto _ : state) {
        lines = kivo::SelectDue(records, today, pastDays, today).entries.size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["due_lines"] = static_cast<double>(lines);
}

BENCHMARK(SelectDueOnly)->Arg(0)->Arg(3)->Arg(365)->Arg(3650)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
