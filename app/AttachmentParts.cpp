#include "app/AttachmentParts.h"

#include "core/model/TODOItem.h"
#include "sync/AccountProfile.h"
#include "sync/CollaborationManager.h"
#include "sync/FileManager.h"
#include "ui/details/ItemFilesController.h"
#include "ui/details/widgets/DesktopScreenCapture.h"
#include "ui/details/widgets/ItemFilesView.h"
#include "ui/details/widgets/MyDrawerController.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

namespace qv {

namespace {

// The signed-in user's profile as the collaboration manager keeps it.
class CollaborationProfile final : public AccountProfile {
public:
    explicit CollaborationProfile(CollaborationManager* collaboration) : m_collaboration(collaboration) {}
    std::optional<QJsonObject> userProfile() const override
    {
        if (!m_collaboration || !m_collaboration->me())
            return std::nullopt;
        return QJsonObject::fromVariantMap(m_collaboration->me()->userProfile);
    }
    void setUserProfile(const QJsonObject& profile) override
    {
        if (!m_collaboration || !m_collaboration->me())
            return;
        User me = *m_collaboration->me();
        me.userProfile = profile.toVariantMap();
        m_collaboration->setMe(me);
    }

private:
    CollaborationManager* m_collaboration;
};

} // namespace

AttachmentParts::AttachmentParts(QVRestManager& engine, const Services& services, MyDrawerController& drawer,
                                 const QString& syncOrigin, CollaborationManager* collaboration)
    : m_profile(std::make_unique<CollaborationProfile>(collaboration)),
      m_files(std::make_unique<FileManager>(engine, m_profile.get())),
      m_capture(std::make_unique<DesktopScreenCapture>(*services.scheduler))
{
    m_controller = std::make_unique<ItemFilesController>(
        services, *m_files, syncOrigin,
        [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); },
        [](const QString& text) { QGuiApplication::clipboard()->setText(text); });
    drawer.setFilesView(new ItemFilesView(*m_controller, *m_files, m_capture.get()));
    m_controller->setItem(drawer.getItem());
    QObject::connect(&drawer, &MyDrawerController::itemChanged, m_controller.get(),
                     [this](TODOItem* item) { m_controller->setItem(item); });
}

AttachmentParts::~AttachmentParts() = default;

bool AttachmentParts::askUploadFile(const QString& fileName)
{
    return m_files->askUploadFile(fileName);
}

void AttachmentParts::uploadURLFileForUnsyncedItem(TODOItem* item)
{
    m_files->uploadURLFileForUnsyncedItem(item);
}

void AttachmentParts::openItemFile(ItemFile* file)
{
    m_controller->openItemFile(file);
}

ScreenCapture* AttachmentParts::screenCapture() const
{
    return m_capture.get();
}

} // namespace qv
