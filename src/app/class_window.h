// The class window: a test served to the pupils in the room. It shows the
// addresses to open, a QR code of the first large enough to scan from the
// back of the room, the address to type, and the pupils as they go: name,
// question, whether they have finished, and, once the teacher shows them,
// the total and the range. "Проверить адрес" tells whether the address
// answers and what to do when pupils cannot reach it; "Завершить" stops.
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

#include "window_services.h"

class ClassSession;
class QCheckBox;
class QLabel;
class QTableWidget;
class QTimer;

class ClassWindow : public QWidget {
    Q_OBJECT
  public:
    ClassWindow(WindowServices& services, std::unique_ptr<ClassSession> session,
                const QString& testName, QWidget* parent = nullptr);
    ~ClassWindow() override;

    // The table as the pupils stand now.
    void refresh();
    // What the self-test found, in Russian, as the box shows it.
    QString reachReport() const;
    // Stops serving; the window closes.
    void finish();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    WindowServices& services_;
    std::unique_ptr<ClassSession> session_;
    QTableWidget* table_ = nullptr;
    QCheckBox* showTotals_ = nullptr;
    QLabel* summary_ = nullptr;
    QTimer* timer_ = nullptr;
};

// A QR code of `text`, black on white with its quiet zone, each module
// `scale` pixels square; a null image when it cannot be made.
QImage qrCodeImage(const QString& text, int scale);

// "Файл" → "Провести в классе…": the test chosen, served, and its class window shown.
void openClassWindow(WindowServices& services, QWidget* parent);
