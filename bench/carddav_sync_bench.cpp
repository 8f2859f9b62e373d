// The sync of an address book of 10,000 contacts from a real Radicale on 127.0.0.1: the first
// sync, and a sync when nothing changed. kivo's processor time and peak memory are this process's;
// the server's processor time is read from the kernel for its process. Run by hand:
//   build/bench/bench_carddav_sync [contacts]
#include "bench/process_usage.h"
#include "sync/account_sync.h"
#include "tests/sync/radicale_server.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

using namespace kivo::sync;

using kivo::bench::peakMebibytes;
using kivo::bench::processorSeconds;
using kivo::bench::processorSecondsOf;

QByteArray cards(int count) {
    QByteArray all;
    for (int i = 0; i < count; ++i)
        all += QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:c%1\r\nFN:Contact %1\r\n"
                              "N:%1;Contact;;;\r\nEMAIL:c%1@example.org\r\nBDAY:19%2-%3-%4\r\n"
                              "END:VCARD\r\n")
                   .arg(i)
                   .arg(50 + i % 50)
                   .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                   .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                   .toUtf8();
    return all;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    test::RadicaleServer server;
    if (!server.start()) {
        std::fprintf(stderr, "Radicale did not start: %s\n", server.error().toUtf8().constData());
        return 1;
    }
    const QString book = QStringLiteral("/alice/contacts/");
    if (server.mkAddressBook(book, QStringLiteral("Contacts")) != 201 ||
        server.put(book, cards(count)) != 201) {
        std::fprintf(stderr, "the address book could not be filled\n");
        return 1;
    }
    QTemporaryDir folder;
    const std::string path = folder.filePath("kivo-contacts-1.ini").toStdString();
    Account account;
    AddressBook contacts;
    contacts.url = server.origin() + book;
    contacts.chosen = true;
    contacts.supportsSyncCollection = true;
    account.addressBooks = {contacts};
    NewContactRecords fresh;
    fresh.defaults.daysInAdvance = 14;
    fresh.anniversaryWord = "Anniversary";
    const ServerLogin login{server.origin(),
                            QString::fromLatin1(test::RadicaleServer::kUser),
                            QString::fromLatin1(test::RadicaleServer::kPassword),
                            {},
                            600000};

    for (const char* what : {"first sync", "nothing changed"}) {
        CardDavClient client(login);
        const double cpuBefore = processorSeconds();
        const double serverBefore = processorSecondsOf(server.processId());
        const auto wallBefore = std::chrono::steady_clock::now();
        const AccountSyncOutcome outcome = test::waitFor<AccountSyncOutcome>(
            [&](auto done) { syncAccount(client, account, path, fresh, done); }, 600000);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        if (outcome.error) {
            std::fprintf(stderr, "%s failed: %s\n", what,
                         outcome.error->message.toUtf8().constData());
            return 1;
        }
        std::printf("%-16s kivo processor %.3f s, peak %.1f MB; server processor %.3f s; wall "
                    "%.3f s; %d requests; %d contacts changed\n",
                    what, processorSeconds() - cpuBefore, peakMebibytes(),
                    processorSecondsOf(server.processId()) - serverBefore, wall,
                    client.requestCount(), outcome.contactsChanged);
    }
    return 0;
}
