// Telling when a file changes on disk: for a window that shows what a file holds while other
// programs (a sync tool, a text editor) may write it.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QFileSystemWatcher;
class QTimer;

namespace kivo {

// Watches one file and the folder that holds it, so that a file replaced by a rename (as careful
// writers and sync tools replace files), removed, or made for the first time is followed as well
// as one written in place. The system reports changes; nothing is polled. Reports come a moment
// after the last change of a burst, so that a file written in pieces is reported once, whole.
// The report says only that something may have changed: the owner compares contents itself.
class FileChangeWatch : public QObject {
public:
    FileChangeWatch(const QString& path, std::function<void()> onChange, QObject* parent = nullptr);
    ~FileChangeWatch() override;

    // The quiet time after a change before it is reported.
    static constexpr int kSettleMilliseconds = 250;

private:
    void noticeChange();
    void watchFileIfThere();

    QString path_;
    std::function<void()> onChange_;
    QFileSystemWatcher* watcher_;
    QTimer* settle_;
};

} // namespace kivo
