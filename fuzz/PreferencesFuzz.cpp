// The preferences file: read at every start, whatever an editor, another version or a full
// disk left in it. Each input is a whole file; every value is read through the typed readers,
// written back and read again, as the program does when the user changes a setting.
#include "fuzz/FuzzSupport.h"
#include "platform/Preferences.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

using namespace qv;

namespace {

bool isNaN(const QVariant& v)
{
    return (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) && std::isnan(v.toDouble());
}

// NaN is the one value unequal to itself; a NaN read back as NaN is the same setting, also in
// a list.
bool same(const QVariant& a, const QVariant& b)
{
    if (isNaN(a) || isNaN(b))
        return isNaN(a) && isNaN(b) && a.typeId() == b.typeId();
    if (a.typeId() == QMetaType::QVariantList && b.typeId() == QMetaType::QVariantList) {
        const QVariantList left = a.toList();
        const QVariantList right = b.toList();
        return std::equal(
            left.begin(), left.end(), right.begin(), right.end(),
            [](const QVariant& x, const QVariant& y) { return isNaN(x) || isNaN(y) ? same(x, y) : x == y; });
    }
    return a.typeId() == b.typeId() && a == b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Quadrivo.conf"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(fuzz::bytesOf(data, size));
    }
    const QStringList keys = QSettings(path, QSettings::IniFormat).allKeys();
    QVariantList values;
    {
        Preferences preferences(path);
        for (const QString& key : keys) {
            const QVariant value = preferences.value(key);
            values.append(value);
            preferences.boolValue(key);
            preferences.intValue(key);
            preferences.int64Value(key);
            preferences.doubleValue(key);
            preferences.stringValue(key);
            preferences.stringListValue(key);
            if (!value.isValid())
                continue;
            preferences.setValue(key, value);
            fuzz::require(same(preferences.value(key), value), "a value written back reads the same");
        }
        preferences.flush();
    }
    // What was written back reads the same after a restart.
    const Preferences reopened(path);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (values[i].isValid())
            fuzz::require(same(reopened.value(keys[i]), values[i]),
                          "a value written back reads the same later");
    }
    return 0;
}
