#pragma once

#include <QJsonObject>

#include <optional>

namespace qv {

// The signed-in user's profile as the collaboration manager holds it; the file manager reads
// the upload limits from it ("max_upload_size", "total_upload_size", "used_upload_size", in
// bytes) and keeps the used size up to date.
class AccountProfile {
public:
    virtual ~AccountProfile() = default;
    // nullopt while no user is known (nobody signed in, or the user not downloaded yet).
    virtual std::optional<QJsonObject> userProfile() const = 0;
    // Replaces the known user's profile; ignored while no user is known.
    virtual void setUserProfile(const QJsonObject& profile) = 0;
};

} // namespace qv
