#include "redactor.h"

#include <QAbstractTextDocumentLayout>
#include <algorithm>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextLayout>

#include "app_windows.h"
#include "encoding.h"
#include "fonts.h"
#include "manag.h"
#include "number.h"
#include "os_file.h"
#include "format.h"
#include "platform.h"
#include "writer.h"
#include "userform.h"
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

TRedactor::TRedactor(AppWindows& app) : QWidget(nullptr, dialogFrame(false)), app_(app) {
    setObjectName("Redactor");
    setWindowTitle("Редактор тестов");
    setWindowIcon(programIcon());
    setFont(fonts::windowFont());

    buildHeaderControls();
    buildQuestionControls();
    buildMessageControls();
    setTabOrderAsDesigned();
    nameFieldsForScreenReaders();
    connectHandlers();
    placeFixed(this, 891, 515);
}

void TRedactor::buildHeaderControls() {
    GroupBox1 = makeGroup(this, "GroupBox1", " Загологвок ", {8, 16, 241, 73});
    Edzag = new TypingLimitEdit(GroupBox1, "Edzag", {16, 32, 209, 21}, 50);
    Edzag->setText("Это текст заголовка");

    GroupBox2 = makeGroup(this, "GroupBox2", " Кнопки ", {8, 104, 241, 297});
    Label1 = new AutoLabel(GroupBox2, "Label1", "Кол-во кнопок на форме", {16, 32});
    Label1->setLabelFont(fonts::font(fonts::kTahoma, 11));
    for (int k = 1; k <= 6; ++k) {
        const int top = 32 * (k - 1);
        buttonLabels[static_cast<std::size_t>(k - 1)] = new AutoLabel(
            GroupBox2, numbered("Label", k + 1).constData(), QString("Кнопка № %1").arg(k), {16, 88 + top});
        auto* edit = new TypingLimitEdit(GroupBox2, numbered("EdButt", k).constData(), {104, 80 + top, 121, 21}, 20);
        edit->setEnabled(k <= 2);
        EdButt[static_cast<std::size_t>(k - 1)] = edit;
    }
    edButt(1)->setText("Да");
    edButt(2)->setText("Нет");

    Edvar = new QComboBox(GroupBox2);
    Edvar->setObjectName("Edvar");
    Edvar->setGeometry(184, 24, 41, 24);
    Edvar->setEditable(true);
    Edvar->setInsertPolicy(QComboBox::NoInsert);
    Edvar->setCompleter(nullptr);
    Edvar->addItems({"2", "3", "4", "5", "6"});
    Edvar->setFont(fonts::font(fonts::kSansSerif, 13, true));
    Edvar->setEditText("2");

    GroupBox5 = makeGroup(this, "GroupBox5", " Копирайт ", {8, 408, 241, 97});
    Label15 = new AutoLabel(GroupBox5, "Label15", "Автор:", {16, 32});
    Label16 = new AutoLabel(GroupBox5, "Label16", "Подпись окна: ", {16, 64});
    Edit1 = new TypingLimitEdit(GroupBox5, "Edit1", {64, 24, 161, 21}, 100);
    Edit2 = new TypingLimitEdit(GroupBox5, "Edit2", {112, 56, 113, 21}, 100);
    Edit2->setText("Тест");
}

void TRedactor::buildQuestionControls() {
    GroupBox3 = makeGroup(this, "GroupBox3", " Данные теста ", {264, 16, 321, 385});
    Label8 = new AutoLabel(GroupBox3, "Label8", "Вопрос", {16, 32});
    nv = new AutoLabel(GroupBox3, "nv", "1", {280, 24});
    nv->setLabelFont(fonts::font(fonts::kTimes, 16, true));
    Vopros = new TypingLimitEdit(GroupBox3, "Vopros", {64, 24, 201, 21}, 150);
    Label9 = new AutoLabel(GroupBox3, "Label9", "Введите текст вариантов ответа на вопрос", {72, 56});
    for (int k = 1; k <= 6; ++k) {
        auto* label = new AutoLabel(GroupBox3, numbered("Label", 16 + k).constData(), QString("№ %1").arg(k),
                                    {16, 72 + 32 * (k - 1)});
        label->setLabelFont(fonts::font(fonts::kTimes, 15, true));
        variantLabels[static_cast<std::size_t>(k - 1)] = label;
    }
    for (int k = 4; k <= 6; ++k) {
        v[static_cast<std::size_t>(k - 1)] =
            new TypingLimitEdit(GroupBox3, numbered("v", k).constData(), {64, 168 + 32 * (k - 4), 233, 21}, 80);
    }
    Label10 = new AutoLabel(GroupBox3, "Label10", "Введите кол-во баллов для каждой из кнопок", {40, 264});
    Label13 = new AutoLabel(GroupBox3, "Label13",
                            "   №1           №2          №3          №4          №5           №6  ", {24, 288});
    for (int k = 1; k <= 6; ++k) {
        Kball[static_cast<std::size_t>(k - 1)] =
            new TypingLimitEdit(GroupBox3, numbered("Kball", k).constData(), {24 + 48 * (k - 1), 304, 33, 21}, 4);
    }
    predvop = makeButton(GroupBox3, "predvop", "< Назад ", {24, 344, 121, 25});
    predvop->setEnabled(false);
    nextvop = makeButton(GroupBox3, "nextvop", "Дальше > ", {184, 344, 113, 25});

    // v1..v3 belong to the window itself but line up with v4..v6 in one column.
    for (int k = 1; k <= 3; ++k) {
        v[static_cast<std::size_t>(k - 1)] =
            new TypingLimitEdit(this, numbered("v", k).constData(), {328, 88 + 32 * (k - 1), 233, 21}, 80);
    }
    for (int k = 3; k <= 6; ++k) {
        variantEdit(k)->setEnabled(false);
        kball(k)->setEnabled(false);
    }
}

void TRedactor::buildMessageControls() {
    GroupBox4 = makeGroup(this, "GroupBox4", " Вывод результатов тестирования ", {600, 16, 281, 385});
    Label12 = new AutoLabel(GroupBox4, "Label12", "Введите сообщения результатов, разделяя ", {16, 24});
    Label11 = new AutoLabel(GroupBox4, "Label11", "новое знаком равно, после которого идет ", {16, 40});
    Label14 = new AutoLabel(GroupBox4, "Label14", "диапазон баллов (через дефис, типа  =0-25)", {16, 56});
    Memo2 = new CodePageMemo(GroupBox4, "Memo2", {16, 80, 249, 289});
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo2->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Memo2->setTabChangesFocus(true);

    const QFont bold = fonts::font(fonts::kSansSerif, 13, true);
    Button10 = makeButton(this, "Button10", "Сохранить", {600, 456, 137, 41});
    Button10->setFont(bold);
    Button12 = makeButton(this, "Button12", "Закрыть", {752, 456, 129, 41});
    Button12->setFont(bold);

    RadioGroup1 = makeGroup(this, "RadioGroup1", " Оптимизация записи вариантов ответа ", {264, 408, 321, 97});
    RB1 = new QRadioButton("Без вариантов", this);
    RB1->setObjectName("RB1");
    RB1->setGeometry(280, 432, 113, 17);
    RB2 = new QRadioButton("Вариант первого вопроса - для всех", this);
    RB2->setObjectName("RB2");
    RB2->setGeometry(280, 456, 209, 17);
    RB3 = new QRadioButton("Для каждого вопроса - свои варианты ответа", this);
    RB3->setObjectName("RB3");
    RB3->setGeometry(280, 480, 265, 17);
    RB3->setChecked(true);
}

void TRedactor::setTabOrderAsDesigned() {
    QList<QWidget*> order{Edzag};
    for (auto* e : EdButt) order << e;
    order << Edvar;
    for (auto* e : Kball) order << e;
    order << predvop << nextvop << Vopros << variantEdit(4) << variantEdit(5) << variantEdit(6) << Memo2
          << Button10 << Button12 << Edit1 << Edit2 << variantEdit(3) << variantEdit(2) << variantEdit(1) << RB1
          << RB2 << RB3;
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
    Edvar->lineEdit()->setAccessibleName(Label1->text());
    Label8->setBuddy(Vopros);
    nv->setAccessibleDescription("Номер вопроса");
    Memo2->setAccessibleName("Сообщения о результатах");
    Memo2->setAccessibleDescription(joinedCaptions({Label12, Label11, Label14}));
    Label15->setBuddy(Edit1);
    Label16->setBuddy(Edit2);
}

void TRedactor::connectHandlers() {
    // Only what the author does runs the button-count rule: typing or choosing an item.
    connect(Edvar->lineEdit(), &QLineEdit::textEdited, this, app_.guard([this] { ButtActive(); }));
    connect(Edvar, &QComboBox::activated, this, app_.guard([this] { ButtActive(); }));

    for (QObject* field : {static_cast<QObject*>(Edzag), static_cast<QObject*>(Edit1), static_cast<QObject*>(Edit2),
                           static_cast<QObject*>(Vopros), static_cast<QObject*>(variantEdit(1))}) {
        field->installEventFilter(this);
    }
    for (auto* e : EdButt) e->installEventFilter(this);

    connect(predvop, &QPushButton::clicked, this, app_.guard([this] { predvopros(); }));
    connect(nextvop, &QPushButton::clicked, this, app_.guard([this] { nextvopros(); }));
    connect(Button10, &QPushButton::clicked, this, app_.guard([this] { SaveAll(); }));
    connect(Button12, &QPushButton::clicked, this, app_.guard([this] { CloseRedactor(); }));
    connect(RB1, &QRadioButton::clicked, this, app_.guard([this] { Click_rb1(); }));
    connect(RB2, &QRadioButton::clicked, this, app_.guard([this] { Click_rb2(); }));
    connect(RB3, &QRadioButton::clicked, this, app_.guard([this] { Click_rb3(); }));
}

bool TRedactor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Leaving a field means the focus moving to another control, not the
        // window losing activation or a popup opening.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == Edzag) app_.failures.run([this] { Zagolovok(); });
            else if (watched == Edit1) app_.failures.run([this] { Copyright(); });
            else if (watched == Edit2) app_.failures.run([this] { Windows(); });
            else if (watched == Vopros) app_.failures.run([this] { TextVoprosa(); });
            else if (watched == variantEdit(1)) app_.failures.run([this] { printVariants(); });
            else if (std::find(EdButt.begin(), EdButt.end(), watched) != EdButt.end())
                app_.failures.run([this] { UsButtCapt(); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TRedactor::closeEvent(QCloseEvent* event) {
    event->ignore();  // left only through "Закрыть"
}

// --- Opening -----------------------------------------------------------------

void TRedactor::openEditor() {
    // Every opening starts at the first field. Set while the window is hidden,
    // this runs no field's action on leaving.
    Edzag->setFocus(Qt::OtherFocusReason);
    showWindow(this);
    doc.questionCount = 1;
    doc.currentQuestion = 1;
}

void TRedactor::prepareFirstQuestion() {
    nv->setCaption("1");
    predvop->setEnabled(false);
    nextvop->setEnabled(true);
    doc.currentQuestion = 1;
}

void TRedactor::selectVariantMode(int mode) {
    switch (mode) {
        case qv::kNoVariants: RB1->setChecked(true); Click_rb1(); break;
        case qv::kFirstQuestionVariants: RB2->setChecked(true); Click_rb2(); break;
        case qv::kOwnVariants: RB3->setChecked(true); Click_rb3(); break;
        default: break;  // another mode leaves the radio buttons as they are
    }
}

void TRedactor::setButtonCountText(const QString& text) { Edvar->setEditText(text); }

void TRedactor::prepareNewTest() {
    Edit1->setText("Неизвестен");
    Edit2->setText("Тест");
    Edzag->setText("Это текст заголовка");
    Edvar->setEditText("2");
    edButt(1)->setText("Да");
    edButt(2)->setText("Нет");
    for (int k = 3; k <= 6; ++k) edButt(k)->clear();
    Vopros->clear();
    for (int k = 1; k <= 6; ++k) {
        variantEdit(k)->clear();
        kball(k)->clear();
    }
    Memo2->clear();

    prepareFirstQuestion();

    TUserForm& preview = *app_.UserForm;
    preview.Memo1->clear();
    preview.setTitle(Edzag->text());
    preview.Button1->setText(edButt(1)->text());
    preview.Button2->setText(edButt(2)->text());

    doc.activeButtonCount = 2;
    ButtActive();
    preview.setButtonsEnabled(false);
}

// --- Button count and preview ---------------------------------------------------

void TRedactor::ButtActive() {
    if (Edvar->currentText().isEmpty()) Edvar->setEditText("2");
    int count = qv::strToInt(fromQt(Edvar->currentText()));
    if (count < 1 || count > qv::kMaxButtons) {
        count = 2;
        Edvar->setEditText("2");
    }
    doc.activeButtonCount = count;
    TUserForm& preview = *app_.UserForm;
    preview.applyButtonRule(count);
    for (int k = 2; k <= 6; ++k) {
        const bool used = k <= count;
        kball(k)->setEnabled(used);
        edButt(k)->setEnabled(used);
        variantEdit(k)->setEnabled(used);
    }
}

void TRedactor::UsButtCapt() {
    for (int k = 1; k <= 6; ++k) app_.UserForm->button(k)->setText(edButt(k)->text());
}

void TRedactor::Zagolovok() { app_.UserForm->setTitle(Edzag->text()); }

void TRedactor::Copyright() {
    app_.UserForm->Label1->setCaption(QString::fromUtf8(kAuthorPrefix) + Edit1->text());
}

void TRedactor::Windows() { app_.UserForm->setWindowTitle(Edit2->text()); }

void TRedactor::TextVoprosa() {
    if (!Vopros->text().isEmpty()) app_.UserForm->setQuestionText(Vopros->text());
}

void TRedactor::printVariants() {
    for (int k = 1; k <= 6; ++k) app_.UserForm->textVar(k)->setCaption(variantEdit(k)->text());
}

void TRedactor::textvars() { printVariants(); }

void TRedactor::Click_rb1() { doc.variantMode = qv::kNoVariants; }
void TRedactor::Click_rb2() { doc.variantMode = qv::kFirstQuestionVariants; }
void TRedactor::Click_rb3() { doc.variantMode = qv::kOwnVariants; }

// --- Questions -------------------------------------------------------------------

void TRedactor::refreshdata() {
    const int q = doc.currentQuestion;
    doc.setText(q, fromQt(Vopros->text()));
    for (int k = 1; k <= 6; ++k) {
        doc.setVariant(q, k, fromQt(variantEdit(k)->text()));
        doc.setPoints(q, k, fromQt(kball(k)->text()));
    }
}

void TRedactor::showCurrentQuestionNumber() { nv->setCaption(QString::number(doc.currentQuestion)); }

void TRedactor::outputTV() {
    const int q = doc.currentQuestion;
    showCurrentQuestionNumber();
    Vopros->setText(toQt(doc.text(q)));
    for (int k = 1; k <= 6; ++k) {
        variantEdit(k)->setText(toQt(doc.variant(q, k)));
        kball(k)->setText(toQt(doc.points(q, k)));
    }
}

void TRedactor::previewQuestion() {
    app_.UserForm->setQuestionText(Vopros->text());
    textvars();
}

void TRedactor::nextvopros() {
    if (Vopros->text().isEmpty()) {
        app_.platform.showInformation(QString::fromUtf8(kEmptyQuestionNotice));
        return;
    }
    if (doc.currentQuestion >= qv::kMaxQuestions) return;
    refreshdata();
    if (doc.currentQuestion >= doc.questionCount) {
        // A new question is appended; its slot is written from the fields when it is next stored.
        for (int k = 1; k <= 6; ++k) {
            variantEdit(k)->clear();
            kball(k)->clear();
        }
        Vopros->clear();
        ++doc.currentQuestion;
        doc.questionCount = doc.currentQuestion;
        showCurrentQuestionNumber();
    } else {
        ++doc.currentQuestion;
        outputTV();
    }
    if (doc.currentQuestion >= 2) predvop->setEnabled(true);
    if (doc.currentQuestion >= qv::kMaxQuestions) nextvop->setEnabled(false);
    previewQuestion();
}

void TRedactor::predvopros() {
    if (doc.currentQuestion <= 1) return;
    refreshdata();
    --doc.currentQuestion;
    outputTV();
    if (doc.currentQuestion == 1) predvop->setEnabled(false);
    if (doc.currentQuestion < qv::kMaxQuestions) nextvop->setEnabled(true);
    previewQuestion();
}

// --- Saving and closing ------------------------------------------------------------

QStringList TRedactor::shownMessageLines() const {
    QStringList lines;
    auto* layout = qobject_cast<QPlainTextDocumentLayout*>(Memo2->document()->documentLayout());
    for (QTextBlock block = Memo2->document()->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        if (layout) layout->ensureBlockLayout(block);
        const QTextLayout* lines_ = block.layout();
        if (!lines_ || lines_->lineCount() <= 1) {
            lines << text;
            continue;
        }
        for (int i = 0; i < lines_->lineCount(); ++i) {
            const QTextLine line = lines_->lineAt(i);
            lines << text.mid(line.textStart(), line.textLength());
        }
    }
    return lines;
}

void TRedactor::SaveAll() {
    const auto name = app_.platform.saveTestFile(this, app_.Manag->CurrentFileName);
    if (!name) return;
    const std::string target = qv::testFileName(fileNameBytes(*name));
    QString& failed = app_.Manag->FailedEditFile;
    const bool overFailed = !failed.isEmpty() && qv::os::sameFile(target, fileNameBytes(failed));
    if (overFailed && !app_.platform.askYesNo(QString("Файл «%1» не удалось открыть, и редактор показывает не его "
                                                      "содержимое. Заменить этот файл тем, что сейчас в редакторе?")
                                                  .arg(fileNameText(target)))) {
        return;
    }
    refreshdata();
    qv::TestHeader header;
    header.buttonCountText = fromQt(Edvar->currentText());
    header.title = fromQt(Edzag->text());
    header.author = fromQt(Edit1->text());
    header.windowCaption = fromQt(Edit2->text());
    for (int k = 1; k <= 6; ++k) header.captions[static_cast<std::size_t>(k - 1)] = fromQt(edButt(k)->text());
    const std::vector<std::string> messages = fromQt(shownMessageLines());
    qv::saveTest(fileNameBytes(*name), doc, header, messages);
    if (overFailed) failed.clear();

    // The field's wrapping can make more message lines than a run can hold.
    const auto written = 1 + std::count_if(messages.begin(), messages.end(), [](const auto& l) { return !l.empty(); });
    if (written > qv::kMaxMessageLines) {
        app_.platform.showInformation(
            QString("Тест сохранён, но сообщения о результатах заняли в файле %1 строк вместе с "
                    "завершающей «$». Пройти тест можно, только если их не больше %2: сократите сообщения.")
                .arg(written)
                .arg(qv::kMaxMessageLines));
    }
}

void TRedactor::CloseRedactor() {
    app_.UserForm->hide();
    hide();
    showWindow(app_.Manag);
    doc.clearQuestions();
    Memo2->clear();
}

// --- Loading for editing -------------------------------------------------------------

// A test file loaded for editing fills the editor's controls.
class TRedactor::EditDestination : public qv::LoadDestination {
public:
    explicit EditDestination(TRedactor& editor) : editor_(editor) {}
    // A load that fails keeps the message lines it had read.
    ~EditDestination() override { flushMessages(); }

    void buttonCountRead(const std::string& text) override { editor_.setButtonCountText(toQt(text)); }
    void variantModeRead(std::int32_t mode) override { editor_.selectVariantMode(mode); }

    void titleRead(const std::string& title, const std::string& author, const std::string& caption) override {
        editor_.Edzag->setText(toQt(title));
        editor_.Edit1->setText(toQt(author));
        editor_.Edit2->setText(toQt(caption));
    }

    void buttonsRead(const qv::LineFields& captions) override {
        for (int k = 1; k <= 6; ++k) editor_.edButt(k)->setText(toQt(captions[static_cast<std::size_t>(k - 1)]));
    }

    void variantsRead() override {
        editor_.doc.activeButtonCount = editor_.doc.buttonCount;
        editor_.ButtActive();
    }

    void messagesBegin() override { editor_.Memo2->clear(); }

    void messageRead(std::string& line) override { pending_ << toQt(line); }

    void loadFinished() override {
        // The last message line (the end marker in a saved test) is not shown.
        if (!pending_.isEmpty()) pending_.last().clear();
        flushMessages();
        if (editor_.doc.questionCount < 1) startEmptyQuestion();
        editor_.outputTV();
    }

private:
    // A test without questions is edited as one empty question. Its slot may
    // still hold a question of an earlier test; only the variants that the
    // file gave it (those of the first question, in variant mode 2) are kept.
    void startEmptyQuestion() {
        qv::TestDocument& doc = editor_.doc;
        doc.questionCount = 1;
        doc.setText(1, {});
        const bool variantsRead = doc.variantMode == qv::kFirstQuestionVariants;
        for (int k = 1; k <= qv::kMaxButtons; ++k) {
            doc.setPoints(1, k, {});
            if (!variantsRead || k > doc.buttonCount) doc.setVariant(1, k, {});
        }
    }

    void flushMessages() {
        if (pending_.isEmpty()) return;
        editor_.Memo2->setPlainText(pending_.join(QChar('\n')));
        pending_.clear();
    }

    TRedactor& editor_;
    QStringList pending_;
};

std::unique_ptr<qv::LoadDestination> TRedactor::loadDestination() { return std::make_unique<EditDestination>(*this); }
