// The test platform.
#include "support/fake_platform.h"

#include <QDir>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace kivo::test {

void FakeFolders::makeFolder(const std::string& folder) const {
    made.push_back(folder);
    QDir().mkpath(QString::fromStdString(folder));
}

bool FakeMessages::question(const std::string& text) {
    questions.push_back(text);
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text;
        return false;
    }
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
}

FakePlatform::FakePlatform() {
    folders.working = root.path().toStdString() + "/work/";
    folders.user = root.path().toStdString() + "/user/Velmik Fennaro/";
    QDir().mkpath(QString::fromStdString(folders.working));
}

std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace kivo::test
