#pragma once

#include "platform/SecretStore.h"

namespace qv {

// The desktop's Secret Service (over D-Bus, through libsecret). Entries are generic passwords
// of Quadrivo's own schema, in the default collection. Calls block until the service answers,
// including while it asks the user to unlock the collection.
class SecretServiceStore final : public SecretStore {
public:
    Result find(const QString& service, const QString& account, Entry* entry) override;
    Result add(const QString& service, const QString& account, const QString& label,
               const QString& password) override;
    Result setPassword(const QString& service, const QString& account, const QString& password) override;
    Result setAttribute(const QString& service, const QString& account, Attribute attribute,
                        const QString& value) override;
};

} // namespace qv
