// The file dialogs over QFileDialog.
#include "platform/file_picker.h"

#include "platform/desktop_platform.h"

#include <QFileDialog>
#include <QStringList>

namespace kivo {

FilePicker::FilePicker(bool forOpening, std::string defaultName, const std::string& filter,
                       QWidget* owner)
    : forOpening(forOpening), defaultName(std::move(defaultName)), owner(owner) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : filter) {
        if (c != '|') {
            part += c;
            continue;
        }
        if (part.empty())
            break; // the final "||"
        parts.push_back(std::move(part));
        part.clear();
    }
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        filters.emplace_back(parts[i], parts[i + 1]);
}

int FilePicker::DoModal() {
    QStringList names;
    for (const auto& [description, pattern] : filters) {
        // The description shows its patterns in parentheses, which is what Qt filters by.
        const QString text = toQt(description);
        names << (text.contains(QLatin1Char('('))
                      ? text
                      : QStringLiteral("%1 (%2)").arg(text, toQt(pattern).replace(';', ' ')));
    }
    QFileDialog dialog(owner);
    dialog.setAcceptMode(forOpening ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(forOpening ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(names);
    if (filterIndex >= 0 && filterIndex < names.size())
        dialog.selectNameFilter(names[filterIndex]);
    if (!defaultName.empty())
        dialog.selectFile(toQt(defaultName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return -1;
    path = fromQt(dialog.selectedFiles().constFirst());
    filterIndex = static_cast<int>(names.indexOf(dialog.selectedNameFilter()));
    if (filterIndex < 0)
        filterIndex = 0;
    return 1;
}

} // namespace kivo
