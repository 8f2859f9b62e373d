// Loads the embedded icon strip and application icon.
#include "resources/icons.h"

#include <QString>
#include <mutex>

// Q_INIT_RESOURCE cannot be used inside a namespace.
static void registerKivoResources() {
    Q_INIT_RESOURCE(kivo);
}

namespace kivo {

void initResources() {
    static std::once_flag once;
    std::call_once(once, registerKivoResources);
}

QPixmap iconStrip() {
    initResources();
    // QPixmap keeps pictures loaded from a file in its cache, so repeated calls are cheap.
    return QPixmap(QStringLiteral(":/icons/icon_strip.xpm"));
}

QIcon iconPicture(int index) {
    if (index < 0 || index >= kIconCount)
        index = kIconCount - 1;
    return QIcon(iconStrip().copy(index * kIconSize, 0, kIconSize, kIconSize));
}

QIcon applicationIcon() {
    initResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/kivo.xpm"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/kivo_32.xpm"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/kivo_48.xpm"), QSize(48, 48));
    return icon;
}

} // namespace kivo
