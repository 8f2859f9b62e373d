// The setup window beside other writers of the records file: the list follows the file while
// the window is open, and copies that a sync tool made of the file are told of.
#include "windows/kivo_dlg.h"

#include "controls/list_ctrl_ex.h"
#include "core/records_merge.h"
#include "resources/icons.h"

#include <QApplication>
#include <QPainter>

namespace kivo {

// The list's pictures: the icons, then each icon with the address book's mark, then the mark
// alone for a record of an address book without an icon.
QList<QPixmap> CKivoDlg::listPictures(qreal devicePixelRatio) {
    const QList<QPixmap> icons = iconPictures(devicePixelRatio);
    QPixmap blank(icons.front().size());
    blank.setDevicePixelRatio(icons.front().devicePixelRatio());
    blank.fill(Qt::transparent);
    QList<QPixmap> pictures = icons;
    QList<QPixmap> grounds = icons;
    grounds.append(blank);
    for (QPixmap marked : grounds) {
        QPainter painter(&marked);
        painter.setRenderHint(QPainter::Antialiasing);
        // A blue disc with a person's head and shoulders in white, over the lower right of the
        // icon and ringed in white, so that it stands out on any icon.
        const qreal side = kIconSize;
        const QRectF disc(side * 0.42, side * 0.42, side * 0.58, side * 0.58);
        painter.setPen(QPen(Qt::white, 1.0));
        painter.setBrush(QColor(0x1F, 0x6F, 0xD0));
        painter.drawEllipse(disc);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        const QPointF centre = disc.center();
        painter.drawEllipse(QPointF(centre.x(), centre.y() - side * 0.08), side * 0.09,
                            side * 0.09);
        painter.setClipRegion(QRegion(disc.toAlignedRect(), QRegion::Ellipse));
        painter.drawEllipse(QPointF(centre.x(), centre.y() + side * 0.22), side * 0.17,
                            side * 0.12);
        painter.end();
        pictures.append(marked);
    }
    return pictures;
}

int CKivoDlg::listImageOf(const PersonRecord& record) {
    if (record.source == 0)
        return record.icon;
    const bool hasIcon = record.icon >= 0 && record.icon < kIconCount;
    return kIconCount + (hasIcon ? record.icon : kIconCount);
}

void CKivoDlg::runCommand(const std::function<void()>& command) {
    ++commandsRunning_;
    command();
    --commandsRunning_;
    if (refreshPending_)
        followRecordsFile();
    followSync();
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
    refreshList(reloadRecords);
}

void CKivoDlg::refreshList(const std::function<bool()>& reload) {
    const PersonRecord* selected = recordAt(listCtrl_->GetFirstSelected());
    const std::optional<std::uint64_t> selectedFields =
        selected ? std::optional(storedFieldsHash(*selected)) : std::nullopt;
    const int sortColumn = listCtrl_->activeSortColumn();
    const bool ascending = listCtrl_->activeSortAscending();
    // The rows point into the list that the reload replaces; they are rebuilt before anything
    // draws them.
    if (!reload())
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
