// Opens the board window offscreen on a seeded temporary store with all five columns showing
// (inbox, projects, board, feed, item drawer) and saves pictures of it at each font tier given
// (default 0, 4 and 8) in the folder given (default /tmp/quadrivo-shots): board-tierN.png, the
// window with an item open in the drawer; menu-tierN.png, the colour theme menu opened over it
// (when the window has one); quadrant-menu-tierN.png, a quadrant's own menu; team-tierN.png, the team column
// (people and history) over a fake sync server on 127.0.0.1, the share menu opened beside it;
// files-tierN.png, the drawer on its Files tab, and files-notice-tierN.png with its offline notice;
// people-tierN.png, the drawer's people menu opened at its owner; feed-tierN.png, the drawer with its item's
// comments unfolded; calendar-tierN.png, the calendar settings sheet. With --themes, after the tiers,
// theme-N.png: the window in each colour theme of its menu, chosen for the project shown. At the end the
// calendar is exported through its menu command: Quadrivo.ics, and dated-items.txt listing what it should
// hold. With --dark the window is pictured under a dark desktop palette and every name ends in "-dark".
//
//   board_screenshot [--dark] [--themes] [output-folder] [tier ...]

#include "core/document/MyDocument.h"
#include "core/document/StoreFiles.h"
#include "core/model/ItemFile.h"
#include "core/model/ItemReminder.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TagManager.h"
#include "core/model/TodoModel.h"
#include "core/util/ColorString.h"
#include "core/util/FontSizeTiers.h"
#include "exchange/iCalController.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "sync/AvatarManager.h"
#include "sync/CollaborationManager.h"
#include "sync/CommentsManager.h"
#include "sync/ContextMenuHelper.h"
#include "sync/FileManager.h"
#include "sync/QVRestManager.h"
#include "tests/support/FakeAccountProfile.h"
#include "tests/support/FakeSyncServer.h"
#include "tests/support/FakeSyncServerAvatars.h"
#include "tests/support/FakeSyncServerComments.h"
#include "tests/support/FakeSyncServerTeam.h"
#include "ui/board/AttachmentUploads.h"
#include "ui/board/Board.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/QuadrantView.h"
#include "ui/board/widgets/WindowCommands.h"
#include "ui/details/ItemFilesController.h"
#include "ui/details/widgets/BoardPanels.h"
#include "ui/details/widgets/DesktopScreenCapture.h"
#include "ui/details/widgets/FeedViewController.h"
#include "ui/details/widgets/ItemFilesView.h"
#include "ui/details/widgets/MyDrawerController.h"
#include "ui/details/widgets/PeopleMenus.h"
#include "ui/details/widgets/TeamFilterItem.h"
#include "ui/team/SimpleCollaboratorsController.h"
#include "ui/team/TeamViewController.h"
#include "ui/team/widgets/SimpleCollaboratorsView.h"
#include "ui/team/widgets/TeamFeedView.h"
#include "ui/team/widgets/TeamView.h"
#include "ui/web/WebEngineLoader.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cstdio>

namespace {

using namespace qv;

struct Seeder {
    store::Context& context;
    MyDocument& document;
    QDateTime today;

    TODOList* project(const QString& name, qint64 index, const QStringList& titles)
    {
        auto* project = context.insert<TODOList>(TODOList::staticEntityName());
        project->setName(name);
        project->setIndex(index);
        project->setTextFirstQuadrant(titles.value(0));
        project->setTextSecondQuadrant(titles.value(1));
        project->setTextThirdQuadrant(titles.value(2));
        project->setTextFourthQuadrant(titles.value(3));
        project->setColorFirstQuadrant(
            ColorString::stringFromColorForNewProject(QColor::fromRgbF(0.36f, 0.644f, 0.751f)));
        project->setColorSecondQuadrant(
            ColorString::stringFromColorForNewProject(QColor::fromRgbF(0.636f, 0.778f, 0.833f)));
        project->setColorThirdQuadrant(
            ColorString::stringFromColorForNewProject(QColor::fromRgbF(0.636f, 0.778f, 0.833f)));
        project->setColorFourthQuadrant(
            ColorString::stringFromColorForNewProject(QColor::fromRgbF(0.854f, 0.927f, 0.919f)));
        return project;
    }

    TODOItem* item(TODOList* project, int quadrant, const QString& name, qint64 index)
    {
        TODOItem* item = document.newItemForProject(project, quadrant);
        item->setName(name);
        item->setIndex(index);
        return item;
    }

    void tag(TODOItem* item, const QString& name)
    {
        item->addTagsObject(TagManager::getItemTagForName(name, context));
    }

    QDateTime day(int offset, int hour = 17) const
    {
        return QDateTime(today.date().addDays(offset), QTime(hour, 0), today.timeZone()).toUTC();
    }
};

TODOList* seed(store::Context& context, MyDocument& document, const QDateTime& today)
{
    Seeder s{context, document, today};
    TODOList* launch = s.project(QStringLiteral("Website Relaunch"), 3000,
                                 {QStringLiteral("Do Now"), QStringLiteral("Do Later"),
                                  QStringLiteral("Delegate"), QStringLiteral("Postpone")});
    launch->setCenterX(55);
    launch->setCenterY(52);
    TODOList* home = s.project(QStringLiteral("Household"), 2000,
                               {QStringLiteral("Urgent"), QStringLiteral("This Week"),
                                QStringLiteral("Ask Someone"), QStringLiteral("Someday")});
    TODOList* report = s.project(QStringLiteral("Quarterly Report"), 1000,
                                 {QStringLiteral("Do Now"), QStringLiteral("Do Later"),
                                  QStringLiteral("Delegate"), QStringLiteral("Postpone")});

    TODOItem* a = s.item(launch, 0, QStringLiteral("Fix the broken checkout page"), 5000);
    a->setIcon(QStringLiteral("red_flag128.png"));
    a->setDueDate(s.day(-2));
    a->setCompletionPercentage(40);
    s.tag(a, QStringLiteral("urgent"));
    s.tag(a, QStringLiteral("shop"));
    TODOItem* b = s.item(launch, 0, QStringLiteral("Approve the new home page design"), 4000);
    b->setIcon(QStringLiteral("yellow_star128.png"));
    b->setDueDate(s.day(0));
    b->setDescriptionText(QStringLiteral("Mock-ups are in the shared folder.\nCheck the mobile layout too."));
    b->setOwnerUsername(QStringLiteral("mara@example.com"));
    ItemReminder::reminderForItem(b)->setEnabled(true);
    for (const QString& name :
         {QStringLiteral("home-mockup.png"), QStringLiteral("mobile layout notes.txt"),
          QStringLiteral("brand-guide.pdf"), QStringLiteral("copy deck final v3.docx")}) {
        auto* attached = context.insert<ItemFile>(ItemFile::staticEntityName());
        attached->setFilename(name);
        b->addFilesObject(attached);
    }
    TODOItem* c = s.item(launch, 0, QStringLiteral("Write release notes"), 3000);
    c->setDueDate(s.day(3));
    c->setCompletionPercentage(75);
    TODOItem* d = s.item(launch, 0, QStringLiteral("Book the launch party venue"), 2000);
    d->setCompletionPercentage(100);
    d->setObjectState(ObjectState::Completed);
    d->setCompletionDate(s.day(-1, 9));

    TODOItem* e = s.item(launch, 1, QStringLiteral("Migrate the blog archive"), 5000);
    e->setIcon(QStringLiteral("blue_envelope128.png"));
    e->setDueDate(s.day(16));
    e->setFrequency(QStringLiteral("Weekly"));
    TODOItem* f = s.item(launch, 1, QStringLiteral("Compare hosting offers"), 4000);
    f->setMacResourceURL(QStringLiteral("https://example.com/hosting"));
    s.tag(f, QStringLiteral("research"));
    TODOItem* g = s.item(launch, 1, QStringLiteral("Update the privacy policy"), 3000);
    g->setIcon(QStringLiteral("grey_clock128.png"));
    g->setDueDate(s.day(45));
    g->setCompletionPercentage(20);

    TODOItem* h = s.item(launch, 2, QStringLiteral("Product photos for the shop"), 5000);
    h->setIcon(QStringLiteral("purple_heart128.png"));
    h->setOwnerUsername(QStringLiteral("jonas@example.com"));
    h->setDueDate(s.day(8));
    auto* file = context.insert<ItemFile>(ItemFile::staticEntityName());
    file->setFilename(QStringLiteral("shot-list.pdf"));
    h->addFilesObject(file);
    TODOItem* i = s.item(launch, 2, QStringLiteral("Translate the landing page"), 4000);
    i->setOwnerUsername(QStringLiteral("li@example.com"));
    i->setDueDate(s.day(-9));

    TODOItem* j = s.item(launch, 3, QStringLiteral("Newsletter redesign"), 5000);
    j->setIcon(QStringLiteral("yellow_bulb128.png"));
    j->setDueDate(s.day(400));
    s.item(launch, 3, QStringLiteral("Evaluate a chat widget"), 4000);

    s.item(home, 0, QStringLiteral("Pay the electricity bill"), 3000)->setDueDate(s.day(1));
    for (const QString& name :
         {QStringLiteral("Forwarded: invoice from the printer"), QStringLiteral("Idea for the blog header"),
          QStringLiteral("Call back Jonas")})
        s.item(nullptr, 0, name, 0)->setCreationDate(s.day(-1, 8));
    s.item(home, 1, QStringLiteral("Repair the garden gate"), 3000);
    s.item(report, 0, QStringLiteral("Collect the sales figures"), 3000)->setDueDate(s.day(-1));
    return launch;
}

// A desktop theme with light text on dark grey, as dark themes set it.
QPalette darkPalette()
{
    QPalette palette;
    const QColor window(0x35, 0x35, 0x35);
    const QColor base(0x2a, 0x2a, 0x2a);
    const QColor text(0xee, 0xee, 0xee);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x99, 0x99, 0x99));
    palette.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    return palette;
}

bool save(const QPixmap& picture, const QString& path)
{
    if (!picture.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

namespace {

// The attachment side as the application wires it, over the test server.
class ToolAttachments final : public qv::AttachmentUploads {
public:
    ToolAttachments(qv::FileManager& files, qv::Scheduler& scheduler) : m_files(files), m_capture(scheduler)
    {
    }
    bool askUploadFile(const QString& fileName) override { return m_files.askUploadFile(fileName); }
    void uploadURLFileForUnsyncedItem(qv::TODOItem* item) override
    {
        m_files.uploadURLFileForUnsyncedItem(item);
    }
    qv::ScreenCapture* screenCapture() const override { return &m_capture; }

private:
    qv::FileManager& m_files;
    mutable qv::DesktopScreenCapture m_capture;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, QString(home.path() + QLatin1Char('/') + QLatin1String(name)).toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());

    // The web engine's sandbox cannot start as root.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // Outlives every page shown.
    WebEngineLoader web;
    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    QApplication::setApplicationName(QStringLiteral("Quadrivo"));

    QStringList args = QApplication::arguments().mid(1);
    const bool dark = args.removeAll(QStringLiteral("--dark")) > 0;
    const bool everyTheme = args.removeAll(QStringLiteral("--themes")) > 0;
    const QString suffix = dark ? QStringLiteral("-dark") : QString();
    if (dark)
        QApplication::setPalette(darkPalette());
    const QString output = args.isEmpty() ? QStringLiteral("/tmp/quadrivo-shots") : args.takeFirst();
    QList<int> tiers;
    for (const QString& arg : args)
        tiers << arg.toInt();
    if (tiers.isEmpty())
        tiers = {0, 4, 8};
    QDir().mkpath(output);

    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime now(QDate(2026, 3, 10), QTime(10, 0), zone);
    FakeClock clock(now);
    ManualScheduler scheduler(&clock);
    Preferences preferences(home.path() + QStringLiteral("/prefs.conf"));
    preferences.registerDefaultsFromJson(QStringLiteral(QV_SOURCE_DIR "/resources/Defaults.json"));
    preferences.setValue(QStringLiteral("kAddedMyProject"), true);
    // Every column: inbox, projects, board, feed and the item drawer.
    for (const char* key : {"kShowingInbox", "kShowingFeed", "kShowingDetail"})
        preferences.setValue(QString::fromLatin1(key), true);
    preferences.setValue(QStringLiteral("kHideProjects"), false);
    // Every item, the completed one too.
    preferences.setValue(QStringLiteral("kItemFilterState"), 0);
    NotificationCenter notifications;
    ScriptedAlerts alerts;
    Services services{&clock, &scheduler, &preferences, &notifications, &alerts};

    store::StoreError error;
    auto context = store::Context::open(home.path() + QStringLiteral("/store.sqlite"), TodoModel::shared(),
                                        scheduler, &error);
    if (!context) {
        std::fprintf(stderr, "cannot open the store: %s\n", qPrintable(error.message));
        return 1;
    }
    MyDocument document(services, std::move(context));
    TODOList* project = seed(document.context(), document, now);
    document.context().processPendingChanges();

    // The team of the shown project, as a fake sync server tells it.
    const QString me = QStringLiteral("mara@example.com");
    preferences.setValue(QStringLiteral("_currentUser"), me);
    test::FakeSyncServer server;
    server.listen();
    server.setUseSystemClock(true);
    test::FakeTeam team(server, me);
    team.collaborators = {test::FakeTeam::user(2, QStringLiteral("jonas@example.com"), true),
                          test::FakeTeam::user(3, QStringLiteral("Li@example.com"), true),
                          test::FakeTeam::user(4, QStringLiteral("pat.o-brien@contractors.example.org"))};
    team.owners[42] = {team.me, team.collaborators[0]};
    team.sharingRequests = {{{"id", 7},
                             {"project", "/api/v1/project/42/"},
                             {"target_username", "Li@example.com"},
                             {"status", "init"}}};
    test::FakeAvatars pictures(server, team);
    test::FakeComments serverComments(server);
    const QString commented = QStringLiteral("/api/v1/item/1001/");
    serverComments.commentAs(QStringLiteral("jonas@example.com"), commented,
                             "Draft is up, see the <br/>attached plan.");
    serverComments.commentAs(me, commented, "Thanks! I'll go through it today.");
    serverComments.commentAs(QStringLiteral("Li@example.com"), commented, "Budget numbers still missing.");
    serverComments.commentAs(QStringLiteral("jonas@example.com"), QStringLiteral("/api/v1/project/42/"),
                             "Kick-off is on Monday at ten.");
    serverComments.commentAs(me, QStringLiteral("/api/v1/project/42/"), "I'll send the agenda.");
    project->setId_(42);
    SyncOptions options;
    options.origin = server.baseUrl().toString();
    options.restStorePath = home.path() + QStringLiteral("/sync.sqlite");
    options.cookieFolder = home.path();
    QVRestManager engine(services, document, options);
    CollaborationManager collaboration(services, engine);
    AvatarManager avatars(services, engine);
    CommentsManager comments(services, engine);
    SimpleCollaboratorsController people(services, collaboration, engine, &avatars);
    TeamViewController teamController(services, people);

    MainWindow window(document, services);
    // Calendar sync on, with one file to import from, for the settings sheet's picture.
    preferences.setValue(QStringLiteral("doCalSync"), true);
    preferences.setValue(QStringLiteral("doAutoCalSync"), true);
    iCalController calendar(
        services, document,
        iCalController::optionsBesideStore(home.path() + QStringLiteral("/store.sqlite")));
    {
        QFile ics(home.path() + QStringLiteral("/team-calendar.ics"));
        if (ics.open(QIODevice::WriteOnly))
            ics.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n");
        ics.close();
        QString why;
        calendar.addImportFile(ics.fileName(), &why);
    }
    window.commands().setCalendar(&calendar);
    // The neighbouring panels, placed as the application places them.
    MyDrawerController* drawer = BoardPanels::attach(window, document, services).drawer;
    test::FakeAccountProfile profile;
    profile.profile = server.userProfile();
    FileManager files(engine, &profile);
    ItemFilesController filesController(services, files, options.origin, {}, {});
    drawer->setFilesView(new ItemFilesView(filesController, files, nullptr));
    ToolAttachments attachments(files, scheduler);
    window.setAttachments(&attachments);
    QObject::connect(drawer, &MyDrawerController::itemChanged, &filesController,
                     [&](TODOItem* item) { filesController.setItem(item); });
    auto* feed = new FeedViewController(services, comments, engine);
    feed->setWebEngine(&web);
    drawer->setFeedView(feed);
    QObject::connect(drawer, &MyDrawerController::itemChanged, feed,
                     [feed](TODOItem* item) { feed->setRepresentedObject(item); });
    auto* teamView = new TeamView(teamController, &preferences);
    auto* history = new FeedViewController(services, comments, engine);
    history->setWebEngine(&web);
    teamView->setFeedView(history);
    TeamFeedView teamFeed(*history);
    teamController.setFeed(&teamFeed);
    window.setFeedPanel(teamView);
    people.setFilterPanel(window.filterPanel());
    auto* peopleMenus = new PeopleMenus(window, *drawer, services, [&collaboration](const TODOItem* item) {
        return ContextMenuHelper::sourceForItem(collaboration, item);
    });
    peopleMenus->setAvatarManager(&avatars);
    TeamFilterItem::addTo(*window.findChild<QToolBar*>(), &notifications, [&collaboration] {
        return ContextMenuHelper::sourceForItem(collaboration, nullptr);
    })->setAvatarManager(&avatars);
    window.resize(1680, 900);
    window.show();
    scheduler.runPosted();
    window.showProject(project);
    window.board().enableQuadrantAndSelectRows(0, {1}, false);
    drawer->setArrayController(&window.board().controller(0));
    engine.startAllLoops();
    teamController.setRepresentedObject(project);
    // Until the keep-alive, the team and the pictures are in and the rows redrawn.
    for (int step = 0; step < 60; ++step) {
        scheduler.advance(100);
        QApplication::processEvents();
        QThread::msleep(10);
    }

    // The item shown has comments on the server: its page is in before the pictures.
    bool pageIn = false;
    {
        QVRestManager::TrackingPause pause(engine);
        drawer->getItem()->setServerID(1001);
        document.context().processPendingChanges();
    }
    feed->setRepresentedObject(drawer->getItem());
    QObject::connect(feed, &FeedViewController::pageLoaded,
                     [&pageIn, feed] { pageIn = feed->pageAddress().scheme() == u"http"; });
    for (int step = 0; step < 500 && !pageIn; ++step) {
        scheduler.advance(20);
        QApplication::processEvents();
        QThread::msleep(10);
    }

    for (int tier : tiers) {
        preferences.setValue(FontSizeTiers::key(), tier);
        scheduler.runPosted();
        QApplication::processEvents();
        if (!save(window.grab(), QStringLiteral("%1/board-tier%2%3.png").arg(output).arg(tier).arg(suffix)))
            return 1;
        if (QMenu* themes = window.colorThemeMenu(); themes && !themes->isEmpty()) {
            themes->popup(window.mapToGlobal(QPoint(40, 40)));
            QApplication::processEvents();
            QPixmap shot = window.grab();
            QPainter painter(&shot);
            painter.drawPixmap(QPoint(40, 40), themes->grab());
            painter.end();
            themes->hide();
            if (!save(shot, QStringLiteral("%1/menu-tier%2%3.png").arg(output).arg(tier).arg(suffix)))
                return 1;
        }
        // A quadrant's own menu, with the commands that add files and screen shots as items.
        QuadrantView* quadrant = window.quadrantView(0);
        const QPoint spot = quadrant->viewport()->rect().center();
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, spot, quadrant->viewport()->mapToGlobal(spot));
        QApplication::sendEvent(quadrant, &menuEvent);
        QApplication::processEvents();
        {
            QMenu* items = window.itemContextMenu();
            QPixmap shot = window.grab();
            QPainter painter(&shot);
            painter.drawPixmap(quadrant->mapTo(&window, spot), items->grab());
            painter.end();
            items->hide();
            if (!save(shot,
                      QStringLiteral("%1/quadrant-menu-tier%2%3.png").arg(output).arg(tier).arg(suffix)))
                return 1;
        }
        drawer->tabs()->setCurrentIndex(1);
        QApplication::processEvents();
        if (!save(drawer->grab(), QStringLiteral("%1/files-tier%2%3.png").arg(output).arg(tier).arg(suffix)))
            return 1;
        // The longest notice the tab shows, until its five seconds are over.
        files.showMessage(QStringLiteral("You are offline at this moment. The file will be uploaded when the "
                                         "app is online."));
        QApplication::processEvents();
        if (!save(drawer->grab(),
                  QStringLiteral("%1/files-notice-tier%2%3.png").arg(output).arg(tier).arg(suffix)))
            return 1;
        scheduler.advance(FileManager::kMessageLifetimeMs);
        drawer->tabs()->setCurrentIndex(0);
        QMenu share;
        teamView->peopleView()->fillInvitingMenu(&share);
        QPixmap column = teamView->grab();
        QPixmap shot(column.width() + share.sizeHint().width() + 8, std::max(column.height(), 400));
        shot.fill(Qt::white);
        QPainter painter(&shot);
        painter.drawPixmap(0, 0, column);
        painter.drawPixmap(column.width() + 8, 40, share.grab());
        painter.end();
        if (!save(shot, QStringLiteral("%1/team-tier%2%3.png").arg(output).arg(tier).arg(suffix)))
            return 1;
        // The menu is a window of its own, placed on a screen larger than the offscreen one: it is
        // pictured where it opens, under its button or, with no room there, above it.
        QToolButton* owner = peopleMenus->ownerButton();
        if (auto* details = drawer->findChild<QScrollArea*>())
            details->ensureWidgetVisible(owner);
        peopleMenus->showMenuWithAll(owner);
        QApplication::processEvents();
        QMenu* menu = peopleMenus->drawerMenu();
        QPoint at = owner->mapTo(&window, QPoint(0, owner->height()));
        if (at.y() + menu->height() > window.height())
            at.ry() -= owner->height() + menu->height();
        at.setX(std::min(at.x(), window.width() - menu->width()));
        QPixmap opened = window.grab();
        painter.begin(&opened);
        menu->render(&painter, at);
        painter.end();
        menu->hide();
        if (!save(opened, QStringLiteral("%1/people-tier%2%3.png").arg(output).arg(tier).arg(suffix)))
            return 1;
        drawer->toggleFeed();
        for (int step = 0; step < 300; ++step) {
            scheduler.advance(20);
            QApplication::processEvents();
            QThread::msleep(10);
        }
        if (!save(drawer->grab(), QStringLiteral("%1/feed-tier%2%3.png").arg(output).arg(tier).arg(suffix)))
            return 1;
        drawer->toggleFeed();
        window.commands().iCalSettings();
        QApplication::processEvents();
        if (!save(window.commands().calendarSettings()->grab(),
                  QStringLiteral("%1/calendar-tier%2%3.png").arg(output).arg(tier).arg(suffix)))
            return 1;
        window.commands().closeCalendarSettingsSheet();
    }

    if (QMenu* menu = window.colorThemeMenu(); everyTheme && menu) {
        const QList<QAction*> choices = menu->actions();
        for (int i = 0; i < choices.size(); ++i) {
            choices[i]->trigger();
            scheduler.runPosted();
            QApplication::processEvents();
            if (!save(window.grab(), QStringLiteral("%1/theme-%2%3.png").arg(output).arg(i).arg(suffix)))
                return 1;
        }
    }

    // The export, through its menu command, for a second reader to check: the calendar file and
    // the dated items it should hold (UID, title, due date in UTC), one a line.
    window.commands().action(QStringLiteral("iCalExport"))->trigger();
    calendar.waitForQueue();
    QApplication::processEvents();
    QFile::remove(output + QStringLiteral("/Quadrivo.ics"));
    if (!QFile::copy(calendar.calendarPath(), output + QStringLiteral("/Quadrivo.ics")))
        return 1;
    QFile expected(output + QStringLiteral("/dated-items.txt"));
    if (!expected.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    for (TODOList* list : document.getAllProjects()) {
        for (TODOItem* item : MyDocument::getAllTODOItemsForTODOList(list)) {
            if (item->dueDate().isValid() && item->objectState() != ObjectState::Trashed)
                expected.write(QStringLiteral("%1\t%2\t%3\n")
                                   .arg(CalendarFile::uidForItem(item->id_()), item->name(),
                                        item->dueDate().toUTC().toString(Qt::ISODate))
                                   .toUtf8());
        }
    }
    return 0;
}
