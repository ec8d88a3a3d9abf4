#include "app/InboxHandOver.h"

#include "app/AppLogging.h"
#include "app/ShellInterfaces.h"
#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "platform/Log.h"
#include "platform/Preferences.h"

#include <QFileInfo>
#include <QUrl>

namespace qv {

namespace {

const QString kShowingInbox = QStringLiteral("kShowingInbox");

} // namespace

qsizetype InboxHandOver::characterCount(const QString& text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        ++count;
    }
    return count;
}

QString InboxHandOver::leftCharacters(const QString& text, qsizetype count)
{
    qsizetype i = 0;
    for (qsizetype taken = 0; taken < count && i < text.size(); ++taken) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        ++i;
    }
    return text.left(i);
}

InboxHandOver::TitleAndNotes InboxHandOver::titleAndNotesFromText(const QString& text)
{
    const QString trimmed = text.trimmed();
    TitleAndNotes result;
    result.title = trimmed.section(QLatin1Char('\n'), 0, 0);
    if (characterCount(result.title) > kMaxTitleLength)
        result.title = leftCharacters(result.title, kMaxTitleLength);
    // The notes start right after the title: with the line break, or with the rest of a first
    // line that was too long.
    const qsizetype at = trimmed.indexOf(result.title);
    result.notes = trimmed.mid(at + result.title.size());
    if (characterCount(result.notes) > kMaxNotesLength)
        result.notes = leftCharacters(result.notes, kMaxNotesLength);
    return result;
}

InboxHandOver::InboxHandOver(MyDocument& document, Preferences& preferences, AttachmentUploads* attachments)
    : m_document(document), m_preferences(preferences), m_attachments(attachments)
{
}

void InboxHandOver::showInbox()
{
    if (!m_preferences.boolValue(kShowingInbox))
        m_preferences.setValue(kShowingInbox, true);
}

TODOItem* InboxHandOver::addNewItemFromText(const QString& text)
{
    qCInfo(lcApp, "Text handed over: %s", qUtf8Printable(redacted(text.trimmed())));
    const TitleAndNotes parts = titleAndNotesFromText(text);
    // The inbox refuses a blank title.
    TODOItem* item = m_document.addItemWithTitle(parts.title, parts.notes);
    showInbox();
    return item;
}

TODOItem* InboxHandOver::addNewItemFromFiles(const QStringList& paths)
{
    if (paths.isEmpty())
        return nullptr;
    const QFileInfo file(paths.first());
    if (!file.exists() || file.isDir())
        return nullptr;
    // A name that is all extension (".profile") keeps its name.
    QString title = file.completeBaseName();
    if (title.isEmpty())
        title = file.fileName();
    TODOItem* item = m_document.addItemWithTitle(title);
    if (item) {
        item->setMacResourceURL(QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded));
        if (m_attachments && m_attachments->askUploadFile(title))
            m_attachments->uploadURLFileForUnsyncedItem(item);
    }
    showInbox();
    return item;
}

} // namespace qv
