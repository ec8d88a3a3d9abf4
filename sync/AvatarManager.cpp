#include "sync/AvatarManager.h"

#include "core/model/StatusEntities.h"
#include "core/util/Utils.h"
#include "platform/Clock.h"
#include "platform/rest/RestClient.h"
#include "platform/store/Context.h"
#include "sync/QVRestManager.h"
#include "sync/SyncLogging.h"

#include <QBuffer>
#include <QPointer>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace qv {

namespace {

QByteArray pngOf(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QImage shown(const QImage& picture)
{
    return Utils::roundCorners(Utils::imageResize(picture, QSizeF(AvatarImage::kSize, AvatarImage::kSize)));
}

// The newest record of the address; older duplicates are left as they are.
Avatar* recordFor(store::Context& context, const QString& email)
{
    Avatar* newest = nullptr;
    for (store::ManagedObject* object :
         context.lookup(Avatar::staticEntityName(), QStringLiteral("qv_email"), email)) {
        auto* record = store::as<Avatar>(object);
        if (!newest || record->qv_download_date() > newest->qv_download_date())
            newest = record;
    }
    return newest;
}

} // namespace

void AvatarImage::setImage(const QImage& image)
{
    m_image = image;
    m_smallImage = Utils::imageResize(image, QSizeF(kSmallSize, kSmallSize));
}

AvatarManager::AvatarManager(const Services& services, QVRestManager& engine, QImage placeholder)
    : m_services(services), m_engine(engine), m_placeholder(std::move(placeholder))
{
}

AvatarManager::~AvatarManager() = default;

bool AvatarManager::isAvatarAddress(const QString& email)
{
    return Utils::validateEmail(email) && !email.contains(u'%');
}

QString AvatarManager::avatarPath(const QString& email)
{
    QString address = email;
    address.removeIf(
        [](QChar c) { return c == u'+' || c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; });
    return QStringLiteral("/avatar/%1/").arg(QString::fromLatin1(QUrl::toPercentEncoding(address)));
}

const AvatarImage* AvatarManager::cachedAvatarForEmail(const QString& email)
{
    const auto it = m_cache.find(email);
    return it != m_cache.end() ? it->second.get() : avatarForEmail(email);
}

const AvatarImage* AvatarManager::avatarForMe(Success success)
{
    const QString email = m_engine.getCurrentUserEmail();
    return email.isEmpty() ? nullptr : avatarForEmail(email, false, std::move(success));
}

const AvatarImage* AvatarManager::avatarForEmail(const QString& email, bool force, Success success)
{
    if (!isAvatarAddress(email))
        return nullptr;
    AvatarImage* avatar = lookUp(email);
    if (!isDue(*avatar, force) || m_querying.contains(email)) {
        if (success)
            success(*avatar);
        return avatar;
    }
    download(avatar, std::move(success));
    return avatar;
}

AvatarImage* AvatarManager::lookUp(const QString& email)
{
    std::unique_ptr<AvatarImage>& slot = m_cache[email];
    if (slot)
        return slot.get();
    slot = std::make_unique<AvatarImage>();
    slot->m_email = email;
    const Avatar* record = recordFor(m_engine.managedContext(), email);
    QImage stored;
    if (record && !record->qv_coded_image().isEmpty())
        stored.loadFromData(record->qv_coded_image());
    if (!stored.isNull()) {
        // Stored already rounded.
        slot->setImage(Utils::imageResize(stored, QSizeF(AvatarImage::kSize, AvatarImage::kSize)));
        slot->m_png = record->qv_coded_image();
        slot->m_downloaded = record->qv_download_date();
        slot->m_loaded = true;
    } else {
        slot->setImage(m_placeholder);
    }
    return slot.get();
}

bool AvatarManager::isDue(const AvatarImage& avatar, bool force) const
{
    if (!m_engine.isOnline())
        return false;
    if (force || !avatar.hasPicture() || !avatar.m_downloaded.isValid())
        return true;
    const double aged = double(avatar.m_downloaded.msecsTo(m_services.clock->now())) / 1000.0;
    return aged > kFreshForSeconds;
}

void AvatarManager::download(AvatarImage* avatar, Success success)
{
    const QString email = avatar->email();
    m_querying.insert(email);
    const QString path = avatarPath(email);
    const QDateTime now = m_services.clock->now();
    qCInfo(lcSync, "Reloading avatar (address of %d characters), aged %f", int(email.size()),
           avatar->m_downloaded.isValid() ? double(avatar->m_downloaded.msecsTo(now)) / 1000.0 : -1.0);
    // In memory only: a date written on every download would leave the store with something to
    // save (and back up) at every save.
    avatar->m_downloaded = now;

    rest::Request request;
    request.path = m_engine.origin() + path;
    // Whatever the status, the body is looked at; one that is not a picture changes nothing.
    request.failOnHttpError = false;
    QPointer<AvatarManager> self(this);
    request.onSuccess = [self, avatar, success = std::move(success)](const rest::Response& response) {
        if (!self)
            return;
        self->m_querying.remove(avatar->email());
        self->received(avatar, response.body);
        if (success)
            success(*avatar);
    };
    request.onFailure = [self, email](const rest::Error& error) {
        if (!self)
            return;
        qCWarning(lcSync, "Error getting avatar: %s", qUtf8Printable(error.message));
        self->m_querying.remove(email);
    };
    m_engine.client().send(std::move(request));
}

void AvatarManager::received(AvatarImage* avatar, const QByteArray& body)
{
    QImage picture;
    if (body.isEmpty() || !picture.loadFromData(body)) {
        qCInfo(lcSync, "Avatar reply of %d bytes is no picture; the old one stays", int(body.size()));
        return;
    }
    const QImage processed = shown(picture);
    const QByteArray png = pngOf(processed);
    if (png == avatar->m_png)
        return;
    avatar->setImage(processed);
    avatar->m_png = png;
    store(*avatar);
    emit avatarChanged(avatar->email());
    if (avatarPath(m_engine.getCurrentUserEmail()) == avatarPath(avatar->email()))
        emit myAvatarChanged();
}

void AvatarManager::store(const AvatarImage& avatar)
{
    store::Context& context = m_engine.managedContext();
    QVRestManager::TrackingPause pause(m_engine);
    Avatar* record = recordFor(context, avatar.email());
    if (!record) {
        record = context.insert<Avatar>(Avatar::staticEntityName());
        record->setQv_email(avatar.email());
        record->setQv_size(30);
    }
    record->setQv_coded_image(avatar.m_png);
    record->setQv_download_date(avatar.m_downloaded);
}

} // namespace qv
