// The reminder window: one worded line per due record, with "Don't remind me again until next
// year" and e-mail on each line, and the way to the setup window.
#pragma once

#include "core/app_settings.h"
#include "core/person_record.h"
#include "core/text_table.h"
#include "engine/occurrence.h"
#include "platform/platform.h"
#include "windows/kivo_dialog.h"

#include <QFont>
#include <functional>
#include <vector>

class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kivo {

class CReminderDlg : public KivoDialog {
public:
    // Command ids of the line menu.
    static constexpr int ID_DONT_REMIND = 32771;
    static constexpr int ID_EMAIL = 5724;

    CReminderDlg(Platform& platform, RandomSource& random);

    // Set by the caller before the window opens; the window owns none of them.
    RecordList* records = nullptr;
    const TextTable* texts = nullptr;
    AppSettings* settings = nullptr;
    const std::vector<std::string>* presets = nullptr;
    Date today{}; // the run's reference day, against which the records were computed

    int setupRequested = -1; // 1 after Setup... was pressed, else 0
    bool modified = false;   // a record was changed here
    // The window showed reminders: something upcoming was due, so it did not end unseen.
    bool reminded = false;

    // Chooses a command from the line menu, shown at `at` (global); tests replace it. Returns
    // the chosen command id, or 0.
    std::function<int(QMenu&, const QPoint& at)> chooseFromMenu;

    QTreeWidget* listCtrl() const { return listCtrl_; }
    // The line menu's entries for a record, as (command id, text); id 0 is the separator.
    std::vector<std::pair<int, std::string>> recordMenuEntries(const PersonRecord& record) const;
    // Runs a command of the line menu on a line.
    void runRecordCommand(int command, QTreeWidgetItem* line);
    // The menu of the selected line: at the mouse cursor, or from the keyboard (Shift+F10, the
    // Menu key) at the line itself.
    void ShowRecordMenu(bool fromKeyboard = false);
    void OnSetup();

protected:
    bool OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::string text(const char* builtIn) const;
    void enlarge();
    bool fillList();
    void sendEmail(const PersonRecord& record);

    Platform& platform_;
    RandomSource& random_;
    QTreeWidget* listCtrl_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* setupButton_ = nullptr;
    QFont largeFont_;
};

} // namespace kivo
