// Helpers of the scripted user.
#include "support/scripted_user.h"

#include <QAbstractButton>

namespace kivo::test {

void clickButton(QWidget* window, int id) {
    auto* button = window->findChild<QAbstractButton*>(QString::number(id));
    if (button)
        button->click();
    else
        window->close();
}

} // namespace kivo::test
