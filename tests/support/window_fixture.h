// What the window tests share: a record builder, controls by id, the setup window's fixture.
#pragma once

#include "controls/list_ctrl_ex.h"
#include "platform/dialog_builder.h"
#include "support/fake_platform.h"
#include "support/record_builder.h"
#include "windows/kivo_dlg.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace kivo {

// A control in a test's message, by its number as its objectName holds it.
inline std::ostream& operator<<(std::ostream& out, ControlId id) {
    return out << "control " << id.value();
}

} // namespace kivo

namespace kivo::test {

// The control with the given id; a missing one fails the test instead of crashing it later.
template <class T> T* control(const QWidget& window, ControlId id) {
    T* found = controlById<T>(window, id);
    EXPECT_NE(found, nullptr) << id;
    return found;
}

// Replaces the text of an edit box by typing, as a person does.
inline void retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

// A key pressed as a person presses it: it goes to the control that has the keyboard focus.
inline void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "no control has the focus";
    QTest::keyClick(focus, key, modifiers);
}

// The id of the window's control that has the focus (a part of a control counts as the control);
// ControlId() when the focus is elsewhere.
inline ControlId focusedId(const QWidget& window) {
    for (const QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (w->parentWidget() == &window) {
            bool ok = false;
            const int id = w->objectName().toInt(&ok);
            return ok ? ControlId::fromNumber(id) : ControlId();
        }
    return ControlId();
}

// Puts the focus on a control by pressing Tab, as a person does; false when Tab never gets there.
inline bool tabTo(const QWidget& window, ControlId id) {
    for (int presses = 0; presses < 40 && focusedId(window) != id; ++presses)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    return focusedId(window) == id;
}

// Makes a window on the screen the active one, so that the keys go to it. (A dialog counts as
// active while its owner is, so the wait is for the application's own active window.)
inline bool activate(QWidget& window) {
    window.activateWindow();
    return QTest::qWaitFor([&window] { return QApplication::activeWindow() == &window; });
}

inline void showActive(QWidget& window) {
    window.show();
    ASSERT_TRUE(activate(window));
}

// A setup window over its own records and settings, opened on Thursday 6 March 2025 with a
// dd/MM/yyyy date format. Each test gets a fresh one.
struct SetupWindowFixture : ::testing::Test {
    FakePlatform fake;
    RecordList records;
    TextTable texts;
    AppSettings settings;

    SetupWindowFixture() {
        settings.dateFormat = "%d/%m/%Y";
        fake.clock.date = ymd(2025, 3, 6);
    }

    // Stored as the program loads it: computed against the day the window opens.
    PersonRecord& add(PersonRecord r) {
        PersonRecord& stored = records.append(std::move(r));
        ComputeOccurrence(stored, fake.clock.date);
        return stored;
    }

    // Wired to the fixture's objects but not yet initialised.
    std::unique_ptr<CKivoDlg> make() {
        auto dlg = std::make_unique<CKivoDlg>(fake.platform);
        dlg->records = &records;
        dlg->texts = &texts;
        dlg->settings = &settings;
        dlg->dataFolder = "/data/";
        return dlg;
    }

    std::unique_ptr<CKivoDlg> open() {
        auto dlg = make();
        EXPECT_TRUE(dlg->initialize());
        return dlg;
    }

    // Shown on the screen, for what a person does with the mouse and keyboard.
    std::unique_ptr<CKivoDlg> openShown() {
        auto dlg = open();
        dlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        return dlg;
    }

    static int rowOf(const CKivoDlg& dlg, const PersonRecord& r) {
        return dlg.listCtrl()->FindItemByData(reinterpret_cast<quintptr>(&r));
    }
    static std::string cell(const CKivoDlg& dlg, const PersonRecord& r, int c) {
        const int row = rowOf(dlg, r);
        return row < 0 ? "<no row>" : dlg.listCtrl()->GetItemText(row, c).toStdString();
    }
    // One column's cells, top to bottom.
    static std::vector<std::string> column(const CKivoDlg& dlg, int c) {
        std::vector<std::string> out;
        for (int row = 0; row < dlg.listCtrl()->GetItemCount(); ++row)
            out.push_back(dlg.listCtrl()->GetItemText(row, c).toStdString());
        return out;
    }
    static std::vector<std::string> names(const CKivoDlg& dlg) {
        return column(dlg, CKivoDlg::ColName);
    }
    static std::string itemCount(const CKivoDlg& dlg) {
        return control<QLabel>(dlg, SetupControl::ItemCount)->text().toStdString();
    }
};

} // namespace kivo::test
