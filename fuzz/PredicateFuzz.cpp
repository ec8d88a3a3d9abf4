// Predicate formats: saved filters and smart lists are read back from the store and preferences.
#include "core/util/Predicate.h"
#include "fuzz/FuzzSupport.h"

#include <QDateTime>
#include <QVariantMap>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = fuzz::textOf(data, size);
    static const QVariantMap record{
        {QStringLiteral("title"), QStringLiteral("Write the report")},
        {QStringLiteral("state"), 1},
        {QStringLiteral("dueDate"), QDateTime::fromSecsSinceEpoch(1700000000)},
        {QStringLiteral("tags"), QVariantList{QStringLiteral("work"), QStringLiteral("home")}},
        {QStringLiteral("list"), QVariantMap{{QStringLiteral("name"), QStringLiteral("Inbox")}}},
    };
    for (const QVariantList& arguments :
         {QVariantList{}, QVariantList{QStringLiteral("title"), 7, QVariantList{1, 2}}}) {
        const Predicate predicate = Predicate::withFormat(text, arguments);
        predicate.evaluate(QVariant(record));
        if (!predicate.isValid())
            continue;
        // A valid predicate's text parses again to the same text.
        const QString written = predicate.format();
        const Predicate again = Predicate::withFormat(written);
        fuzz::require(again.isValid(), "a written predicate parses again");
        fuzz::require(again.format() == written, "a written predicate reads back the same");
    }
    return 0;
}
