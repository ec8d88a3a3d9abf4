#include "app/InboxHandOver.h"

#include "app/AppLogging.h"
#include "app/ShellInterfaces.h"
#include "core/document/MyDocument.h"
#include "core/document/SyncEngine.h"
#include "core/model/TODOItem.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "platform/store/Context.h"

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

TODOItem* InboxHandOver::addHeldItem(const QString& title, const QString& notes,
                                     const std::function<void(TODOItem&)>& changes)
{
    store::Context& context = m_document.context();
    // Edits still pending are marked for upload as always, before the engine steps aside.
    context.processPendingChanges();
    SyncEngineInterface* engine = m_document.syncEngine();
    const store::UndoPause pause(context);
    // The document sends a new inbox item at once; this one waits for its first save.
    m_document.setSyncEngine(nullptr);
    TODOItem* item = m_document.addItemWithTitle(title, notes);
    m_document.setSyncEngine(engine);
    if (item) {
        if (engine)
            engine->blockSyncForItem(item);
        if (changes)
            changes(*item);
    }
    return item;
}

TODOItem* InboxHandOver::addNewItemFromText(const QString& text)
{
    qCInfo(lcApp, "Text handed over: %s", qUtf8Printable(redacted(text.trimmed())));
    const TitleAndNotes parts = titleAndNotesFromText(text);
    // The inbox refuses a blank title.
    TODOItem* item = addHeldItem(parts.title, parts.notes);
    showInbox();
    return item;
}

QString InboxHandOver::titleForFile(const QString& path)
{
    const QFileInfo file(path);
    // A name that is all extension (".profile") keeps its name.
    const QString title = file.completeBaseName();
    return title.isEmpty() ? file.fileName() : title;
}

TODOItem* InboxHandOver::addNewItemFromFiles(const QStringList& paths)
{
    if (paths.isEmpty())
        return nullptr;
    const QFileInfo file(paths.first());
    if (!file.exists() || file.isDir())
        return nullptr;
    TODOItem* item = addHeldItem(titleForFile(file.filePath()), {}, [&file](TODOItem& made) {
        made.setMacResourceURL(QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded));
    });
    showInbox();
    return item;
}

void InboxHandOver::release(TODOItem* item)
{
    SyncEngineInterface* engine = m_document.syncEngine();
    if (!item || item->isDeleted() || !engine)
        return;
    engine->unblockSyncForItem(item);
    engine->sendItemToServer(item);
}

void InboxHandOver::withdraw(TODOItem* item)
{
    if (!item || item->isDeleted())
        return;
    if (SyncEngineInterface* engine = m_document.syncEngine())
        engine->unblockSyncForItem(item);
    qCInfo(lcApp, "Item %lld handed over is taken back", qint64(item->id_()));
    const store::UndoPause pause(m_document.context());
    m_document.context().deleteObject(item);
}

void InboxHandOver::offerUpload(TODOItem* item, const QString& title)
{
    if (!m_attachments || !item || item->isDeleted())
        return;
    const bool upload = m_attachments->askUploadFile(title);
    // The question runs a loop of its own: the item may have gone meanwhile.
    if (upload && !item->isDeleted())
        m_attachments->uploadURLFileForUnsyncedItem(item);
}

} // namespace qv
