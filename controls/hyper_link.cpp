// The web-link label and the ways it opens its target.
#include "controls/hyper_link.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

namespace kivo {

namespace {

// The folders of one XDG kind: the user's own first, then the system's.
QStringList xdgFolders(const char* homeVariable, const QString& homeDefault,
                       const char* dirsVariable, const QString& dirsDefault) {
    QString home = qEnvironmentVariable(homeVariable);
    if (home.isEmpty())
        home = QDir::homePath() + homeDefault;
    QString dirs = qEnvironmentVariable(dirsVariable);
    if (dirs.isEmpty())
        dirs = dirsDefault;
    QStringList folders{home};
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        folders << dir;
    return folders;
}

// A value of a desktop-entry style file: `key` in `[section]`, or nothing.
std::optional<QString> iniValue(const QString& path, const QString& section, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    QTextStream in(&file);
    bool inSection = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line == QLatin1Char('[') + section + QLatin1Char(']');
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inSection && equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return std::nullopt;
}

// The escapes a desktop entry's string values may hold.
QString unescapeDesktopValue(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == QLatin1Char('s'))
            out += QLatin1Char(' ');
        else if (next == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (next == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else
            out += next;
    }
    return out;
}

// The Exec line of the first desktop entry that the mimeapps.list files name as the default
// application for HTML documents and that exists.
std::optional<QString> xdgHtmlCommand() {
    const QStringList config = xdgFolders("XDG_CONFIG_HOME", QStringLiteral("/.config"),
                                          "XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    QStringList applications;
    for (const QString& data :
         xdgFolders("XDG_DATA_HOME", QStringLiteral("/.local/share"), "XDG_DATA_DIRS",
                    QStringLiteral("/usr/local/share:/usr/share")))
        applications << data + QStringLiteral("/applications");

    QStringList lists;
    for (const QString& folder : config)
        lists << folder + QStringLiteral("/mimeapps.list");
    for (const QString& folder : applications)
        lists << folder + QStringLiteral("/mimeapps.list");
    for (const QString& folder : applications)
        lists << folder + QStringLiteral("/defaults.list"); // the older name

    for (const QString& list : lists) {
        const std::optional<QString> ids =
            iniValue(list, QStringLiteral("Default Applications"), QStringLiteral("text/html"));
        if (!ids)
            continue;
        for (const QString& id : ids->split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            for (const QString& folder : applications) {
                const std::optional<QString> exec =
                    iniValue(folder + QLatin1Char('/') + id.trimmed(),
                             QStringLiteral("Desktop Entry"), QStringLiteral("Exec"));
                if (exec)
                    return unescapeDesktopValue(*exec);
            }
        }
    }
    return std::nullopt;
}

} // namespace

bool DesktopLinkServices::openUrl(const QString& address) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

std::optional<QString> DesktopLinkServices::htmlCommand() {
    return xdgHtmlCommand();
}

int DesktopLinkServices::startProgram(const QString& program, const QStringList& arguments) {
    if (program.isEmpty())
        return kLinkFileNotFound;
    const QString path = program.contains(QLatin1Char('/')) || program.contains(QLatin1Char('\\'))
                             ? program
                             : QStandardPaths::findExecutable(program);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return kLinkFileNotFound;
    if (!info.isFile() || !info.isExecutable())
        return kLinkAccessDenied;
    return QProcess::startDetached(path, arguments) ? kLinkOpened : kLinkUnknownFailure;
}

void DesktopLinkServices::beep() {
    QApplication::beep();
}

void DesktopLinkServices::showError(const QString& message) {
    QMessageBox::warning(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                         message);
}

QString cutAtPlaceholder(const QString& command) {
    static const QStringList placeholders{QStringLiteral("%u"), QStringLiteral("%U"),
                                          QStringLiteral("%f"), QStringLiteral("%F"),
                                          QStringLiteral("%1")};
    const auto firstOf = [&command](bool quoted) {
        qsizetype first = -1;
        for (const QString& p : placeholders) {
            const QString look = quoted ? QLatin1Char('"') + p + QLatin1Char('"') : p;
            const qsizetype at = command.indexOf(look);
            if (at >= 0 && (first < 0 || at < first))
                first = at;
        }
        return first;
    };
    qsizetype cut = firstOf(true);
    if (cut < 0)
        cut = firstOf(false);
    return cut < 0 ? command : command.left(cut);
}

QString commandLineFor(const QString& command, const QString& address) {
    return cutAtPlaceholder(command) + QLatin1Char(' ') + address;
}

QString missingLocalFile(const QString& address) {
    // Read as the desktop's handler reads it, so that the same addresses count as local files.
    const QUrl url = QUrl::fromUserInput(address);
    if (!url.isLocalFile())
        return QString();
    const QString path = url.toLocalFile();
    return QFileInfo::exists(path) ? QString() : QDir::toNativeSeparators(path);
}

QString openErrorMessage(int code, const QString& missingFile, const LinkTexts& texts) {
    const auto text = [&texts](const char* builtIn, const QStringList& arguments = {}) {
        if (texts)
            return texts(builtIn, arguments);
        static const QRegularExpression placeholder(QStringLiteral("%[si]"));
        QString filled = QString::fromUtf8(builtIn);
        qsizetype from = 0;
        for (const QString& argument : arguments) {
            const qsizetype at = filled.indexOf(placeholder, from);
            if (at < 0)
                break;
            filled.replace(at, 2, argument);
            from = at + argument.size(); // an argument's own "%s" stays as it is
        }
        return filled;
    };
    QString message;
    switch (code) {
    case 0:
        message = text("The operating system is out\nof memory or resources.");
        break;
    case 2:
        message = missingFile.isEmpty() ? text("The specified file was not found.")
                                        : text("The file %s does not exist.", {missingFile});
        break;
    case 3:
        message = text("The specified path was not found.");
        break;
    case 5:
        message = text("The operating system denied\naccess to the specified file.");
        break;
    case 8:
        message = text("There was not enough memory to complete the operation.");
        break;
    case 11:
        message = text("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
        break;
    case 26:
        message = text("A sharing violation occurred. ");
        break;
    case 27:
        message = text("The filename association is\nincomplete or invalid.");
        break;
    case 28:
        message =
            text("The DDE transaction could not\nbe completed because the request timed out.");
        break;
    case 29:
        message = text("The DDE transaction failed.");
        break;
    case 30:
        message = text("The DDE transaction could not\nbe completed because other DDE "
                       "transactions\nwere being processed.");
        break;
    case 31:
        message = text("There is no application associated\nwith the given filename extension.");
        break;
    case 32:
        message = text("The specified dynamic-link library was not found.");
        break;
    default:
        message = text("Unknown Error (%i) occurred.", {QString::number(code)});
        break;
    }
    return text("Unable to open hyperlink:") + QStringLiteral("\n\n") + message;
}

CHyperLink::CHyperLink(QWidget* parent) : QLabel(parent) {
    hoverColour = palette().color(QPalette::Highlight);
    // A static text's place: top left, the text as it is.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    showColour();
}

LinkDesktop& CHyperLink::desktop() {
    static DesktopLinkServices real; // no state of its own
    return desktop_ ? *desktop_ : real;
}

void CHyperLink::PreSubclassWindow() {
    if (target_.isEmpty())
        target_ = text();
    if (text().isEmpty())
        setText(target_);
    attached_ = true;
    SetUnderlined(underlined_);
    FitWindowToText();
    setToolTip(target_);
    showColour();
}

void CHyperLink::SetLinkTarget(const QString& address) {
    target_ = address;
    if (!attached_)
        return;
    FitWindowToText();
    setToolTip(address);
}

void CHyperLink::SetUnderlined(bool underlined) {
    underlined_ = underlined;
    if (!attached_)
        return;
    QFont linkFont = font();
    linkFont.setUnderline(underlined);
    setFont(linkFont);
    update();
}

void CHyperLink::MarkVisited(bool visited) {
    visited_ = visited;
    showColour();
}

void CHyperLink::FitWindowToText() {
    if (!attached_ || !fitToText)
        return;
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(text());
    const int textHeight = metrics.height();
    const QRect r = geometry();
    int left = r.x(), top = r.y(), right = r.x() + r.width(), bottom = r.y() + r.height();

    if (alignment() & Qt::AlignVCenter) {
        const int shrink = (r.height() - textHeight) / 2;
        top += shrink;
        bottom -= shrink;
    } else {
        bottom = top + textHeight;
    }
    if (alignment() & Qt::AlignHCenter) {
        const int shrink = (r.width() - textWidth) / 2;
        left += shrink;
        right -= shrink;
    } else if (alignment() & Qt::AlignRight) {
        left = right - textWidth;
    } else {
        right = left + textWidth;
    }
    // The clickable area is exactly the text.
    setGeometry(left, top, right - left, bottom - top);
}

QColor CHyperLink::textColour() const {
    if (pointerOver_)
        return hoverColour;
    return visited_ ? visitedColour : linkColour;
}

void CHyperLink::showColour() {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, textColour());
    setPalette(colours);
}

void CHyperLink::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    pointerOver_ = true;
    showColour();
    repaint();
}

void CHyperLink::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    pointerOver_ = false;
    showColour();
    repaint();
}

void CHyperLink::mousePressEvent(QMouseEvent* event) {
    // Taken, so that the release comes here too.
    if (event->button() == Qt::LeftButton)
        event->accept();
    else
        QLabel::mousePressEvent(event);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        clicked();
    else
        QLabel::mouseReleaseEvent(event);
}

int CHyperLink::OpenLinkTarget(const QString& address) {
    // A handler given a file that is not there fails with a reason of its own, or none at all.
    if (!missingLocalFile(address).isEmpty())
        return kLinkFileNotFound;
    LinkDesktop& system = desktop();
    if (system.openUrl(address))
        return kLinkOpened;
    // The desktop's handler could not: the one registered for HTML documents gets the address.
    const std::optional<QString> command = system.htmlCommand();
    if (!command)
        return kLinkNoAssociation;
    QStringList arguments = QProcess::splitCommand(cutAtPlaceholder(*command));
    const QString program = arguments.isEmpty() ? QString() : arguments.takeFirst();
    // The address is one argument whatever it holds: nothing of it is ever split or interpreted.
    arguments << address;
    return system.startProgram(program, arguments);
}

void CHyperLink::clicked() {
    const int result = OpenLinkTarget(target_);
    visited_ = result > 32;
    if (result <= 32) {
        desktop().beep();
        desktop().showError(openErrorMessage(result, missingLocalFile(target_), texts));
    } else {
        MarkVisited(true);
    }
    showColour();
}

} // namespace kivo
