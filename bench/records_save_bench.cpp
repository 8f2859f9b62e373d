// The save at the end of a run over 100,000 records: as it was (the list written over the file),
// as it is (the file on disk first compared with what was read), and the merge of this run's
// changes into a file that another program changed since. Peak memory is the process's: run one
// benchmark per process (--benchmark_filter) to read it.
#include "bench/bench_support.h"
#include "core/record_line.h"
#include "core/records_file.h"
#include "core/records_merge.h"
#include "core/text_file.h"
#include "engine/occurrence.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

namespace {

constexpr std::size_t kRecords = 100000;
constexpr std::size_t kChangedEachSide = 1000;

// The records file of the benchmarks, and the list and snapshot that a run keeps of it.
struct ReadFile {
    kivo::bench::ScratchFolder scratch{"kivo-save-bench-"};
    std::string path = scratch.file("kivos.ini");
    std::string bytes;
    kivo::RecordList records;
    kivo::RecordsFileSnapshot snapshot;
    std::string mailPath;

    ReadFile() {
        kivo::bench::RecordGenerator generate({.skipYears = true, .emails = true});
        kivo::appendTextLine(bytes, kivo::kRecordsHeader);
        kivo::appendTextLine(bytes, "mailpath=mailer --to %s");
        for (std::size_t i = 0; i < kRecords; ++i)
            kivo::appendTextLine(bytes, kivo::formatRecordLine(generate.next()));
        rewrite(bytes);
        readWithSnapshot(records, snapshot);
    }
    void rewrite(const std::string& content) const {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    }
    void readWithSnapshot(kivo::RecordList& list, kivo::RecordsFileSnapshot& kept) {
        kivo::RecordsFileReader file;
        file.keepSnapshot(&kept);
        file.open(path);
        kivo::appendComputedRecords(file, list, mailPath, kivo::bench::kToday);
    }
};

ReadFile& readFile() {
    static ReadFile instance;
    return instance;
}

// The save as it was: the list written over the file.
void SaveWithoutLooking(benchmark::State& state) {
    ReadFile& file = readFile();
    for (auto _ : state)
        if (!kivo::writeRecordsFile(file.path, file.records, file.mailPath))
            state.SkipWithError("the records could not be written");
}
BENCHMARK(SaveWithoutLooking)->Unit(benchmark::kMillisecond);

// The save as it is when nobody else wrote the file: read through for its hash, compared, then
// written.
void SaveOfAnUnchangedFile(benchmark::State& state) {
    ReadFile& file = readFile();
    for (auto _ : state) {
        kivo::TextFileLines current;
        if (current.open(file.path) != kivo::TextReadStatus::Ok ||
            current.finish() != kivo::TextReadStatus::Ok ||
            current.contentHash() != file.snapshot.hash) {
            state.SkipWithError("the file is not the one that was read");
            return;
        }
        if (!kivo::writeRecordsFile(file.path, file.records, file.mailPath))
            state.SkipWithError("the records could not be written");
    }
}
BENCHMARK(SaveOfAnUnchangedFile)->Unit(benchmark::kMillisecond);

// What keeping the snapshot adds to reading the list for a window: a hash of every record.
void ReadForAWindow(benchmark::State& state) {
    ReadFile& file = readFile();
    const bool withSnapshot = state.range(0) != 0;
    for (auto _ : state) {
        kivo::RecordList list;
        kivo::RecordsFileSnapshot snapshot;
        kivo::RecordsFileReader reader;
        if (withSnapshot)
            reader.keepSnapshot(&snapshot);
        reader.open(file.path);
        std::string mailPath;
        kivo::appendComputedRecords(reader, list, mailPath, kivo::bench::kToday);
        benchmark::DoNotOptimize(list.size());
    }
}
BENCHMARK(ReadForAWindow)->ArgName("snapshot")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The save after another program changed 1,000 records and this run changed 1,000 others: the
// file read back and the changes merged into it, then (written:1) the result written.
void SaveMergingIntoAChangedFile(benchmark::State& state) {
    ReadFile& file = readFile();
    for (std::size_t i = 0; i < kChangedEachSide; ++i)
        file.records[i * (kRecords / kChangedEachSide)].daysInAdvance += 1;
    // The other side: the same file with other records renamed.
    std::string changed;
    std::size_t record = 0;
    for (const std::string& line : kivo::splitTextLines(file.bytes)) {
        const bool isRecord = !line.empty() && line[0] != '#' && line.rfind("mailpath=", 0) != 0;
        const bool renamed = isRecord && record % (kRecords / kChangedEachSide) == 50;
        kivo::appendTextLine(changed, renamed ? "Renamed " + line : line);
        record += isRecord ? 1 : 0;
    }
    const bool alsoWrite = state.range(0) != 0;
    std::size_t written = 0;
    for (auto _ : state) {
        state.PauseTiming();
        file.rewrite(changed);
        state.ResumeTiming();
        std::string onDisk;
        bool missing = false;
        kivo::readFileBytes(file.path, onDisk, missing);
        const kivo::MergedRecords merged = kivo::mergeRecords(file.snapshot, file.records, onDisk);
        if (!merged.keptTwice.empty() ||
            (alsoWrite && !kivo::writeRecordsFile(file.path, merged.records, merged.mailPath,
                                                  nullptr, merged.encoding))) {
            state.SkipWithError("the merge was not clean");
            return;
        }
        written = merged.records.size();
    }
    state.counters["records_written"] = static_cast<double>(written);
    state.counters["peak_rss_MB"] = kivo::bench::peakResidentMebibytes();
}
BENCHMARK(SaveMergingIntoAChangedFile)
    ->ArgName("written")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
