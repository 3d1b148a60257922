// The editor window: where an author writes a test. Its fields show the
// session's editor state and take only what the file can hold; what the
// author types and presses goes straight to the session, and the window adds
// only what a window must: the save dialog, the questions before a save or
// before unsaved work is left, and what it tells the author.
#pragma once

#include <QSize>
#include <QStringList>
#include <QWidget>
#include <array>

#include "session.h"
#include "window_services.h"

class AutoLabel;
class QComboBox;
class QLabel;
class QScrollArea;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class StepwiseFill;
class TypingLimitEdit;

class TRedactor : public QWidget {
    Q_OBJECT
  public:
    explicit TRedactor(WindowServices& services);

    // Opening, for a new test or an existing one: the window is shown with
    // the focus on its first field, and the test starts from question 1 of 1.
    void openForWork();

    // Show what the session holds.
    void showHeader();
    void showButtonCount();
    void showQuestion();
    void showMessages();
    // The caption names the file the test was opened from or saved to, or
    // the file that could not be read.
    void showCaption();

    // Where the screen is too small for the whole window, the window takes
    // what fits and its client area scrolls; otherwise it has its own size.
    void fitToScreen();

    // The result messages line by line as the field shows them, wrapped lines
    // broken where the field breaks them (once the field holds them all).
    QStringList shownMessageLines();

    // Whether the editor may be left: true when it is not open, when nothing
    // changed since its test was opened or saved, or when the author, asked,
    // saves the test or lets the changes go.
    bool mayLeave();

    // "Закрыть": asks about unsaved work, then the editor and the preview go.
    void CloseRedactor();

    static constexpr const char* kEmptyQuestionNotice = "Не определен текст вопроса.";
    static constexpr QSize kClientSize{891, 515};

  signals:
    // "Закрыть": the editor and the preview go, the manager opens.
    void closing();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Handlers that add to the session's rule what only the window knows.
    void nextvopros();
    // Saves through the save dialog, asking first where a save would lose
    // something; true once the test is saved.
    bool saveTest();

    void buildHeaderControls();
    void buildQuestionControls();
    void buildMessageControls();
    void setTabOrderAsDesigned();
    void nameFieldsForScreenReaders();
    // The header and points fields take no character that their lines in
    // the file give a meaning to.
    void refuseUnholdableCharacters();
    void markPointsToMend(TypingLimitEdit* field);
    // The message field's lines as the author wrote them, unwrapped.
    std::vector<std::string> messageLines();
    void connectHandlers();
    // What the author types into a field goes to the session as it is typed.
    // `button` names the field of a caption, a variant or points.
    void forwardTyping(QLineEdit* field, qv::EditorField typed, int button = 0);
    // Sets a field's text from the session without taking it for typing.
    void setFieldText(QLineEdit* field, const std::string& bytes);

    TypingLimitEdit* edButt(int k) const { return EdButt.at(static_cast<std::size_t>(k - 1)); }
    TypingLimitEdit* variantEdit(int k) const { return v.at(static_cast<std::size_t>(k - 1)); }
    TypingLimitEdit* kball(int k) const { return Kball.at(static_cast<std::size_t>(k - 1)); }

    WindowServices& services_;
    qv::Session& session_;
    bool showing_ = false;                     // the fields are being set from the session
    static constexpr int kFrameSettles = 300;  // ms after showing

    QWidget* client_;
    QScrollArea* scroller_;
    QLabel* statusLine_;

    QGroupBox* GroupBox1;
    TypingLimitEdit* Edzag;
    QGroupBox* GroupBox2;
    AutoLabel* Label1;
    std::array<AutoLabel*, 6> buttonLabels{};  // Label2..Label7
    std::array<TypingLimitEdit*, 6> EdButt{};  // EdButt1..EdButt6
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
    StepwiseFill* messageFill_;
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
};
