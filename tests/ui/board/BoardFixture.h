#pragma once

#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "platform/Clock.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "tests/support/DocumentFakes.h"
#include "tests/support/TestData.h"

#include <QStringList>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <vector>

namespace qv::test {

// A scratch store with items to arrange.
class BoardFixture : public ::testing::Test {
protected:
    FakeClock clock;
    ManualScheduler scheduler{&clock};
    store::Context context{TodoModel::shared(), scheduler};

    static std::vector<store::ManagedObject*> objects(std::initializer_list<TODOItem*> items)
    {
        return std::vector<store::ManagedObject*>(items.begin(), items.end());
    }
};

} // namespace qv::test
