// The records the benchmarks generate.
#include "bench/bench_support.h"

namespace kivo::bench {

std::string RecordGenerator::nameOf(std::size_t index) {
    static const char* const given[] = {"Anna",  "bert", "Cleo", "Dora", "emil",
                                        "Fritz", "Gina", "Hugo", "Ida",  "jonas"};
    // UTF-8 in octal escapes, which end after three digits whatever follows.
    static const char* const family[] = {"M\303\274ller-L\303\274denscheidt",
                                         "Schmidt",
                                         "\303\226zt\303\274rk",
                                         "Fern\303\241ndez Garc\303\255a",
                                         "Nguyen",
                                         "Kowalczyk-Wi\305\233niewska",
                                         "Andersson",
                                         "O'Brien",
                                         "\303\205str\303\266m",
                                         "Papadopoulos"};
    if (options_.names == Names::Numbered)
        return (index % 5 == 0 ? "Club, event " : "Person ") + std::to_string(index);
    // The number is drawn first, then the family name and the given name: the order in which
    // the setup window's records have always been drawn.
    const std::string number = std::to_string(pick(0, 999999));
    const std::string familyName =
        options_.names == Names::GivenAndFamily ? std::string(family[pick(0, 9)]) + " " : "";
    return std::string(given[pick(0, 9)]) + " " + familyName + number;
}

PersonRecord RecordGenerator::next() {
    const std::size_t index = index_++;
    PersonRecord r;
    r.name = nameOf(index);
    r.month = pick(1, 12);
    r.day = pick(1, 28 + (r.month != 2 ? 3 : 1));
    r.year = pick(0, 4) == 0 ? 0 : pick(1920, 2025);
    r.icon = pick(0, 31);
    if (options_.skipYears)
        r.skipYear = pick(0, 9) == 0 ? 2026 : -1;
    r.daysInAdvance = pick(0, 30);
    r.type = pick(0, 3);
    r.infoOnly = pick(0, 19) == 0;
    r.dontPrint = pick(0, 9) == 0;
    if (options_.emails && index % 3 == 0)
        r.email = "person" + std::to_string(index) + "@example.org";
    r.leapling = pick(0, 1);
    return r;
}

} // namespace kivo::bench
