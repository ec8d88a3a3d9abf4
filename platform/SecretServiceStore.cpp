// glib's headers use "signals" as a name, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

#include "platform/SecretServiceStore.h"

#include <QByteArray>

#include <functional>
#include <memory>

namespace qv {

namespace {

const SecretSchema* schema()
{
    static const SecretSchema s = [] {
        SecretSchema made{};
        made.name = "org.velmora.Quadrivo.Password";
        made.flags = SECRET_SCHEMA_NONE;
        made.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        made.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return made;
    }();
    return &s;
}

struct Unref {
    void operator()(GError* error) const { g_error_free(error); }
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
    void operator()(SecretValue* value) const { secret_value_unref(value); }
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using Owned = std::unique_ptr<T, Unref>;

struct ItemList {
    GList* list = nullptr;
    ~ItemList() { g_list_free_full(list, g_object_unref); }
    SecretItem* first() const { return list ? static_cast<SecretItem*>(list->data) : nullptr; }
};

// Errors that mean nobody answers for the Secret Service on this bus (or there is no bus).
bool meansUnavailable(const GError* error)
{
    if (error->domain == G_IO_ERROR)
        return true;
    if (error->domain != G_DBUS_ERROR)
        return false;
    switch (error->code) {
    case G_DBUS_ERROR_SERVICE_UNKNOWN:
    case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
    case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
    case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
    case G_DBUS_ERROR_SPAWN_FAILED:
    case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
    case G_DBUS_ERROR_NO_SERVER:
        return true;
    default:
        return false;
    }
}

SecretStore::Result failure(GError* raw)
{
    Owned<GError> error(raw);
    if (!error)
        return {SecretStore::Status::Failed, QStringLiteral("unknown error")};
    return {meansUnavailable(error.get()) ? SecretStore::Status::Unavailable : SecretStore::Status::Failed,
            QString::fromUtf8(error->message)};
}

Owned<GHashTable> attributes(const QString& service, const QString& account)
{
    return Owned<GHashTable>(secret_attributes_build(schema(), "service", service.toUtf8().constData(),
                                                     "account", account.toUtf8().constData(), nullptr));
}

// The connection is opened on first use and kept by libsecret for the rest of the run.
SecretService* connect(SecretStore::Result* result)
{
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
    if (!service) {
        *result = failure(error);
        if (result->status == SecretStore::Status::Failed)
            result->status = SecretStore::Status::Unavailable;
    }
    return service;
}

SecretStore::Result search(const QString& service, const QString& account, SecretSearchFlags flags,
                           Owned<SecretService>* connection, ItemList* found)
{
    SecretStore::Result result;
    connection->reset(connect(&result));
    if (!*connection)
        return result;
    GError* error = nullptr;
    found->list =
        secret_service_search_sync(connection->get(), schema(), attributes(service, account).get(),
                                   SecretSearchFlags(flags | SECRET_SEARCH_UNLOCK), nullptr, &error);
    if (error)
        return failure(error);
    if (!found->first())
        return {SecretStore::Status::NotFound, {}};
    return {SecretStore::Status::Ok, {}};
}

Owned<SecretValue> textValue(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return Owned<SecretValue>(secret_value_new(bytes.constData(), bytes.size(), "text/plain"));
}

// Applies change to the one entry of that service and account, once it is found.
SecretStore::Result changeEntry(const QString& service, const QString& account,
                                const std::function<gboolean(SecretItem*, GError**)>& change)
{
    Owned<SecretService> connection;
    ItemList found;
    const SecretStore::Result result = search(service, account, SECRET_SEARCH_NONE, &connection, &found);
    if (!result.ok())
        return result;
    GError* error = nullptr;
    if (!change(found.first(), &error))
        return failure(error);
    return result;
}

} // namespace

SecretStore::Result SecretServiceStore::find(const QString& service, const QString& account, Entry* entry)
{
    Owned<SecretService> connection;
    ItemList found;
    const Result result = search(service, account, SECRET_SEARCH_LOAD_SECRETS, &connection, &found);
    if (!result.ok())
        return result;
    const Owned<SecretValue> value(secret_item_get_secret(found.first()));
    if (!value)
        return {Status::Failed, QStringLiteral("the entry's secret could not be read")};
    gsize length = 0;
    const gchar* bytes = secret_value_get(value.get(), &length);
    entry->password = QString::fromUtf8(bytes, qsizetype(length));
    const std::unique_ptr<gchar, decltype(&g_free)> label(secret_item_get_label(found.first()), &g_free);
    entry->label = QString::fromUtf8(label.get());
    return result;
}

SecretStore::Result SecretServiceStore::add(const QString& service, const QString& account,
                                            const QString& label, const QString& password)
{
    Owned<SecretService> connection;
    ItemList found;
    const Result existing = search(service, account, SECRET_SEARCH_NONE, &connection, &found);
    if (existing.ok())
        return {Status::Duplicate, QStringLiteral("an entry exists already")};
    if (existing.status != Status::NotFound)
        return existing;
    GError* error = nullptr;
    if (!secret_service_store_sync(connection.get(), schema(), attributes(service, account).get(),
                                   SECRET_COLLECTION_DEFAULT, label.toUtf8().constData(),
                                   textValue(password).get(), nullptr, &error))
        return failure(error);
    return {Status::Ok, {}};
}

SecretStore::Result SecretServiceStore::setPassword(const QString& service, const QString& account,
                                                    const QString& password)
{
    return changeEntry(service, account, [&](SecretItem* item, GError** error) {
        return secret_item_set_secret_sync(item, textValue(password).get(), nullptr, error);
    });
}

SecretStore::Result SecretServiceStore::setAttribute(const QString& service, const QString& account,
                                                     Attribute attribute, const QString& value)
{
    return changeEntry(service, account, [&](SecretItem* item, GError** error) {
        switch (attribute) {
        case Attribute::Label:
            return secret_item_set_label_sync(item, value.toUtf8().constData(), nullptr, error);
        case Attribute::Account:
            return secret_item_set_attributes_sync(item, schema(), attributes(service, value).get(), nullptr,
                                                   error);
        case Attribute::Service:
            return secret_item_set_attributes_sync(item, schema(), attributes(value, account).get(), nullptr,
                                                   error);
        }
        return gboolean(FALSE);
    });
}

} // namespace qv
