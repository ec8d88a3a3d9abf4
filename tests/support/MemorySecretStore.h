#pragma once

#include "platform/SecretStore.h"

#include <QMap>
#include <QPair>

#include <optional>

namespace qv::test {

// A password store in memory. It can be made to refuse updates or to be absent altogether.
class MemorySecretStore final : public SecretStore {
public:
    using Key = QPair<QString, QString>; // service, account

    bool available = true;
    bool refuseUpdates = false;
    int calls = 0;
    QMap<Key, Entry> entries;

    Result find(const QString& service, const QString& account, Entry* entry) override
    {
        if (const auto refused = refuse(false))
            return *refused;
        const auto it = entries.constFind({service, account});
        if (it == entries.constEnd())
            return {Status::NotFound, {}};
        *entry = *it;
        return {Status::Ok, {}};
    }

    Result add(const QString& service, const QString& account, const QString& label,
               const QString& password) override
    {
        if (const auto refused = refuse(false))
            return *refused;
        if (entries.contains({service, account}))
            return {Status::Duplicate, QStringLiteral("duplicate")};
        entries.insert({service, account}, {password, label});
        return {Status::Ok, {}};
    }

    Result setPassword(const QString& service, const QString& account, const QString& password) override
    {
        if (const auto refused = refuse(true))
            return *refused;
        const auto it = entries.find({service, account});
        if (it == entries.end())
            return {Status::NotFound, {}};
        it->password = password;
        return {Status::Ok, {}};
    }

    Result setAttribute(const QString& service, const QString& account, Attribute attribute,
                        const QString& value) override
    {
        if (const auto refused = refuse(true))
            return *refused;
        const auto it = entries.constFind({service, account});
        if (it == entries.constEnd())
            return {Status::NotFound, {}};
        Entry entry = *it;
        entries.erase(it);
        Key key{service, account};
        if (attribute == Attribute::Label)
            entry.label = value;
        else if (attribute == Attribute::Account)
            key.second = value;
        else
            key.first = value;
        entries.insert(key, entry);
        return {Status::Ok, {}};
    }

private:
    std::optional<Result> refuse(bool update)
    {
        ++calls;
        if (!available)
            return Result{Status::Unavailable, QStringLiteral("no service")};
        if (update && refuseUpdates)
            return Result{Status::Failed, QStringLiteral("refused")};
        return std::nullopt;
    }
};

} // namespace qv::test
