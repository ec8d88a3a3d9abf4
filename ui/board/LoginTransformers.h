#pragma once

#include <QImage>
#include <QString>

#include <functional>

namespace qv {

class ValueTransformerRegistry;

// What the sign-in picture reads beyond the e-mail it is given. Parts left empty count as
// "no picture" and "offline"; images come from the board's images by default.
struct LoginTransformerServices {
    std::function<QImage(const QString&)> imageNamed;
    // The person's own picture; a null image while none is known.
    std::function<QImage(const QString& email)> avatarForEmail;
    std::function<bool()> isOnline;
};

// "EmailToAvatarOrLoginTransformer": an e-mail becomes that person's picture (grey while the sync
// engine is offline); no e-mail, or nobody's picture yet, becomes the "mac_sync_offline" sign-in
// picture. Registering again (once the avatars are known) replaces the earlier one.
void registerLoginTransformers(ValueTransformerRegistry& registry, LoginTransformerServices services);

} // namespace qv
