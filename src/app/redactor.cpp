#include "redactor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QTextBlock>
#include <QTextLayout>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <optional>

#include "code_page_edits.h"
#include "encoding.h"
#include "errors.h"
#include "fonts.h"
#include "format.h"
#include "platform.h"
#include "recent_tests.h"
#include "stepwise_fill.h"
#include "widgets.h"
#include "window_frames.h"

namespace {

QGroupBox* makeGroup(QWidget* parent, const char* name, const char* title, const QRect& geometry) {
    auto* box = new QGroupBox(QString::fromUtf8(title), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    return box;
}

}  // namespace

TRedactor::TRedactor(WindowServices& services)
    : QWidget(nullptr, dialogFrame(false)), services_(services), session_(services.session) {
    setObjectName("Redactor");
    setWindowTitle("Редактор тестов");
    setWindowIcon(programIcon());
    setFont(fonts::windowFont());

    // The controls stand on a client area of the specified size, which
    // scrolls where the screen is too small for the whole window.
    client_ = new QWidget;
    client_->setObjectName("RedactorClient");
    client_->setFixedSize(kClientSize);
    scroller_ = new QScrollArea(this);
    scroller_->setObjectName("RedactorScroller");
    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setFocusPolicy(Qt::NoFocus);
    scroller_->setWidget(client_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroller_);

    buildHeaderControls();
    buildQuestionControls();
    buildMessageControls();
    setTabOrderAsDesigned();
    nameFieldsForScreenReaders();
    refuseUnholdableCharacters();
    connectHandlers();
    placeFixed(this, kClientSize.width(), kClientSize.height());
    showHeader();
    showButtonCount();
    showQuestion();
    showMessages();
}

void TRedactor::buildHeaderControls() {
    GroupBox1 = makeGroup(client_, "GroupBox1", " Загологвок ", {8, 16, 241, 73});
    Edzag = new TypingLimitEdit(GroupBox1, "Edzag", {16, 32, 209, 21}, 50);

    GroupBox2 = makeGroup(client_, "GroupBox2", " Кнопки ", {8, 104, 241, 297});
    Label1 = new AutoLabel(GroupBox2, "Label1", "Кол-во кнопок на форме", {16, 32});
    Label1->setLabelFont(fonts::font(fonts::kTahoma, 11));
    for (int k = 1; k <= 6; ++k) {
        const int top = 32 * (k - 1);
        buttonLabels[static_cast<std::size_t>(k - 1)] =
            new AutoLabel(GroupBox2, numbered("Label", k + 1).constData(),
                          QString("Кнопка № %1").arg(k), {16, 88 + top});
        auto* edit = new TypingLimitEdit(GroupBox2, numbered("EdButt", k).constData(),
                                         {104, 80 + top, 121, 21}, 20);
        EdButt[static_cast<std::size_t>(k - 1)] = edit;
    }

    Edvar = new QComboBox(GroupBox2);
    readByName(Edvar);  // before anything asks how it is read
    Edvar->setObjectName("Edvar");
    Edvar->setGeometry(184, 24, 41, 24);
    Edvar->setEditable(true);
    Edvar->setInsertPolicy(QComboBox::NoInsert);
    Edvar->setCompleter(nullptr);
    Edvar->addItems({"2", "3", "4", "5", "6"});
    Edvar->setFont(fonts::font(fonts::kSansSerif, 13, true));

    GroupBox5 = makeGroup(client_, "GroupBox5", " Копирайт ", {8, 408, 241, 97});
    Label15 = new AutoLabel(GroupBox5, "Label15", "Автор:", {16, 32});
    Label16 = new AutoLabel(GroupBox5, "Label16", "Подпись окна: ", {16, 64});
    Edit1 = new TypingLimitEdit(GroupBox5, "Edit1", {64, 24, 161, 21}, 100);
    Edit2 = new TypingLimitEdit(GroupBox5, "Edit2", {112, 56, 113, 21}, 100);
}

void TRedactor::buildQuestionControls() {
    GroupBox3 = makeGroup(client_, "GroupBox3", " Данные теста ", {264, 16, 321, 385});
    Label8 = new AutoLabel(GroupBox3, "Label8", "Вопрос", {16, 32});
    nv = new AutoLabel(GroupBox3, "nv", "1", {280, 24});
    nv->setLabelFont(fonts::font(fonts::kTimes, 16, true));
    Vopros = new TypingLimitEdit(GroupBox3, "Vopros", {64, 24, 201, 21}, 150);
    Label9 =
        new AutoLabel(GroupBox3, "Label9", "Введите текст вариантов ответа на вопрос", {72, 56});
    for (int k = 1; k <= 6; ++k) {
        auto* label = new AutoLabel(GroupBox3, numbered("Label", 16 + k).constData(),
                                    QString("№ %1").arg(k), {16, 72 + 32 * (k - 1)});
        label->setLabelFont(fonts::font(fonts::kTimes, 15, true));
        variantLabels[static_cast<std::size_t>(k - 1)] = label;
    }
    for (int k = 4; k <= 6; ++k) {
        v[static_cast<std::size_t>(k - 1)] = new TypingLimitEdit(
            GroupBox3, numbered("v", k).constData(), {64, 168 + 32 * (k - 4), 233, 21}, 80);
    }
    Label10 = new AutoLabel(GroupBox3, "Label10", "Введите кол-во баллов для каждой из кнопок",
                            {40, 264});
    Label13 = new AutoLabel(GroupBox3, "Label13",
                            "   №1           №2          №3          №4          №5           №6  ",
                            {24, 288});
    for (int k = 1; k <= 6; ++k) {
        Kball[static_cast<std::size_t>(k - 1)] = new TypingLimitEdit(
            GroupBox3, numbered("Kball", k).constData(), {24 + 48 * (k - 1), 304, 33, 21}, 4);
    }
    predvop = makeButton(GroupBox3, "predvop", "< Назад ", {24, 344, 121, 25});
    nextvop = makeButton(GroupBox3, "nextvop", "Дальше > ", {184, 344, 113, 25});

    // v1..v3 stand on the client area itself, not in the group box, but line
    // up with v4..v6 in one column.
    for (int k = 1; k <= 3; ++k) {
        v[static_cast<std::size_t>(k - 1)] = new TypingLimitEdit(
            client_, numbered("v", k).constData(), {328, 88 + 32 * (k - 1), 233, 21}, 80);
    }
}

void TRedactor::buildMessageControls() {
    GroupBox4 =
        makeGroup(client_, "GroupBox4", " Вывод результатов тестирования ", {600, 16, 281, 385});
    Label12 =
        new AutoLabel(GroupBox4, "Label12", "Введите сообщения результатов, разделяя ", {16, 24});
    Label11 =
        new AutoLabel(GroupBox4, "Label11", "новое знаком равно, после которого идет ", {16, 40});
    Label14 =
        new AutoLabel(GroupBox4, "Label14", "диапазон баллов (через дефис, типа  =0-25)", {16, 56});
    Memo2 = new CodePageMemo(GroupBox4, "Memo2", {16, 80, 249, 289});
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo2->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Memo2->setTabChangesFocus(true);
    messageFill_ = new StepwiseFill(Memo2);

    const QFont bold = fonts::font(fonts::kSansSerif, 13, true);
    Button10 = makeButton(client_, "Button10", "Сохранить", {600, 456, 137, 41});
    Button10->setFont(bold);
    Button12 = makeButton(client_, "Button12", "Закрыть", {752, 456, 129, 41});
    Button12->setFont(bold);
    // Where a finished save is confirmed, above the buttons.
    statusLine_ = new QLabel(client_);
    statusLine_->setObjectName("StatusLine");
    statusLine_->setGeometry(600, 408, 281, 44);
    statusLine_->setWordWrap(true);
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    statusLine_->setAccessibleName("Строка состояния");

    RadioGroup1 = makeGroup(client_, "RadioGroup1", " Оптимизация записи вариантов ответа ",
                            {264, 408, 321, 97});
    RB1 = new QRadioButton("Без вариантов", client_);
    RB1->setObjectName("RB1");
    RB1->setGeometry(280, 432, 113, 17);
    RB2 = new QRadioButton("Вариант первого вопроса - для всех", client_);
    RB2->setObjectName("RB2");
    RB2->setGeometry(280, 456, 209, 17);
    RB3 = new QRadioButton("Для каждого вопроса - свои варианты ответа", client_);
    RB3->setObjectName("RB3");
    RB3->setGeometry(280, 480, 265, 17);
}

void TRedactor::setTabOrderAsDesigned() {
    QList<QWidget*> order{Edzag};
    for (auto* e : EdButt) order << e;
    order << Edvar;
    for (auto* e : Kball) order << e;
    order << predvop << nextvop << Vopros << variantEdit(4) << variantEdit(5) << variantEdit(6)
          << Memo2 << Button10 << Button12 << Edit1 << Edit2 << variantEdit(3) << variantEdit(2)
          << variantEdit(1) << RB1 << RB2 << RB3;
    for (qsizetype i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);
}

// A field reads by the label beside it when that label names it well, and by
// a name of its own otherwise (a label names only a field of its own group).
void TRedactor::nameFieldsForScreenReaders() {
    GroupBox1->setAccessibleName("Заголовок");  // the caption's misprint is not read out
    Edzag->setAccessibleName("Заголовок теста");
    for (int k = 1; k <= 6; ++k) {
        buttonLabels[static_cast<std::size_t>(k - 1)]->setBuddy(edButt(k));
        variantEdit(k)->setAccessibleName(QString("Вариант ответа № %1").arg(k));
        kball(k)->setAccessibleName(QString("Баллы за кнопку № %1").arg(k));
    }
    Label1->setBuddy(Edvar);
    // The box reads by its label, not by the count it holds.
    Edvar->setAccessibleName(Label1->text());
    Edvar->lineEdit()->setAccessibleName(Label1->text());
    Label8->setBuddy(Vopros);
    nv->setAccessibleDescription("Номер вопроса");
    Memo2->setAccessibleName("Сообщения о результатах");
    Memo2->setAccessibleDescription(joinedCaptions({Label12, Label11, Label14}));
    Label15->setBuddy(Edit1);
    Label16->setBuddy(Edit2);
}

namespace {
// The characters a field shows for these bytes: a control byte as its
// picture (as a loaded file shows it) and as itself.
QString charactersOf(std::string_view bytes) {
    QString characters = toQt(std::string(bytes));
    for (char byte : bytes)
        if (static_cast<unsigned char>(byte) < 0x20) characters += QChar(byte);
    return characters;
}
}  // namespace

void TRedactor::refuseUnholdableCharacters() {
    const QString listEnds = charactersOf(qv::bytesEndingField(qv::FieldLine::FieldList));
    const QString listHint = QStringLiteral(
        "Символ «)» сюда не вводится: в файле теста им кончается поле, и всё после него "
        "пропало бы.");
    for (TypingLimitEdit* field : {Edzag, Edit1, Edit2}) field->refuse(listEnds, listHint);
    for (TypingLimitEdit* field : EdButt) field->refuse(listEnds, listHint);
    // Points typed with a decimal separator are kept as typed, so that they
    // never silently read as another number, and marked until mended: a save
    // refuses them.
    for (TypingLimitEdit* field : Kball)
        field->hintAt(QStringLiteral(",."),
                      QStringLiteral("Баллы — целое число: с запятой или точкой тест не "
                                     "сохранится (запятая в файле теста отделяет баллы одной "
                                     "кнопки от баллов другой)."));
}

void TRedactor::markPointsToMend(TypingLimitEdit* field) {
    field->setMarked(
        qv::pointsNeedMending(fromQt(field->text())),
        QStringLiteral("Баллы — целое число: исправьте их, иначе тест не сохранится."));
}

void TRedactor::connectHandlers() {
    // Only what the author does runs the button-count rule: typing or choosing an item.
    const auto buttonCountChosen = services_.guard([this] {
        session_.editing().type(qv::EditorField::ButtonCount, fromQt(Edvar->currentText()));
        session_.editing().applyButtonCount();
    });
    connect(Edvar->lineEdit(), &QLineEdit::textEdited, this, buttonCountChosen);
    connect(Edvar, &QComboBox::activated, this, buttonCountChosen);

    forwardTyping(Edzag, qv::EditorField::Title);
    forwardTyping(Edit1, qv::EditorField::Author);
    forwardTyping(Edit2, qv::EditorField::WindowCaption);
    forwardTyping(Vopros, qv::EditorField::QuestionText);
    for (int k = 1; k <= 6; ++k) {
        forwardTyping(edButt(k), qv::EditorField::Caption, k);
        forwardTyping(variantEdit(k), qv::EditorField::Variant, k);
        forwardTyping(kball(k), qv::EditorField::Points, k);
        connect(kball(k), &QLineEdit::textChanged, this, [this, k] { markPointsToMend(kball(k)); });
    }

    for (QObject* field :
         {static_cast<QObject*>(Edzag), static_cast<QObject*>(Edit1), static_cast<QObject*>(Edit2),
          static_cast<QObject*>(Vopros), static_cast<QObject*>(variantEdit(1))}) {
        field->installEventFilter(this);
    }
    for (auto* e : EdButt) e->installEventFilter(this);

    connect(predvop, &QPushButton::clicked, this,
            services_.guard([this] { session_.editing().previousQuestion(); }));
    connect(nextvop, &QPushButton::clicked, this, services_.guard([this] { nextvopros(); }));
    connect(Button10, &QPushButton::clicked, this, services_.guard([this] { saveTest(); }));
    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, services_.guard([this] { saveTest(); }));
    connect(Button12, &QPushButton::clicked, this, services_.guard([this] { CloseRedactor(); }));
    const std::pair<QRadioButton*, int> modes[] = {
        {RB1, qv::kNoVariants}, {RB2, qv::kFirstQuestionVariants}, {RB3, qv::kOwnVariants}};
    for (const auto& [radio, mode] : modes)
        connect(radio, &QRadioButton::clicked, this, services_.guard([this, mode = mode] {
            session_.editing().clickVariantMode(mode);
        }));
}

void TRedactor::forwardTyping(QLineEdit* field, qv::EditorField typed, int button) {
    connect(field, &QLineEdit::textChanged, this, services_.guard([this, field, typed, button] {
        if (!showing_) session_.editing().type(typed, fromQt(field->text()), button);
    }));
}

bool TRedactor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Leaving a field means the focus moving to another control, not the
        // window losing activation or a popup opening.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            std::optional<qv::EditorField> left;
            if (watched == Edzag)
                left = qv::EditorField::Title;
            else if (watched == Edit1)
                left = qv::EditorField::Author;
            else if (watched == Edit2)
                left = qv::EditorField::WindowCaption;
            else if (watched == Vopros)
                left = qv::EditorField::QuestionText;
            else if (watched == variantEdit(1))
                left = qv::EditorField::Variant;
            else if (std::find(EdButt.begin(), EdButt.end(), watched) != EdButt.end())
                left = qv::EditorField::Caption;
            if (left)
                services_.failures.run(
                    [this, field = *left] { session_.editing().preview(field); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TRedactor::closeEvent(QCloseEvent* event) {
    // The close box a window manager may draw anyway acts as "Закрыть".
    event->ignore();
    if (isVisible() && event->spontaneous()) services_.failures.run([this] { CloseRedactor(); });
}

// --- Opening and showing the session ------------------------------------------------

void TRedactor::openForWork() {
    // Every opening starts at the first field. Set while the window is hidden,
    // this runs no field's action on leaving.
    Edzag->setFocus(Qt::OtherFocusReason);
    statusLine_->clear();
    fitToScreen();
    showWindow(this);
    session_.editing().editorOpened();
    // The window system's frame is known once the window is shown.
    QTimer::singleShot(kFrameSettles, this, [this] {
        if (isVisible()) fitToScreen();
    });
}

void TRedactor::fitToScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    // Before the window is shown its frame is not known: the largest frame
    // of the program's other windows stands for it.
    QMargins frame = frameMargins(this);
    if (!isVisible()) {
        for (const QWidget* other : QApplication::topLevelWidgets()) {
            if (!other->isVisible() || other->windowType() == Qt::Popup ||
                other->windowType() == Qt::ToolTip)
                continue;
            const QMargins m = frameMargins(other);
            frame =
                QMargins(std::max(frame.left(), m.left()), std::max(frame.top(), m.top()),
                         std::max(frame.right(), m.right()), std::max(frame.bottom(), m.bottom()));
        }
    }
    const QSize size = fittedClientSize(kClientSize, available, frame);
    if (size != this->size()) setFixedSize(size);
    if (size == kClientSize) return;  // the window keeps its specified place
    // Cut: the whole frame goes on the screen, centred where there is room.
    const QSize outer = size.grownBy(frame);
    const QPoint corner(available.left() + std::max(0, (available.width() - outer.width()) / 2),
                        available.top() + std::max(0, (available.height() - outer.height()) / 2));
    move(corner);  // a window's position is that of its frame
}

void TRedactor::setFieldText(QLineEdit* field, const std::string& bytes) {
    const QString text = toQt(bytes);
    if (field->text() == text) return;
    showing_ = true;
    field->setText(text);
    showing_ = false;
}

void TRedactor::showHeader() {
    const qv::EditorState& editor = session_.editing().editor();
    showCaption();
    setFieldText(Edzag, editor.header.title);
    setFieldText(Edit1, editor.header.author);
    setFieldText(Edit2, editor.header.windowCaption);
    for (int k = 1; k <= 6; ++k)
        setFieldText(edButt(k), editor.header.captions[static_cast<std::size_t>(k - 1)]);
    QRadioButton* checked[] = {RB1, RB2, RB3};
    checked[editor.checkedVariantMode - 1]->setChecked(true);
}

void TRedactor::showCaption() {
    const QString shortName =
        [](const std::string& bytes) {
            return QFileInfo(fileNameText(bytes)).fileName();
        }(session_.editing().editedFile().empty() ? session_.editing().failedEditFile()
                                                  : session_.editing().editedFile());
    QString caption = QStringLiteral("Редактор тестов");
    if (!session_.editing().editedFile().empty())
        caption += QString(" — %1").arg(shortName);
    else if (!session_.editing().failedEditFile().empty())
        caption += QString(" — %1: файл не удалось прочитать").arg(shortName);
    setWindowTitle(caption);
}

void TRedactor::showButtonCount() {
    const qv::EditorState& editor = session_.editing().editor();
    const QString count = toQt(editor.header.buttonCountText);
    if (Edvar->currentText() != count) Edvar->setEditText(count);
    for (int k = 2; k <= 6; ++k) {
        const bool used = k <= editor.fieldsInUse;
        kball(k)->setEnabled(used);
        edButt(k)->setEnabled(used);
        variantEdit(k)->setEnabled(used);
    }
}

void TRedactor::showQuestion() {
    const qv::EditorState& editor = session_.editing().editor();
    nv->setCaption(QString::number(editor.questionNumber));
    setFieldText(Vopros, editor.question.text);
    for (int k = 1; k <= 6; ++k) {
        const auto b = static_cast<std::size_t>(k - 1);
        setFieldText(variantEdit(k), editor.question.variants[b]);
        setFieldText(kball(k), editor.question.points[b]);
    }
    // A button that disables itself while it has the focus would hand it
    // on along the tab order: to the other button, which one more press
    // would take, or to a field whose selected text the next key replaces.
    // The focus goes to the question text instead, at its end.
    if (QWidget* focused = focusWidget(); (focused == predvop && !editor.backEnabled) ||
                                          (focused == nextvop && !editor.nextEnabled)) {
        Vopros->setFocus(Qt::OtherFocusReason);
        Vopros->deselect();
        Vopros->end(false);
    }
    predvop->setEnabled(editor.backEnabled);
    nextvop->setEnabled(editor.nextEnabled);
}

void TRedactor::showMessages() {
    messageFill_->start(&session_.editing().editor().messages);
}

// --- Handlers --------------------------------------------------------------------------

void TRedactor::nextvopros() {
    if (!session_.editing().nextQuestion())
        services_.platform.showInformation(QString::fromUtf8(kEmptyQuestionNotice));
}

QStringList TRedactor::shownMessageLines() {
    messageFill_->finish();
    // Each block is broken into lines as the field breaks it: the same font,
    // wrapping and width as its own layout, without the field's bookkeeping,
    // which for a long text costs several times as much.
    const QTextDocument* document = Memo2->document();
    const qreal fieldWidth = Memo2->viewport()->width();  // as the field sets its layout's width
    const qreal width =
        fieldWidth > 0 ? fieldWidth - 2 * document->documentMargin() : qreal(INT_MAX);
    const QTextOption option = document->defaultTextOption();
    QStringList lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        QTextLayout layout(text, document->defaultFont());
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
            line.setLineWidth(width);
        layout.endLayout();
        if (layout.lineCount() <= 1) {
            lines << text;
            continue;
        }
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            lines << text.mid(line.textStart(), line.textLength());
        }
    }
    return lines;
}

bool TRedactor::saveTest() {
    // Points that the file would turn into another number are mended first.
    if (const auto mend = session_.saving().pointsToMend()) {
        if (mend->question == session_.editing().editor().questionNumber)
            kball(mend->button)->setFocus(Qt::OtherFocusReason);
        services_.platform.showError(toQt(mend->message()));
        return false;
    }
    const auto name =
        services_.platform.saveTestFile(this, fileNameText(session_.currentFileName()));
    if (!name) return false;
    const std::string chosen = fileNameBytes(*name);
    const QString fileName = fileNameText(qv::testFileName(chosen));
    if (session_.saving().replacesWithEmptyTest(chosen)) {
        const QString unread = session_.editing().failedEditFile().empty()
                                   ? QString()
                                   : QStringLiteral(
                                         "Тест, открытый последним, прочитать не "
                                         "удалось, и в редакторе ");
        if (!services_.platform.askYesNo(
                QString("Файл «%1» уже существует. %2%3нет ни одного вопроса: файл будет заменён "
                        "пустым тестом, и всё, что в нём было, пропадёт. Заменить его пустым "
                        "тестом?")
                    .arg(fileName, unread, unread.isEmpty() ? "В редакторе " : "")))
            return false;
    } else if (session_.saving().replacesFailedLoad(chosen)) {
        if (!services_.platform.askYesNo(
                QString("Файл «%1» не удалось открыть, и редактор показывает не его "
                        "содержимое. Заменить этот файл тем, что сейчас в редакторе?")
                    .arg(fileName)))
            return false;
    } else if (session_.saving().replacesAnotherFile(chosen) &&
               !services_.platform.askYesNo(
                   QString("Файл «%1» уже существует. Заменить его?").arg(fileName))) {
        return false;
    } else if (session_.saving().changedOnDisk(chosen) &&
               !services_.platform.askYesNo(
                   QString("«%1»\n\nФайл изменён другой программой после открытия. Заменить его?")
                       .arg(fileName))) {
        return false;
    }
    const std::vector<std::string> shown = fromQt(shownMessageLines());
    const int written = qv::EditorSave::messageLinesWritten(shown);
    if (written > qv::kMaxMessageLines &&
        !services_.platform.askYesNo(
            QString("В файл будет записано строк сообщений: %1 (длинные строки переносятся по "
                    "ширине поля). При прохождении теста больше %2 строк не читается, и тест "
                    "не запустится. Всё равно сохранить?")
                .arg(written)
                .arg(qv::kMaxMessageLines)))
        return false;

    const auto saved = session_.saving().saveTest(chosen, shown);
    session_.editing().markEditorSaved(messageLines());
    const QString savedName = fileNameText(saved.fileName);
    RecentTests().opened(savedName, RecentTests::Use::Edit);
    statusLine_->setText(QString("Тест сохранён в файл «%1» в %2.")
                             .arg(QFileInfo(savedName).fileName(),
                                  QTime::currentTime().toString(QStringLiteral("HH:mm"))));
    // What the file did not keep, and what a person taking the test would
    // meet, are told now, while they can be mended.
    const auto bulleted = [](const std::vector<std::string>& items) {
        QStringList lines;
        for (const auto& item : items) lines << QString("• %1").arg(toQt(qv::withFullStop(item)));
        return lines.join(QChar('\n'));
    };
    QStringList told;
    if (!saved.readBack.empty())
        told << "прочитанный обратно файл расходится с редактором:\n" + bulleted(saved.readBack);
    if (!saved.check.clean()) told << "при проверке найдено:\n" + bulleted(saved.check.problems);
    if (!told.isEmpty())
        services_.platform.showInformation("Тест сохранён, но " +
                                           told.join(QStringLiteral("\n\nКроме того, ")));
    return true;
}

std::vector<std::string> TRedactor::messageLines() {
    messageFill_->finish();
    return fromQt(Memo2->toPlainText().split(QChar('\n')));
}

bool TRedactor::mayLeave() {
    if (!isVisible() || !session_.editing().hasUnsavedChanges(messageLines())) return true;
    switch (services_.platform.askYesNoCancel(QStringLiteral("Сохранить изменения в тесте?"))) {
        case Platform::Answer::Yes:
            return saveTest();
        case Platform::Answer::No:
            return true;
        default:
            return false;
    }
}

void TRedactor::CloseRedactor() {
    if (!mayLeave()) return;
    emit closing();
    session_.editing().closeEditor();
}
