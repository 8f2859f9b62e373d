// Fuzzes the merge of kivo's event into a calendar object a server gave back (any bytes another
// client may have written): it never crashes, a merge keeps kivo's event once with its fields, and
// merging again changes nothing.
#include "exchange/calendar_format.h"
#include "fuzz_support.h"

#include "core/person_record.h"

using namespace kivo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view server(reinterpret_cast<const char*>(data), size);
    PersonRecord anna;
    anna.name = "Anna";
    anna.day = 7;
    anna.month = 3;
    anna.year = 1980;
    const std::string uid = "0123456789abcdef@kivo";
    const std::string ours = formatCalendarEvent(anna, uid, 0, "Birthday");
    const std::optional<std::string> merged = mergeCalendarObject(server, ours, uid);
    if (!merged)
        return 0;
    FUZZ_REQUIRE(merged->find("SUMMARY:Anna's Birthday\r\n") != std::string::npos,
                 "kivo's summary is in the merged event");
    FUZZ_REQUIRE(merged->find("RRULE:FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=7\r\n") != std::string::npos,
                 "kivo's rule is in the merged event");
    const std::optional<std::string> again = mergeCalendarObject(*merged, ours, uid);
    FUZZ_REQUIRE(again.has_value(), "a merged event merges again");
    FUZZ_REQUIRE(*again == *merged, "merging twice changes nothing");
    return 0;
}
