// The scripted user: answers modal windows as they are shown.
#include "support/scripted_user.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QTimer>

namespace kivo::test {

ScriptedUser::ScriptedUser() {
    qApp->installEventFilter(this);
}

ScriptedUser::~ScriptedUser() {
    qApp->removeEventFilter(this);
}

bool ScriptedUser::eventFilter(QObject* watched, QEvent* event) {
    // A spontaneous show is the window system restoring a window, not a window opening.
    if (event->type() == QEvent::Show && !event->spontaneous() && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        if (window->isWindow() && window->isModal())
            answer(window);
    }
    return QObject::eventFilter(watched, event);
}

void ScriptedUser::answer(QWidget* window) {
    seen_.push_back(window->windowTitle().toStdString());
    if (steps_.empty()) {
        // An unexpected window: close it, so that a failing test ends instead of hanging.
        QTimer::singleShot(0, window, [window] { window->close(); });
        return;
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    // Posted now, delivered by the event loop that waits on the window: the step acts on it
    // once it is open, and never on a window that opens later.
    QTimer::singleShot(0, window, [step, window] { step(window); });
}

void clickButton(QWidget* window, ControlId id) {
    auto* button = window->findChild<QAbstractButton*>(QString::number(id.value()));
    if (button)
        button->click();
    else
        window->close();
}

void pressOkOrClose(QWidget* window) {
    // The three windows give the button the same id, so one press serves whichever is open.
    static_assert(ControlId(ReminderControl::Ok) == SetupControl::Close &&
                  ControlId(PersonControl::Ok) == SetupControl::Close);
    clickButton(window, SetupControl::Close);
}

} // namespace kivo::test
