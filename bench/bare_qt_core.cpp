// A yardstick of the start-up benchmark: a Qt Core program that only starts and ends.
#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    return 0;
}
