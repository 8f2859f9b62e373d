// Export and import of 100,000 records: the CSV file written (replacing an old one safely) and
// read back with every record computed, and the single calendar of every record. Run each in a
// process of its own (--benchmark_filter) so that the peak memory is that of the one operation.
#include "bench/bench_support.h"
#include "engine/occurrence.h"
#include "exchange/calendar_format.h"
#include "exchange/csv_format.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
constexpr std::size_t kRecords = 100000;

using kivo::bench::kToday;
using kivo::bench::peakResidentMebibytes;

kivo::bench::ScratchFolder& folder() {
    static kivo::bench::ScratchFolder instance("kivo-exchange-");
    return instance;
}

void makeRecords(kivo::RecordList& records, std::size_t count) {
    kivo::bench::RecordGenerator generate({.emails = true});
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        kivo::ComputeOccurrence(records.append(generate.next()), kToday);
}

// The list as the program holds it, then the export into a file that exists already.
void ExportCsv(benchmark::State& state) {
    kivo::RecordList records;
    makeRecords(records, kRecords);
    const std::string path = folder().file("export.csv");
    kivo::writeCsvFile(path, records);
    for (auto _ : state) {
        std::string error;
        if (!kivo::writeCsvFile(path, records, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    state.counters["file_MB"] = static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0);
    state.counters["peak_rss_MB"] = peakResidentMebibytes();
}
BENCHMARK(ExportCsv)->Unit(benchmark::kMillisecond);

// Reading the file into an empty list and computing every record, as the import does.
void ImportCsv(benchmark::State& state) {
    const std::string path = folder().file("import.csv");
    {
        kivo::RecordList records;
        makeRecords(records, kRecords);
        kivo::writeCsvFile(path, records);
    }
    std::size_t added = 0;
    for (auto _ : state) {
        kivo::RecordList records;
        kivo::CsvImportCounts counts;
        if (kivo::readCsvFile(path, records, counts) != kivo::TextReadStatus::Ok) {
            state.SkipWithError("the file could not be read");
            return;
        }
        for (kivo::PersonRecord& r : records)
            kivo::ComputeOccurrence(r, kToday);
        added = counts.added;
        state.PauseTiming(); // freeing the list is not part of the import
        records.clear();
        state.ResumeTiming();
    }
    state.counters["records"] = static_cast<double>(added);
    state.counters["peak_rss_MB"] = peakResidentMebibytes();
}
BENCHMARK(ImportCsv)->Unit(benchmark::kMillisecond);

// The single calendar of every record.
void ExportCalendar(benchmark::State& state) {
    kivo::RecordList records;
    makeRecords(records, kRecords);
    const std::string path = folder().file("all.ics");
    const kivo::Categories categories = kivo::defaultCategories();
    for (auto _ : state) {
        if (!kivo::replaceFileAtomically(
                path, kivo::formatSingleCalendar(records, categories, 1780790400))) {
            state.SkipWithError("the calendar could not be written");
            return;
        }
    }
    state.counters["file_MB"] = static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0);
    state.counters["peak_rss_MB"] = peakResidentMebibytes();
}
BENCHMARK(ExportCalendar)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
