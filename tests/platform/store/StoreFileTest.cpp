#include "tests/platform/store/StoreFixture.h"

#include "platform/store/StoreCopy.h"

#include <QDir>
#include <QRandomGenerator>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qv::store::test {
namespace {

using StoreRoundTrip = StoreFixture;

TEST_F(StoreRoundTrip, GivenEveryAttributeTypeAndRelation_WhenSavedAndReopened_ThenAllComeBack)
{
    qint64 projectID = 0;
    qint64 firstTaskID = 0;
    QString projectURI;
    {
        auto context = openStore();
        ManagedObject* project = context->insert("Project");
        project->setValue("id_", 7);
        project->setValue("name", QStringLiteral("Grüße \"quoted\" 'and' ünïcode"));
        project->setValue("index", qint64(1) << 40);
        project->setValue("budget", 3.25);
        project->setValue("archived", true);
        project->setValue("created", utcMs(1'700'000'123'456));
        project->setValue("icon", QByteArray("\x00\x01\xff", 3));
        project->setValue("collaborators", QByteArray("only in memory"));
        auto* first = context->insert<Task>("Task");
        first->setName(QString()); // stays null
        first->setValue("serverID", 101);
        first->setProject(project);
        auto* second = context->insert<Task>("Task");
        second->setName(QLatin1String("")); // empty, not null
        second->setProject(project);
        ManagedObject* tag = context->insert("Tag");
        tag->setValue("name", "home");
        first->addToMany("tags", tag);
        project->addToMany("tags", tag);
        ManagedObject* note = context->insert("Note");
        note->setValue("text", "remember");
        second->setToOne("note", note);
        projectID = project->objectID();
        firstTaskID = first->objectID();
        projectURI = project->uri();
        StoreError error;
        ASSERT_TRUE(context->save(&error)) << error.message.toStdString();
    }

    auto context = openStore();
    ManagedObject* project = context->objectWithID("Project", projectID);
    ASSERT_NE(project, nullptr);
    EXPECT_EQ(project->uri(), projectURI);
    EXPECT_EQ(context->objectForURI(projectURI), project);
    EXPECT_EQ(project->value("name").toString(), QStringLiteral("Grüße \"quoted\" 'and' ünïcode"));
    EXPECT_EQ(project->value("index").metaType().id(), QMetaType::LongLong);
    EXPECT_EQ(project->intValue("index"), qint64(1) << 40);
    EXPECT_EQ(project->intValue("state"), 0);
    EXPECT_DOUBLE_EQ(project->doubleValue("budget"), 3.25);
    EXPECT_TRUE(project->boolValue("archived"));
    EXPECT_EQ(project->dateValue("created"), utcMs(1'700'000'123'456));
    EXPECT_EQ(project->dateValue("created").timeSpec(), Qt::UTC);
    EXPECT_EQ(project->value("icon").toByteArray(), QByteArray("\x00\x01\xff", 3));
    EXPECT_TRUE(project->isNull("collaborators"));
    EXPECT_FALSE(project->isInserted());
    EXPECT_FALSE(context->hasChanges());

    const auto& tasks = project->toMany("tasks");
    ASSERT_EQ(tasks.size(), 2u);
    auto* first = as<Task>(tasks[0]);
    auto* second = as<Task>(tasks[1]);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->objectID(), firstTaskID);
    EXPECT_EQ(first->fetchedCount, 1);
    EXPECT_TRUE(first->isNull("name"));
    EXPECT_FALSE(second->isNull("name"));
    EXPECT_EQ(second->name(), QString());
    EXPECT_EQ(first->project(), project);
    EXPECT_FALSE(first->boolValue("done"));
    ManagedObject* tag = context->lookupFirst("Tag", "name", "home");
    ASSERT_NE(tag, nullptr);
    EXPECT_TRUE(first->containsInMany("tags", tag));
    EXPECT_TRUE(tag->containsInMany("tasks", first));
    EXPECT_TRUE(tag->containsInMany("projects", project));
    ManagedObject* note = second->toOne("note");
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->stringValue("text"), "remember");
    EXPECT_EQ(note->toOne("task"), second);
    EXPECT_EQ(context->lookupFirst("Task", "serverID", 101), first);
}

TEST_F(StoreRoundTrip, GivenTransientCachesFilledWhileLoading_ThenTheOpenedStoreHasNoChanges)
{
    {
        auto context = openStore();
        context->insert<Task>("Task")->setName("star");
        ASSERT_TRUE(context->save());
    }
    scheduler.runPosted();
    auto context = openStore();
    auto* task = as<Task>(context->objects("Task").front());
    EXPECT_TRUE(task->boolValue("starred"));
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(scheduler.pendingPosts(), 0);
    EXPECT_TRUE(task->changedKeysInCurrentEvent().isEmpty());
}

TEST_F(StoreRoundTrip, GivenALinkWrittenTwice_WhenLoaded_ThenItIsOneLinkAndRemovingItRemovesBoth)
{
    {
        auto context = openStore();
        context->insert("Task")->addToMany("tags", context->insert("Tag"));
        ASSERT_TRUE(context->save());
    }
    ASSERT_TRUE(RawDb(storePath()).exec("INSERT INTO Z_Tag_tasks SELECT * FROM Z_Tag_tasks"));
    {
        auto context = openStore();
        ManagedObject* task = context->objects("Task").front();
        ManagedObject* tag = context->objects("Tag").front();
        EXPECT_EQ(task->toMany("tags").size(), 1u);
        EXPECT_EQ(tag->toMany("tasks").size(), 1u);
        task->removeFromMany("tags", tag);
        ASSERT_TRUE(context->save());
    }
    auto context = openStore();
    EXPECT_TRUE(context->objects("Task").front()->toMany("tags").empty());
    EXPECT_TRUE(context->objects("Tag").front()->toMany("tasks").empty());
}

TEST_F(StoreRoundTrip, GivenDeletedObjects_WhenNewOnesAreInserted_ThenNoObjectIDIsEverReused)
{
    qint64 deletedID = 0;
    {
        auto context = openStore();
        context->insert("Task");
        ManagedObject* last = context->insert("Task");
        deletedID = last->objectID();
        ASSERT_TRUE(context->save());
        context->deleteObject(last);
        ASSERT_TRUE(context->save());
    }
    auto context = openStore();
    EXPECT_EQ(context->count("Task"), 1);
    EXPECT_GT(context->insert("Task")->objectID(), deletedID);
}

using SchemaVersions = StoreFixture;

TEST_F(SchemaVersions, GivenAVersion1File_WhenOpenedWithVersion2_ThenTheNewEntityAndAttributeAreAdded)
{
    qint64 taskID = 0;
    {
        auto context = openStore();
        auto* task = context->insert<Task>("Task");
        task->setName("old");
        taskID = task->objectID();
        ASSERT_TRUE(context->save());
    }
    const Model v2 = testModel(2);
    {
        auto context = openStore(v2);
        ASSERT_TRUE(context);
        ManagedObject* task = context->objectWithID("Task", taskID);
        ASSERT_NE(task, nullptr);
        EXPECT_EQ(task->stringValue("name"), "old");
        EXPECT_EQ(task->intValue("priority"), 3); // rows from before take the default
        EXPECT_FALSE(context->hasChanges());
        task->setValue("priority", 1);
        context->insert("Milestone")->setValue("title", "v2");
        ASSERT_TRUE(context->save());
    }
    RawDb raw(storePath(), true);
    EXPECT_EQ(raw.number("PRAGMA user_version"), 2);
    EXPECT_EQ(raw.number("SELECT priority FROM Task"), 1);
    EXPECT_EQ(raw.text("SELECT title FROM Milestone"), "v2");
}

TEST_F(SchemaVersions, GivenAFileOfANewerVersion_WhenOpened_ThenItIsRefusedAndLeftUntouched)
{
    const Model v2 = testModel(2);
    {
        auto context = openStore(v2);
        context->insert("Milestone");
        ASSERT_TRUE(context->save());
    }
    const QByteArray before = readFile(storePath());
    const QDateTime modified = QFileInfo(storePath()).lastModified();

    StoreError error;
    auto context = Context::open(storePath(), model, scheduler, &error);

    EXPECT_FALSE(context);
    EXPECT_EQ(error.code, StoreError::Code::NewerSchema);
    EXPECT_FALSE(error.message.isEmpty());
    EXPECT_EQ(readFile(storePath()), before);
    EXPECT_EQ(QFileInfo(storePath()).lastModified(), modified);
    EXPECT_TRUE(openStore(v2)); // still good for the version that wrote it
}

class UnreadableFiles : public StoreFixture {
protected:
    // Opens, expects a refusal, and checks that the file kept every byte.
    StoreError refuse(const QByteArray& contents)
    {
        EXPECT_TRUE(writeFile(storePath(), contents));
        StoreError error;
        auto context = Context::open(storePath(), model, scheduler, &error);
        EXPECT_FALSE(context);
        EXPECT_TRUE(error);
        EXPECT_FALSE(error.message.isEmpty());
        EXPECT_EQ(readFile(storePath()), contents);
        EXPECT_FALSE(QFile::exists(storePath() + "-wal"));
        EXPECT_FALSE(QFile::exists(storePath() + "-shm"));
        return error;
    }

    QByteArray validStore(int tasks)
    {
        {
            auto context = openStore();
            for (int i = 0; i < tasks; ++i)
                context->insert<Task>("Task")->setName(
                    QStringLiteral("task number %1 with some text").arg(i));
            EXPECT_TRUE(context->save());
        }
        return readFile(storePath());
    }
};

TEST_F(UnreadableFiles, GivenNoStoreOrADamagedOne_WhenOpened_ThenRefusedAsSuchAndLeftUntouched)
{
    using Code = StoreError::Code;
    const QByteArray whole = validStore(2000);
    ASSERT_GT(whole.size(), 16384);
    QByteArray damaged = whole;
    for (qsizetype i = 4096 * 2; i < damaged.size(); i += 4096)
        damaged[i + 100] = char(0xA5), damaged[i + 7] = char(0x5A);
    QByteArray noise(8192, 0);
    for (auto& c : noise)
        c = char(QRandomGenerator::global()->bounded(256));
    const QString contactsPath = home.root() + "/contacts.sqlite";
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(contactsPath).constData(), &db);
    sqlite3_exec(db, "CREATE TABLE contacts (name TEXT); INSERT INTO contacts VALUES ('x');", nullptr,
                 nullptr, nullptr);
    sqlite3_close(db);

    const struct {
        const char* what;
        QByteArray contents;
        Code code;
        Code orCode;
    } cases[] = {
        {"random bytes", noise, Code::NotAStore, Code::NotAStore},
        {"a text file", "name,notes\nmilk,two bottles\n", Code::NotAStore, Code::NotAStore},
        {"half a store", whole.left(whole.size() / 2), Code::Corrupt, Code::Corrupt},
        {"a cut header", whole.left(60), Code::Corrupt, Code::Corrupt},
        {"damaged pages", damaged, Code::Corrupt, Code::NotAStore},
        {"another program's database", readFile(contactsPath), Code::NotAStore, Code::NotAStore},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Code code = refuse(c.contents).code;
        EXPECT_TRUE(code == c.code || code == c.orCode) << int(code);
    }
}

TEST_F(UnreadableFiles, GivenTablesOfAnotherShapeOrNumbersAtTheirEnd_ThenDamagedAndUntouched)
{
    const QByteArray whole = validStore(3);
    const struct {
        const char* what;
        const char* sql;
    } cases[] = {
        {"metadata without values", "ALTER TABLE Z_METADATA DROP COLUMN Z_VALUE"},
        {"links without destinations", "DROP TABLE Z_Tag_tasks; CREATE TABLE Z_Tag_tasks (Z_SOURCE INTEGER)"},
        {"objects without an integer key",
         "CREATE TABLE x AS SELECT * FROM Task; DROP TABLE Task; ALTER TABLE x RENAME TO Task"},
        {"a column of another type",
         "DROP TABLE Note; CREATE TABLE Note (Z_PK INTEGER PRIMARY KEY, text BLOB, task INTEGER)"},
        {"a key at the largest number", "UPDATE Task SET Z_PK = 9223372036854775807 WHERE Z_PK = 1"},
        {"a counter at the largest number",
         "INSERT OR REPLACE INTO Z_METADATA VALUES ('highWater.Task', 9223372036854775807)"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(writeFile(storePath(), whole));
        ASSERT_TRUE(RawDb(storePath()).exec(c.sql)) << c.what;
        const StoreError error = refuse(readFile(storePath()));
        EXPECT_EQ(error.code, StoreError::Code::Corrupt) << c.what;
        EXPECT_TRUE(error.message.contains("damaged")) << c.what << ": " << error.message.toStdString();
    }
}

TEST_F(UnreadableFiles, GivenAnEmptyFileOrNone_ThenANewStoreIsMade)
{
    ASSERT_TRUE(writeFile(storePath()));
    EXPECT_TRUE(openStore());
    QFile::remove(storePath());
    EXPECT_TRUE(openStore());

    StoreError error;
    EXPECT_FALSE(Context::open(home.root() + "/missing/store.sqlite", model, scheduler, &error));
    EXPECT_EQ(error.code, StoreError::Code::NotFound);
}

using StoreSave = StoreFixture;

TEST_F(StoreSave,
       GivenAnotherProcessHoldsTheLockOrNoFile_WhenSaving_ThenItFailsKeepsTheChangesAndALaterSaveSucceeds)
{
    Context unfiled(model, scheduler);
    unfiled.insert("Task");
    StoreError unfiledError;
    EXPECT_FALSE(unfiled.save(&unfiledError));
    EXPECT_EQ(unfiledError.code, StoreError::Code::Io);
    EXPECT_TRUE(unfiled.hasChanges());

    auto context = openStore();
    auto* task = context->insert<Task>("Task");
    task->setName("first");
    ASSERT_TRUE(context->save());
    context->setBusyTimeout(20);
    task->setName("second");
    ManagedObject* added = context->insert("Task");

    StoreError error;
    {
        RawDb other(storePath());
        ASSERT_TRUE(other.exec("BEGIN EXCLUSIVE"));
        EXPECT_FALSE(context->save(&error));
        other.exec("ROLLBACK");
    }

    EXPECT_EQ(error.code, StoreError::Code::Io);
    EXPECT_TRUE(context->hasChanges());
    EXPECT_EQ(task->name(), "second");
    EXPECT_TRUE(added->isInserted());
    EXPECT_EQ(task->committedValue("name").toString(), "first");
    ASSERT_TRUE(context->save(&error)) << error.message.toStdString();
    EXPECT_FALSE(error);
    EXPECT_FALSE(context->hasChanges());
    RawDb raw(storePath(), true);
    EXPECT_EQ(raw.text("SELECT name FROM Task ORDER BY Z_PK LIMIT 1"), "second");
    EXPECT_EQ(raw.number("SELECT count(*) FROM Task"), 2);
}

TEST_F(StoreSave, GivenAWriteFailsHalfwayThroughTheSave_ThenNothingOfItReachesTheFile)
{
    qint64 aID = 0;
    {
        auto context = openStore();
        aID = context->insert("Task")->objectID();
        context->insert("Task");
        ASSERT_TRUE(context->save());
    }
    ASSERT_TRUE(RawDb(storePath())
                    .exec("CREATE TRIGGER refuse BEFORE UPDATE ON Task WHEN NEW.name = 'boom' "
                          "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    auto context = openStore();
    auto tasks = context->objects("Task");
    ASSERT_EQ(tasks.size(), 2u);
    ASSERT_EQ(tasks[0]->objectID(), aID);
    tasks[0]->setValue("name", "fine");
    tasks[1]->setValue("name", "boom");
    context->insert("Tag")->setValue("name", "new");

    StoreError error;
    EXPECT_FALSE(context->save(&error));
    EXPECT_EQ(error.code, StoreError::Code::Constraint);
    {
        RawDb raw(storePath(), true);
        EXPECT_EQ(raw.number("SELECT count(*) FROM Task WHERE name IS NOT NULL"), 0);
        EXPECT_EQ(raw.number("SELECT count(*) FROM Tag"), 0);
    }
    EXPECT_EQ(tasks[0]->stringValue("name"), "fine");
    EXPECT_TRUE(context->hasChanges());

    ASSERT_TRUE(RawDb(storePath()).exec("DROP TRIGGER refuse"));
    ASSERT_TRUE(context->save(&error)) << error.message.toStdString();
    RawDb raw(storePath(), true);
    EXPECT_EQ(raw.number("SELECT count(*) FROM Task WHERE name IS NOT NULL"), 2);
    EXPECT_EQ(raw.number("SELECT count(*) FROM Tag"), 1);
}

TEST_F(StoreSave, GivenATableChangedUnderTheStore_WhenSaving_ThenItFailsWithTheReasonAndKeepsTheChanges)
{
    auto context = openStore();
    context->insert("Task");
    ASSERT_TRUE(context->save());
    ASSERT_TRUE(RawDb(storePath()).exec("ALTER TABLE Task RENAME TO Chore"));
    // A save that reads the new shape; the first deletion then prepares against a table that is gone.
    context->insert("Tag");
    ASSERT_TRUE(context->save());
    context->deleteObject(context->objects("Task").front());
    StoreError error;
    EXPECT_FALSE(context->save(&error));
    EXPECT_TRUE(error.message.contains("no such table: Task")) << error.message.toStdString();
    EXPECT_TRUE(context->hasChanges());
    EXPECT_FALSE(context->save(&error)); // and again, the same way
    EXPECT_TRUE(error);
}

TEST_F(StoreSave, GivenALargeStore_WhenOneObjectChanges_ThenOnlyItsRowIsWritten)
{
    {
        auto context = openStore();
        for (int i = 0; i < 1000; ++i)
            context->insert("Task")->setValue("index", i);
        ASSERT_TRUE(context->save());
    }
    ASSERT_TRUE(RawDb(storePath())
                    .exec("CREATE TABLE writes (n INTEGER); INSERT INTO writes VALUES (0);"
                          "CREATE TRIGGER w1 AFTER UPDATE ON Task BEGIN UPDATE writes SET n = n + 1; END;"
                          "CREATE TRIGGER w2 AFTER INSERT ON Task BEGIN UPDATE writes SET n = n + 1; END;"
                          "CREATE TRIGGER w3 AFTER DELETE ON Task BEGIN UPDATE writes SET n = n + 1; END;"));
    auto context = openStore();
    auto tasks = context->objects("Task");
    ASSERT_TRUE(context->save()); // nothing changed: nothing written
    tasks[500]->setValue("index", -1);
    context->deleteObject(tasks[10]);
    context->insert("Task");
    tasks[20]->setValue("index", 999'999);
    tasks[20]->setValue("index", 20); // changed back: not a change
    ASSERT_TRUE(context->save());

    RawDb raw(storePath(), true);
    EXPECT_EQ(raw.number("SELECT n FROM writes"), 3);
    EXPECT_EQ(raw.number("SELECT \"index\" FROM Task WHERE Z_PK = 501"), -1);
}

using StoreCrash = StoreFixture;

// A save killed at any point leaves either the state before it or the state after it.
TEST_F(StoreCrash, GivenASaveKilledMidway_WhenReopened_ThenTheFileIsWholeAndHoldsOneStateOrTheOther)
{
    constexpr int kTasks = 6000;
    {
        auto context = openStore();
        for (int i = 0; i < kTasks; ++i) {
            ManagedObject* task = context->insert("Task");
            task->setValue("index", 0);
            task->setValue("name", QStringLiteral("generation 0 of task %1 ").arg(i).repeated(4));
        }
        ASSERT_TRUE(context->save());
    }
    const QString wal = storePath() + "-wal";
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        ManualScheduler childScheduler;
        StoreError error;
        auto context = Context::open(storePath(), model, childScheduler, &error);
        if (!context)
            _exit(2);
        const auto tasks = context->objects("Task");
        for (int generation = 1;; ++generation) {
            for (size_t i = 0; i < tasks.size(); ++i) {
                tasks[i]->setValue("index", generation);
                tasks[i]->setValue(
                    "name", QStringLiteral("generation %1 of task %2 ").arg(generation).arg(i).repeated(4));
            }
            context->insert("Tag")->setValue("name", QString::number(generation));
            const char mark = 's';
            if (write(ready[1], &mark, 1) != 1)
                _exit(3);
            if (!context->save())
                _exit(4);
        }
    }
    close(ready[1]);
    // Let two saves complete, then kill the third as soon as it starts writing.
    char mark = 0;
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(read(ready[0], &mark, 1), 1);
    struct stat before {};
    stat(QFile::encodeName(wal).constData(), &before);
    for (int spins = 0; spins < 200'000; ++spins) {
        struct stat now {};
        stat(QFile::encodeName(wal).constData(), &now);
        if (now.st_size != before.st_size || now.st_mtim.tv_nsec != before.st_mtim.tv_nsec ||
            now.st_mtim.tv_sec != before.st_mtim.tv_sec)
            break;
        usleep(10);
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(ready[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child ended by itself with " << WEXITSTATUS(status);

    EXPECT_EQ(RawDb(storePath()).text("PRAGMA integrity_check"), "ok");
    auto context = openStore();
    ASSERT_TRUE(context);
    const auto tasks = context->objects("Task");
    ASSERT_EQ(int(tasks.size()), kTasks);
    const qint64 generation = tasks.front()->intValue("index");
    EXPECT_GE(generation, 2);
    EXPECT_LE(generation, 3);
    EXPECT_EQ(context->count("Tag"), generation);
    for (size_t i = 0; i < tasks.size(); ++i) {
        ASSERT_EQ(tasks[i]->intValue("index"), generation) << "task " << i;
        ASSERT_EQ(tasks[i]->stringValue("name"),
                  QStringLiteral("generation %1 of task %2 ").arg(generation).arg(i).repeated(4));
    }
}

using StoreBackup = StoreFixture;

TEST_F(StoreBackup, GivenSavedChangesStillInTheLog_WhenBackedUp_ThenTheCopyOpensWithTheSameContents)
{
    const QString copy = home.root() + "/copy.sqlite";
    auto context = openStore();
    ManagedObject* project = context->insert("Project");
    project->setValue("name", "kept");
    auto* task = context->insert<Task>("Task");
    task->setProject(project);
    ASSERT_TRUE(context->save());
    task->setName("in the log only");
    ASSERT_TRUE(context->save());
    ASSERT_GT(QFileInfo(storePath() + "-wal").size(), 0);
    task->setName("not saved");

    StoreError error;
    ASSERT_TRUE(context->backupTo(copy, &error)) << error.message.toStdString();
    EXPECT_FALSE(QFile::exists(copy + ".part"));

    auto restored = Context::open(copy, model, scheduler, &error);
    ASSERT_TRUE(restored) << error.message.toStdString();
    EXPECT_EQ(restored->storeUuid(), context->storeUuid());
    auto* copiedTask = as<Task>(restored->objectWithID("Task", task->objectID()));
    ASSERT_NE(copiedTask, nullptr);
    EXPECT_EQ(copiedTask->name(), "in the log only");
    ASSERT_NE(copiedTask->project(), nullptr);
    EXPECT_EQ(copiedTask->project()->stringValue("name"), "kept");

    EXPECT_FALSE(context->backupTo(storePath(), &error));
    EXPECT_EQ(error.code, StoreError::Code::Io);

    // The copy is the user's alone; one that fails leaves the file it was to replace.
    EXPECT_EQ(QFileInfo(copy).permissions() &
                  ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
              QFile::Permissions());
    EXPECT_FALSE(copyStoreFile(home.root() + "/missing.sqlite", copy, &error));
    EXPECT_FALSE(QFile::exists(copy + ".part"));
    restored.reset();
    restored = Context::open(copy, model, scheduler, &error);
    ASSERT_TRUE(restored) << error.message.toStdString();
    EXPECT_EQ(restored->count("Task"), 1);
}

using ObjectURIs = StoreFixture;

TEST_F(ObjectURIs, GivenAnObject_ThenItsURIResolvesUntilItIsDeletedAndOnlyInItsOwnStore)
{
    auto context = openStore();
    ManagedObject* task = context->insert("Task");
    const QString uri = task->uri();
    EXPECT_TRUE(uri.startsWith("quadrivo-store://" + context->storeUuid() + "/Task/p"));
    EXPECT_EQ(context->objectForURI(uri), task);
    ASSERT_TRUE(context->save());

    auto other = Context::open(home.root() + "/other.sqlite", model, scheduler, nullptr);
    ASSERT_TRUE(other);
    ManagedObject* foreignTask = other->insert("Task");
    EXPECT_EQ(foreignTask->objectID(), task->objectID());
    EXPECT_EQ(context->objectForURI(foreignTask->uri()), nullptr);
    EXPECT_EQ(context->objectForURI("quadrivo-store://" + context->storeUuid() + "/Nothing/p1"), nullptr);
    EXPECT_EQ(context->objectForURI("quadrivo-store://" + context->storeUuid() + "/Task/pX"), nullptr);
    EXPECT_EQ(context->objectForURI("not a uri"), nullptr);

    context->deleteObject(task);
    EXPECT_EQ(context->objectForURI(uri), nullptr);
    ASSERT_TRUE(context->save());
    context.reset();
    context = openStore();
    EXPECT_EQ(context->objectForURI(uri), nullptr);
}

} // namespace
} // namespace qv::store::test
