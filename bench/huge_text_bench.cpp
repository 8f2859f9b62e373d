// Opening each window when one stored text is huge (a 5 MB or 50 MB name, "pre.ini" line or
// translated text): built, filled and painted once, as the user would first see it.
#include "bench/bench_support.h"
#include "windows/kivo_dlg.h"
#include "windows/person_dlg.h"
#include "windows/reminder_dlg.h"

#include <benchmark/benchmark.h>

#include <QPixmap>

#include <memory>
#include <string>

namespace {

using kivo::Date;
using kivo::bench::kToday;

// Which text is huge.
enum Huge { HugeName = 0, HugePrefix = 1, HugeTranslation = 2 };

// Everything a window needs, with one text of `megabytes` MB.
struct Scene {
    kivo::bench::BenchPlatform fake;
    kivo::Platform& platform = fake.platform;
    kivo::RecordList records;
    kivo::TextTable texts;
    kivo::AppSettings settings;
    std::vector<std::string> presets;
    kivo::StdRandomSource random{1};

    Scene(Huge huge, std::int64_t megabytes) {
        const std::string big(static_cast<std::size_t>(megabytes) * 1000 * 1000, 'n');
        settings.dateFormat = "%d/%m/%Y";
        settings.sortColumn = 1;
        for (int i = 0; i < 20; ++i) {
            kivo::PersonRecord r;
            r.name = i == 0 && huge == HugeName ? big : "Person " + std::to_string(i);
            r.day = 7 + i % 5; // due today and in the next days
            r.month = 6;
            r.year = 1990;
            r.daysInAdvance = 14;
            r.leapling = 1;
            kivo::ComputeOccurrence(records.append(std::move(r)), kToday);
        }
        if (huge == HugePrefix)
            presets.push_back(big);
        if (huge == HugeTranslation) {
            texts.push_back({"Name", big});
            texts.push_back({"%s will be %s on %s %s (%s)", big + " %s"});
        }
    }
};

template <typename Window> void paintOnce(benchmark::State& state, Window& window) {
    if (!window.initialize()) {
        state.SkipWithError("the window ended itself");
        return;
    }
    const QPixmap painted = window.grab();
    benchmark::DoNotOptimize(painted.cacheKey());
}

void OpenSetupWindow(benchmark::State& state) {
    Scene scene(static_cast<Huge>(state.range(0)), state.range(1));
    for (auto _ : state) {
        kivo::CKivoDlg window(scene.platform);
        window.records = &scene.records;
        window.texts = &scene.texts;
        window.settings = &scene.settings;
        paintOnce(state, window);
    }
}

void OpenReminderWindow(benchmark::State& state) {
    Scene scene(static_cast<Huge>(state.range(0)), state.range(1));
    for (auto _ : state) {
        kivo::CReminderDlg window(scene.platform, scene.random);
        window.records = &scene.records;
        window.texts = &scene.texts;
        window.settings = &scene.settings;
        window.presets = &scene.presets;
        window.today = kToday;
        paintOnce(state, window);
    }
}

void OpenPersonEditor(benchmark::State& state) {
    Scene scene(static_cast<Huge>(state.range(0)), state.range(1));
    for (auto _ : state) {
        kivo::CPersonDlg window(scene.platform);
        const kivo::PersonRecord& first = scene.records[0];
        window.name = first.name;
        window.date = kivo::CPersonDlg::editorDateFor(first.day, first.month, first.year);
        window.texts = &scene.texts;
        window.settings = &scene.settings;
        paintOnce(state, window);
    }
}

// Arguments: which text is huge (0 a name, 1 a "pre.ini" line, 2 a translated text), and its
// size in MB.
BENCHMARK(OpenSetupWindow)
    ->ArgsProduct({{HugeName, HugeTranslation}, {5, 50}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(OpenReminderWindow)
    ->ArgsProduct({{HugeName, HugePrefix, HugeTranslation}, {5, 50}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(OpenPersonEditor)
    ->ArgsProduct({{HugeName, HugeTranslation}, {5, 50}})
    ->Unit(benchmark::kMillisecond);

} // namespace
