#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace qv {

class AttachmentUploads;
class MyDocument;
class Preferences;
class TODOItem;

// Text or a file handed over by another program (quadrivo --add-text / --add-file) becomes a
// new inbox item.
class InboxHandOver {
public:
    static constexpr qsizetype kMaxTitleLength = 512;
    static constexpr qsizetype kMaxNotesLength = 20000;

    struct TitleAndNotes {
        QString title;
        QString notes;
    };
    // The trimmed text's first line is the title, the rest the notes; each cut to its limit.
    static TitleAndNotes titleAndNotesFromText(const QString& text);

    // Lengths count characters (code points): a cut never splits a surrogate pair.
    static qsizetype characterCount(const QString& text);
    static QString leftCharacters(const QString& text, qsizetype count);

    // attachments may be null: files are then never uploaded.
    InboxHandOver(MyDocument& document, Preferences& preferences, AttachmentUploads* attachments);

    // Items handed over are made outside the undo history and held back from the sync engine
    // until release(): a hand-over that fails takes its item back, and by then the server must
    // not have it.
    // The new item; nullptr when the text has no title (the inbox panel is shown all the same).
    TODOItem* addNewItemFromText(const QString& text);
    // Only the first path counts; nullptr (and nothing shown) unless it names an existing file.
    // Its upload is offered apart, by offerUpload().
    TODOItem* addNewItemFromFiles(const QStringList& paths);
    // The item is in the store: the sync engine sends it now.
    void release(TODOItem* item);
    // Takes back an item whose hand-over failed; nothing of it is left to undo.
    void withdraw(TODOItem* item);
    // Asks (modally) whether to upload the file of an item made by addNewItemFromFiles(), named
    // title, and queues the upload when the answer is yes.
    void offerUpload(TODOItem* item, const QString& title);
    // The title addNewItemFromFiles() gives the item of that file.
    static QString titleForFile(const QString& path);

private:
    void showInbox();
    // The item addItemWithTitle() makes, without its immediate send; changes run runs on it
    // before the change is processed, still outside the undo history.
    TODOItem* addHeldItem(const QString& title, const QString& notes,
                          const std::function<void(TODOItem&)>& changes = {});

    MyDocument& m_document;
    Preferences& m_preferences;
    AttachmentUploads* m_attachments;
};

} // namespace qv
