// Filling a text field with very many lines without keeping the window
// from answering.
#pragma once

#include <QObject>
#include <QPlainTextEdit>
#include <string>
#include <vector>

// Fills a text field with many lines a batch at a time, between the
// window's events, so that a test with a very long message section opens at
// once and its window answers while the rest comes in. The field takes no
// typing until it is full.
class StepwiseFill : public QObject {
    Q_OBJECT
  public:
    explicit StepwiseFill(QPlainTextEdit* field);
    // Replaces the field's text with the lines (Windows-1251): the first
    // batch at once, the others later. The lines must stay as they are until
    // the field is full or another fill begins.
    void start(const std::vector<std::string>* lines);
    // Puts in at once whatever lines are still to come.
    void finish();

  protected:
    void timerEvent(QTimerEvent* event) override;

  private:
    void appendBatch(std::size_t count);

    QPlainTextEdit* field_;
    const std::vector<std::string>* lines_ = nullptr;
    std::size_t next_ = 0;
    int timer_ = 0;
};
