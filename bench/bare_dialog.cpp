// The yardstick of the windowed start-up benchmark: a Qt Widgets program that reads the records
// file's lines in the plainest way and shows one small dialog with their count.
#include <QApplication>
#include <QMessageBox>

#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::ifstream in("kivos.ini", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    QApplication application(argc, argv);
    QMessageBox box(QMessageBox::Information, QStringLiteral("bare dialog"),
                    QString::number(lines.size()) + QStringLiteral(" lines"));
    box.show();
    return application.exec();
}
