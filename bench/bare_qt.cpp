// The yardstick of the start-up benchmark: a Qt Widgets program that only starts and ends.
#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    return 0;
}
