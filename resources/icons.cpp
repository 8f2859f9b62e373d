// Loads the embedded icon strip and application icon.
#include "resources/icons.h"

#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QPixmapCache>
#include <QString>
#include <mutex>

// Q_INIT_RESOURCE cannot be used inside a namespace.
static void registerKivoResources() {
    Q_INIT_RESOURCE(kivo);
}

namespace kivo {

namespace {

bool darkGround() {
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

// The pictures are drawn with a dark outline, which vanishes on a dark ground. There each picture
// gets a light edge: the transparent pixels beside a dark one, within the picture's own square,
// become light grey. The mask stays all or nothing.
QImage withLightEdge(const QImage& strip, int pictureSize) {
    const QImage in = strip.convertToFormat(QImage::Format_ARGB32);
    QImage out = in;
    const QRgb edge = qRgb(0xd8, 0xd8, 0xd8);
    const auto darkAt = [&in, pictureSize](int x, int y, int picture) {
        if (x < 0 || y < 0 || x >= in.width() || y >= in.height() || x / pictureSize != picture)
            return false;
        const QRgb pixel = in.pixel(x, y);
        return qAlpha(pixel) != 0 && qGray(pixel) < 96;
    };
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x) {
            const int picture = x / pictureSize;
            if (qAlpha(in.pixel(x, y)) == 0 &&
                (darkAt(x - 1, y, picture) || darkAt(x + 1, y, picture) ||
                 darkAt(x, y - 1, picture) || darkAt(x, y + 1, picture)))
                out.setPixel(x, y, edge);
        }
    return out;
}

// The strip drawn for `scale` times the pixel density (1 or 2), as the ground needs it.
QPixmap stripAt(int scale) {
    initResources();
    const bool dark = darkGround();
    const QString key = QStringLiteral("kivo-strip-%1-%2").arg(scale).arg(dark ? "dark" : "light");
    QPixmap strip;
    if (QPixmapCache::find(key, &strip))
        return strip;
    QImage image(scale == 1 ? QStringLiteral(":/icons/icon_strip.xpm")
                            : QStringLiteral(":/icons/icon_strip@2x.xpm"));
    if (dark)
        image = withLightEdge(image, kIconSize * scale);
    strip = QPixmap::fromImage(image);
    QPixmapCache::insert(key, strip);
    return strip;
}

} // namespace

void initResources() {
    static std::once_flag once;
    std::call_once(once, registerKivoResources);
}

QPixmap iconStrip() {
    return stripAt(1);
}

QPixmap iconStripTwice() {
    return stripAt(2);
}

QIcon iconPicture(int index) {
    if (index < 0 || index >= kIconCount)
        index = kIconCount - 1;
    QIcon icon(iconStrip().copy(index * kIconSize, 0, kIconSize, kIconSize));
    QPixmap twice = iconStripTwice().copy(index * 2 * kIconSize, 0, 2 * kIconSize, 2 * kIconSize);
    twice.setDevicePixelRatio(2);
    icon.addPixmap(twice);
    return icon;
}

QList<QPixmap> iconPictures(qreal devicePixelRatio) {
    const int scale = devicePixelRatio > 1 ? 2 : 1;
    const QPixmap strip = stripAt(scale);
    const int side = kIconSize * scale;
    QList<QPixmap> pictures;
    for (int i = 0; i < kIconCount; ++i) {
        QPixmap picture = strip.copy(i * side, 0, side, side);
        picture.setDevicePixelRatio(scale);
        pictures.append(picture);
    }
    return pictures;
}

QIcon applicationIcon() {
    initResources();
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 96}) {
        const QString file = size == 16 ? QStringLiteral(":/icons/kivo.xpm")
                                        : QStringLiteral(":/icons/kivo_%1.xpm").arg(size);
        icon.addFile(file, QSize(size, size));
    }
    return icon;
}

} // namespace kivo
