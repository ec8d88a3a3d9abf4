#include "ui/board/BoardTransformers.h"

#include "platform/Clock.h"
#include "ui/board/BoardImages.h"
#include "ui/board/LoginTransformers.h"
#include "ui/board/ProjectCounters.h"

#include <QDateTime>
#include <QLocale>

namespace qv {

namespace {

class DayOfTheWeekTransformer final : public ValueTransformer {
public:
    QMetaType transformedValueClass() const override { return QMetaType::fromType<QString>(); }
    QVariant transformedValue(const QVariant& value) const override
    {
        const QDateTime date = value.toDateTime();
        if (!date.isValid())
            return QString();
        return QLocale().toString(date.toLocalTime().date(), QStringLiteral("ddd"));
    }
};

class DueDateColorTransformer final : public ValueTransformer {
public:
    explicit DueDateColorTransformer(const Clock& clock) : m_clock(clock) {}
    QMetaType transformedValueClass() const override { return QMetaType::fromType<QColor>(); }
    QVariant transformedValue(const QVariant& value) const override
    {
        if (isDateOverdue(value.toDateTime(), m_clock))
            return QColor::fromRgbF(0.8f, 0, 0, 1);
        return QColor(Qt::black);
    }

private:
    const Clock& m_clock;
};

} // namespace

std::unique_ptr<ValueTransformerRegistry> makeBoardTransformers(const Clock& clock,
                                                                TransformerServices services)
{
    if (!services.imageNamed)
        services.imageNamed = &BoardImages::imageNamed;
    auto registry = std::make_unique<ValueTransformerRegistry>();
    registerStandardTransformers(*registry, services);
    // Without an avatar source the sign-in picture shows until the shell registers one.
    registerLoginTransformers(*registry, {services.imageNamed, {}, services.isOnline});
    registry->registerTransformer(QStringLiteral("NSDateToDayOfTheWeekTransformer"),
                                  std::make_shared<DayOfTheWeekTransformer>());
    registry->registerTransformer(QStringLiteral("FontColorFromDueDate"),
                                  std::make_shared<DueDateColorTransformer>(clock));
    return registry;
}

} // namespace qv
