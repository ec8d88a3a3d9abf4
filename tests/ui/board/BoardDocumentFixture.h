#pragma once

#include "app/ColorString.h"
#include "app/MyDocument.h"
#include "app/SyncEngine.h"
#include "app/TODOItem.h"
#include "app/TODOList.h"
#include "app/TodoModel.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "tests/support/TestEnvironment.h"
#include "ui/board/Board.h"

#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace qv::test {

// The sync engine's editing lock as it behaves (a release under another name than the holder's
// changes nothing), and the items held back from sending.
class FakeBoardSync final : public SyncEngineInterface {
public:
    bool online = false;
    bool editing = false;
    QString holder;
    QSet<TODOItem*> blocked;
    QStringList calls;

    std::optional<qint64> getServerSecondsSince1970() const override { return std::nullopt; }
    bool isOnline() const override { return online; }
    bool uiIsEditing() const override { return editing; }
    void setItemsAreEdited(bool) override {}
    void setProjectsAreEdited(bool) override {}
    void sendEditedItemsToServer() override {}
    void sendEditedProjectsToServer() override {}
    bool sendItemToServer(TODOItem*) override { return true; }

    void setEditing(bool claim, const QString& component) override
    {
        calls << QStringLiteral("%1 %2").arg(claim ? "claim" : "release", component);
        if (claim) {
            editing = true;
            holder = component;
            return;
        }
        if (!holder.isEmpty() && holder != component)
            return;
        editing = false;
        holder.clear();
    }
    void setUiIsEditing(bool value) override
    {
        calls << (value ? QStringLiteral("drag begins") : QStringLiteral("drag ends"));
        editing = value;
    }
    void blockSyncForItem(TODOItem* item) override { blocked.insert(item); }
    void unblockSyncForItem(TODOItem* item) override { blocked.remove(item); }
    bool startAllLoops() override
    {
        calls << QStringLiteral("startAllLoops");
        return true;
    }
    bool stopAllLoops() override
    {
        calls << QStringLiteral("stopAllLoops");
        return true;
    }
};

// Records every question and answers from a queue (the first button when none is queued).
class RecordingAlerts final : public Alerts {
public:
    struct Shown {
        QString message;
        QString informative;
        QStringList buttons;
    };
    QList<Shown> shown;
    QList<int> answers;
    int defaultAnswer = 0;

    void alert(const QString& message, const QString& informative, const QString& button, Style) override
    {
        shown.append({message, informative, {button}});
    }
    bool confirm(const QString& message, const QString& informative, const QString& yes,
                 const QString& no) override
    {
        return choose(message, informative, {yes, no}, Style::Warning) == 0;
    }
    int choose(const QString& message, const QString& informative, const QStringList& buttons, Style) override
    {
        shown.append({message, informative, buttons});
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    }
};

// A document over a scratch store, hand-driven time and a fake sync engine, with the
// preferences the application ships with.
class BoardDocumentFixture : public ::testing::Test {
protected:
    BoardDocumentFixture() : preferences(home.root() + QStringLiteral("/prefs.conf"))
    {
        services.clock = &clock;
        services.scheduler = &scheduler;
        services.preferences = &preferences;
        services.notifications = &notifications;
        services.alerts = &alerts;
        preferences.registerDefaults({{"FONT_TIER", 2},
                                      {"kItemFilterState", 1},
                                      {"kItemSortingState", 0},
                                      {"addNewItemsToTop", true},
                                      {"kShowingDetail", true},
                                      {"kIsShowingStar", true},
                                      {"kAddedMyProject", true}});
        document = std::make_unique<MyDocument>(
            services, std::make_unique<store::Context>(TodoModel::shared(), scheduler));
        document->setSyncEngine(&sync);
    }

    store::Context& context() const { return document->context(); }

    TODOList* addProject(const QString& name, qint64 index = 1000)
    {
        auto* project = context().insert<TODOList>(TODOList::staticEntityName());
        project->setName(name);
        project->setIndex(index);
        project->setTextFirstQuadrant(QStringLiteral("Do Now"));
        project->setTextSecondQuadrant(QStringLiteral("Do Later"));
        project->setTextThirdQuadrant(QStringLiteral("Delegate"));
        project->setTextFourthQuadrant(QStringLiteral("Postpone"));
        project->setColorFirstQuadrant(QStringLiteral("{0.360000, 0.644000, 0.751000, 1.000000}"));
        return project;
    }

    TODOItem* addItem(TODOList* project, int quadrant, const QString& name, qint64 index, qint64 state = 0)
    {
        auto* item = context().insert<TODOItem>(TODOItem::staticEntityName());
        project->addItem(item);
        item->setName(name);
        item->setQuadrant(quadrant);
        item->setIndex(index);
        item->setState(state);
        return item;
    }

    static QStringList names(const std::vector<store::ManagedObject*>& objects)
    {
        QStringList out;
        for (const store::ManagedObject* object : objects)
            out << object->value(QStringLiteral("name")).toString();
        return out;
    }

    static QStringList indexes(const std::vector<store::ManagedObject*>& objects)
    {
        QStringList out;
        for (const store::ManagedObject* object : objects)
            out << QString::number(object->value(QStringLiteral("index")).toLongLong());
        return out;
    }

    TempHome home;
    FakeClock clock{QDateTime(QDate(2026, 3, 10), QTime(9, 0), Qt::UTC)};
    ManualScheduler scheduler{&clock};
    Preferences preferences;
    NotificationCenter notifications;
    RecordingAlerts alerts;
    Services services;
    FakeBoardSync sync;
    std::unique_ptr<MyDocument> document;
};

} // namespace qv::test
