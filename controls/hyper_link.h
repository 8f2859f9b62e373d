// A label that is a web link: link colours, underlined text fitted to the label, the hand pointer,
// the target as tooltip, and a click that opens the target, explaining a failure.
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace kivo {

// Result codes of an attempt to open an address: greater than 32 is success, the others are the
// failures that the error messages name.
inline constexpr int kLinkOpened = 33;
inline constexpr int kLinkFileNotFound = 2;
inline constexpr int kLinkAccessDenied = 5;
inline constexpr int kLinkNoAssociation = 31;
inline constexpr int kLinkUnknownFailure = -1;

// What opening a link asks of the desktop. Tests replace it.
class LinkDesktop {
public:
    virtual ~LinkDesktop() = default;
    // Hands the address to the desktop's handler for addresses; false when that failed.
    virtual bool openUrl(const QString& address) = 0;
    // The command the desktop registers for HTML documents, with its placeholder ("browser %u"),
    // or nothing when there is none.
    virtual std::optional<QString> htmlCommand() = 0;
    // Starts a program with its arguments, never through a shell; a result code as above.
    virtual int startProgram(const QString& program, const QStringList& arguments) = 0;
    // The exclamation beep.
    virtual void beep() = 0;
    // A message box with the exclamation icon and an OK button.
    virtual void showError(const QString& message) = 0;
};

// The real desktop: Qt's desktop services, the text/html default application of the XDG
// mimeapps.list files, QProcess and QMessageBox.
class DesktopLinkServices : public LinkDesktop {
public:
    bool openUrl(const QString& address) override;
    std::optional<QString> htmlCommand() override;
    int startProgram(const QString& program, const QStringList& arguments) override;
    void beep() override;
    void showError(const QString& message) override;
};

// A registered command cut before its first placeholder for the document ("%u", "%U", "%f", "%F"
// of a desktop entry, "%1" of the registry), a quoted placeholder ("\"%u\"") first; everything
// after the placeholder goes too. A command without a placeholder stays whole.
QString cutAtPlaceholder(const QString& command);
// The command line started for an address: the cut command, a space and the address.
QString commandLineFor(const QString& command, const QString& address);
// The text shown for a built-in English one, its "%s" and "%i" filled with the arguments in order.
// The window that owns a link gives the user's texts ("strings.ini"); unset, the built-in texts
// show.
using LinkTexts = std::function<QString(const char* builtIn, const QStringList& arguments)>;

// The path of the local file an address names, when that file does not exist; empty for an
// address of anything else.
QString missingLocalFile(const QString& address);
// "Unable to open hyperlink:", a blank line and the message for a result code; a file not found
// that is the link's own missing target is named with its path.
QString openErrorMessage(int code, const QString& missingFile = QString(),
                         const LinkTexts& texts = LinkTexts());

class CHyperLink : public QLabel {
public:
    explicit CHyperLink(QWidget* parent = nullptr);

    QColor linkColour{0, 0, 238};
    QColor visitedColour{85, 26, 139};
    QColor hoverColour; // the palette's highlight colour when the link is made
    bool fitToText = true;
    LinkTexts texts; // for the messages of a failed opening

    // Makes the label a link once it is in its window: the text and the target fill each other
    // in when one is empty, the font is underlined as set, the label fits its text, and the
    // tooltip shows the target.
    void PreSubclassWindow();
    void SetLinkTarget(const QString& address);
    void SetUnderlined(bool underlined);
    void MarkVisited(bool visited);
    // Shrinks or grows the label to its text, keeping the side its alignment holds to.
    void FitWindowToText();
    // Opens an address: the desktop's handler first, then the command registered for HTML
    // documents; a local file that does not exist is not handed to either. Returns a result code,
    // success when greater than 32.
    int OpenLinkTarget(const QString& address);

    // The desktop a click uses; not owned. nullptr gives the real desktop.
    void setDesktop(LinkDesktop* desktop) { desktop_ = desktop; }

    const QString& target() const { return target_; }
    bool visited() const { return visited_; }
    bool pointerOver() const { return pointerOver_; }
    bool underlined() const { return underlined_; }
    // The colour the text is drawn in now.
    QColor textColour() const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    LinkDesktop& desktop();
    void clicked();
    void showColour();

    QString target_;
    bool pointerOver_ = false;
    bool visited_ = false;
    bool underlined_ = true;
    bool attached_ = false;
    LinkDesktop* desktop_ = nullptr;
};

} // namespace kivo
