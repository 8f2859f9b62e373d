#include "platform/file_change_watch.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace kivo {

FileChangeWatch::FileChangeWatch(const QString& path, std::function<void()> onChange,
                                 QObject* parent)
    : QObject(parent), path_(path), onChange_(std::move(onChange)),
      watcher_(new QFileSystemWatcher(this)), settle_(new QTimer(this)) {
    settle_->setSingleShot(true);
    settle_->setInterval(kSettleMilliseconds);
    connect(settle_, &QTimer::timeout, this, [this] {
        // A file that came back under its name (replaced by a rename) is watched again.
        watchFileIfThere();
        if (onChange_)
            onChange_();
    });
    const QString folder = QFileInfo(path_).absolutePath();
    if (QFileInfo(folder).isDir())
        watcher_->addPath(folder);
    watchFileIfThere();
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] { noticeChange(); });
    // The folder changes when a file in it is made, renamed or removed: the file itself may be
    // one of them.
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { noticeChange(); });
}

FileChangeWatch::~FileChangeWatch() = default;

void FileChangeWatch::noticeChange() {
    settle_->start();
}

void FileChangeWatch::watchFileIfThere() {
    // A watch follows the file it was set on: after a rename over the name it would watch the old,
    // unlinked file. So the name is watched afresh after every change.
    watcher_->removePath(path_);
    if (QFileInfo::exists(path_))
        watcher_->addPath(path_);
}

} // namespace kivo
