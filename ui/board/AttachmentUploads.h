#pragma once

#include <QString>

namespace qv {

class ItemFile;
class ScreenCapture;
class TODOItem;

// What the board and the command-line hand-over ask of the attachment side; the shell wires it.
class AttachmentUploads {
public:
    virtual ~AttachmentUploads() = default;
    // Whether to upload the named file (may ask the user).
    virtual bool askUploadFile(const QString& fileName) = 0;
    // Queues the upload of the file the item's macResourceURL names.
    virtual void uploadURLFileForUnsyncedItem(TODOItem* item) = 0;
    // Opens this computer's copy of the attachment, downloading it first when there is none.
    virtual void openItemFile(ItemFile* /*file*/) {}
    // What takes screen shots here; nullptr when nothing can.
    virtual ScreenCapture* screenCapture() const { return nullptr; }
};

} // namespace qv
