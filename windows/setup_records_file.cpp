// The setup window beside other writers of the records file: the list follows the file while
// the window is open, and copies that a sync tool made of the file are told of.
#include "windows/kivo_dlg.h"

#include "controls/list_ctrl_ex.h"
#include "core/records_merge.h"

#include <QApplication>

namespace kivo {

void CKivoDlg::runCommand(const std::function<void()>& command) {
    ++commandsRunning_;
    command();
    --commandsRunning_;
    if (refreshPending_)
        followRecordsFile();
}

// A refresh replaces every record, so it must wait while a command holds one (an editor open on
// it, a menu chosen for its row) and while any window of this one's is open on top of it.
bool CKivoDlg::canRefreshNow() const {
    const QWidget* modal = QApplication::activeModalWidget();
    return commandsRunning_ == 0 && (!modal || modal == this) && !QApplication::activePopupWidget();
}

void CKivoDlg::followRecordsFile() {
    if (!isVisible())
        return; // the window has ended
    if (!canRefreshNow()) {
        refreshPending_ = true;
        return;
    }
    refreshPending_ = false;
    // Records changed here are not thrown away: the save puts them into the changed file.
    if (modified || !reloadRecords)
        return;
    const PersonRecord* selected = recordAt(listCtrl_->GetFirstSelected());
    const std::optional<std::uint64_t> selectedFields =
        selected ? std::optional(storedFieldsHash(*selected)) : std::nullopt;
    const int sortColumn = listCtrl_->activeSortColumn();
    const bool ascending = listCtrl_->activeSortAscending();
    // The rows point into the list that the reload replaces; they are rebuilt before anything
    // draws them.
    if (!reloadRecords())
        return;
    fillList();
    if (sortColumn >= 0)
        listCtrl_->SortByColumn(sortColumn, ascending);
    if (!selectedFields)
        return;
    for (int row = 0; row < listCtrl_->GetItemCount(); ++row) {
        if (storedFieldsHash(*recordAt(row)) == *selectedFields) {
            listCtrl_->SetSelected(row);
            listCtrl_->EnsureVisible(row);
            return;
        }
    }
}

void CKivoDlg::tellConflictCopies() {
    std::string list;
    for (const std::string& path : conflictCopies)
        list += "\n" + path;
    platform_.messages.information(
        text("A file-sync program kept copies of the records file beside it, made when the file "
             "was changed in two places at once. Records may be in them that are not in this "
             "list; kivo does not read them:") +
        "\n" + list + "\n\n" +
        text("Open them in a text editor, add what is missing here, then delete them."));
}

} // namespace kivo
