// The setup window over many records: opening it (fill, stored sort, first paint) and a sort by
// a click on the "Next" heading. bench/setup_window_bench.py runs it beside a bare Qt start.
#include "bench/bench_support.h"
#include "controls/list_ctrl_ex.h"
#include "windows/kivo_dlg.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPixmap>

#include <map>
#include <memory>
#include <string>

namespace {

using kivo::Date;
using kivo::bench::BenchPlatform;
using kivo::bench::kToday;
using kivo::bench::peakResidentMebibytes;

// Records as a large real list has them: many names, every type, some without a year. With
// `fullNames` the names are as long as first and family names together, some with letters
// beyond ASCII, which the name sort and the memory feel most.
kivo::RecordList& recordsOf(std::size_t count, bool fullNames = false) {
    static std::map<std::pair<std::size_t, bool>, std::unique_ptr<kivo::RecordList>> made;
    auto& slot = made[{count, fullNames}];
    if (!slot) {
        slot = std::make_unique<kivo::RecordList>();
        slot->reserve(count);
        using Names = kivo::bench::RecordGenerator::Names;
        kivo::bench::RecordGenerator generate(
            {.names = fullNames ? Names::GivenAndFamily : Names::Given});
        for (std::size_t i = 0; i < count; ++i)
            kivo::ComputeOccurrence(slot->append(generate.next()), kToday);
    }
    return *slot;
}

struct OpenWindow {
    BenchPlatform fake;
    kivo::TextTable texts;
    kivo::AppSettings settings;
    std::unique_ptr<kivo::CKivoDlg> dlg;

    OpenWindow(kivo::RecordList& records, int sortColumn) {
        settings.dateFormat = "%d/%m/%Y";
        settings.sortColumn = sortColumn;
        dlg = std::make_unique<kivo::CKivoDlg>(fake.platform);
        dlg->records = &records;
        dlg->texts = &texts;
        dlg->settings = &settings;
    }
};

// Opening as the user sees it: the window is built, filled, sorted by the stored column ("Next"
// descending, the dearest kind) and painted once. Closing is not measured.
void openAndPaint(benchmark::State& state, kivo::RecordList& records) {
    for (auto _ : state) {
        OpenWindow window(records, -2);
        if (!window.dlg->initialize()) {
            state.SkipWithError("the window ended itself");
            return;
        }
        const QPixmap painted = window.dlg->grab();
        benchmark::DoNotOptimize(painted.cacheKey());
        state.PauseTiming();
        window.dlg.reset();
        state.ResumeTiming();
    }
    state.counters["records"] = static_cast<double>(records.size());
    // The process's own peak: run the 1,000,000 case alone (bench/setup_window_bench.py does)
    // for a figure that holds no smaller run's list.
    state.counters["peak_rss_MiB"] = peakResidentMebibytes();
}

void OpenSetupWindow(benchmark::State& state) {
    openAndPaint(state, recordsOf(static_cast<std::size_t>(state.range(0))));
}

BENCHMARK(OpenSetupWindow)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The same over names of first and family name, some beyond ASCII.
void OpenSetupWindowFullNames(benchmark::State& state) {
    openAndPaint(state, recordsOf(static_cast<std::size_t>(state.range(0)), true));
}

BENCHMARK(OpenSetupWindowFullNames)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A left click on the "Next" heading of the open window, and the repaint that follows; each
// click reverses the previous order, so every iteration really moves the rows.
void SortByNextHeading(benchmark::State& state) {
    auto& records = recordsOf(static_cast<std::size_t>(state.range(0)));
    OpenWindow window(records, 1);
    if (!window.dlg->initialize()) {
        state.SkipWithError("the window ended itself");
        return;
    }
    window.dlg->show();
    QApplication::processEvents();
    kivo::CHeaderCtrlEx* header = window.dlg->listCtrl()->headerCtrl();
    const QPointF at(header->sectionViewportPosition(kivo::CKivoDlg::ColNext) + 5,
                     header->height() / 2);
    const QPointF global = header->viewport()->mapToGlobal(at);
    for (auto _ : state) {
        QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(header->viewport(), &press);
        QApplication::sendEvent(header->viewport(), &release);
        QApplication::processEvents();
    }
    // The first click sorts ascending and every further one reverses: an odd count of clicks
    // ends ascending. Anything else means some click did not sort.
    const kivo::CListCtrlEx* list = window.dlg->listCtrl();
    if (list->activeSortColumn() != kivo::CKivoDlg::ColNext ||
        list->activeSortAscending() != (state.iterations() % 2 == 1))
        state.SkipWithError("a click did not sort by Next");
    state.counters["records"] = static_cast<double>(records.size());
    window.dlg->hide();
}

BENCHMARK(SortByNextHeading)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
