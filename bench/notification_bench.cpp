// The timer's run with five records due until its notification call returns, against bare_notify,
// a Qt program that only sends one notification. The benchmark is the notification service itself,
// on a session bus of its own, and times each program from its start to its Notify call; kivo's
// run then ends as the service closes the notification. Prints median wall and processor times.
//   bench_notification [runs]
#include "bench/process_usage.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariantMap>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

// What one program cost up to the moment its notification arrived.
struct Sample {
    double wallMs = 0;
    double processorMs = 0;
};

// The notification service: notes the moment each notification arrives.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit NotificationService(QDBusConnection bus) : bus_(std::move(bus)) {}
    std::function<void()> arrived;

public slots:
    QStringList GetCapabilities() {
        return {QStringLiteral("body"), QStringLiteral("body-markup"), QStringLiteral("actions")};
    }
    uint Notify(const QString&, uint, const QString&, const QString&, const QString&,
                const QStringList&, const QVariantMap&, int) {
        const uint id = ++lastId_;
        if (arrived)
            arrived();
        // Closed at once, after the answer: the timer's run then ends by itself.
        QMetaObject::invokeMethod(
            this,
            [this, id] {
                QDBusMessage closed =
                    QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                               QStringLiteral("org.freedesktop.Notifications"),
                                               QStringLiteral("NotificationClosed"));
                closed << id << uint(1);
                bus_.send(closed);
            },
            Qt::QueuedConnection);
        return id;
    }
    void CloseNotification(uint) {}

private:
    QDBusConnection bus_;
    uint lastId_ = 0;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;

    // A bus of the benchmark's own, which starts no service on demand.
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--config-file=" KIVO_SESSION_BUS_CONFIG),
                  QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!daemon.waitForReadyRead(30000)) {
        std::fprintf(stderr, "bench_notification: dbus-daemon did not start\n");
        return 1;
    }
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("bench"));
    NotificationService service(bus);
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::fprintf(stderr, "bench_notification: the service could not be registered\n");
        return 1;
    }

    // kivo's folders, with five birthdays due within the week, one of them today.
    QTemporaryDir scratch;
    const QString home = scratch.path();
    QDir(home).mkpath(QStringLiteral("config/Velmik"));
    QDir(home).mkpath(QStringLiteral("data"));
    QTemporaryDir runtime(QStringLiteral("/dev/shm/kivo-bench-XXXXXX"));
    QFile records(home + QStringLiteral("/kivos.ini"));
    if (!records.open(QIODevice::WriteOnly))
        return 1;
    for (int i = 0; i < 5; ++i) {
        const QDate day = QDate::currentDate().addDays(i);
        records.write(
            QStringLiteral("Person %1,%2,4,-1,7,0,0,,0,1,\r\n")
                .arg(i)
                .arg(QDate(1980 + i, day.month(), day.day()).toString(QStringLiteral("ddMMyyyy")))
                .toUtf8());
    }
    records.close();
    const QString settings = home + QStringLiteral("/config/Velmik/kivo.conf");
    const QByteArray yesterday =
        QDate::currentDate().addDays(-1).toString(QStringLiteral("yyyyMMdd")).toUtf8();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                       runtime.isValid() ? runtime.path() : home);

    struct Program {
        const char* name;
        QString path;
        QStringList arguments;
        std::vector<double> wall, processor;
    };
    Program programs[] = {
        {"bare Qt D-Bus", QStringLiteral(KIVO_BARE_NOTIFY), {}, {}, {}},
        {"kivo --timer", QStringLiteral(KIVO_PROGRAM), {QStringLiteral("--timer")}, {}, {}}};

    // The service answers while the program runs, so each run waits in an event loop.
    const auto run = [&](Program& program, bool keep) {
        // A day on which no run showed the reminders yet, as every morning.
        QFile file(settings);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write("[General]\nlastrun=" + yesterday + "\nlastshown=" + yesterday + "\n");
        file.close();
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(home);
        Sample sample;
        QElapsedTimer clock;
        service.arrived = [&] {
            sample.wallMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            sample.processorMs = kivo::bench::preciseProcessorSecondsOf(process.processId()) * 1000;
        };
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(60000);
        clock.start();
        process.start(program.path, program.arguments);
        loop.exec();
        service.arrived = nullptr;
        if (process.state() != QProcess::NotRunning || process.exitCode() != 0 ||
            sample.wallMs == 0) {
            std::fprintf(stderr, "bench_notification: %s failed: %s\n", program.name,
                         process.readAllStandardError().constData());
            std::exit(1);
        }
        if (keep) {
            program.wall.push_back(sample.wallMs);
            program.processor.push_back(sample.processorMs);
        }
    };
    for (Program& program : programs)
        run(program, false); // warm the caches
    for (int i = 0; i < runs; ++i)
        for (Program& program : programs) // taking turns, so that a busy moment hits both
            run(program, true);

    for (const Program& program : programs)
        std::printf("%-14s median to the notification: wall %.1f ms, processor %.1f ms\n",
                    program.name, median(program.wall), median(program.processor));
    std::printf("kivo / bare: wall %.2f, processor %.2f (runs: %d)\n",
                median(programs[1].wall) / median(programs[0].wall),
                median(programs[1].processor) / median(programs[0].processor), runs);
    daemon.terminate();
    daemon.waitForFinished();
    return 0;
}

#include "notification_bench.moc"
