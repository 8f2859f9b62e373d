// The wording of reminder lines and of the person editor's sample reminder.
#pragma once

#include "core/text_table.h"
#include "engine/occurrence.h"

#include <string>
#include <vector>

namespace kivo {

// The user's day names, from the locale.
class LocaleNames {
public:
    virtual ~LocaleNames() = default;
    // Full name of the day, 0 = Sunday .. 6 = Saturday.
    virtual std::string dayName(int dayOfWeek) const = 0;
    // Full name of the month, 1..12.
    virtual std::string monthName(int month) const = 0;
    // Abbreviated name of the day ("Mon"), 0 = Sunday .. 6 = Saturday; the full name where a
    // locale has no short one.
    virtual std::string abbreviatedDayName(int dayOfWeek) const { return dayName(dayOfWeek); }
};

// English names, for tests and as a fallback.
class EnglishLocaleNames : public LocaleNames {
public:
    std::string dayName(int dayOfWeek) const override;
    std::string monthName(int month) const override;
    std::string abbreviatedDayName(int dayOfWeek) const override;
};

// The random numbers of the preset draw: values 0..32767, like the C library's rand.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual int next() = 0;
};

// rand() seeded once, as the daily run does.
class StdRandomSource : public RandomSource {
public:
    explicit StdRandomSource(unsigned seed);
    int next() override;
};

// Index of the preset line drawn for random value r (0..32767) among n lines (n > 0).
std::size_t presetIndex(int r, std::size_t n, RandomSource& random);

struct ReminderContext {
    const TextTable& texts;
    const std::string& dateFormat;
    const std::vector<std::string>& presets;
    const LocaleNames& locale;
    RandomSource& random;
};

// The number's decimal text with its looked-up ordinal ending ("21st", "11th", "-1st").
std::string MakeOrdinal(const TextTable& texts, const std::string& number);

// The full weekday name of the date in the user's locale.
std::string WeekdayName(const LocaleNames& locale, Date date);

// The full text of one reminder-window line, leading spaces included. An upcoming line draws one
// random number when there are presets; a past line draws none. The draws come in the order of
// composition: composing the upcoming entries from the last to the first gives the classic order
// (distance 365 down to 0, list order within a distance).
std::string ComposeReminderLine(const DueEntry& entry, ReminderContext& context);

// Every line of the reminder window for a due selection, in the selection's order, each composed
// by ComposeReminderLine in the classic draw order (the upcoming entries from the last to the
// first, then the past ones).
std::vector<std::string> ComposeReminderLines(const DueSelection& due, ReminderContext& context);

// The person editor's sample for a type (0..3), the name and days box texts and the picked date;
// `previous` is returned unchanged for a type outside 0..3.
std::string SampleReminder(const TextTable& texts, const LocaleNames& locale, int type,
                           const std::string& nameText, const std::string& daysText, Date picked,
                           const std::string& previous = std::string());

// Fills a looked-up format with arguments given as texts, one per placeholder of `builtIn`
// ("%s" or "%i", in order). A looked-up format whose placeholders are not a leading part of the
// built-in ones (more of them, or of other kinds) is not used: the built-in format is filled
// instead. Extra arguments are ignored; "%%" gives "%".
std::string fillFormat(const std::string& lookedUp, const std::string& builtIn,
                       const std::vector<std::string>& args);

} // namespace kivo
