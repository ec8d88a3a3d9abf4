#include "core/model/ItemFile.h"
#include "tests/support/FileFixture.h"

#include <QFile>
#include <QProcess>

#include <csignal>

namespace qv::test {
namespace {

constexpr qint64 MB = 1024 * 1024;

class FileTransfer : public FileFixture {
protected:
    FileTransfer() { openWithFiles(); }

    ItemFile* uploadNew(TODOItem* item, const QString& name, const QByteArray& bytes)
    {
        ItemFile* uploaded = nullptr;
        EXPECT_TRUE(
            files->uploadFileAt(localFile(name, bytes), item, false, [&](ItemFile* f) { uploaded = f; }));
        finish();
        return uploaded;
    }
    QStringList problems() const
    {
        QStringList texts;
        for (const auto& shown : device->alerts.shown())
            if (shown.message == QLatin1String("Problem with file"))
                texts << shown.informative;
        return texts;
    }
};

TEST_F(FileTransfer, GivenUploads_WhenSent_ThenPartsGoInOrderAndReplacingSendsTheId)
{
    TODOItem* item = syncedItem();
    int announced = 0;
    device->notifications.addObserver(this, kNotificationFileUploaded,
                                      [&](const Notification&) { ++announced; });
    ItemFile* file = uploadNew(item, QStringLiteral("notes.txt"), "hello");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->item(), item);
    EXPECT_EQ(file->size(), 5);
    EXPECT_EQ(server.fileContent(file->idd()), "hello");

    // Replacing, with the copy of the old content opened before and left as it came.
    QString cached;
    ASSERT_TRUE(files->downloadCopy(file, [&](const QString& path) { cached = path; }));
    finish();
    ASSERT_EQ(readFile(cached), "hello");
    EXPECT_TRUE(files->uploadFileAt(localFile(QStringLiteral("notes.txt"), "hello again"), file, true));
    finish();
    EXPECT_FALSE(QFile::exists(cached));
    EXPECT_EQ(server.fileContent(file->idd()), "hello again");
    EXPECT_EQ(announced, 2);

    const auto posts = requests("POST", QStringLiteral("/api/v1/file/"));
    ASSERT_EQ(posts.size(), 2);
    const auto names = [](const HttpRequest& request) {
        QStringList list;
        for (const auto& part : FakeSyncServer::formParts(request))
            list << part.name;
        return list;
    };
    EXPECT_EQ(names(posts[0]), QStringList({"item", "content"}));
    EXPECT_EQ(names(posts[1]), QStringList({"item", "id", "forceOverwriteItemURL", "content"}));
    const auto parts = FakeSyncServer::formParts(posts[1]);
    EXPECT_EQ(parts[0].body, FakeSyncServer::itemUri(item->serverID()).toUtf8());
    EXPECT_EQ(parts[1].body, QByteArray::number(file->idd()));
    EXPECT_EQ(parts[3].fileName, "notes.txt");
    EXPECT_EQ(profile.profile->value("used_upload_size").toDouble(), 11.0);
}

TEST_F(FileTransfer, GivenAnAttachmentDeletedOnAnotherDevice_WhenPolled_ThenNoRowOfItStays)
{
    TODOItem* item = syncedItem();
    const ItemFile* gone = uploadNew(item, QStringLiteral("gone.txt"), "x");
    ASSERT_NE(uploadNew(item, QStringLiteral("kept.txt"), "y"), nullptr);
    ASSERT_EQ(item->files().size(), 2u);

    SyncDevice& second = addOtherDevice();
    start(second);
    FileManager secondFiles(second.sync(), &profile);
    ASSERT_TRUE(secondFiles.deleteItemFile(secondFiles.findFileWithID(gone->idd())));
    ASSERT_TRUE(waitUntil([&] { return secondFiles.pendingRequestCount() == 0; }));
    tick(10'000);

    ASSERT_EQ(item->files().size(), 1u);
    EXPECT_EQ(item->files().front()->filename(), "kept.txt");
    device->context().processPendingChanges();
    EXPECT_EQ(device->context().objects(ItemFile::staticEntityName()).size(), 1u);

    // The last one goes too: the record lists no files at all.
    ASSERT_TRUE(secondFiles.deleteItemFile(secondFiles.findFileWithID(item->files().front()->idd())));
    ASSERT_TRUE(waitUntil([&] { return secondFiles.pendingRequestCount() == 0; }));
    tick(10'000);
    EXPECT_TRUE(item->files().empty());
    device->context().processPendingChanges();
    EXPECT_TRUE(device->context().objects(ItemFile::staticEntityName()).empty());
}

TEST_F(FileTransfer, GivenLimits_WhenUploadChecked_ThenEachRefusalSaysWhy)
{
    TODOItem* item = syncedItem();
    const QString small = localFile(QStringLiteral("small.bin"), QByteArray(3 * MB, 'x'));
    QDir().mkpath(home.root() + QStringLiteral("/files/folder"));
    struct Case {
        QString path;
        std::optional<QJsonObject> profile;
        QString text;
    } cases[] = {
        {home.root() + QStringLiteral("/files/missing"), server.userProfile(),
         "File 'missing' is not readable"},
        {home.root() + QStringLiteral("/files/folder"), server.userProfile(),
         "Compress 'folder' before uploading"},
        {small, QJsonObject{{"max_upload_size", 2 * MB}, {"total_upload_size", 100.0 * MB}},
         "Size for file 'small.bin' is greater than 2MB"},
        {small, std::nullopt, "Size for file 'small.bin' is greater than 0MB"},
        {small,
         QJsonObject{
             {"max_upload_size", 10 * MB}, {"total_upload_size", 50.0 * MB}, {"used_upload_size", 50.0 * MB}},
         "You cannot upload any more files. Your quota is full. Please contact support@velmora.com for "
         "more information."},
        {small, QJsonObject{{"max_upload_size", 10 * MB}},
         "You cannot upload any more files. Your quota is full. "
         "Please contact support@velmora.com for more information."},
        {small,
         QJsonObject{
             {"max_upload_size", 10 * MB}, {"total_upload_size", 50.0 * MB}, {"used_upload_size", 48.5 * MB}},
         "Size for file 'small.bin' is greater than your remaining 1.50MB"},
    };
    for (const Case& c : cases) {
        device->alerts.clear();
        profile.profile = c.profile;
        EXPECT_FALSE(files->uploadFileAt(c.path, item, false)) << c.text.toStdString();
        EXPECT_EQ(problems(), QStringList{c.text});
    }
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/file/")), 0);
}

TEST_F(FileTransfer,
       GivenRenamesReplacementsAndDeletes_ThenOnlyAttachmentsWithAnIdAreSentAndTheQuotaNeverGoesBelowZero)
{
    TODOItem* item = syncedItem();
    ItemFile* file = uploadNew(item, QStringLiteral("big.bin"), QByteArray(1000, 'x'));
    ASSERT_NE(file, nullptr);
    ItemFile* unsent = device->context().insert<ItemFile>(ItemFile::staticEntityName());
    EXPECT_FALSE(files->renameItemFile(unsent, QStringLiteral("b.bin")));
    EXPECT_TRUE(files->renameItemFile(file, QStringLiteral("b.bin")));
    finish();
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/file/")), 2); // the upload and one rename
    EXPECT_EQ(file->filename(), "b.bin");
    EXPECT_EQ(server.file(file->idd()).value("filename").toString(), "b.bin");

    profile.profile->insert("used_upload_size", 10.0);
    EXPECT_TRUE(files->uploadFileAt(localFile(QStringLiteral("b.bin"), "tiny"), file, false));
    finish();
    EXPECT_EQ(profile.profile->value("used_upload_size").toDouble(), 0.0);
    EXPECT_TRUE(files->deleteItemFile(file));
    finish();
    EXPECT_EQ(profile.profile->value("used_upload_size").toDouble(), 0.0);
    EXPECT_TRUE(file->isDeleted());
    EXPECT_TRUE(item->files().empty());
    EXPECT_EQ(server.fileCount(), 0);
}

TEST_F(FileTransfer, GivenServerNames_WhenDownloaded_ThenTheFileStaysInsideTheFolder)
{
    TODOItem* item = syncedItem();
    ItemFile* file = uploadNew(item, QStringLiteral("x"), "content");
    ASSERT_NE(file, nullptr);
    const QString folder = home.root() + QStringLiteral("/downloads/inner");
    QDir().mkpath(folder);
    struct Case {
        QString name;
        bool sent;
    } cases[] = {{"../x", true},
                 {"/etc/x", true},
                 {"..", false},
                 {".", false},
                 {"", false},
                 {"a/", false},
                 // Read by Qt as a built-in resource, and a path cut short: both made ordinary names.
                 {":report.pdf", true},
                 {QString::fromLatin1("cut\0.txt", 8), true}};
    for (const Case& c : cases) {
        file->setFilename(c.name);
        bool done = false;
        EXPECT_EQ(files->downloadItemFile(file, folder, [&] { done = true; }), c.sent)
            << c.name.toStdString();
        finish();
        EXPECT_EQ(done, c.sent);
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"_report.pdf", "cut_.txt", "x"}));
    EXPECT_EQ(readFile(folder + QStringLiteral("/_report.pdf")), "content");
    for (const QString& name : {QStringLiteral("_report.pdf"), QStringLiteral("cut_.txt")})
        QFile::remove(folder + '/' + name);
    EXPECT_FALSE(QFile::exists(home.root() + QStringLiteral("/downloads/x")));
    EXPECT_EQ(readFile(folder + QStringLiteral("/x")), "content");
    EXPECT_EQ(QFile(folder + QStringLiteral("/x")).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);

    // A failed download leaves nothing behind.
    server.failNext(QStringLiteral("/api/v1/file/"), 404);
    file->setFilename(QStringLiteral("other"));
    std::optional<std::optional<rest::Error>> failed;
    EXPECT_TRUE(files->downloadItemFile(file, folder, {}, [&](const auto& error) { failed = error; }));
    finish();
    ASSERT_TRUE(failed.has_value());
    EXPECT_FALSE(failed->has_value());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"x"});
}

TEST_F(FileTransfer, GivenMessages_WhenFiveSecondsPassSinceTheLast_ThenTheQuotaTextReturns)
{
    start(*device);
    files->displayRemainingQuota();
    EXPECT_EQ(files->operationMessage(), "0.00 / 100.00MB used");
    files->showMessage(QStringLiteral("one"));
    scheduler.advance(3'000);
    files->showMessage(QStringLiteral("two"));
    scheduler.advance(4'999);
    EXPECT_EQ(files->operationMessage(), "two");
    EXPECT_EQ(files->upDownOperationMessage(), "two");
    scheduler.advance(1);
    EXPECT_EQ(files->operationMessage(), "0.00 / 100.00MB used");
    EXPECT_TRUE(files->upDownOperationMessage().isEmpty());
    EXPECT_EQ(files->pctg(), 0.0);
}

TEST_F(FileTransfer, GivenPendingUploads_WhenItemOrProfileIsMissing_ThenTheyWaitUntilBothAreThere)
{
    start(*device);
    TODOList* project = ProjectBuilder(device->context(), "P");
    TODOItem* item = ItemBuilder("I").madeBy(*device->document, project);
    item->setMacResourceURL(QUrl::fromLocalFile(localFile(QStringLiteral("w.txt"), "wait")).toString());
    device->sync().blockSyncForItem(item);
    profile.profile.reset(); // signed out, or the profile not downloaded yet
    ItemFile* uploaded = nullptr;
    files->uploadURLFileForUnsyncedItem(item, [&](ItemFile* f) { uploaded = f; });
    tick(10'000);
    EXPECT_EQ(files->pendingUploadCount(), 1);

    device->sync().unblockSyncForItem(item);
    tick(10'000);
    ASSERT_TRUE(item->isValidUniID());
    EXPECT_EQ(files->pendingUploadCount(), 1);
    EXPECT_TRUE(problems().isEmpty());

    profile.profile = server.userProfile();
    tick(FileManager::kProcessIntervalMs);
    finish();
    EXPECT_EQ(files->pendingUploadCount(), 0);
    ASSERT_NE(uploaded, nullptr);
    EXPECT_EQ(server.fileContent(uploaded->idd()), "wait");
    EXPECT_EQ(FakeSyncServer::formParts(requests("POST", QStringLiteral("/api/v1/file/")).first())[1].name,
              "forceOverwriteItemURL");

    // One whose file has gone loses its upload after one alert.
    TODOItem* gone = ItemBuilder("G").madeBy(*device->document, project);
    tick(5'000);
    gone->setMacResourceURL(QUrl::fromLocalFile(home.root() + QStringLiteral("/files/none")).toString());
    files->uploadURLFileForUnsyncedItem(gone);
    tick(FileManager::kProcessIntervalMs * 2);
    EXPECT_EQ(files->pendingUploadCount(), 0);
    EXPECT_EQ(problems(), QStringList{"File 'none' is not readable"});
}

TEST_F(FileTransfer, GivenNoSyncServer_WhenAFileFromOutsideBecomesAnItem_ThenNobodyIsAskedAndNothingWaits)
{
    SyncDevice serverless(home.root() + QStringLiteral("/serverless"), QStringLiteral("serverless"), clock,
                          scheduler, QString());
    ASSERT_TRUE(serverless.open());
    FileManager manager(serverless.sync(), &profile);
    TODOItem* item =
        ItemBuilder("handed over").madeBy(*serverless.document, ProjectBuilder(serverless.context(), "P"));
    const QString link = QUrl::fromLocalFile(localFile(QStringLiteral("kept.txt"), "kept")).toString();
    item->setMacResourceURL(link);

    EXPECT_FALSE(manager.askUploadFile(QStringLiteral("kept.txt")));
    manager.uploadURLFileForUnsyncedItem(item);
    tick(FileManager::kProcessIntervalMs);
    EXPECT_TRUE(serverless.alerts.shown().isEmpty()) << "asked, or promised an upload that cannot come";
    EXPECT_FALSE(serverless.preferences.boolValue(FileManager::kAlwaysUpload));
    EXPECT_EQ(manager.pendingUploadCount(), 0);
    EXPECT_EQ(item->macResourceURL(), link);
}

// The child, given the store folder, the server, the item and the file: opens the store the
// parent left, uploads the file to the item and waits to be killed.
TEST(FileCrashChild, RunsUntilKilled)
{
    const QStringList args = qEnvironmentVariable("QV_FILE_CHILD").split(QLatin1Char('\n'));
    if (args.size() != 4)
        GTEST_SKIP() << "run by FileTransfer.GivenKillInFlight...";
    FakeClock clock;
    ManualScheduler scheduler{&clock};
    SyncDevice device(args[0], kDeviceA, clock, scheduler, args[1]);
    device.open();
    FakeAccountProfile profile;
    profile.profile = QJsonObject{{"max_upload_size", MB}, {"total_upload_size", 100 * MB}};
    FileManager files(device.sync(), &profile);
    device.sync().startAllLoops();
    TODOItem* item = device.itemWithServerID(args[2].toLongLong());
    for (int step = 0; step < 600 && !device.sync().canInstantSync(); ++step) {
        scheduler.advance(100);
        QCoreApplication::processEvents();
        scheduler.runPosted();
        QTest::qWait(1);
    }
    ASSERT_TRUE(files.uploadFileAt(args[3], item, false));
    for (;;)
        QTest::qWait(100);
}

TEST_F(FileTransfer, GivenKillInFlight_WhenRestarted_ThenEachUploadEndsOnTheServerOnce)
{
    const QString path = QStringLiteral("/api/v1/file/");
    const qint64 itemID = syncedItem()->serverID();
    files.reset();
    device->save();
    for (const bool reachedServer : {true, false}) {
        SCOPED_TRACE(reachedServer);
        device->kill();
        server.holdNext(path);
        if (!reachedServer)
            server.failNext(path, 503);
        const QByteArray name = reachedServer ? "reached.txt" : "unhandled.txt";
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QV_FILE_CHILD",
                           QStringList{home.root() + "/a", server.baseUrl().toString(),
                                       QString::number(itemID), localFile(QString::fromLatin1(name), name)}
                               .join(QLatin1Char('\n')));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=FileCrashChild.*")});
        const bool sent = waitUntil([&] { return server.heldReplyCount() == 1; }, 30000);
        if (child.processId() > 0) // 0 once it is gone, and kill(0) would reach this process
            ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished(5000);
        ASSERT_TRUE(sent);
        server.clearFaults();
        server.releaseHeldReplies();
        const int postsBefore = count("POST", path);

        device = std::make_unique<SyncDevice>(home.root() + QStringLiteral("/a"), kDeviceA, clock, scheduler,
                                              server.baseUrl().toString());
        openWithFiles();
        start(*device);
        tick(FileManager::kProcessIntervalMs * 2);
        finish();
        EXPECT_EQ(count("POST", path), postsBefore + (reachedServer ? 0 : 1));
        const std::vector<ItemFile*> attached = device->itemWithServerID(itemID)->files();
        ASSERT_EQ(attached.size(), reachedServer ? 1u : 2u);
        EXPECT_EQ(server.fileContent(attached.back()->idd()), name);
        files.reset();
        device->save();
    }
    EXPECT_EQ(server.fileCount(), 2);
}

} // namespace
} // namespace qv::test
