#pragma once

#include <QString>

namespace qv {

// The desktop's password store, reduced to what the keychain items need: generic password
// entries keyed by a service and an account name. The Secret Service implements it; tests use
// an in-memory one.
class SecretStore {
public:
    enum class Status {
        Ok,
        NotFound,
        Duplicate,   // an entry with this service and account exists already
        Unavailable, // no password store is running
        Failed,
    };
    enum class Attribute { Account, Label, Service };

    struct Result {
        Status status = Status::Failed;
        QString error; // the store's own reason, for logs; never a password
        bool ok() const { return status == Status::Ok; }
    };

    struct Entry {
        QString password;
        QString label;
    };

    virtual ~SecretStore() = default;

    virtual Result find(const QString& service, const QString& account, Entry* entry) = 0;
    // Refuses (Duplicate) when the service and account are taken.
    virtual Result add(const QString& service, const QString& account, const QString& label,
                       const QString& password) = 0;
    virtual Result setPassword(const QString& service, const QString& account, const QString& password) = 0;
    virtual Result setAttribute(const QString& service, const QString& account, Attribute attribute,
                                const QString& value) = 0;
};

} // namespace qv
