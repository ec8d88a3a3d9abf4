#pragma once

#include "core/model/ItemFile.h"
#include "core/model/ItemReminder.h"
#include "core/model/ItemTag.h"
#include "core/model/ListTag.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "platform/Clock.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "tests/support/RecordingTagServer.h"
#include "tests/support/TestData.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace qv::test {

// A store with no file and hand-driven time; test data from ItemBuilder and ProjectBuilder.
class EntityFixture : public ::testing::Test {
protected:
    static QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
    {
        return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
    }

    ItemReminder* newReminder(qint64 identifier, store::Context* in = nullptr)
    {
        auto* reminder = (in ? *in : context).insert<ItemReminder>(ItemReminder::staticEntityName());
        reminder->setIdentifier(identifier);
        return reminder;
    }

    FakeClock clock;
    ManualScheduler scheduler{&clock};
    store::Context context{TodoModel::shared(), scheduler};
};

} // namespace qv::test
