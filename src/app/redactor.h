// The editor window: where an author writes a test. It holds the one test
// document of the program; the test's header and result messages live in its
// controls.
#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "document.h"
#include "loader.h"

class AppWindows;
class AutoLabel;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class TypingLimitEdit;

class TRedactor : public QWidget {
    Q_OBJECT
public:
    explicit TRedactor(AppWindows& app);

    qv::TestDocument doc;

    // Opening: shows the window; the test then starts from question 1 of 1.
    void openEditor();
    // "nv" shows 1, "< Назад " disabled, "Дальше > " enabled, CurrentQuestion 1.
    void prepareFirstQuestion();
    // The controls and the preview take the values of a new test.
    void prepareNewTest();
    // Checks the radio button of a variant mode (1..3) and runs its handler.
    void selectVariantMode(int mode);
    // Sets the button-count text without running the button-count rule.
    void setButtonCountText(const QString& text);
    // Where a test file loaded for editing goes.
    std::unique_ptr<qv::LoadDestination> loadDestination();
    // The result messages line by line as the field shows them, wrapped lines
    // broken where the field breaks them.
    QStringList shownMessageLines() const;

    // Handlers.
    void ButtActive();
    void UsButtCapt();
    void Zagolovok();
    void Copyright();
    void Windows();
    void TextVoprosa();
    void printVariants();
    void textvars();
    void Click_rb1();
    void Click_rb2();
    void Click_rb3();
    void refreshdata();
    void outputTV();
    void nextvopros();
    void predvopros();
    void SaveAll();
    void CloseRedactor();

    QGroupBox* GroupBox1;
    TypingLimitEdit* Edzag;
    QGroupBox* GroupBox2;
    AutoLabel* Label1;
    std::array<AutoLabel*, 6> buttonLabels{};  // Label2..Label7
    std::array<TypingLimitEdit*, 6> EdButt{};   // EdButt1..EdButt6
    QComboBox* Edvar;
    QGroupBox* GroupBox3;
    AutoLabel* Label8;
    AutoLabel* nv;
    TypingLimitEdit* Vopros;
    AutoLabel* Label9;
    std::array<AutoLabel*, 6> variantLabels{};  // Label17..Label22
    std::array<TypingLimitEdit*, 6> v{};        // v1..v6
    AutoLabel* Label10;
    AutoLabel* Label13;
    std::array<TypingLimitEdit*, 6> Kball{};  // Kball1..Kball6
    QPushButton* predvop;
    QPushButton* nextvop;
    QGroupBox* GroupBox4;
    AutoLabel* Label12;
    AutoLabel* Label11;
    AutoLabel* Label14;
    QPlainTextEdit* Memo2;
    QPushButton* Button10;
    QPushButton* Button12;
    QGroupBox* GroupBox5;
    AutoLabel* Label15;
    AutoLabel* Label16;
    TypingLimitEdit* Edit1;
    TypingLimitEdit* Edit2;
    QGroupBox* RadioGroup1;
    QRadioButton* RB1;
    QRadioButton* RB2;
    QRadioButton* RB3;

    // 1-based access to the numbered controls.
    TypingLimitEdit* edButt(int k) const { return EdButt.at(static_cast<std::size_t>(k - 1)); }
    TypingLimitEdit* variantEdit(int k) const { return v.at(static_cast<std::size_t>(k - 1)); }
    TypingLimitEdit* kball(int k) const { return Kball.at(static_cast<std::size_t>(k - 1)); }

    static constexpr const char* kAuthorPrefix = "Автор теста: ";
    static constexpr const char* kEmptyQuestionNotice = "Не определен текст вопроса.";

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class EditDestination;

    void buildHeaderControls();
    void buildQuestionControls();
    void buildMessageControls();
    void setTabOrderAsDesigned();
    void nameFieldsForScreenReaders();
    void connectHandlers();
    void showCurrentQuestionNumber();
    void previewQuestion();

    AppWindows& app_;
};
