#pragma once

#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "core/util/ColorString.h"
#include "platform/Alerts.h"
#include "platform/store/Context.h"
#include "tests/support/DocumentFakes.h"
#include "tests/support/TestData.h"
#include "ui/board/Board.h"

#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace qv::test {

// The sync engine's editing lock as it behaves (a release under another name than the holder's
// changes nothing), and the items held back from sending.
class FakeBoardSync final : public StubSyncEngine {
public:
    FakeBoardSync() { online = false; }

    QString holder;
    QSet<TODOItem*> blocked;

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
        int defaultButton = 0;
        int safeButton = 0;
    };
    QList<Shown> shown;
    QList<int> answers;
    int defaultAnswer = 0;

    void alert(const QString& message, const QString& informative, const QString& button, Style) override
    {
        shown.append({message, informative, {button}});
    }
    int choose(const Question& question) override
    {
        shown.append({question.message(), question.informative(), question.buttons(),
                      question.defaultButton(), question.safeButton()});
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    }
};

// A document over a scratch store, hand-driven time and a fake sync engine, with the
// preferences the application ships with.
class BoardDocumentFixture : public ::testing::Test, protected FakeServices<RecordingAlerts> {
protected:
    BoardDocumentFixture() : FakeServices(QDateTime(QDate(2026, 3, 10), QTime(9, 0), Qt::UTC))
    {
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

    // The project "Launch" with a, b and c top to bottom in its first quadrant.
    void addLaunchProject(qint64 index)
    {
        project = ProjectBuilder(context(), "Launch").atIndex(index);
        a = ItemBuilder("a").atIndex(3000).in(project);
        b = ItemBuilder("b").atIndex(2000).in(project);
        c = ItemBuilder("c").atIndex(1000).in(project);
    }

    FakeBoardSync sync;
    std::unique_ptr<MyDocument> document;
    TODOList* project = nullptr;
    TODOItem *a = nullptr, *b = nullptr, *c = nullptr;
};

} // namespace qv::test
