// Benchmarks of the owner-drawn list: filling, sorting by a date column and the first paint.
#include "controls/list_ctrl_ex.h"

#include <QRandomGenerator>

#include <benchmark/benchmark.h>

namespace {

using kivo::CListCtrlEx;

// The nine cells of each row as the setup window shows them, made on the fly from a fixed seed
// so that the benchmark holds no copy of its own and the peak memory is the list's.
class RowSource {
public:
    void restart() { random_.seed(2024); }
    void next(QString (&cells)[9]) {
        static const char* const types[] = {"B'day", "Event", "Date"};
        QString name;
        const int length = 5 + random_.bounded(8);
        for (int i = 0; i < length; ++i)
            name += QChar(i == 0 ? u'A' + random_.bounded(26) : u'a' + random_.bounded(26));
        cells[0] = name + QStringLiteral(" ") + QChar(u'A' + random_.bounded(26)) + u'.';
        cells[1] = QStringLiteral("%1/%2/%3")
                       .arg(1 + random_.bounded(28), 2, 10, QChar(u'0'))
                       .arg(1 + random_.bounded(12), 2, 10, QChar(u'0'))
                       .arg(2025 + random_.bounded(2));
        cells[2] = QString::number(random_.bounded(30));
        cells[3] =
            random_.bounded(4) == 0 ? QStringLiteral("-") : QString::number(random_.bounded(100));
        cells[4] = QString::number(random_.bounded(366));
        cells[5] = random_.bounded(5) == 0 ? QStringLiteral("No") : QStringLiteral("Yes");
        cells[6] = QString::fromLatin1(types[random_.bounded(3)]);
        cells[7] = random_.bounded(9) == 0 ? QStringLiteral("No") : QStringLiteral("Yes");
        cells[8] = QString::number(random_.bounded(32));
    }

private:
    QRandomGenerator random_;
};

void setUpList(CListCtrlEx& list) {
    static const char* const headings[] = {"Name",   "Next", "Ahead", "Age now", "Days",
                                           "Remind", "Type", "Print", "Icon"};
    static const int widths[] = {200, 75, 50, 65, 40, 55, 45, 50, 50};
    for (int c = 0; c < 9; ++c)
        list.InsertColumn(c, QString::fromLatin1(headings[c]), Qt::AlignLeft, widths[c]);
    QPixmap strip(33 * 16, 16);
    strip.fill(Qt::darkCyan);
    list.SetImageList(strip);
    list.SetRowHighlightMode(2);
    list.SetSortAscendingStyle(true);
    list.setDateFormat(QStringLiteral("%d/%m/%Y"));
    list.SetColumnSortKinds({1, 3, 2, 2, 2, 1, 1, 1, 2});
    list.EnableHeaderSort(true);
}

// What the setup window does to rebuild its list: redraw off, clear, insert in name order.
// The texts are made inside the loop, as the setup window formats each record's cells.
void fill(CListCtrlEx& list, int count) {
    RowSource source;
    source.restart();
    QString cells[9];
    list.SetRedraw(false);
    list.DeleteAllItems();
    for (int i = 1; i <= count; ++i) {
        source.next(cells);
        const int row = list.InsertItem(0, cells[0], i % 32);
        for (int c = 1; c < 9; ++c)
            list.SetItemText(row, c, cells[c]);
        list.SetItemData(row, static_cast<quintptr>(i));
    }
    list.SetRedraw(true);
}

void BM_Fill(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    CListCtrlEx list;
    setUpList(list);
    for (auto _ : state) {
        fill(list, rows);
        benchmark::DoNotOptimize(list.GetItemCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Fill)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_SortByDate(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    CListCtrlEx list;
    setUpList(list);
    fill(list, rows);
    for (auto _ : state) {
        state.PauseTiming();
        list.SortByColumn(0, true); // back to name order, which scatters the dates
        state.ResumeTiming();
        list.SortByColumn(1, true);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortByDate)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// The first paint after a fill: the view lays out every row, then draws the visible ones.
void BM_FirstPaint(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    CListCtrlEx list;
    setUpList(list);
    list.resize(800, 600);
    list.show();
    for (auto _ : state) {
        state.PauseTiming();
        fill(list, rows);
        list.SetSelected(3);
        state.ResumeTiming();
        const QPixmap painted = list.grab();
        benchmark::DoNotOptimize(painted.cacheKey());
    }
}
BENCHMARK(BM_FirstPaint)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace
