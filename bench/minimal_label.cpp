// The yardstick of bench/light-start: the smallest Qt Widgets program that
// shows a window, one label in it, built with the same flags as the program.
#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QLabel label(QStringLiteral("Keine Verbindung"));
    label.setWindowTitle(QStringLiteral("Minimal"));
    label.show();
    return application.exec();
}
