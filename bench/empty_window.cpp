// The toolkit's floor: the least a Qt Widgets program does before its first
// window is mapped, to compare the program's own start-up with.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Менеджер тестов"));
    window.resize(350, 135);
    window.show();
    return QApplication::exec();
}
