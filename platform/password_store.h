// Passwords of the user's accounts, kept in the desktop's keyring (the Secret Service on Linux,
// the Credential Manager on Windows) and never in a file of kivo's.
#pragma once

#include <optional>
#include <string>

namespace kivo {

class PasswordStore {
public:
    enum class Result {
        Ok,
        NotFound,  // the keyring has no password for the account
        NoKeyring, // there is no keyring to keep it in: ask the user each time, keep it nowhere
        Failed,    // the keyring refused or failed; `reason` says why
    };
    virtual ~PasswordStore() = default;
    virtual Result read(const std::string& account, std::string& password,
                        std::string* reason = nullptr) = 0;
    virtual Result write(const std::string& account, const std::string& password,
                         std::string* reason = nullptr) = 0;
    virtual Result remove(const std::string& account, std::string* reason = nullptr) = 0;
};

// The password kept for the account, or nothing with a sentence that says why and what to do, for
// a sync that has no window to ask in.
std::optional<std::string> readKeptPassword(PasswordStore& store, const std::string& account,
                                            std::string& reason);

// The desktop's keyring through QtKeychain, service "kivo", one entry per account. Each call
// waits for the keyring's answer (which may be the desktop asking the user to unlock it).
class KeyringPasswordStore : public PasswordStore {
public:
    Result read(const std::string& account, std::string& password,
                std::string* reason = nullptr) override;
    Result write(const std::string& account, const std::string& password,
                 std::string* reason = nullptr) override;
    Result remove(const std::string& account, std::string* reason = nullptr) override;
};

} // namespace kivo
