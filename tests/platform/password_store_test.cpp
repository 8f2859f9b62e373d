// Passwords in the desktop's keyring: kept, read back, replaced and removed; and the answer when
// there is no keyring at all. Run by with_session_bus.sh --keyring on a bus and keyring of the
// test's own.
#include "platform/password_store.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace kivo {
namespace {

using Result = PasswordStore::Result;

TEST(KeyringPasswordStoreTest, KeepsReadsReplacesAndRemovesAnAccountsPassword) {
    KeyringPasswordStore store;
    std::string password;
    std::string reason;
    ASSERT_EQ(store.remove("account-1", &reason), Result::Ok) << reason;
    EXPECT_EQ(store.read("account-1", password), Result::NotFound);
    // Any text a password may hold, beyond ASCII too.
    const std::string secret = "pä ss\"wörd\t;=%";
    ASSERT_EQ(store.write("account-1", secret, &reason), Result::Ok) << reason;
    ASSERT_EQ(store.write("account-2", "other"), Result::Ok);
    ASSERT_EQ(store.read("account-1", password), Result::Ok);
    EXPECT_EQ(password, secret);
    ASSERT_EQ(store.write("account-1", "new"), Result::Ok);
    ASSERT_EQ(store.read("account-1", password), Result::Ok);
    EXPECT_EQ(password, "new");
    ASSERT_EQ(store.remove("account-1"), Result::Ok);
    EXPECT_EQ(store.read("account-1", password), Result::NotFound);
    EXPECT_TRUE(password.empty());
    ASSERT_EQ(store.read("account-2", password), Result::Ok);
    EXPECT_EQ(password, "other");
}

// Run with a session bus address that leads nowhere: nothing is kept, and the caller learns that
// there is no keyring rather than a failure of one.
TEST(NoKeyringTest, SaysSoAndKeepsNothing) {
    KeyringPasswordStore store;
    std::string password = "stale";
    EXPECT_EQ(store.write("account-1", "secret"), Result::NoKeyring);
    EXPECT_EQ(store.read("account-1", password), Result::NoKeyring);
    EXPECT_TRUE(password.empty());
}

} // namespace
} // namespace kivo

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
