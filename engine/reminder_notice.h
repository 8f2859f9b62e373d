// What a desktop notification of a run's reminders says: the reminder window's lines, shortened
// to what a notification can show, and the words of its actions.
#pragma once

#include "engine/occurrence.h"
#include "engine/reminder_text.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kivo {

struct ReminderNotice {
    struct Line {
        std::string text;
        bool today = false; // about an occurrence on the run's day, which a notification stresses
    };
    // "Birthdays and events", or the one line when only one is due.
    std::string summary;
    // The reminder lines when more than one is due, at most kNoticeLines of them, then "and N
    // more" for the rest; empty when the summary is the one line.
    std::vector<Line> body;
    // Something is due today: the notification asks the desktop for attention.
    bool dueToday = false;
    // The words of the actions besides the click on the notification itself.
    std::string showAllAction;
    std::string setupAction;
    // The day it was worded for; its words ("tomorrow") hold for that day alone.
    Date day{};
};

// The most reminder lines a notification lists; the rest are counted.
inline constexpr std::size_t kNoticeLines = 5;

// The notice of the due entries, worded as the reminder window words them (ComposeReminderLines,
// so with the same preset draws), without the blanks that indent the window's lines.
ReminderNotice composeReminderNotice(const DueSelection& due, ReminderContext& context);

// What became of a notice.
enum class NoticeOutcome {
    NotShown,      // no notification service took it: the reminder window instead
    Ended,         // closed, expired or withdrawn without an action
    ShowReminders, // clicked, or "Show all"
    ShowSetup,     // "Setup", or a start from the menu while it was shown
};

} // namespace kivo
