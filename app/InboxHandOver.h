#pragma once

#include <QString>
#include <QStringList>

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

    // The new item; nullptr when the text has no title (the inbox panel is shown all the same).
    TODOItem* addNewItemFromText(const QString& text);
    // Only the first path counts; nullptr (and nothing shown) unless it names an existing file.
    TODOItem* addNewItemFromFiles(const QStringList& paths);

private:
    void showInbox();

    MyDocument& m_document;
    Preferences& m_preferences;
    AttachmentUploads* m_attachments;
};

} // namespace qv
