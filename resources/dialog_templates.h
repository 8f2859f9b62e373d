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
    StyleSingleSel = 1u << 6,
    StyleLongDate = 1u << 7,
    StyleDropRight = 1u << 8, // date picker whose calendar drops down right-aligned to the box
};

// Window style bits of a dialog beyond its title bar, system menu and close box.
enum DialogStyle : std::uint32_t {
    DialogPlain = 0,
    DialogMinimizeBox = 1u << 0,
};

struct ControlTemplate {
    int id; // -1 for a control without an id
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
inline constexpr ControlTemplate kReminderControls[] = {
    {1009, ControlKind::ListView, "", 7, 7, 333, 84, StyleNoHeader},
    {1, ControlKind::PushButton, "OK", 148, 98, 51, 14, StyleDefault},
    {1008, ControlKind::PushButton, "Setup...", 273, 98, 67, 14},
};

inline constexpr ControlTemplate kSetupControls[] = {
    {1009, ControlKind::ListView, "", 7, 6, 445, 290, StyleSingleSel | StyleSortAscending},
    {1024, ControlKind::PushButton, "New ...", 462, 6, 62, 14},
    {1000, ControlKind::CheckBox, "Only display once a day", 467, 42, 159, 10},
    {1003, ControlKind::CheckBox, "Reminder window always on top", 467, 54, 160, 10},
    {1004, ControlKind::CheckBox, "Print out birthdays in large font", 467, 66, 160, 10},
    {1005, ControlKind::CheckBox, "Large reminder window", 467, 78, 160, 10},
    {1053, ControlKind::Edit, "", 554, 90, 28, 14, StyleDigitsOnly},
    {1028, ControlKind::Edit, "", 581, 146, 39, 14, StyleDigitsOnly},
    {1002, ControlKind::Spin, "", 613, 138, 11, 14},
    {1026, ControlKind::ImageCombo, "", 503, 166, 32, 211},
    {1033, ControlKind::PushButton, "Export...", 460, 198, 61, 14},
    {1034, ControlKind::PushButton, "Import...", 459, 215, 61, 14},
    {1050, ControlKind::PushButton, "Print:", 459, 237, 61, 14},
    {1051, ControlKind::DropDownList, "", 527, 238, 76, 30},
    {1036, ControlKind::PushButton, "Print Next Year", 556, 181, 79, 14, StyleHidden},
    {-1, ControlKind::Label, "Fennaro v1.90", 459, 258, 176, 8},
    {1029, ControlKind::WebLink, "", 459, 268, 176, 8},
    {1, ControlKind::PushButton, "Close", 571, 282, 64, 14, StyleDefault},
    {1043, ControlKind::Label, "Days to look ahead:", 465, 149, 107, 8},
    {1008, ControlKind::GroupBox, " Options ", 457, 25, 178, 88},
    {1044, ControlKind::Label, "Icon:", 465, 165, 36, 8},
    {1042, ControlKind::GroupBox, " Default for new records ", 457, 128, 178, 61},
    {1037, ControlKind::PushButton, "Print This Year", 556, 167, 79, 14, StyleHidden},
    {1040, ControlKind::Label, "Item count: xx", 459, 288, 92, 8},
    {1054, ControlKind::Label, "Show past reminders for", 467, 92, 83, 8},
    {1055, ControlKind::Label, "days", 589, 92, 46, 8},
};

inline constexpr ControlTemplate kPersonControls[] = {
    {1001, ControlKind::Edit, "", 74, 7, 211, 14},
    {1032, ControlKind::Edit, "", 74, 25, 211, 14},
    {1017, ControlKind::DatePicker, "", 73, 44, 165, 15, StyleLongDate | StyleDropRight},
    {1052, ControlKind::DropDownList, "", 73, 62, 165, 30, StyleSortAscending},
    {1027, ControlKind::ImageCombo, "", 73, 80, 32, 227},
    {1019, ControlKind::Edit, "", 246, 80, 32, 14},
    {1002, ControlKind::Spin, "", 274, 79, 11, 14},
    {1038, ControlKind::DropDownList, "", 73, 100, 164, 30},
    {1003, ControlKind::CheckBox, "Don't ever remind me about this", 73, 119, 209, 10},
    {1037, ControlKind::CheckBox, "Don't print this", 73, 132, 211, 10},
    {1, ControlKind::PushButton, "OK", 93, 196, 50, 14, StyleDefault},
    {2, ControlKind::PushButton, "Cancel", 148, 196, 50, 14},
    {1031, ControlKind::Label, "Name:", 7, 10, 61, 8, StyleRightAlign},
    {1030, ControlKind::Label, "Birth date:", 7, 46, 61, 8, StyleRightAlign},
    {1046, ControlKind::Label, "Icon:", 7, 82, 61, 8, StyleRightAlign},
    {1047, ControlKind::Label, "Days in advance to show reminder:", 110, 83, 131, 8,
     StyleRightAlign},
    {1045, ControlKind::Label, "Email:", 7, 28, 61, 8, StyleRightAlign},
    {1048, ControlKind::Label, "Type:", 7, 102, 61, 8, StyleRightAlign},
    {1039, ControlKind::Label, "Static", 17, 161, 250, 11},
    {1049, ControlKind::GroupBox, " Sample reminder:", 7, 148, 278, 40},
    {1033, ControlKind::Label, "Leapling:", 7, 64, 61, 8, StyleRightAlign},
};
} // namespace detail

inline constexpr DialogTemplate kReminderDialog{129, "Velmik Fennaro",          347,
                                                119, detail::kReminderControls, DialogMinimizeBox};
inline constexpr DialogTemplate kSetupDialog{102, "Velmik Fennaro Setup", 642, 303,
                                             detail::kSetupControls};
inline constexpr DialogTemplate kPersonDialog{135, "Edit person", 292, 217,
                                              detail::kPersonControls};

// Controls of the setup window that code names.
inline constexpr int kIdExportButton = 1033;
inline constexpr int kIdImportButton = 1034;
inline constexpr int kIdPrintButton = 1050;
inline constexpr int kIdPrintRange = 1051;
inline constexpr int kIdPrintThisYear = 1037;
inline constexpr int kIdPrintNextYear = 1036;
inline constexpr int kIdWebLink = 1029;

} // namespace kivo
