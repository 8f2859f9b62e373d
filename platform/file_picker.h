// The open and save file dialogs the export and import share.
#pragma once

#include <string>
#include <vector>

class QWidget;

namespace kivo {

class FilePicker {
public:
    // `filter` gives descriptions and patterns in turn, each followed by "|", with one more "|"
    // at the end: "CSV Files (*.csv)|*.csv|All Files (*)|*||".
    FilePicker(bool forOpening, std::string defaultName, const std::string& filter, QWidget* owner);
    virtual ~FilePicker() = default;

    // Shows the dialog: 1 when the user confirmed a file (then `path` and `filterIndex` hold the
    // choice), -1 when it was cancelled.
    virtual int DoModal();
    const std::string& getPath() const { return path; }

    std::string path;
    bool forOpening;
    std::string defaultName;
    // (description, pattern) pairs, in the order shown.
    std::vector<std::pair<std::string, std::string>> filters;
    int filterIndex = 0; // the filter picked, once a choice is confirmed
    QWidget* owner;
};

} // namespace kivo
