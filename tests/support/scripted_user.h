// A scripted user: answers whichever modal window is open, one step per window, in order.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kivo::test {

class ScriptedUser {
public:
    // A step receives the modal window that is open; it acts on it (closes it, clicks, types).
    using Step = std::function<void(QWidget* window)>;

    ScriptedUser() {
        // A window already open when the script starts (a setup window shown by the test) is not
        // the script's to answer: it becomes the active modal window again whenever a nested one
        // closes, and a poll landing in that moment must not take it for the next window.
        if (QWidget* open = QApplication::activeModalWidget())
            open->setProperty("scriptedUserSeen", true);
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    void then(Step step) { steps_.push_back(std::move(step)); }
    // Titles of the modal windows met, in order.
    const std::vector<std::string>& windowsSeen() const { return seen_; }
    bool done() const { return steps_.empty(); }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        // Each window is answered once; a mark on it tells, since a new window may reuse the
        // address of one that has gone.
        if (!modal || !modal->isVisible() || modal->property("scriptedUserSeen").toBool())
            return;
        modal->setProperty("scriptedUserSeen", true);
        seen_.push_back(modal->windowTitle().toStdString());
        if (steps_.empty()) {
            // An unexpected window: close it, so that a failing test ends instead of hanging.
            QTimer::singleShot(0, modal, [modal] { modal->close(); });
            return;
        }
        Step step = std::move(steps_.front());
        steps_.pop_front();
        QTimer::singleShot(0, modal, [step, modal] { step(modal); });
    }

    QTimer timer_;
    std::deque<Step> steps_;
    std::vector<std::string> seen_;
};

// Clicks the button with the given control id in the window.
void clickButton(QWidget* window, int id);

} // namespace kivo::test
