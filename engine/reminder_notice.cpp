// Wording the desktop notification of a run's reminders.
#include "engine/reminder_notice.h"

namespace kivo {

namespace {

std::string withoutIndent(const std::string& line) {
    const std::size_t start = line.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : line.substr(start);
}

} // namespace

ReminderNotice composeReminderNotice(const DueSelection& due, ReminderContext& context) {
    const std::vector<std::string> lines = ComposeReminderLines(due, context);
    ReminderNotice notice;
    for (const DueEntry& entry : due.entries)
        if (entry.kind == DueKind::Upcoming && entry.distance == 0)
            notice.dueToday = true;
    notice.showAllAction = lookUpText(context.texts, "Show all");
    notice.setupAction = lookUpText(context.texts, "Setup");
    if (lines.size() == 1) {
        notice.summary = withoutIndent(lines.front());
        return notice;
    }
    notice.summary = lookUpText(context.texts, "Birthdays and events");
    for (std::size_t i = 0; i < lines.size() && i < kNoticeLines; ++i) {
        const DueEntry& entry = due.entries[i];
        notice.body.push_back(
            {withoutIndent(lines[i]), entry.kind == DueKind::Upcoming && entry.distance == 0});
    }
    if (lines.size() > kNoticeLines) {
        const std::string more = std::to_string(lines.size() - kNoticeLines);
        notice.body.push_back(
            {fillFormat(lookUpText(context.texts, "and %i more"), "and %i more", {more}), false});
    }
    return notice;
}

} // namespace kivo
