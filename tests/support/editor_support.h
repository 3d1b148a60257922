// Typing and opening helpers that the editor's window tests share.
#pragma once

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "gui_support.h"
#include "manag.h"
#include "redactor.h"
#include "session_setup.h"

namespace editor {

// The editor's controls, found by their names.
struct Controls {
    explicit Controls(Program& program)
        : window(program.windows->editor()), doc(qv::SessionSetUp::document(program.session())) {}

    QLineEdit* edButt(int k) const { return ctl::edit(window, "EdButt", k); }
    QLineEdit* variantEdit(int k) const { return ctl::edit(window, "v", k); }
    QLineEdit* kball(int k) const { return ctl::edit(window, "Kball", k); }

    TRedactor* window;
    qv::TestDocument& doc;
    QLineEdit* Edzag = ctl::edit(window, "Edzag");
    QLineEdit* Edit1 = ctl::edit(window, "Edit1");
    QLineEdit* Edit2 = ctl::edit(window, "Edit2");
    QComboBox* Edvar = ctl::combo(window, "Edvar");
    QLineEdit* Vopros = ctl::edit(window, "Vopros");
    QLabel* nv = ctl::label(window, "nv");
    QPushButton* predvop = ctl::button(window, "predvop");
    QPushButton* nextvop = ctl::button(window, "nextvop");
    QPlainTextEdit* Memo2 = ctl::memo(window, "Memo2");
    QPushButton* Button10 = ctl::button(window, "Button10");
    QPushButton* Button12 = ctl::button(window, "Button12");
    QRadioButton* RB1 = ctl::radio(window, "RB1");
    QRadioButton* RB2 = ctl::radio(window, "RB2");
    QRadioButton* RB3 = ctl::radio(window, "RB3");
};

// Types `text` key by key into `widget`; "\n" is the Enter key.
inline void typeKeys(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(widget, Qt::Key_Return);
        else if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            QTest::keyClick(widget, static_cast<char>(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Clicks a field, which takes the focus, and moves to the end of its text.
inline void clickToEnd(QWidget* field) {
    QTest::mouseClick(field, Qt::LeftButton);
    const bool memo = qobject_cast<QPlainTextEdit*>(field) != nullptr;
    QTest::keyClick(field, Qt::Key_End, memo ? Qt::ControlModifier : Qt::NoModifier);
}

// Clicks a field and types at the end of its text.
inline void typeInto(QWidget* field, const QString& text) {
    clickToEnd(field);
    typeKeys(field, text);
}

// Clicks a field, selects its whole text and types over it; an empty `text`
// deletes the selection with the Backspace key.
inline void retype(QWidget* field, const QString& text) {
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) QTest::keyClick(field, Qt::Key_Backspace);
    typeKeys(field, text);
}

// The Tab key moves the focus on, so the field that had it is left.
inline void tabAway(QWidget* field) {
    QTest::keyClick(field, Qt::Key_Tab);
}

// "Новый тест" in the manager window; the editor then has the keyboard.
inline bool openNewTest(Program& program) {
    QTest::mouseClick(ctl::button(program.windows->manager(), "Button1"), Qt::LeftButton);
    return QTest::qWaitForWindowActive(program.windows->editor());
}

// "Редактор" with `file` chosen in the open dialog.
inline bool openForEditing(Program& program, const QString& file) {
    program.platform.openAnswers.push_back(file);
    QTest::mouseClick(ctl::button(program.windows->manager(), "Button2"), Qt::LeftButton);
    return QTest::qWaitForWindowActive(program.windows->editor());
}

// "Сохранить" of the editor with `chosen` given to the save dialog.
inline void save(Program& program, const QString& chosen) {
    program.platform.saveTestAnswers.push_back(chosen);
    QTest::mouseClick(ctl::button(program.windows->editor(), "Button10"), Qt::LeftButton);
}

}  // namespace editor
