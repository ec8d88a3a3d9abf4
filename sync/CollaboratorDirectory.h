#pragma once

#include <QString>

#include <optional>

namespace qv {

// What the sync engine asks of the collaboration caches: the people it resolves owners and
// editors against. The collaboration manager implements it; without one nobody is known.
class CollaboratorDirectory {
public:
    virtual ~CollaboratorDirectory() = default;
    // The resource path of the cached collaborator with that e-mail; nullopt while unknown.
    virtual std::optional<QString> resourceURIForEmail(const QString& email) const = 0;
    // The signed-in collaborator's e-mail; nullopt while unknown.
    virtual std::optional<QString> myEmail() const = 0;
};

} // namespace qv
