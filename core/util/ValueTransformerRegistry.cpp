#include "core/util/ValueTransformerRegistry.h"

#include "core/util/DiscretizeTransformer.h"
#include "core/util/ImageTransformer.h"
#include "core/util/PercentageTransformer.h"
#include "core/util/StringToColorTransformer.h"
#include "core/util/StringToLighterColorTransformer.h"

#include <QDateTime>
#include <QLocale>
#include <QSequentialIterable>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace qv {

namespace {

using Conversion = std::function<QVariant(const QVariant&)>;

// A transformer made of its conversions: most of the set are one line each.
class FunctionTransformer final : public ValueTransformer {
public:
    FunctionTransformer(QMetaType type, Conversion forward, Conversion reverse = {})
        : m_type(type), m_forward(std::move(forward)), m_reverse(std::move(reverse))
    {
    }
    QMetaType transformedValueClass() const override { return m_type; }
    bool allowsReverseTransformation() const override { return bool(m_reverse); }
    QVariant transformedValue(const QVariant& value) const override { return m_forward(value); }
    QVariant reverseTransformedValue(const QVariant& value) const override
    {
        return m_reverse ? m_reverse(value) : QVariant();
    }

private:
    QMetaType m_type;
    Conversion m_forward;
    Conversion m_reverse;
};

const std::array<const char*, 9> kEffortLabels = {
    "Effort",   "1-2 hours", "Half a day", "One day",        "Half a week",
    "One week", "Two weeks", "One month",  "Several months",
};

const QString kNever = QStringLiteral("Never");
const QString kSyncing = QStringLiteral("Syncing...");
const QString kSyncGreen = QStringLiteral("UI_icon_mac_sync_green.png");
const QString kSyncRed = QStringLiteral("UI_icon_mac_sync_red.png");

bool isNil(const QVariant& value)
{
    return !value.isValid() || value.isNull();
}

bool isNilOrZero(const QVariant& value)
{
    return isNil(value) || ValueTransformer::intValue(value) == 0;
}

bool isString(const QVariant& value)
{
    return value.typeId() == QMetaType::QString;
}

bool isNilOrEmptyString(const QVariant& value)
{
    return isNil(value) || (isString(value) && value.toString().isEmpty());
}

bool isNumber(const QVariant& value)
{
    return (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::UInt ||
            value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::ULongLong ||
            value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float ||
            value.typeId() == QMetaType::Bool || value.typeId() == QMetaType::Long ||
            value.typeId() == QMetaType::Short || value.typeId() == QMetaType::UShort);
}

// Halves away from zero, as a slider's stops expect.
int nearestInt(double value)
{
    return int(std::lround(value));
}

QVariant counted(const QVariant& value, const char* nonZeroForm, const char* zeroForm)
{
    if (isNilOrZero(value))
        return QString::fromUtf8(zeroForm);
    return QString::fromUtf8(nonZeroForm).arg(value.toString());
}

QVariant redCount(const QVariant& value, const char* label, AttributedText::Size size)
{
    const QString plain = QString::fromUtf8(label);
    if (isNilOrZero(value))
        return plain;
    return QVariant::fromValue(AttributedText{QStringLiteral("%1 %2").arg(value.toString(), plain),
                                              QColor(Qt::red), size, Qt::AlignCenter});
}

qsizetype collectionCount(const QVariant& value)
{
    if (isNil(value) || isString(value) || value.typeId() == QMetaType::QByteArray)
        return 0;
    if (!value.canConvert<QSequentialIterable>())
        return 0;
    const QSequentialIterable iterable = value.value<QSequentialIterable>();
    return iterable.size();
}

} // namespace

ValueTransformerRegistry::ValueTransformerRegistry()
{
    // Once per process: controls that show only text read an attributed text as its words.
    static const bool converterRegistered =
        QMetaType::registerConverter<AttributedText, QString>([](const AttributedText& t) { return t.text; });
    (void)converterRegistered;
}

void ValueTransformerRegistry::registerTransformer(const QString& name,
                                                   std::shared_ptr<const ValueTransformer> transformer)
{
    m_transformers[name] = std::move(transformer);
}

const ValueTransformer* ValueTransformerRegistry::transformer(const QString& name) const
{
    const auto found = m_transformers.constFind(name);
    return found == m_transformers.constEnd() ? nullptr : found->get();
}

QVariant ValueTransformerRegistry::transformedValue(const QString& name, const QVariant& value) const
{
    const ValueTransformer* t = transformer(name);
    return t ? t->transformedValue(value) : QVariant();
}

QStringList ValueTransformerRegistry::names() const
{
    QStringList list = m_transformers.keys();
    list.sort();
    return list;
}

void registerStandardTransformers(ValueTransformerRegistry& registry, const TransformerServices& services)
{
    const auto image = [images = services.imageNamed](const QString& name) -> QVariant {
        const QImage found = images ? images(name) : QImage();
        return found.isNull() ? QVariant() : QVariant(found);
    };
    const auto add = [&registry](const char* name, QMetaType type, Conversion forward,
                                 Conversion reverse = {}) {
        registry.registerTransformer(
            QString::fromLatin1(name),
            std::make_shared<FunctionTransformer>(type, std::move(forward), std::move(reverse)));
    };
    const QMetaType text = QMetaType::fromType<QString>();
    const QMetaType picture = QMetaType::fromType<QImage>();
    const QMetaType number = QMetaType::fromType<int>();
    const QMetaType flag = QMetaType::fromType<bool>();
    const auto online = [isOnline = services.isOnline] {
        return isOnline && isOnline();
    };

    // Colour strings and the first core transformers.
    registry.registerTransformer(QStringLiteral("ImageTransformer"),
                                 std::make_shared<ImageTransformer>(services.imageNamed));
    registry.registerTransformer(QStringLiteral("PercentageTransformer"),
                                 std::make_shared<PercentageTransformer>());
    registry.registerTransformer(QStringLiteral("DiscretizeTransformer"),
                                 std::make_shared<DiscretizeTransformer>());
    registry.registerTransformer(QStringLiteral("StringToColorTransformer"),
                                 std::make_shared<StringToColorTransformer>());
    registry.registerTransformer(QStringLiteral("StringToLighterColorTransformer"),
                                 std::make_shared<StringToLighterColorTransformer>());

    // Counters and panel titles.
    add("CounterFirstQuadrantTransformer", text,
        [](const QVariant& v) -> QVariant { return QString::asprintf("%ld", long(collectionCount(v))); });
    add("InboxTitleTransformer", text,
        [](const QVariant& v) { return redCount(v, "Inbox Ctrl+F1", AttributedText::Size::Small); });
    add("ProjectTitleTransformer", text,
        [](const QVariant& v) { return counted(v, "%1 Projects Ctrl+F2", "Projects Ctrl+F2"); });
    add("TeamTitleTransformer", text,
        [](const QVariant& v) { return redCount(v, "Team Ctrl+F3", AttributedText::Size::Mini); });
    add("IncomingTitleTransformer", text, [](const QVariant& v) { return counted(v, "(%1)", ""); });
    add("InboxImageTransformer", picture, [image](const QVariant& v) {
        return image(isNilOrZero(v) ? QStringLiteral("UI_Icon_mac_inbox.png")
                                    : QStringLiteral("UI_Icon_mac_inbox_red.png"));
    });
    add("TeamImageTransformer", picture, [image](const QVariant& v) {
        return image(isNilOrZero(v) ? QStringLiteral("UI_Icon_mac_feed.png")
                                    : QStringLiteral("UI_Icon_mac_feed_red.png"));
    });
    add("IncomingImageTransformer", picture, [image](const QVariant& v) {
        return image(isNilOrZero(v) ? QStringLiteral("UI_Icon_mac_incoming_project.png")
                                    : QStringLiteral("UI_Icon_mac_incoming_project_red.png"));
    });

    // Sync and sign-in status.
    add("OnlineOfflineSyncImageTransformer", picture,
        [image](const QVariant& v) { return image(v.toBool() ? kSyncGreen : kSyncRed); });
    add("OnlineOfflineImageTransformer", picture, [image, avatar = services.avatarForMe](const QVariant& v) {
        if (!v.toBool())
            return image(kSyncRed);
        const QImage mine = avatar ? avatar() : QImage();
        return mine.isNull() ? image(kSyncGreen) : QVariant(mine);
    });
    add("OnlineOfflineTooltipTransformer", text, [](const QVariant& v) -> QVariant {
        return v.toBool() ? QStringLiteral("Online") : QStringLiteral("Offline");
    });
    add("OnlineOfflineTitleTransformer", text,
        [hasStore = services.syncHasStore, email = services.currentUserEmail,
         online](const QVariant&) -> QVariant {
            if (!hasStore || !hasStore())
                return QStringLiteral("Not Signed In -- Press Sync to Sign In");
            const QString user = email ? email() : QString();
            if (user.isEmpty())
                return QStringLiteral("Click Here to Sign In");
            return (online() ? QStringLiteral("Online: %1") : QStringLiteral("Not Signed In: %1")).arg(user);
        });
    add("IsSyncingTransformer", number, [](const QVariant& v) -> QVariant {
        return isNil(v) || (isString(v) && v.toString() == kSyncing) ? 1 : 0;
    });
    add("SignOutTransformer", text, [](const QVariant& v) -> QVariant {
        if (isString(v) && !v.toString().isEmpty())
            return QStringLiteral("Sign out '%1'").arg(v.toString());
        return QStringLiteral("Sign out");
    });

    // Dates, numbers and item details.
    add("DateToStringTransformer", text, [](const QVariant& v) -> QVariant {
        const QDateTime date = v.toDateTime();
        if (isNil(v) || !date.isValid())
            return QStringLiteral("---");
        return QLocale().toString(date.toLocalTime().date(), QLocale::LongFormat);
    });
    add("EpochToStringTransformer", text, [](const QVariant& v) -> QVariant {
        const auto seconds = qint32(v.toLongLong());
        if (isNil(v) || seconds < 1)
            return QStringLiteral("---");
        return QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds).toLocalTime(), QLocale::ShortFormat);
    });
    add("NSNumberToNSString", text, [](const QVariant& v) -> QVariant {
        if (!isNumber(v))
            return QStringLiteral("0");
        if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
            return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
        if (v.typeId() == QMetaType::Bool)
            return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        return v.toString();
    });
    add("EffortValueToDurationString", text, [](const QVariant& v) -> QVariant {
        if (!isNumber(v))
            return QString();
        const int effort = ValueTransformer::intValue(v);
        if (effort < 0 || effort >= int(kEffortLabels.size()))
            return QString();
        return QString::fromLatin1(kEffortLabels[size_t(effort)]);
    });
    add("PercentageToStateTransformer", number, [](const QVariant& v) -> QVariant {
        if (isNil(v))
            return {};
        return ValueTransformer::intValue(v) > 99 ? 1 : 0;
    });
    add(
        "DiscretizeTransformerTimes5", number,
        [](const QVariant& v) -> QVariant {
            if (isNil(v))
                return {};
            return nearestInt(double(ValueTransformer::floatValue(v)) / 5.0);
        },
        [](const QVariant& v) -> QVariant {
            if (isNil(v))
                return {};
            // A stored value beyond a fifth of the int range would overflow; it stops at the range's end.
            const qint64 scaled = qint64(ValueTransformer::intValue(v)) * 5;
            return int(
                std::clamp<qint64>(scaled, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
        });

    // Tests for enabling and hiding controls.
    add("IsNotNilOrZero", number, [](const QVariant& v) -> QVariant { return isNilOrZero(v) ? 0 : 1; });
    add("IsNilOrZero", number, [](const QVariant& v) -> QVariant { return isNilOrZero(v) ? 1 : 0; });
    add("IsOne", number,
        [](const QVariant& v) -> QVariant { return ValueTransformer::intValue(v) == 1 ? 1 : 0; });
    add("IsNotOne", flag, [](const QVariant& v) -> QVariant { return ValueTransformer::intValue(v) != 1; });
    add("IsNotNilOrEmptyString", flag, [](const QVariant& v) -> QVariant { return !isNilOrEmptyString(v); });
    add("IsNilOrEmptyString", number,
        [](const QVariant& v) -> QVariant { return isNilOrEmptyString(v) ? 1 : 0; });
    add("IsNotNeverOrNilValueTransformer", flag, [](const QVariant& v) -> QVariant {
        return isString(v) && !v.toString().isEmpty() && v.toString() != kNever;
    });
}

} // namespace qv
