// The About window.
#pragma once

#include <QWidget>

#include "window_services.h"

class AutoLabel;
class QFrame;
class QLabel;
class QPushButton;

class TAB : public QWidget {
    Q_OBJECT
  public:
    explicit TAB(WindowServices& services);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QFrame* Panel1;
    QLabel* Image1;
    AutoLabel* Label1;
    AutoLabel* Label2;
    AutoLabel* Label3;
    AutoLabel* Label5;
    AutoLabel* Label6;
    AutoLabel* Label7;
    QPushButton* OKButton;
};
