#pragma once

#include "platform/Services.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <map>
#include <memory>

namespace qv {

class QVRestManager;

// A person's picture as shown: the placeholder until one is known. Owned by the manager and
// kept for the life of the process, so callers may hold on to it.
class AvatarImage {
public:
    static constexpr int kSize = 80;
    static constexpr int kSmallSize = 40;

    const QString& email() const { return m_email; }
    const QImage& image() const { return m_image; }
    const QImage& smallImage() const { return m_smallImage; }
    // Whether the stored picture was there when the record was read.
    bool isImageLoaded() const { return m_loaded; }
    // Whether a real picture (stored or downloaded) is known, not the placeholder.
    bool hasPicture() const { return !m_png.isEmpty(); }
    void setImage(const QImage& image);

private:
    friend class AvatarManager;
    QString m_email;
    QImage m_image;
    QImage m_smallImage;
    bool m_loaded = false;
    QByteArray m_png;       // the stored form of the picture shown
    QDateTime m_downloaded; // when the last download started; never written on its own
};

// Hands out one avatar per e-mail address at once and fetches the picture from the sync server
// in the background: at most one request per address in flight, and not again within 60 s of
// the last one while a picture is known. Pictures are kept in the document's store (as PNG) so
// the next launch shows them without waiting; the record is written only when the picture's
// bytes change, so that unchanged avatars leave nothing to save. Main thread only.
class AvatarManager : public QObject {
    Q_OBJECT
public:
    static constexpr double kFreshForSeconds = 60.0;
    using Success = std::function<void(const AvatarImage&)>;

    // The engine must outlive the manager. The placeholder stands in until a picture is known.
    AvatarManager(const Services& services, QVRestManager& engine, QImage placeholder = {});
    ~AvatarManager() override;

    // Nothing for an empty or unusable address; the callback runs now or when the reply came.
    const AvatarImage* avatarForEmail(const QString& email, bool force = false, Success success = {});
    // The memory-cached avatar without a download check; otherwise avatarForEmail().
    const AvatarImage* cachedAvatarForEmail(const QString& email);
    const AvatarImage* avatarForMe(Success success = {});

    // Addresses are used in the request path, so what the path could misread is refused.
    static bool isAvatarAddress(const QString& email);
    // "/avatar/<address>/": the address without "+" or white space, percent-encoded.
    static QString avatarPath(const QString& email);

signals:
    void avatarChanged(const QString& email);
    // The signed-in user's picture changed: the login status button redraws.
    void myAvatarChanged();

private:
    AvatarImage* lookUp(const QString& email);
    bool isDue(const AvatarImage& avatar, bool force) const;
    void download(AvatarImage* avatar, Success success);
    void received(AvatarImage* avatar, const QByteArray& body);
    void store(const AvatarImage& avatar);

    Services m_services;
    QVRestManager& m_engine;
    QImage m_placeholder;
    std::map<QString, std::unique_ptr<AvatarImage>> m_cache;
    QSet<QString> m_querying;
};

} // namespace qv
