#!/usr/bin/python3
"""Takes the running program through the accessibility bus the way a screen
reader user would: it finds every control by the name the bus gives it,
presses buttons through their actions and types into fields through their
editable text. Run by run_a11y_test.sh, which starts the program.

    walk_test.py --write-test FOLDER   writes the test file the walk takes
    walk_test.py FOLDER                walks the program
"""
import os
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402
import pyatspi  # noqa: E402

TEST_FILE = "walk.tst"

# Two questions, two buttons. "Да" scores 2 on each question, "Нет" 0; the
# only range is 0-2, so "Нет, Да" ends in the result window and "Да, Да"
# (4 points) in the error window.
TEST_LINES = [
    "Info=(2\x052\x053)",
    "Title=(Проверка слуха\x05Автор проверки\x05Проверка)",
    "Buttons=(Да\x05Нет)",
    "Questions:",
    "Первый вопрос?",
    "Второй вопрос?",
    "Variants: all",
    "Вариант один-да",
    "Вариант один-нет",
    "Вариант два-да",
    "Вариант два-нет",
    "Numbers:",
    "2,0,2,0,",
    "Message:",
    "=0-2",
    "Итог проверки: не больше двух баллов.",
    "$",
]

ERROR_MESSAGE = (
    "Данный тест имеет ошибки в блоке составления сообщения. Вы набрали 4 баллов, но в данном тесте "
    "программа не обнаружила диапазон для такого числа баллов. Просмотрите текст теста на наличие "
    "нужной строки. Для этого нужно проанализировать кол-во баллов за вопрос, а составляя сообщения "
    "вставить строку вида: =Х-Y, где Х - начало диапазона, а Y - его конец."
)

# The program's process, when the caller tells it: a walk stops as soon as it has gone.
PROGRAM_PID = os.environ.get("QV_PROGRAM_PID")
STEP_TIMEOUT = 8.0  # seconds for anything the program is asked to do

# What each text field of the editor reads as, one name per field; the button
# count's box is named by the line typed into it.
EDITOR_FIELDS = (["Заголовок теста", "Кол-во кнопок на форме", "Вопрос", "Сообщения о результатах", "Автор:",
                  "Подпись окна: "]
                 + [f"Кнопка № {k}" for k in range(1, 7)]
                 + [f"Вариант ответа № {k}" for k in range(1, 7)]
                 + [f"Баллы за кнопку № {k}" for k in range(1, 7)])


class WalkFailure(Exception):
    pass


def write_test(folder):
    with open(os.path.join(folder, TEST_FILE), "wb") as out:
        out.write("".join(line + "\r\n" for line in TEST_LINES).encode("cp1251"))


# --- Finding things on the bus ---------------------------------------------------


def wait_for(what, probe, timeout=STEP_TIMEOUT):
    """Polls probe() until it returns something true; fails naming `what`."""
    deadline = time.monotonic() + timeout
    last_error = None
    while time.monotonic() < deadline:
        if PROGRAM_PID and not os.path.exists(f"/proc/{PROGRAM_PID}"):
            raise WalkFailure(f"the program ended while waiting for {what}")
        try:
            found = probe()
            if found:
                return found
        except Exception as error:  # the tree changes under us while windows open and close
            last_error = error
        time.sleep(0.05)
    raise WalkFailure(f"timed out waiting for {what}" + (f" ({last_error})" if last_error else ""))


def children(acc):
    return [c for c in acc if c is not None]


def descendants(acc):
    stack = children(acc)
    while stack:
        node = stack.pop(0)
        yield node
        stack.extend(children(node))


def has_state(acc, state):
    return acc.getState().contains(state)


def find(acc, role, name=None):
    """The showing descendants of `acc` with that role (and name)."""
    return [d for d in descendants(acc) if d.getRoleName() == role and (name is None or d.name == name)
            and has_state(d, pyatspi.STATE_SHOWING)]


def the_one(acc, role, name):
    found = find(acc, role, name)
    if len(found) != 1:
        raise WalkFailure(f"expected one {role} named {name!r} in {acc.name!r}, found {len(found)}")
    return found[0]


def window(app, name):
    """The shown top-level window of that name."""
    return wait_for(f"the window {name!r}",
                    lambda: next((w for w in children(app) if w.name == name
                                  and has_state(w, pyatspi.STATE_SHOWING)), None))


def window_gone(app, name):
    wait_for(f"the window {name!r} to close",
             lambda: not any(w.name == name and has_state(w, pyatspi.STATE_SHOWING) for w in children(app)))


def press(button):
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    action.doAction(names.index("Press") if "Press" in names else 0)


def press_named(win, name):
    button = wait_for(f"the button {name!r} in {win.name!r}", lambda: the_one(win, "push button", name))
    press(button)


def text_of(acc):
    return acc.queryText().getText(0, -1)


def check(condition, message):
    if not condition:
        raise WalkFailure(message)


# --- The walk --------------------------------------------------------------------


def find_program():
    def probe():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            if app.name == "Quorvane" and any(w.name == "Менеджер тестов" for w in children(app)):
                return app
        return None

    return wait_for("the application Quorvane with its manager window", probe, timeout=15)


def check_manager(app):
    manager = window(app, "Менеджер тестов")
    for caption in ("Новый тест", "Редактор", "Запустить"):
        the_one(manager, "push button", caption)
    return manager


def check_editor(app, manager):
    """A new test opens the editor: every field reads by a name of its own."""
    press_named(manager, "Новый тест")
    editor = window(app, "Редактор тестов")
    preview = window(app, "Тест")
    for win in (editor, preview):
        check(win.getRoleName() == "dialog", f"the window {win.name!r} reads as a {win.getRoleName()!r}")
    fields = [d for d in descendants(editor) if d.getRoleName() == "text"]
    unnamed = [f for f in fields if not f.name.strip()]
    check(not unnamed, f"{len(unnamed)} of the editor's {len(fields)} text fields have no name")
    names = sorted(f.name for f in fields)
    check(names == sorted(EDITOR_FIELDS), f"the editor's text fields read {names}")
    memo = next(f for f in fields if f.name == "Сообщения о результатах")
    check("диапазон баллов" in memo.description, f"the message field's description is {memo.description!r}")
    the_one(preview, "text", "Текст вопроса")

    press_named(editor, "Закрыть")
    window_gone(app, "Редактор тестов")
    return window(app, "Менеджер тестов")


def open_test(app, manager, path):
    """"Запустить" and the toolkit's open dialog, used through the bus alone."""
    press_named(manager, "Запустить")

    def dialog():
        for w in children(app):
            if w.getRoleName() in ("dialog", "file chooser") and has_state(w, pyatspi.STATE_SHOWING):
                return w
        return None

    chooser = wait_for("the open dialog", dialog)

    def name_field():
        editable = [t for t in find(chooser, "text") if has_state(t, pyatspi.STATE_EDITABLE)]
        named = [t for t in editable if "файла" in t.name]
        return (named or editable or [None])[0]

    field = wait_for("the file name field of the open dialog", name_field)
    field.queryEditableText().setTextContents(path)
    wait_for("the typed file name", lambda: text_of(field) == path)
    press_named(chooser, "Открыть")
    return window(app, "Проверка")


def answer(app, test, buttons):
    memo = wait_for("the question text", lambda: the_one(test, "text", "Текст вопроса"))
    for number, caption in enumerate(buttons, start=1):
        question = "Первый вопрос?" if number == 1 else "Второй вопрос?"
        wait_for(f"question {number} in the question text", lambda: question in text_of(memo))
        variants = [label.name for label in find(test, "label")]
        check(f"Вариант {'один' if number == 1 else 'два'}-да" in variants,
              f"question {number}: the variant labels read {variants}")
        press_named(test, caption)


def take_test_to_result(app, manager, path):
    test = open_test(app, manager, path)
    title = [label.name for label in find(test, "label")]
    check("Проверка слуха" in title and "Автор проверки" in title, f"the test window's labels read {title}")
    answer(app, test, ["Нет", "Да"])
    result = window(app, "Результат")
    memo = wait_for("the result text", lambda: the_one(result, "text", "Ваш результат тестирования"))
    text = text_of(memo)
    check(text.strip() == "Итог проверки: не больше двух баллов.", f"the result text reads {text!r}")
    press_named(result, "Закрыть")
    window_gone(app, "Результат")
    return window(app, "Менеджер тестов")


def take_test_to_error(app, manager, path):
    test = open_test(app, manager, path)
    answer(app, test, ["Да", "Да"])
    error = window(app, "Ошибочная ситуация.")
    check(error.description == ERROR_MESSAGE, f"the error window's description is {error.description!r}")
    # The label that starts the sentence reads all of it, the Score included.
    the_one(error, "label", ERROR_MESSAGE[ERROR_MESSAGE.index("Вы набрали"):])
    press_named(error, "Хорошо")
    window_gone(app, "Ошибочная ситуация.")


def walk(folder):
    path = os.path.join(folder, TEST_FILE)
    app = find_program()
    manager = check_manager(app)
    print("manager: three buttons read by their captions")
    manager = check_editor(app, manager)
    print("editor: every text field named, names distinct")
    manager = take_test_to_result(app, manager, path)
    print("run: open dialog, questions, variants and result text read through the bus")
    take_test_to_error(app, manager, path)
    print("run: error window reads its message as one text")


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--write-test":
        write_test(sys.argv[2])
        return 0
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    # A call the program never answers fails within seconds instead of hanging.
    Atspi.set_timeout(5000, 15000)
    started = time.monotonic()
    try:
        walk(sys.argv[1])
    except WalkFailure as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        return 1
    print(f"accessibility walk passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
