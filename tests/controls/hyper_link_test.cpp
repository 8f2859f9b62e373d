// The web link: its colours, pointer, tooltip and fitted size, a click that opens or explains (a
// missing local file by its path), the registered command's cutting, and where the desktop's HTML
// handler is found.
#include "controls/hyper_link.h"

#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFontMetrics>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace kivo {
namespace {

class FakeDesktop : public LinkDesktop {
public:
    bool urlOpens = false;
    std::optional<QString> command;
    int startResult = kLinkOpened;

    QStringList urls;
    std::vector<QStringList> started; // program first, then its arguments
    int beeps = 0;
    QStringList errors;

    bool openUrl(const QString& address) override {
        urls << address;
        return urlOpens;
    }
    std::optional<QString> htmlCommand() override { return command; }
    int startProgram(const QString& program, const QStringList& arguments) override {
        started.push_back(QStringList{program} + arguments);
        return startResult;
    }
    void beep() override { ++beeps; }
    void showError(const QString& message) override { errors << message; }
};

struct Link {
    QWidget window;
    CHyperLink* link = nullptr;
    FakeDesktop desktop;

    explicit Link(const QString& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop) {
        window.resize(400, 100);
        link = new CHyperLink(&window);
        link->setAlignment(alignment);
        link->setGeometry(20, 10, 300, 40);
        link->setText(text);
        link->setDesktop(&desktop);
    }
    void enter() {
        QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(link, &event);
    }
    void leave() {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(link, &event);
    }
    void click() { QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2)); }
};

const QColor kLink(0, 0, 238);
const QColor kVisited(85, 26, 139);

TEST(HyperLink, LooksLikeALinkAndFollowsThePointer) {
    Link l(QStringLiteral("https://example.org/guide"));
    l.link->PreSubclassWindow();
    const QColor highlight = l.link->palette().color(QPalette::Highlight);

    EXPECT_EQ(l.link->target(), QStringLiteral("https://example.org/guide")) << "target from text";
    EXPECT_EQ(l.link->toolTip(), l.link->target());
    EXPECT_TRUE(l.link->font().underline());
    EXPECT_EQ(l.link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(l.link->palette().color(QPalette::WindowText), kLink);

    l.enter();
    EXPECT_TRUE(l.link->pointerOver());
    EXPECT_EQ(l.link->palette().color(QPalette::WindowText), highlight);
    l.leave();
    EXPECT_FALSE(l.link->pointerOver());
    EXPECT_EQ(l.link->palette().color(QPalette::WindowText), kLink);

    // The tooltip follows a new target; the text stays.
    l.link->SetLinkTarget(QStringLiteral("file:///usr/share/doc/kivo/guide.html"));
    EXPECT_EQ(l.link->toolTip(), QStringLiteral("file:///usr/share/doc/kivo/guide.html"));
    EXPECT_EQ(l.link->text(), QStringLiteral("https://example.org/guide"));

    // A label without text shows its target; without underlining the font is plain.
    Link empty{QString()};
    empty.link->SetLinkTarget(QStringLiteral("https://example.org/"));
    empty.link->SetUnderlined(false);
    empty.link->PreSubclassWindow();
    EXPECT_EQ(empty.link->text(), QStringLiteral("https://example.org/"));
    EXPECT_FALSE(empty.link->font().underline());
}

// The label shrinks to its text and keeps to the side its alignment names: the clickable area
// is the text.
TEST(HyperLink, FitsItsText) {
    struct Case {
        Qt::Alignment alignment;
        int left(int width) const {
            if (alignment & Qt::AlignHCenter)
                return 20 + (300 - width) / 2;
            return alignment & Qt::AlignRight ? 320 - width : 20;
        }
    };
    for (const Case& c : {Case{Qt::AlignLeft | Qt::AlignTop}, Case{Qt::AlignRight | Qt::AlignTop},
                          Case{Qt::AlignHCenter | Qt::AlignVCenter}}) {
        Link l(QStringLiteral("example.org"), c.alignment);
        l.link->PreSubclassWindow();
        const QFontMetrics metrics(l.link->font());
        const int width = metrics.horizontalAdvance(l.link->text());
        const int height = metrics.height();
        // Centred, both sides move in by half the difference, so an odd one leaves a pixel over.
        const bool across = c.alignment & Qt::AlignHCenter;
        const bool down = c.alignment & Qt::AlignVCenter;
        const QRect expected(c.left(width), down ? 10 + (40 - height) / 2 : 10,
                             across ? 300 - 2 * ((300 - width) / 2) : width,
                             down ? 40 - 2 * ((40 - height) / 2) : height);
        EXPECT_EQ(l.link->geometry(), expected) << c.alignment;
    }
}

// A click opens the target with the desktop's handler, or else with the command registered for
// HTML documents; a failure beeps and says why, and the link is visited only after a success. A
// local file that is not there goes to neither, and the message names it.
TEST(HyperLink, ClickOpensOrExplains) {
    QTemporaryDir folder;
    const QString guide = folder.filePath(QStringLiteral("guide.html"));
    QFile file(guide);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString address = QUrl::fromLocalFile(guide).toString();
    const QString missing = folder.filePath(QStringLiteral("no such/guide.html"));
    const QString prefix = QStringLiteral("Unable to open hyperlink:\n\n");
    const QString noHandler =
        prefix + "There is no application associated\nwith the given filename extension.";
    const QString notThere = prefix + "The file " + missing + " does not exist.";
    struct Case {
        bool urlOpens;
        std::optional<QString> command;
        int startResult;
        QStringList started;
        QString error;        // empty: opened
        QString target = {};  // empty: the guide's address
        bool handedOn = true; // given to the desktop's handler
    };
    const QString web = QStringLiteral("https://example.org/guide");
    for (const Case& c : {
             Case{true, QStringLiteral("browser %u"), kLinkOpened, {}, {}},
             Case{false, std::nullopt, kLinkOpened, {}, noHandler},
             Case{false,
                  QStringLiteral("\"/opt/a browser/run\" --new-window \"%U\" --private"),
                  kLinkOpened,
                  {QStringLiteral("/opt/a browser/run"), QStringLiteral("--new-window"), address},
                  {}},
             Case{false,
                  QStringLiteral("gone %u"),
                  kLinkFileNotFound,
                  {QStringLiteral("gone"), address},
                  prefix + "The specified file was not found."},
             Case{true, std::nullopt, kLinkOpened, {}, {}, web},
             // The file's address as a browser writes it, and as a bare path.
             Case{true,
                  std::nullopt,
                  kLinkOpened,
                  {},
                  notThere,
                  QUrl::fromLocalFile(missing).toString(QUrl::FullyEncoded),
                  false},
             Case{true, std::nullopt, kLinkOpened, {}, notThere, missing, false},
         }) {
        const QString target = c.target.isEmpty() ? address : c.target;
        SCOPED_TRACE(target.toStdString());
        Link l(target);
        l.link->PreSubclassWindow();
        l.link->MarkVisited(true); // an earlier success: a failure takes it back
        l.desktop.urlOpens = c.urlOpens;
        l.desktop.command = c.command;
        l.desktop.startResult = c.startResult;
        l.click();

        EXPECT_EQ(l.desktop.urls, c.handedOn ? QStringList{target} : QStringList{});
        if (c.started.isEmpty())
            EXPECT_TRUE(l.desktop.started.empty());
        else
            EXPECT_EQ(l.desktop.started, std::vector<QStringList>{c.started});
        const bool opened = c.error.isEmpty();
        EXPECT_EQ(l.desktop.beeps, opened ? 0 : 1);
        EXPECT_EQ(l.desktop.errors, opened ? QStringList{} : QStringList{c.error});
        EXPECT_EQ(l.link->visited(), opened);
        EXPECT_EQ(l.link->palette().color(QPalette::WindowText), opened ? kVisited : kLink);
    }
}

TEST(HyperLink, RegisteredCommandIsCutAtItsPlaceholder) {
    const QString a = QStringLiteral("https://x.org/?a=1&b=2");
    struct Case {
        const char* command;
        const char* line;
    };
    for (const Case& c : {
             Case{"firefox %u", "firefox  https://x.org/?a=1&b=2"},
             Case{"\"C:\\Browser\\b.exe\" -osint -url \"%1\" -x",
                  "\"C:\\Browser\\b.exe\" -osint -url  https://x.org/?a=1&b=2"},
             Case{"browser --tab %F %u", "browser --tab  https://x.org/?a=1&b=2"},
             Case{"browser \"%u\" %U", "browser  https://x.org/?a=1&b=2"},
             Case{"browser", "browser https://x.org/?a=1&b=2"},
         }) {
        EXPECT_EQ(commandLineFor(QString::fromUtf8(c.command), a).toStdString(), c.line);
    }
}

TEST(HyperLink, ErrorTexts) {
    const QString prefix = QStringLiteral("Unable to open hyperlink:\n\n");
    EXPECT_EQ(openErrorMessage(0), prefix + "The operating system is out\nof memory or resources.");
    EXPECT_EQ(openErrorMessage(5),
              prefix + "The operating system denied\naccess to the specified file.");
    EXPECT_EQ(openErrorMessage(26), prefix + "A sharing violation occurred. ");
    EXPECT_EQ(openErrorMessage(32), prefix + "The specified dynamic-link library was not found.");
    EXPECT_EQ(openErrorMessage(-3), prefix + "Unknown Error (-3) occurred.");
    EXPECT_EQ(openErrorMessage(33), prefix + "Unknown Error (33) occurred.");
    EXPECT_EQ(openErrorMessage(kLinkFileNotFound), prefix + "The specified file was not found.");
    // A path is filled in as it is, even one that looks like a placeholder itself.
    EXPECT_EQ(openErrorMessage(kLinkFileNotFound, QStringLiteral("/a/100%s/%i.html")),
              prefix + "The file /a/100%s/%i.html does not exist.");

    // Every part through the owner's texts, which fill in the arguments.
    const LinkTexts german = [](const char* builtIn, const QStringList& arguments) {
        const QString english = QString::fromUtf8(builtIn);
        if (english == QStringLiteral("Unable to open hyperlink:"))
            return QStringLiteral("Link nicht geoeffnet:");
        if (english == QStringLiteral("The file %s does not exist."))
            return QStringLiteral("Die Datei %1 fehlt.").arg(arguments.value(0));
        if (english == QStringLiteral("Unknown Error (%i) occurred."))
            return QStringLiteral("Fehler %1").arg(arguments.value(0));
        return english;
    };
    EXPECT_EQ(openErrorMessage(kLinkFileNotFound, QStringLiteral("/a/guide.html"), german),
              QStringLiteral("Link nicht geoeffnet:\n\nDie Datei /a/guide.html fehlt."));
    EXPECT_EQ(openErrorMessage(-3, QString(), german),
              QStringLiteral("Link nicht geoeffnet:\n\nFehler -3"));
}

// The real desktop's HTML handler: the first desktop entry the mimeapps.list files name for
// text/html that exists, its Exec line; and programs started without a shell, or why not.
TEST(HyperLink, DesktopFindsTheHtmlHandlerAndStartsProgramsWithoutAShell) {
    QTemporaryDir root;
    const QString config = root.filePath(QStringLiteral("config"));
    const QString data = root.filePath(QStringLiteral("data"));
    const QString system = root.filePath(QStringLiteral("system"));
    QDir().mkpath(config);
    QDir().mkpath(data + "/applications");
    QDir().mkpath(system + "/applications");
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    qputenv("XDG_CONFIG_DIRS", root.filePath(QStringLiteral("none")).toUtf8());
    qputenv("XDG_DATA_HOME", data.toUtf8());
    qputenv("XDG_DATA_DIRS", system.toUtf8());

    DesktopLinkServices desktop;
    EXPECT_EQ(desktop.htmlCommand(), std::nullopt);

    // The user's choice names a missing entry first, then one of the system's.
    write(config + "/mimeapps.list",
          "[Added Associations]\ntext/html=other.desktop;\n"
          "[Default Applications]\ntext/html=gone.desktop;web.desktop;\n");
    write(
        system + "/applications/web.desktop",
        "[Desktop Entry]\nName=Web\nExec=web-browser\\s2 --new %U\n[Desktop Action x]\nExec=no\n");
    EXPECT_EQ(desktop.htmlCommand(),
              std::optional<QString>(QStringLiteral("web-browser 2 --new %U")));

    EXPECT_EQ(desktop.startProgram(QStringLiteral("no-such-program-anywhere"), {}),
              kLinkFileNotFound);
    write(data + "/not-a-program", "#!/bin/sh\n");
    EXPECT_EQ(desktop.startProgram(data + "/not-a-program", {}), kLinkAccessDenied);
    EXPECT_GT(desktop.startProgram(QStringLiteral("true"), {QStringLiteral("a;b")}), 32);

    qputenv("XDG_CONFIG_HOME", savedConfig);
    qputenv("XDG_DATA_HOME", savedData);
    qunsetenv("XDG_CONFIG_DIRS");
    qunsetenv("XDG_DATA_DIRS");
}

} // namespace
} // namespace kivo
