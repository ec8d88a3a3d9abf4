// The collaboration archive: the signed-in user, the collaborators, the owners of each project
// and the followers of each item, kept in the store as CBOR and read back at every start, whatever
// a damaged store or another version left there. Each input is the archive's fields in turn
// (me, owners, their dates, collaborators, followers, their dates), separated by "#|#". They are
// read as a start reads them and archived again; what was read once must archive to the same
// bytes at every later start, or the store would be rewritten (and backed up) for nothing.
#include "core/document/MyDocument.h"
#include "core/model/StatusEntities.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "platform/store/UndoManager.h"
#include "sync/CollaborationManager.h"
#include "sync/QVRestManager.h"

#include <QTemporaryDir>

#include <array>
#include <memory>

using namespace qv;

namespace {

const QString kEmail = QStringLiteral("me@example.com");

// One engine with no server (nothing is ever sent), a project and an item with identifier 1.
struct Engine {
    Engine()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(folder.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(folder.path()));
        qputenv("TMPDIR", QFile::encodeName(folder.path()));
        services.clock = &clock;
        services.scheduler = &scheduler;
        services.preferences = &preferences;
        services.notifications = &notifications;
        services.alerts = &alerts;
        preferences.setValue(QStringLiteral("_currentUser"), kEmail);
        document = std::make_unique<MyDocument>(
            services, std::make_unique<store::Context>(TodoModel::shared(), scheduler));
        SyncOptions options;
        options.origin.clear();
        options.deviceUID = QStringLiteral("fuzz");
        options.restStorePath = folder.filePath(QStringLiteral("sync.sqlite"));
        options.cookieFolder = folder.path();
        engine = std::make_unique<QVRestManager>(services, *document, options);
        store::Context& context = document->context();
        project = context.insert<TODOList>(TODOList::staticEntityName());
        project->setId_(1);
        item = context.insert<TODOItem>(TODOItem::staticEntityName());
        item->setServerID(1);
        status = context.insert<CollaborationStatus>(CollaborationStatus::staticEntityName());
        status->setEmail(kEmail);
        // Nobody undoes here; recording every input's archive would only grow.
        context.takeUndoManager();
    }

    using Archive = std::array<QByteArray, 5>;
    Archive archive() const
    {
        return {status->cachedOwnersByProject(), status->cachedOwnersByProjectDates(),
                status->cachedCollaboratorsByEmail(), status->cachedFollowersByItem(),
                status->cachedFollowersByItemDates()};
    }

    QTemporaryDir folder;
    FakeClock clock;
    ManualScheduler scheduler{&clock};
    Preferences preferences{folder.filePath(QStringLiteral("prefs.conf"))};
    NotificationCenter notifications;
    ScriptedAlerts alerts;
    Services services;
    std::unique_ptr<MyDocument> document;
    std::unique_ptr<QVRestManager> engine;
    TODOList* project = nullptr;
    TODOItem* item = nullptr;
    CollaborationStatus* status = nullptr;
};

QStringList emails(const QList<User>& users)
{
    QStringList list;
    for (const User& user : users)
        list << user.email;
    return list;
}

// What the team panels show from the archive, read through the manager's own questions.
QStringList shown(CollaborationManager& manager, Engine& engine)
{
    QStringList seen;
    seen << emails(manager.getCachedCollaborators()) << QStringLiteral("|")
         << emails(manager.getCachedCollaboratorsForSearchString(QStringLiteral("e"))) << QStringLiteral("|")
         << emails(manager.getCachedOwnersForProject(engine.project)) << QStringLiteral("|")
         << manager.myEmail().value_or(QString()) << manager.myUsername().value_or(QString());
    for (const User& user : manager.getCachedCollaborators())
        seen << manager.resourceURIForEmail(user.email).value_or(QString());
    const auto followers =
        manager.getFollowersForItem(engine.item, {}, {}, {}, false).value_or(QList<User>());
    seen << QStringLiteral("|") << emails(followers);
    return seen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Made afresh now and then: a long run would otherwise gather whatever the store keeps.
    static std::unique_ptr<Engine> made;
    static int runs = 0;
    if (!made || ++runs % 5000 == 0) {
        made.reset();
        made = std::make_unique<Engine>();
    }
    Engine& engine = *made;
    QList<QByteArray> parts;
    QByteArray rest = fuzz::bytesOf(data, size);
    for (qsizetype end = rest.indexOf("#|#"); end >= 0 && parts.size() < 5; end = rest.indexOf("#|#")) {
        parts.append(rest.left(end));
        rest.remove(0, end + 3);
    }
    parts.append(rest);
    parts.resize(6);
    // An empty field means "nothing archived", which is downloaded instead of read.
    const QByteArray emptyMap("\xa0", 1);
    {
        QVRestManager::TrackingPause pause(*engine.engine);
        engine.status->setCachedMe(parts[0].isEmpty() ? emptyMap : parts[0]);
        engine.status->setCachedOwnersByProject(parts[1]);
        engine.status->setCachedOwnersByProjectDates(parts[2]);
        engine.status->setCachedCollaboratorsByEmail(parts[3].isEmpty() ? emptyMap : parts[3]);
        engine.status->setCachedFollowersByItem(parts[4]);
        engine.status->setCachedFollowersByItemDates(parts[5]);
    }
    auto first = std::make_unique<CollaborationManager>(engine.services, *engine.engine);
    first->initCollaboration();
    const QStringList firstShown = shown(*first, engine);
    first->reloadMeAndSaveCaches();
    const Engine::Archive once = engine.archive();
    first.reset();

    CollaborationManager second(engine.services, *engine.engine);
    second.initCollaboration();
    fuzz::require(shown(second, engine) == firstShown, "the archive shows the same after a restart");
    second.reloadMeAndSaveCaches();
    fuzz::require(engine.archive() == once, "an archive read once is archived to the same bytes");
    // What the store posted for its changes runs, as the event loop would run it between inputs,
    // and the changes are saved, as the document saves them.
    engine.scheduler.runPosted();
    engine.document->context().save();
    return 0;
}
