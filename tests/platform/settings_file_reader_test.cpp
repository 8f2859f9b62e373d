// The settings read without Qt against QSettings itself: every file it reads, it reads as QSettings
// does; what it cannot, it refuses. And the folders it reads them from are QStandardPaths' own.
#include "platform/plain_platform.h"
#include "platform/settings_file_reader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>

namespace kivo {
namespace {

const char* const kNames[] = {"aot",  "onceaday", "printlarge", "largereminder", "days",
                              "icon", "lastrun",  "sorted",     "past"};

std::string bytesOf(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll().toStdString();
}

// Whether the reader read the file; when it did, it must see what QSettings sees.
bool readsAsQSettings(const QString& path) {
    const std::optional<SettingsFileContent> read = parseSettingsFile(bytesOf(path));
    if (!read)
        return false;
    QSettings qt(path, QSettings::IniFormat);
    EXPECT_EQ(read->anyKey, !qt.allKeys().isEmpty());
    std::set<std::string> keys;
    std::set<std::string> qtKeys;
    for (const QString& key : qt.childKeys())
        qtKeys.insert(key.toStdString());
    for (const auto& [key, value] : read->topLevel) {
        keys.insert(key);
        const QVariant stored = qt.value(QString::fromStdString(key));
        if (value) {
            EXPECT_EQ(stored.typeId(), QMetaType::QString) << key;
            EXPECT_EQ(stored.toString().toStdString(), *value) << key;
        }
    }
    EXPECT_EQ(keys, qtKeys);
    for (const char* name : kNames)
        EXPECT_EQ(read->find(name) != nullptr, qt.contains(name)) << name;
    return true;
}

TEST(SettingsFileReader, ReadsWhatQSettingsWroteOrRefusesIt) {
    // Each value as a top-level value, in a group and in an array, as the accounts are kept.
    const std::pair<QString, bool> values[] = {
        {"0", true},           {"14", true},     {"-3", true},
        {"20261209", true},    {"", true},       {"+1.5", true},
        {"a b", false},        {" x", false},    {"x ", false},
        {"a,b", false},        {"\"q\"", false}, {"back\\slash", false},
        {"semi;colon", false}, {"#x", false},    {"@x", false},
        {"@@x", false},        {"Grüße", false}, {"tab\tx", false},
        {"new\nline", false},  {"x=y", false},   {"%41", false},
        {"[General]", false},  {"\\", false},    {"a\"b", false},
        {"a\\\nb", false},     {"\r", false},    {"https://h/d?a=1;b", false}};
    QTemporaryDir folder;
    int number = 0;
    for (const auto& [value, mustRead] : values) {
        SCOPED_TRACE(value.toStdString());
        const QString path = folder.filePath(QString("w%1.conf").arg(++number));
        {
            QSettings qt(path, QSettings::IniFormat);
            qt.setValue("aot", value);
            qt.setValue("days", "14");
            qt.setValue("accounts/1/server", value);
            qt.beginWriteArray("books");
            for (int i = 0; i < 2; ++i) {
                qt.setArrayIndex(i);
                qt.setValue("name", value);
            }
            qt.endArray();
        }
        const bool read = readsAsQSettings(path);
        if (mustRead) {
            ASSERT_TRUE(read) << bytesOf(path);
            EXPECT_TRUE(parseSettingsFile(bytesOf(path))->find("aot")->has_value());
        }
    }
}

TEST(SettingsFileReader, ReadsFilesWrittenByHandAsQSettingsDoesOrRefusesThem) {
    const std::pair<const char*, bool> files[] = {
        {"[General]\ndays=14\n", true},
        {"days=14\n[accounts]\n1\\server=x\n", true},
        {"Days=5\n", true},
        {"", true},
        {"[accounts]\n", true},
        {"[accounts]\nsize=1\n1\\server=\"a;b\"\n[General]\ndays=7\n", true},
        {"days=\"5\"\nicon=5,6\npast=@Invalid()\n", true},
        {"[general]\ndays=5\n", false},
        {"[%General]\ndays=5\n", false},
        {"; note\ndays=5\n", false},
        {"# note\ndays=5\n", false},
        {"days=5 ; note\n", false},
        {"days=1\\\n2\n", false},
        {"name=\"a\ndays=5\"\n", false},
        {"days=5\r\nicon=3\r\n", false},
        {"\xEF\xBB\xBF[General]\ndays=5\n", false},
        {"  days=5\n", false},
        {"days = 5\n", false},
        {"%64ays=5\n", false},
        {"days=5\ndays=6\n", false},
        {"days\n", false},
    };
    QTemporaryDir folder;
    int number = 0;
    for (const auto& [text, mustRead] : files) {
        SCOPED_TRACE(text);
        const QString path = folder.filePath(QString("h%1.conf").arg(++number));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        EXPECT_TRUE(readsAsQSettings(path) || !mustRead);
    }
}

// Sets environment variables for the test's time (nullptr unsets one), and puts them back.
class Environment {
public:
    void set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~Environment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            it->second ? ::setenv(it->first, it->second->c_str(), 1) : ::unsetenv(it->first);
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(SettingsFileReader, FindsTheFoldersQStandardPathsFindsOrRefuses) {
    struct Case {
        const char* home;
        const char* configHome;
        const char* dataHome;
        const char* configDirs;
        bool mustFind;
    };
    const Case cases[] = {
        {"/home/u", nullptr, nullptr, nullptr, true},
        {"/home/u", "/x/config", "/x/data", "/a:/b", true},
        {"/home/u", "", "", "", true},
        {"/home/u", nullptr, nullptr, "/a:/b", true},
        {"/home/u", nullptr, nullptr, "/a::/b", false},
        {"/home/u", nullptr, nullptr, ":/a", false},
        {"/home/ü", "/x/cönfig", nullptr, nullptr, true},
        {"/home/u/", nullptr, nullptr, nullptr, false},
        {"/", nullptr, nullptr, nullptr, false},
        {"", nullptr, nullptr, nullptr, false},
        {"/home/u", "config", nullptr, nullptr, false},
        {"/home/u", "/x//config", nullptr, nullptr, false},
        {"/home/u", nullptr, "/x/./data", nullptr, false},
        {"/home/u", nullptr, nullptr, "/a:etc", false},
        {"/home/\xff", nullptr, nullptr, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.home) + " " + (c.configHome ? c.configHome : "-") + " " +
                     (c.dataHome ? c.dataHome : "-") + " " + (c.configDirs ? c.configDirs : "-"));
        Environment environment;
        environment.set("HOME", c.home);
        environment.set("XDG_CONFIG_HOME", c.configHome);
        environment.set("XDG_DATA_HOME", c.dataHome);
        environment.set("XDG_CONFIG_DIRS", c.configDirs);
        const std::optional<XdgFolders> folders = XdgFolders::fromEnvironment();
        EXPECT_TRUE(folders || !c.mustFind);
        if (!folders)
            continue;
        using Paths = QStandardPaths;
        QStringList configDirs = Paths::standardLocations(Paths::GenericConfigLocation);
        configDirs.removeFirst(); // the user's own, as QSettings takes it off too
        EXPECT_EQ(QString::fromStdString(folders->configHome),
                  Paths::writableLocation(Paths::GenericConfigLocation));
        EXPECT_EQ(QString::fromStdString(folders->dataHome),
                  Paths::writableLocation(Paths::GenericDataLocation));
        std::vector<std::string> qtDirs;
        for (const QString& dir : configDirs)
            qtDirs.push_back(dir.toStdString());
        EXPECT_EQ(folders->configDirs, qtDirs);
    }
}

// A key is looked for in the user's files, then in the system's, as QSettings falls back.
TEST(SettingsFileReader, TakesEachValueFromTheFileQSettingsTakesItFrom) {
    QTemporaryDir folder;
    const std::string root = folder.path().toStdString();
    const std::vector<std::string> system{root + "/sys1", root + "/sys2"};
    const std::vector<std::string> paths =
        settingsFilePaths(root + "/user", system, "Velmik", "kivo");
    ASSERT_EQ(paths.size(), 6u);
    Environment environment;
    environment.set("XDG_CONFIG_DIRS", (system[0] + ":" + system[1]).c_str());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path() + "/user");
    const QSettings none(QSettings::NativeFormat, QSettings::UserScope, "Velmik", "kivo");
    EXPECT_EQ(ReadOnlySettingsStore(paths).keyExists(), !none.allKeys().isEmpty());

    // In the order of `paths`: user application, user organisation, then the system's.
    const char* const texts[] = {"aot=1\nlastrun=20260607\n", "aot=0\ndays=30\n",
                                 "days=40\nicon=5\n",         "icon=6\nsorted=-2\n",
                                 "sorted=3\npast=4\n",        "[General]\npast=5\nprintlarge=1\n"};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        QDir().mkpath(QFileInfo(QString::fromStdString(paths[i])).path());
        QFile file(QString::fromStdString(paths[i]));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(texts[i]);
    }
    const ReadOnlySettingsStore store(paths);
    const QSettings qt(QSettings::NativeFormat, QSettings::UserScope, "Velmik", "kivo");
    EXPECT_TRUE(store.keyExists());
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        const std::optional<std::string> value = store.readValue(name);
        ASSERT_EQ(value.has_value(), qt.contains(name));
        EXPECT_EQ(value.value_or(""), qt.value(name).toString().toStdString());
    }
    EXPECT_TRUE(store.certain());
}

} // namespace
} // namespace kivo
