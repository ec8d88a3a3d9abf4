#pragma once

#include "platform/SecretStore.h"

#include <QMutex>
#include <QString>

#include <functional>

#include <memory>

namespace qv {

// One stored password entry and the values it was last known to hold. The setters write the
// store first and keep the new value only once the store took it.
class KeychainItem {
public:
    virtual ~KeychainItem() = default;
    KeychainItem(const KeychainItem&) = delete;
    KeychainItem& operator=(const KeychainItem&) = delete;

    QString password() const;
    QString username() const;
    QString label() const;

    // False when the store refused; the item and the entry keep the old value. A null value
    // or the value already held changes nothing and succeeds.
    bool setPassword(const QString& password);
    bool setUsername(const QString& username);
    bool setLabel(const QString& label);

    // Failures are logged only while this is on; nothing turns it on by default.
    static bool logsErrors();
    static void setLogsErrors(bool on);

protected:
    KeychainItem(SecretStore& store, const QString& username, const QString& password, const QString& label);

    bool setAttribute(SecretStore::Attribute attribute, QString& held, const QString& value,
                      const char* operation);
    virtual QString serviceForUpdates() const = 0;

    SecretStore& m_store;
    mutable QMutex m_mutex;
    QString m_username;
    QString m_password;
    QString m_label;
};

class GenericKeychainItem final : public KeychainItem {
public:
    // Nothing when either name is null, when there is no such entry or the store failed.
    static std::unique_ptr<GenericKeychainItem>
    genericKeychainItemForService(SecretStore& store, const QString& service, const QString& username,
                                  SecretStore::Status* status = nullptr);
    // Nothing when any argument is null or the store refused, also when the entry exists.
    static std::unique_ptr<GenericKeychainItem>
    addGenericKeychainItemForService(SecretStore& store, const QString& service, const QString& username,
                                     const QString& password, SecretStore::Status* status = nullptr);

    QString serviceName() const;
    bool setServiceName(const QString& serviceName);

private:
    GenericKeychainItem(SecretStore& store, const QString& service, const QString& username,
                        const QString& password, const QString& label);
    QString serviceForUpdates() const override { return m_serviceName; }

    QString m_serviceName;
};

// The account passwords of the sign-in: service "Quadrivo", the e-mail address as account.
// Passwords live in the store and nowhere else; without a store, or when the store refuses one,
// nothing is kept and the user is told so once, by a notice that does not wait for an answer.
class Keychain {
public:
    static inline const QString kServiceName = QStringLiteral("Quadrivo");
    static inline const QString kUnavailableNotice =
        QStringLiteral("No password store (Secret Service) is running, so Quadrivo keeps no password "
                       "and will ask for it again next time.");
    static inline const QString kRefusedNotice =
        QStringLiteral("The password store did not take your password, so Quadrivo keeps none and will "
                       "ask for it again next time.");
    // Shows a notice to the user without waiting; false when it could not be shown yet (it is
    // then given again at the next occasion).
    using Notice = std::function<bool(const QString& message)>;

    explicit Keychain(SecretStore& store, Notice notice = {});
    void setNotice(Notice notice) { m_notice = std::move(notice); }

    // The stored password of the account, or a null string.
    QString passwordForUsername(const QString& email);
    // Updates the account's entry or adds one; false when the password was not stored.
    bool setPasswordForUsername(const QString& password, const QString& email);

private:
    // Once each: told is set when the notice reached the user.
    void tell(const QString& message, bool& told);

    SecretStore& m_store;
    Notice m_notice;
    bool m_toldUnavailable = false;
    bool m_toldRefused = false;
};

} // namespace qv
