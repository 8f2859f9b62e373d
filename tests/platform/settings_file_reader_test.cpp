// The settings read without Qt against QSettings itself: a file it reads, it reads as QSettings
// does, or it refuses it; and it finds the folders where QStandardPaths finds them. (Which file
// QSettings takes a value from is checked with the program, in tests/app/quiet_run_test.cpp.)
#include "platform/plain_platform.h"
#include "platform/settings_file_reader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include <deque>
#include <gtest/gtest.h>

namespace kivo {
namespace {

const char* const kNames[] = {"aot",  "onceaday", "printlarge", "largereminder", "days",
                              "icon", "lastrun",  "sorted",     "past"};

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(SettingsFileReader, ReadsEachFileAsQSettingsDoesOrRefusesIt) {
    QTemporaryDir folder;
    std::vector<std::pair<QString, bool>> files; // and whether it must be read
    // Values as QSettings writes them: top-level, in a group and in an array, as the accounts are.
    auto written = [&](const QString& value, bool mustRead) {
        files.emplace_back(folder.filePath(QString("w%1.conf").arg(files.size())), mustRead);
        QSettings qt(files.back().first, QSettings::IniFormat);
        qt.setValue("aot", value);
        qt.setValue("accounts/1/server", value);
        qt.beginWriteArray("books");
        for (int i = 0; i < 2; ++i) {
            qt.setArrayIndex(i);
            qt.setValue("name", value);
        }
        qt.endArray();
    };
    for (const char* value : {"0", "-3", "20261209", "", "+1.5"})
        written(value, true);
    for (const char* value :
         {"a b",  " x",   "a,b", "\"q\"", "b\\s",      "s;c", "#x",   "@x",     "@@x", "Grüße",
          "t\tx", "n\nl", "x=y", "%41",   "[General]", "\\",  "a\"b", "a\\\nb", "\r",  "h/d?a=1;b"})
        written(value, false);
    // Files as a person or another program may write them.
    auto byHand = [&](const char* text, bool mustRead) {
        files.emplace_back(folder.filePath(QString("h%1.conf").arg(files.size())), mustRead);
        writeFile(files.back().first, text);
    };
    for (const char* text :
         {"[General]\ndays=14\n", "days=14\n[accounts]\n1\\server=x\n", "Days=5\n", "",
          "[accounts]\n", "[a]\nsize=1\n1\\s=\"a;b\"\n[General]\ndays=7\n",
          "days=\"5\"\nicon=5,6\npast=@Invalid()\n"})
        byHand(text, true);
    for (const char* text :
         {"[general]\ndays=5\n", "[%General]\ndays=5\n", "; note\ndays=5\n", "# note\ndays=5\n",
          "days=5 ; note\n", "days=1\\\n2\n", "name=\"a\ndays=5\"\n", "days=5\r\nicon=3\r\n",
          "\xEF\xBB\xBF[General]\n", "  days=5\n", "days = 5\n", "%64ays=5\n", "days=5\ndays=6\n",
          "days\n"})
        byHand(text, false);

    for (const auto& [path, mustRead] : files) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        SCOPED_TRACE(bytes.toStdString());
        const std::optional<SettingsFileContent> read = parseSettingsFile(bytes.toStdString());
        EXPECT_TRUE(read || !mustRead);
        if (!read)
            continue;
        const QSettings qt(path, QSettings::IniFormat);
        EXPECT_EQ(read->anyKey, !qt.allKeys().isEmpty());
        QStringList keys;
        for (const auto& [key, value] : read->topLevel) {
            keys.append(QString::fromStdString(key));
            const QVariant stored = qt.value(keys.back());
            EXPECT_TRUE(!value || (stored.typeId() == QMetaType::QString &&
                                   stored.toString().toStdString() == *value))
                << key;
            EXPECT_TRUE(value || !mustRead || key != "aot");
        }
        QStringList qtKeys = qt.childKeys();
        keys.sort();
        qtKeys.sort();
        EXPECT_EQ(keys, qtKeys);
        for (const char* name : kNames)
            EXPECT_EQ(read->find(name) != nullptr, qt.contains(name)) << name;
    }
}

// Sets an environment variable (nullptr unsets it) until it goes out of scope.
struct Variable {
    const char* name;
    std::optional<std::string> old;
    Variable(const char* name, const char* value) : name(name) {
        if (const char* was = std::getenv(name))
            old = was;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~Variable() { old ? ::setenv(name, old->c_str(), 1) : ::unsetenv(name); }
};

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

// A changed value is written in place exactly as QSettings writes the same change, or not at all.
TEST(SettingsFileReader, WritesAChangedValueAsQSettingsDoesOrNotAtAll) {
    QTemporaryDir folder;
    const QString kivoFile = folder.filePath("kivo.conf");
    {
        QSettings qt(kivoFile, QSettings::IniFormat);
        for (const char* name : kNames)
            qt.setValue(name, name == std::string("lastrun") ? "20261208" : "1");
        qt.setValue("accounts/1/server", "http://127.0.0.1:5232/dav/");
        qt.setValue("sortcolumn", "-3");
    }
    const QByteArray written = readAll(kivoFile);
    struct Case {
        const char* what;
        QByteArray before;
        const char* key;
        const char* value;
        bool writes;
    };
    const Case cases[] = {
        {"kivo's own file, a new day", written, "lastrun", "20261209", true},
        {"a value at the end", written, "sortcolumn", "2", true},
        {"a group written by hand", "[General]\nlastrun=1\n\n[a]\nn=1\n", "lastrun", "2", true},
        // QSettings lays these out anew: [General] first, one empty line before each group.
        {"groups first", "[accounts]\nn=1\n\n[General]\ndays=4\nlastrun=20200101\n", "lastrun",
         "20261209", false},
        {"no group line", "days=4\nlastrun=20200101\n", "lastrun", "20261209", false},
        {"no empty line before a group", "[General]\nlastrun=1\n[a]\nn=1\n", "lastrun", "2", false},
        {"an empty line of its own", "[General]\n\nlastrun=1\n", "lastrun", "2", false},
        {"a key not in the file", written, "notify", "1", false},
        {"only in a group", "[accounts]\nlastrun=1\n", "lastrun", "2", false},
        {"a value QSettings quotes", written, "lastrun", "a b", false},
        {"an old value QSettings reads otherwise", "lastrun=\"1\"\n", "lastrun", "2", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString ours = folder.filePath("ours.conf");
        const QString theirs = folder.filePath("theirs.conf");
        for (const QString& path : {ours, theirs}) {
            QFile::remove(path);
            writeFile(path, c.before);
        }
        QFile::setPermissions(ours, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const QFileDevice::Permissions permissions = QFile::permissions(ours);
        {
            QSettings qt(theirs, QSettings::IniFormat);
            qt.setValue(c.key, c.value);
        }
        ReadOnlySettingsStore store({ours.toStdString()});
        store.writeValue(c.key, c.value);
        EXPECT_EQ(store.writeChanged(), c.writes);
        EXPECT_EQ(readAll(ours), c.writes ? readAll(theirs) : c.before);
        EXPECT_EQ(QFile::permissions(ours), permissions);
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 3) << "no lock or temporary";
    }

    // Another writer holds QSettings' lock, or wrote the file since it was read: nothing is
    // written.
    const QString ours = folder.filePath("ours.conf");
    for (const bool locked : {true, false}) {
        writeFile(ours, written);
        ReadOnlySettingsStore store({ours.toStdString()});
        store.writeValue("lastrun", "20261209");
        if (locked)
            writeFile(ours + ".lock", "1\nother\nhost\n");
        else
            writeFile(ours, written + "notify=1\n");
        EXPECT_FALSE(store.writeChanged());
        EXPECT_EQ(readAll(ours), locked ? written : written + "notify=1\n");
        QFile::remove(ours + ".lock");
    }
}

TEST(SettingsFileReader, FindsTheFoldersQStandardPathsFindsOrRefuses) {
    using Paths = QStandardPaths;
    // HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_CONFIG_DIRS, "-" for one that is not set.
    auto check = [](const std::string& environment, bool mustFind) {
        SCOPED_TRACE(environment);
        std::vector<std::string> values;
        std::size_t start = 0;
        for (std::size_t end; (end = environment.find('|', start)) != std::string::npos;
             start = end + 1)
            values.push_back(environment.substr(start, end - start));
        values.push_back(environment.substr(start));
        std::deque<Variable> variables; // set in place, put back at the end
        const char* const names[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS"};
        for (std::size_t i = 0; i < std::size(names); ++i)
            variables.emplace_back(names[i], values.at(i) == "-" ? nullptr : values.at(i).c_str());
        const std::optional<XdgFolders> folders = XdgFolders::fromEnvironment();
        EXPECT_TRUE(folders || !mustFind);
        if (!folders)
            return;
        QStringList dirs{QString::fromStdString(folders->configHome)};
        for (const std::string& dir : folders->configDirs)
            dirs.append(QString::fromStdString(dir));
        // QSettings reads all of these but the first, which is the user's own.
        EXPECT_EQ(dirs, Paths::standardLocations(Paths::GenericConfigLocation));
        EXPECT_EQ(QString::fromStdString(folders->dataHome),
                  Paths::writableLocation(Paths::GenericDataLocation));
    };
    for (const char* environment :
         {"/home/u|-|-|-", "/home/u|/c|/d|/a:/b", "/home/u|||", "/home/ü|/x/cönfig|-|-"})
        check(environment, true);
    for (const char* environment : {"/home/u/|-|-|-", "/|-|-|-", "|-|-|-", "/home/u|config|-|-",
                                    "/home/u|/x//c|-|-", "/home/u|-|/x/./d|-", "/home/u|-|-|/a:etc",
                                    "/home/u|-|-|/a::/b", "/home/u|-|-|:/a", "/home/\xff|-|-|-"})
        check(environment, false);
}

} // namespace
} // namespace kivo
