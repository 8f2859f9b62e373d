// A scripted user: answers each modal window that opens while it is alive, one step per window,
// in order.
#pragma once

#include "resources/dialog_templates.h"

#include <QObject>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kivo::test {

// The user reacts to a modal window being shown, never to a clock: a window that was already
// open before the first step is not answered, and a window that comes back to the front when the
// one above it closes is not mistaken for a new one. Each step runs once the window's own event
// loop runs, so it acts on a window that is on the screen and waiting for input.
class ScriptedUser : public QObject {
public:
    // A step receives the modal window that opened; it acts on it (closes it, clicks, types).
    using Step = std::function<void(QWidget* window)>;

    ScriptedUser();
    ~ScriptedUser() override;
    void then(Step step) { steps_.push_back(std::move(step)); }
    // Titles of the modal windows met, in order.
    const std::vector<std::string>& windowsSeen() const { return seen_; }
    bool done() const { return steps_.empty(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void answer(QWidget* window);

    std::deque<Step> steps_;
    std::vector<std::string> seen_;
};

// Clicks the button with the given control id in the window.
void clickButton(QWidget* window, ControlId id);
// Presses OK or Close, whichever of the windows it is: for the scripts that end every window the
// same way.
void pressOkOrClose(QWidget* window);

} // namespace kivo::test
