#pragma once

#include "core/model/TodoModel.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "tests/support/Printers.h"
#include "tests/support/TestData.h"

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <ostream>

inline void PrintTo(const QColor& color, std::ostream* os)
{
    *os << "rgba(" << color.redF() << ", " << color.greenF() << ", " << color.blueF() << ", "
        << color.alphaF() << ")";
}

namespace qv::test {

// A store of the program's entities without a file; test data from ItemBuilder and ProjectBuilder.
struct ModelStore {
    ManualScheduler scheduler;
    store::Context context{TodoModel::shared(), scheduler};
};

inline QDateTime utc(int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s, ms), QTimeZone::utc());
}

} // namespace qv::test
