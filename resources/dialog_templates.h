// The three dialog templates, kept as data in dialog units: every control with its id, kind,
// text, position, size and style, in template (tab and stacking) order.
#pragma once

#include <cstdint>
#include <span>

namespace kivo {

enum class ControlKind {
    ListView, // report-view list
    PushButton,
    CheckBox,
    Edit,
    Spin,         // arrows that set the number of the control before it
    DropDownList, // combo box that only picks
    ImageCombo,   // combo box whose entries are pictures
    DatePicker,
    Label,
    GroupBox,
    WebLink,
};

// Style bits; only those the program relies on.
enum ControlStyle : std::uint32_t {
    StyleNone = 0,
    StyleDefault = 1u << 0, // the default push button
    StyleHidden = 1u << 1,
    StyleNoHeader = 1u << 2,      // list without column header
    StyleDigitsOnly = 1u << 3,    // edit that takes digits only
    StyleRightAlign = 1u << 4,    // right-aligned label text
    StyleSortAscending = 1u << 5, // list or combo sorted by text
    StyleDropRight = 1u << 6,     // date picker whose calendar drops down right-aligned to the box
};

// Window style bits of a dialog beyond its title bar, system menu and close box.
enum DialogStyle : std::uint32_t {
    DialogPlain = 0,
    DialogMinimizeBox = 1u << 0,
};

// The controls of each window, named by what they are for in that window's words. A value is the
// control's id, and its objectName is that id in decimal; the same number can name different
// controls in different windows, so code and tests say which window's control they mean.
enum class ReminderControl : int {
    Ok = 1,
    Setup = 1008,
    Reminders = 1009,
};

enum class SetupControl : int {
    Close = 1,
    OnlyOnceADay = 1000,
    DaysToLookAheadArrows = 1002,
    AlwaysOnTop = 1003,
    PrintLarge = 1004,
    LargeReminder = 1005,
    OptionsGroup = 1008,
    PersonList = 1009,
    New = 1024,
    DefaultIcon = 1026,
    DaysToLookAhead = 1028,
    WebLink = 1029,
    Export = 1033,
    Import = 1034,
    PrintNextYear = 1036,
    PrintThisYear = 1037,
    ItemCount = 1040,
    DefaultsGroup = 1042,
    DaysToLookAheadLabel = 1043,
    DefaultIconLabel = 1044,
    Print = 1050,
    PrintRange = 1051,
    PastDays = 1053,
    PastDaysLabel = 1054,
    PastDaysUnitLabel = 1055,
    Sync = 1056,
    NotifyReminders = 1057,
};

enum class PersonControl : int {
    Ok = 1,
    Cancel = 2,
    Name = 1001,
    DaysInAdvanceArrows = 1002,
    DontRemind = 1003,
    BirthDate = 1017,
    DaysInAdvance = 1019,
    Icon = 1027,
    BirthDateLabel = 1030,
    NameLabel = 1031,
    Email = 1032,
    LeaplingLabel = 1033,
    DontPrint = 1037,
    Type = 1038,
    SampleReminder = 1039,
    EmailLabel = 1045,
    IconLabel = 1046,
    DaysInAdvanceLabel = 1047,
    TypeLabel = 1048,
    SampleReminderGroup = 1049,
    Leapling = 1052,
};

// Which enums name controls: only these make a ControlId, so a bare number or another enum does
// not pass for a control.
template <class E> inline constexpr bool kIsControlName = false;
template <> inline constexpr bool kIsControlName<ReminderControl> = true;
template <> inline constexpr bool kIsControlName<SetupControl> = true;
template <> inline constexpr bool kIsControlName<PersonControl> = true;

// A control's id as templates, controlById and the tests take it, made from a window's name for
// the control.
class ControlId {
public:
    // A control without an id, which nothing looks up.
    constexpr ControlId() = default;
    template <class E>
    requires kIsControlName<E>
    constexpr ControlId(E name) : value_(static_cast<int>(name)) {}
    // The id a control's objectName holds, read back; for the tests that ask which control has
    // the focus.
    static constexpr ControlId fromNumber(int value) { return ControlId(value, 0); }

    constexpr int value() const { return value_; }
    constexpr bool named() const { return value_ >= 0; }
    bool operator==(const ControlId&) const = default;

private:
    constexpr ControlId(int value, int) : value_(value) {}
    int value_ = -1;
};

struct ControlTemplate {
    ControlId id; // ControlId() for a control without an id
    ControlKind kind;
    const char* text;
    int x, y, w, h;
    std::uint32_t style = StyleNone;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int width, height;
    std::span<const ControlTemplate> controls;
    std::uint32_t style = DialogPlain;
};

namespace detail {
using enum ControlKind;

inline constexpr ControlTemplate kReminderControls[] = {
    {ReminderControl::Reminders, ListView, "", 7, 7, 333, 84, StyleNoHeader},
    {ReminderControl::Ok, PushButton, "OK", 148, 98, 51, 14, StyleDefault},
    {ReminderControl::Setup, PushButton, "Setup...", 273, 98, 67, 14},
};

inline constexpr ControlTemplate kSetupControls[] = {
    {SetupControl::PersonList, ListView, "", 7, 6, 445, 290, StyleSortAscending},
    {SetupControl::New, PushButton, "New ...", 462, 6, 62, 14},
    {SetupControl::OnlyOnceADay, CheckBox, "Only display once a day", 467, 42, 159, 10},
    {SetupControl::AlwaysOnTop, CheckBox, "Reminder window always on top", 467, 54, 160, 10},
    {SetupControl::PrintLarge, CheckBox, "Print out birthdays in large font", 467, 66, 160, 10},
    {SetupControl::LargeReminder, CheckBox, "Large reminder window", 467, 78, 160, 10},
    {SetupControl::PastDays, Edit, "", 554, 90, 28, 14, StyleDigitsOnly},
    {SetupControl::NotifyReminders, CheckBox, "Show reminders as a notification", 467, 106, 160,
     10},
    {SetupControl::DaysToLookAhead, Edit, "", 581, 146, 39, 14, StyleDigitsOnly},
    {SetupControl::DaysToLookAheadArrows, Spin, "", 613, 138, 11, 14},
    {SetupControl::DefaultIcon, ImageCombo, "", 503, 166, 32, 211},
    {SetupControl::Export, PushButton, "Export...", 460, 198, 61, 14},
    {SetupControl::Import, PushButton, "Import...", 459, 215, 61, 14},
    {SetupControl::Sync, PushButton, "Sync...", 527, 215, 61, 14},
    {SetupControl::Print, PushButton, "Print:", 459, 237, 61, 14},
    {SetupControl::PrintRange, DropDownList, "", 527, 238, 76, 30},
    {SetupControl::PrintNextYear, PushButton, "Print Next Year", 556, 181, 79, 14, StyleHidden},
    {ControlId(), Label, "Fennaro v1.90", 459, 258, 176, 8},
    {SetupControl::WebLink, WebLink, "", 459, 268, 176, 8},
    {SetupControl::Close, PushButton, "Close", 571, 282, 64, 14, StyleDefault},
    {SetupControl::DaysToLookAheadLabel, Label, "Days to look ahead:", 465, 149, 107, 8},
    {SetupControl::OptionsGroup, GroupBox, " Options ", 457, 25, 178, 98},
    {SetupControl::DefaultIconLabel, Label, "Icon:", 465, 165, 36, 8},
    {SetupControl::DefaultsGroup, GroupBox, " Default for new records ", 457, 128, 178, 61},
    {SetupControl::PrintThisYear, PushButton, "Print This Year", 556, 167, 79, 14, StyleHidden},
    {SetupControl::ItemCount, Label, "Item count: xx", 459, 288, 92, 8},
    {SetupControl::PastDaysLabel, Label, "Show past reminders for", 467, 92, 83, 8},
    {SetupControl::PastDaysUnitLabel, Label, "days", 589, 92, 46, 8},
};

inline constexpr ControlTemplate kPersonControls[] = {
    {PersonControl::Name, Edit, "", 74, 7, 211, 14},
    {PersonControl::Email, Edit, "", 74, 25, 211, 14},
    {PersonControl::BirthDate, DatePicker, "", 73, 44, 165, 15, StyleDropRight},
    {PersonControl::Leapling, DropDownList, "", 73, 62, 165, 30, StyleSortAscending},
    {PersonControl::Icon, ImageCombo, "", 73, 80, 32, 227},
    {PersonControl::DaysInAdvance, Edit, "", 246, 80, 32, 14},
    {PersonControl::DaysInAdvanceArrows, Spin, "", 274, 79, 11, 14},
    {PersonControl::Type, DropDownList, "", 73, 100, 164, 30},
    {PersonControl::DontRemind, CheckBox, "Don't ever remind me about this", 73, 119, 209, 10},
    {PersonControl::DontPrint, CheckBox, "Don't print this", 73, 132, 211, 10},
    {PersonControl::Ok, PushButton, "OK", 93, 196, 50, 14, StyleDefault},
    {PersonControl::Cancel, PushButton, "Cancel", 148, 196, 50, 14},
    {PersonControl::NameLabel, Label, "Name:", 7, 10, 61, 8, StyleRightAlign},
    {PersonControl::BirthDateLabel, Label, "Birth date:", 7, 46, 61, 8, StyleRightAlign},
    {PersonControl::IconLabel, Label, "Icon:", 7, 82, 61, 8, StyleRightAlign},
    {PersonControl::DaysInAdvanceLabel, Label, "Days in advance to show reminder:", 110, 83, 131, 8,
     StyleRightAlign},
    {PersonControl::EmailLabel, Label, "Email:", 7, 28, 61, 8, StyleRightAlign},
    {PersonControl::TypeLabel, Label, "Type:", 7, 102, 61, 8, StyleRightAlign},
    {PersonControl::SampleReminder, Label, "Static", 17, 161, 250, 11},
    {PersonControl::SampleReminderGroup, GroupBox, " Sample reminder:", 7, 148, 278, 40},
    {PersonControl::LeaplingLabel, Label, "Leapling:", 7, 64, 61, 8, StyleRightAlign},
};
} // namespace detail

inline constexpr DialogTemplate kReminderDialog{129, "Velmik Fennaro",          347,
                                                119, detail::kReminderControls, DialogMinimizeBox};
inline constexpr DialogTemplate kSetupDialog{102, "Velmik Fennaro Setup", 642, 303,
                                             detail::kSetupControls};
inline constexpr DialogTemplate kPersonDialog{135, "Edit person", 292, 217,
                                              detail::kPersonControls};

} // namespace kivo
