#include "ui/board/LoginTransformers.h"

#include "core/util/Utils.h"
#include "core/util/ValueTransformerRegistry.h"
#include "ui/board/BoardImages.h"

namespace qv {

namespace {

class EmailToAvatarOrLoginTransformer final : public ValueTransformer {
public:
    explicit EmailToAvatarOrLoginTransformer(LoginTransformerServices services)
        : m_services(std::move(services))
    {
    }
    QMetaType transformedValueClass() const override { return QMetaType::fromType<QImage>(); }
    QVariant transformedValue(const QVariant& value) const override
    {
        const bool isText = value.metaType() == QMetaType::fromType<QString>();
        const QString email = isText ? value.toString() : QString();
        const QImage avatar =
            !email.isEmpty() && m_services.avatarForEmail ? m_services.avatarForEmail(email) : QImage();
        if (avatar.isNull())
            return m_services.imageNamed(QStringLiteral("mac_sync_offline"));
        const bool online = m_services.isOnline && m_services.isOnline();
        return online ? avatar : Utils::imageToGreyImage(avatar);
    }

private:
    LoginTransformerServices m_services;
};

} // namespace

void registerLoginTransformers(ValueTransformerRegistry& registry, LoginTransformerServices services)
{
    if (!services.imageNamed)
        services.imageNamed = &BoardImages::imageNamed;
    registry.registerTransformer(QStringLiteral("EmailToAvatarOrLoginTransformer"),
                                 std::make_shared<EmailToAvatarOrLoginTransformer>(std::move(services)));
}

} // namespace qv
