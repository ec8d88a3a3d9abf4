#include "platform/Keychain.h"

#include <QLoggingCategory>
#include <QMutexLocker>

#include <atomic>

namespace qv {

namespace {

Q_LOGGING_CATEGORY(lcKeychain, "qv.platform", QtInfoMsg)

std::atomic<bool> s_logsErrors{false};

void logFailure(const char* operation, const SecretStore::Result& result)
{
    if (s_logsErrors.load())
        qCWarning(lcKeychain).noquote()
            << QStringLiteral("Error (%1) - %2").arg(QLatin1String(operation), result.error);
}

} // namespace

KeychainItem::KeychainItem(SecretStore& store, const QString& username, const QString& password,
                           const QString& label)
    : m_store(store), m_username(username), m_password(password), m_label(label)
{
}

QString KeychainItem::password() const
{
    QMutexLocker lock(&m_mutex);
    return m_password;
}

QString KeychainItem::username() const
{
    QMutexLocker lock(&m_mutex);
    return m_username;
}

QString KeychainItem::label() const
{
    QMutexLocker lock(&m_mutex);
    return m_label;
}

bool KeychainItem::setPassword(const QString& password)
{
    QMutexLocker lock(&m_mutex);
    if (password.isNull() || password == m_password)
        return true;
    const SecretStore::Result result = m_store.setPassword(serviceForUpdates(), m_username, password);
    if (!result.ok()) {
        logFailure("setPassword:", result);
        return false;
    }
    m_password = password;
    return true;
}

bool KeychainItem::setUsername(const QString& username)
{
    QMutexLocker lock(&m_mutex);
    return setAttribute(SecretStore::Attribute::Account, m_username, username, "setUsername:");
}

bool KeychainItem::setLabel(const QString& label)
{
    QMutexLocker lock(&m_mutex);
    return setAttribute(SecretStore::Attribute::Label, m_label, label, "setLabel:");
}

bool KeychainItem::setAttribute(SecretStore::Attribute attribute, QString& held, const QString& value,
                                const char* operation)
{
    if (value == held)
        return true;
    const SecretStore::Result result =
        m_store.setAttribute(serviceForUpdates(), m_username, attribute, value);
    if (!result.ok()) {
        logFailure(operation, result);
        return false;
    }
    held = value;
    return true;
}

bool KeychainItem::logsErrors()
{
    return s_logsErrors.load();
}

void KeychainItem::setLogsErrors(bool on)
{
    s_logsErrors.store(on);
}

GenericKeychainItem::GenericKeychainItem(SecretStore& store, const QString& service, const QString& username,
                                         const QString& password, const QString& label)
    : KeychainItem(store, username, password, label), m_serviceName(service)
{
}

std::unique_ptr<GenericKeychainItem>
GenericKeychainItem::genericKeychainItemForService(SecretStore& store, const QString& service,
                                                   const QString& username, SecretStore::Status* status)
{
    if (status)
        *status = SecretStore::Status::Failed;
    if (service.isNull() || username.isNull())
        return nullptr;
    SecretStore::Entry entry;
    const SecretStore::Result result = store.find(service, username, &entry);
    if (status)
        *status = result.status;
    if (result.status == SecretStore::Status::NotFound)
        return nullptr;
    if (!result.ok()) {
        logFailure("genericKeychainItemForService:withUsername:", result);
        return nullptr;
    }
    return std::unique_ptr<GenericKeychainItem>(
        new GenericKeychainItem(store, service, username, entry.password, entry.label));
}

std::unique_ptr<GenericKeychainItem>
GenericKeychainItem::addGenericKeychainItemForService(SecretStore& store, const QString& service,
                                                      const QString& username, const QString& password,
                                                      SecretStore::Status* status)
{
    if (status)
        *status = SecretStore::Status::Failed;
    if (service.isNull() || username.isNull() || password.isNull())
        return nullptr;
    const QString label = QStringLiteral("%1 (%2)").arg(service, username);
    const SecretStore::Result result = store.add(service, username, label, password);
    if (status)
        *status = result.status;
    if (!result.ok()) {
        logFailure("addGenericKeychainItemForService:withUsername:password:", result);
        return nullptr;
    }
    return std::unique_ptr<GenericKeychainItem>(
        new GenericKeychainItem(store, service, username, password, label));
}

QString GenericKeychainItem::serviceName() const
{
    QMutexLocker lock(&m_mutex);
    return m_serviceName;
}

bool GenericKeychainItem::setServiceName(const QString& serviceName)
{
    QMutexLocker lock(&m_mutex);
    if (serviceName == m_serviceName)
        return true;
    const SecretStore::Result result =
        m_store.setAttribute(m_serviceName, m_username, SecretStore::Attribute::Service, serviceName);
    if (!result.ok()) {
        logFailure("setServiceName:", result);
        return false;
    }
    m_serviceName = serviceName;
    return true;
}

Keychain::Keychain(SecretStore& store, Notice notice) : m_store(store), m_notice(std::move(notice)) {}

QString Keychain::passwordForUsername(const QString& email)
{
    SecretStore::Status status = SecretStore::Status::Failed;
    const auto item =
        GenericKeychainItem::genericKeychainItemForService(m_store, kServiceName, email, &status);
    if (!item) {
        if (status == SecretStore::Status::Unavailable) {
            qCWarning(lcKeychain) << "No Secret Service is running; the password is not kept";
            tell(kUnavailableNotice, m_toldUnavailable);
        }
        qCInfo(lcKeychain) << "No stored password for the account";
        return {};
    }
    return item->password();
}

bool Keychain::setPasswordForUsername(const QString& password, const QString& email)
{
    SecretStore::Status status = SecretStore::Status::Failed;
    if (const auto item =
            GenericKeychainItem::genericKeychainItemForService(m_store, kServiceName, email, &status)) {
        if (item->setPassword(password))
            return true;
        status = SecretStore::Status::Failed;
    } else if (status == SecretStore::Status::NotFound) {
        qCInfo(lcKeychain) << "Creating a new keychain entry";
        if (GenericKeychainItem::addGenericKeychainItemForService(m_store, kServiceName, email, password,
                                                                  &status))
            return true;
    }
    qCWarning(lcKeychain) << "Could not store the account password";
    // Either way the user would otherwise learn it only when asked for the password again.
    if (status == SecretStore::Status::Unavailable)
        tell(kUnavailableNotice, m_toldUnavailable);
    else
        tell(kRefusedNotice, m_toldRefused);
    return false;
}

void Keychain::tell(const QString& message, bool& told)
{
    if (told)
        return;
    told = m_notice && m_notice(message);
}

} // namespace qv
