#include "tests/app/ShellFakes.h"

#include "app/InboxHandOver.h"
#include "app/LaunchRequest.h"
#include "core/model/TODOItem.h"
#include "platform/store/UndoManager.h"
#include "tests/app/StoreWriteLock.h"

#include <QDir>
#include <QFile>
#include <QUrl>

namespace qv::test {

namespace {

using InboxHandOverTest = ShellFixture;

const QString kEmoji = QString::fromUtf8("\xF0\x9F\x93\x8C"); // one character, two UTF-16 units

bool hasLoneSurrogate(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate()) {
            if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate())
                return true;
            ++i;
        } else if (text[i].isLowSurrogate()) {
            return true;
        }
    }
    return false;
}

QStringList inboxNames(MyDocument& document)
{
    QStringList names;
    for (TODOItem* item : document.getAllTODOItemsInInbox())
        names << item->name();
    return names;
}

// The sync engine as the document sees it: what it is told to hold back, and what it sends.
class HoldingSyncEngine final : public StubSyncEngine {
public:
    void blockSyncForItem(TODOItem* item) override { calls << QStringLiteral("block ") + item->name(); }
    void unblockSyncForItem(TODOItem* item) override { calls << QStringLiteral("unblock ") + item->name(); }
};

// The hand-overs of a store another program holds locked.
class LockedStoreHandOverTest : public ShellFixture {
protected:
    void SetUp() override
    {
        launch();
        document().setSyncEngine(&engine);
        // Each failing save would otherwise wait five seconds for the lock.
        document().context().setBusyTimeout(10);
        lock = std::make_unique<StoreWriteLock>(StoreFiles::pathForDataFile());
        ASSERT_TRUE(lock->locked());
    }
    void TearDown() override { document().setSyncEngine(nullptr); }

    MyDocument& document() { return *delegate->document(); }
    // Hands the text over as a later launch does; its answers land in answers.
    void handOver(
        const QString& text, std::function<bool()> senderWaiting = [] { return true; })
    {
        LaunchRequest request;
        request.text = text;
        delegate->handleLaunchRequest(
            request, [this](bool saved) { answers.push_back(saved); }, std::move(senderWaiting));
    }
    QStringList itemsInStore() const
    {
        return namesInStoreFile(StoreFiles::pathForDataFile(), TODOItem::staticEntityName());
    }

    HoldingSyncEngine engine;
    std::unique_ptr<StoreWriteLock> lock;
    std::vector<bool> answers;
};

} // namespace

// --- Text

TEST(ServicesTextRule, GivenLongOrSeveralLines_WhenSplit_ThenTheTitleKeeps512AndTheNotesTheRestUpTo20000)
{
    const QString line = QString(600, u'a');
    const auto parts = InboxHandOver::titleAndNotesFromText(line);
    EXPECT_EQ(parts.title, QString(512, u'a'));
    EXPECT_EQ(parts.notes, QString(88, u'a'));

    const auto lines =
        InboxHandOver::titleAndNotesFromText(QStringLiteral("  \n Buy milk\nat the corner shop\n\n"));
    EXPECT_EQ(lines.title, QStringLiteral("Buy milk"));
    EXPECT_EQ(lines.notes, QStringLiteral("\nat the corner shop"));

    EXPECT_EQ(InboxHandOver::titleAndNotesFromText(QString(512, u'b')).title.size(), 512);
    EXPECT_TRUE(InboxHandOver::titleAndNotesFromText(QString(512, u'b')).notes.isEmpty());
    EXPECT_EQ(InboxHandOver::titleAndNotesFromText(QString(513, u'b')).title.size(), 512);

    QString notes = QStringLiteral("\n") + QString(19'998, u'n') + kEmoji + kEmoji + QStringLiteral("tail");
    const auto cut = InboxHandOver::titleAndNotesFromText(QStringLiteral("Title") + notes);
    EXPECT_EQ(InboxHandOver::characterCount(cut.notes), 20'000);
    EXPECT_TRUE(cut.notes.endsWith(kEmoji));
    EXPECT_FALSE(hasLoneSurrogate(cut.notes));

    const QString exact = QStringLiteral("\n") + QString(19'999, u'n');
    EXPECT_EQ(InboxHandOver::titleAndNotesFromText(QStringLiteral("T") + exact).notes, exact);
}

TEST(ServicesTextRule, GivenAWideCharacterAtTheTitleLimit_WhenCut_ThenItIsKeptWhole)
{
    const QString text = QString(511, u'a') + kEmoji + QStringLiteral("rest");
    const auto parts = InboxHandOver::titleAndNotesFromText(text);
    EXPECT_EQ(InboxHandOver::characterCount(parts.title), 512);
    EXPECT_TRUE(parts.title.endsWith(kEmoji));
    EXPECT_EQ(parts.notes, QStringLiteral("rest"));
    EXPECT_FALSE(hasLoneSurrogate(parts.title));
    EXPECT_FALSE(hasLoneSurrogate(parts.notes));

    // A title of 512 wide characters is 1024 UTF-16 units and is not cut.
    QString wide;
    for (int i = 0; i < 512; ++i)
        wide += kEmoji;
    EXPECT_EQ(InboxHandOver::titleAndNotesFromText(wide).title, wide);
}

TEST_F(InboxHandOverTest,
       GivenTextOrOnlyBlanksHandedOver_WhenAdded_ThenAnInboxItemAppearsIfAnyAndTheInboxIsShown)
{
    launch();
    delegate->addNewItemFromText(QStringLiteral("Call Ada\nabout the budget"));

    ASSERT_EQ(inboxNames(*delegate->document()), QStringList{QStringLiteral("Call Ada")});
    EXPECT_EQ(delegate->document()->getAllTODOItemsInInbox().front()->descriptionText(),
              QStringLiteral("\nabout the budget"));
    EXPECT_TRUE(preferences.boolValue(QStringLiteral("kShowingInbox")));

    // The item was saved at once: the next launch finds it, and blanks add nothing to it.
    launch();
    EXPECT_TRUE(delegate->addNewItemFromText(QStringLiteral(" \n\t\n ")));
    EXPECT_EQ(inboxNames(*delegate->document()), QStringList{QStringLiteral("Call Ada")});
    EXPECT_TRUE(preferences.boolValue(QStringLiteral("kShowingInbox")));
}

TEST_F(InboxHandOverTest, GivenTextHandedOverBeforeTheLaunchEnds_WhenTheEntryIsRegistered_ThenItIsAdded)
{
    makeDelegate().applicationWillFinishLaunching();
    LaunchRequest request;
    request.text = QStringLiteral("Early bird");
    delegate->handleLaunchRequest(request);
    delegate->applicationDidFinishLaunching();

    EXPECT_EQ(inboxNames(*delegate->document()), QStringList{QStringLiteral("Early bird")});
}

// --- Files

TEST_F(InboxHandOverTest, GivenFiles_WhenAdded_ThenOneItemIsMadeForTheFirstFileAndItsUploadOffered)
{
    launch();
    delegate->addNewItemFromFiles({home.root()});
    delegate->addNewItemFromFiles({home.root() + QStringLiteral("/missing.txt")});
    delegate->addNewItemFromFiles({});
    EXPECT_TRUE(inboxNames(*delegate->document()).isEmpty()) << "a folder, a missing file or none";
    EXPECT_FALSE(preferences.boolValue(QStringLiteral("kShowingInbox")));

    QStringList paths;
    for (const QString& name :
         {QStringLiteral("report.final.pdf"), QStringLiteral("b.txt"), QStringLiteral("notes.md")}) {
        paths << home.root() + u'/' + name;
        ASSERT_TRUE(writeFile(paths.last()));
    }
    log.calls.clear();
    delegate->addNewItemFromFiles(paths);

    ASSERT_EQ(inboxNames(*delegate->document()), QStringList{QStringLiteral("report.final")});
    TODOItem* item = delegate->document()->getAllTODOItemsInInbox().front();
    EXPECT_EQ(item->macResourceURL(), QUrl::fromLocalFile(paths.first()).toString());
    EXPECT_TRUE(item->descriptionText().isEmpty());
    EXPECT_EQ(log.calls, (QStringList{QStringLiteral("attachments.ask report.final"),
                                      QStringLiteral("attachments.upload")}));
    EXPECT_TRUE(preferences.boolValue(QStringLiteral("kShowingInbox")));

    // Declined, the item stays without an upload.
    attachments.answer = false;
    log.calls.clear();
    delegate->addNewItemFromFiles({paths.last()});
    EXPECT_EQ(inboxNames(*delegate->document()).size(), 2);
    EXPECT_FALSE(log.has(QStringLiteral("attachments.upload")));
}

// --- Answers that match what is in the store

TEST_F(LockedStoreHandOverTest,
       GivenTheLockEndsInTime_WhenTextIsHandedOver_ThenTheAnswerAndTheSendFollowTheFirstSave)
{
    handOver(QStringLiteral("Locked out\nfor now"));

    // Made and shown, but neither answered nor sent while it is only in memory.
    EXPECT_EQ(inboxNames(document()), QStringList{QStringLiteral("Locked out")});
    scheduler.advance(3'000);
    EXPECT_TRUE(answers.empty());
    EXPECT_EQ(engine.calls, QStringList{QStringLiteral("block Locked out")});

    lock.reset();
    scheduler.advance(MyDocument::kCommitRetryMs);
    EXPECT_EQ(answers, std::vector<bool>{true});
    EXPECT_EQ(itemsInStore(), QStringList{QStringLiteral("Locked out")});
    EXPECT_EQ(engine.calls,
              (QStringList{QStringLiteral("block Locked out"), QStringLiteral("unblock Locked out"),
                           QStringLiteral("sendItem Locked out")}));
}

TEST_F(
    LockedStoreHandOverTest,
    GivenTheSaveWaitEndsOrTheSenderGivesUp_WhenTheStoreIsStillLocked_ThenTheHandOverIsRefusedAndItsItemTakenBack)
{
    handOver(QStringLiteral("Too late"));
    scheduler.advance(AppDelegate::kHandOverSaveWaitMs - 1);
    EXPECT_TRUE(answers.empty());
    scheduler.advance(1);
    EXPECT_EQ(answers, std::vector<bool>{false});
    EXPECT_TRUE(inboxNames(document()).isEmpty());

    bool senderThere = true;
    handOver(QStringLiteral("Given up"), [&senderThere] { return senderThere; });
    senderThere = false;
    scheduler.advance(AppDelegate::kHandOverPollMs);
    EXPECT_EQ(answers, (std::vector<bool>{false, false}));
    EXPECT_TRUE(inboxNames(document()).isEmpty());

    // Neither reached the server, nor reaches the store once it can be written, nor comes back
    // with Undo.
    lock.reset();
    scheduler.advance(MyDocument::kCommitRetryMs);
    for (int i = 0; i < 5 && document().context().undoManager()->canUndo(); ++i)
        document().context().undoManager()->undo();
    scheduler.advance(MyDocument::kCommitDelayMs);
    EXPECT_TRUE(inboxNames(document()).isEmpty());
    EXPECT_TRUE(itemsInStore().isEmpty());
    EXPECT_TRUE(engine.calls.filter(QStringLiteral("sendItem")).isEmpty())
        << engine.calls.join(u',').toStdString();
}

TEST_F(LockedStoreHandOverTest,
       GivenAHandOverWaitingForItsSave_WhenTheQuitCannotSaveEither_ThenItIsRefusedAndTheLogSaysSo)
{
    handOver(QStringLiteral("Pending at the quit"));
    logCapture.clear();
    delegate->quitCommand();

    EXPECT_EQ(answers, std::vector<bool>{false});
    EXPECT_TRUE(inboxNames(document()).isEmpty());
    EXPECT_TRUE(logCapture.contains("Could not save the document (applicationShouldTerminate)"));
    EXPECT_FALSE(logCapture.contains("Saved document (applicationShouldTerminate)"));
    lock.reset();
    scheduler.advance(AppDelegate::kQuitDelayMs);
    EXPECT_TRUE(itemsInStore().isEmpty());
}

TEST_F(InboxHandOverTest,
       GivenAnUploadQuestionOpen_WhenAnotherFileIsHandedOver_ThenItIsAnsweredAtOnceAndAskedAfterwards)
{
    launch();
    const QString plan = home.root() + QStringLiteral("/plan.txt");
    const QString budget = home.root() + QStringLiteral("/budget.txt");
    ASSERT_TRUE(writeFile(plan));
    ASSERT_TRUE(writeFile(budget));
    const auto handOver = [this](const QString& path) {
        LaunchRequest request;
        request.files = {path};
        delegate->handleLaunchRequest(
            request,
            [this, path](bool saved) { log.add(QStringLiteral("answered %1 %2").arg(path).arg(saved)); },
            [] { return true; });
    };
    // The second launch comes while the first question is open.
    attachments.whileAsking = [&] {
        if (!log.has(QStringLiteral("answered %1 1").arg(budget)))
            handOver(budget);
    };
    log.calls.clear();
    handOver(plan);

    EXPECT_EQ(log.calls,
              (QStringList{QStringLiteral("answered %1 1").arg(plan), QStringLiteral("attachments.ask plan"),
                           QStringLiteral("answered %1 1").arg(budget), QStringLiteral("attachments.upload"),
                           QStringLiteral("attachments.ask budget"), QStringLiteral("attachments.upload")}));
    EXPECT_EQ(attachments.mostOpenAtOnce, 1);
    EXPECT_EQ(namesInStoreFile(StoreFiles::pathForDataFile(), TODOItem::staticEntityName()),
              (QStringList{QStringLiteral("budget"), QStringLiteral("plan")}));
}

// --- The command line that carries them

TEST(LaunchRequestTest, GivenTheCommandLine_WhenParsed_ThenLinksTextAndAbsoluteFilesAreTaken)
{
    TempHome home;
    QDir(home.root()).mkdir(QStringLiteral("docs"));
    const QString plan = home.root() + QStringLiteral("/plan.txt");
    ASSERT_TRUE(writeFile(plan));
    int reads = 0;
    const auto parsed = LaunchRequest::fromArguments(
        {QStringLiteral("quadrivo"), QStringLiteral("--add-text"), QStringLiteral("--add-file"),
         QStringLiteral("docs/../plan.txt"), QStringLiteral("quadrivo://")},
        [&] {
            ++reads;
            return QByteArray("Gr\xc3\xbc\xc3\x9f"
                              "e\nzwei");
        },
        home.root());
    ASSERT_TRUE(parsed.request);
    EXPECT_EQ(parsed.request->urls, QStringList{QStringLiteral("quadrivo://")});
    EXPECT_EQ(parsed.request->text, QString::fromUtf8("Gr\xc3\xbc\xc3\x9f"
                                                      "e\nzwei"));
    EXPECT_EQ(parsed.request->files, QStringList{plan});
    EXPECT_EQ(reads, 1);

    const auto plain = LaunchRequest::fromArguments(
        {QStringLiteral("quadrivo")},
        [&] {
            ++reads;
            return QByteArray();
        },
        QStringLiteral("/"));
    ASSERT_TRUE(plain.request);
    EXPECT_TRUE(plain.request->isEmpty());
    EXPECT_EQ(reads, 1);

    const auto wrong = LaunchRequest::fromArguments(
        {QStringLiteral("quadrivo"), QStringLiteral("--frobnicate")}, {}, QStringLiteral("/"));
    EXPECT_FALSE(wrong.request);
    EXPECT_EQ(wrong.exitCode, 2);
}

TEST(LaunchRequestTest, GivenInputThatCannotBeHandedOver_WhenParsed_ThenItIsRefusedWithTheReason)
{
    TempHome home;
    const struct {
        QStringList arguments;
        QByteArray input;
        QString reason;
    } cases[] = {
        {{QStringLiteral("--add-file"), QStringLiteral("missing.txt")}, {}, QStringLiteral("no such file")},
        {{QStringLiteral("--add-file"), QStringLiteral(".")}, {}, QStringLiteral("it is a folder")},
        {{QStringLiteral("https://example.org/")}, {}, QStringLiteral("not a quadrivo:// link")},
        {{QStringLiteral("quadrivo://sync/%zz")}, {}, QStringLiteral("cannot read the link")},
        {{QStringLiteral("--add-text")}, QByteArray("one\0two", 7), QStringLiteral("NUL byte")},
    };
    for (const auto& [arguments, input, reason] : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const auto parsed = LaunchRequest::fromArguments(
            QStringList{QStringLiteral("quadrivo")} + arguments, [input = input] { return input; },
            home.root());
        EXPECT_FALSE(parsed.request);
        EXPECT_EQ(parsed.exitCode, 1);
        EXPECT_TRUE(parsed.output.startsWith(QStringLiteral("quadrivo: "))) << parsed.output.toStdString();
        EXPECT_TRUE(parsed.output.contains(reason)) << parsed.output.toStdString();
    }
}

TEST(LaunchRequestTest, GivenALinkTheApplicationCannotFollowOrNoText_WhenParsed_ThenItIsRefused)
{
    const QString host = QStringLiteral("sync.test:8443");
    const struct {
        QStringList arguments;
        QByteArray input;
        QString reason;
    } cases[] = {
        {{QStringLiteral("quadrivo://garbage")}, {}, QStringLiteral("cannot read the link")},
        {{QStringLiteral("quadrivo://sync.test:8443/api/v1/project/abc")}, {}, QStringLiteral("cannot read")},
        {{QStringLiteral("quadrivo://elsewhere.test/api/v1/item/7")}, {}, QStringLiteral("cannot read")},
        {{QStringLiteral("--add-text")}, QByteArray(""), QStringLiteral("empty")},
        {{QStringLiteral("--add-text")}, QByteArray(" \n\t \r\n"), QStringLiteral("blank")},
    };
    for (const auto& [arguments, input, reason] : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const auto parsed = LaunchRequest::fromArguments(
            QStringList{QStringLiteral("quadrivo")} + arguments, [input = input] { return input; },
            QStringLiteral("/"), host);
        EXPECT_FALSE(parsed.request);
        EXPECT_EQ(parsed.exitCode, 1);
        EXPECT_TRUE(parsed.output.contains(reason)) << parsed.output.toStdString();
    }

    // What the application follows passes.
    for (const QString& link : {QStringLiteral("quadrivo://sync.test:8443/api/v1/project/42"),
                                QStringLiteral("quadrivo://sync.test:8443/api/v1/item/77"),
                                QStringLiteral("quadrivo://sync/"), QStringLiteral("quadrivo://")}) {
        SCOPED_TRACE(link.toStdString());
        EXPECT_TRUE(
            LaunchRequest::fromArguments({QStringLiteral("quadrivo"), link}, {}, QStringLiteral("/"), host)
                .request);
    }
}

TEST(LaunchRequestTest, GivenAMessage_WhenReadBack_ThenOnlyWellFormedRequestsWithAbsolutePathsPass)
{
    LaunchRequest request;
    request.urls = {QStringLiteral("quadrivo://sync/")};
    request.text = QStringLiteral("x");
    request.files = {QStringLiteral("/tmp/a")};
    const auto back = LaunchRequest::fromMessage(request.toMessage());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->urls, request.urls);
    EXPECT_EQ(back->text, request.text);
    EXPECT_EQ(back->files, request.files);

    EXPECT_FALSE(LaunchRequest::fromMessage("not json"));
    EXPECT_FALSE(LaunchRequest::fromMessage(R"({"urls": "quadrivo://"})"));
    EXPECT_FALSE(LaunchRequest::fromMessage(R"({"text": 5})"));
    const auto relative = LaunchRequest::fromMessage(R"({"files": ["relative.txt", "/abs.txt"]})");
    ASSERT_TRUE(relative);
    EXPECT_EQ(relative->files, QStringList{QStringLiteral("/abs.txt")});
}

} // namespace qv::test
