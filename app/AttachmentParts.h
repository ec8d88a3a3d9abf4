#pragma once

#include "app/ShellInterfaces.h"

#include <QString>

#include <memory>

namespace qv {

class AccountProfile;
class CollaborationManager;
class DesktopScreenCapture;
class FileManager;
class ItemFilesController;
class MyDrawerController;
class QVRestManager;
struct Services;

// The attachment side of the application: the file manager, the drawer's Files tab (which the
// drawer owns, so these must outlive the drawer) and the hand-over's uploads.
class AttachmentParts final : public AttachmentUploads {
public:
    // The upload limits come from the signed-in user the collaboration manager holds (none
    // without one).
    AttachmentParts(QVRestManager& engine, const Services& services, MyDrawerController& drawer,
                    const QString& syncOrigin, CollaborationManager* collaboration);
    ~AttachmentParts() override;

    bool askUploadFile(const QString& fileName) override;
    void uploadURLFileForUnsyncedItem(TODOItem* item) override;
    void openItemFile(ItemFile* file) override;
    ScreenCapture* screenCapture() const override;

    FileManager& files() const { return *m_files; }

private:
    std::unique_ptr<AccountProfile> m_profile;
    std::unique_ptr<FileManager> m_files;
    std::unique_ptr<DesktopScreenCapture> m_capture;
    std::unique_ptr<ItemFilesController> m_controller;
};

} // namespace qv
