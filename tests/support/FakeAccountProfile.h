#pragma once

#include "sync/AccountProfile.h"

namespace qv::test {

// The signed-in user's profile, held in the test; nullopt stands for nobody known.
class FakeAccountProfile final : public AccountProfile {
public:
    std::optional<QJsonObject> userProfile() const override { return profile; }
    void setUserProfile(const QJsonObject& changed) override
    {
        if (profile)
            profile = changed;
    }
    std::optional<QJsonObject> profile;
};

} // namespace qv::test
