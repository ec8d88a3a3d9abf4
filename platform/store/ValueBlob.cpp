#include "platform/store/ValueBlob.h"

#include "platform/store/ObjectPool.h"

#include <QDateTime>
#include <QHashFunctions>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

namespace qv::store::detail {

namespace {

constexpr size_t kHeader = 8; // quint32 slot count, quint32 size of the whole block

quint32 slotCount(const char* block)
{
    quint32 n;
    std::memcpy(&n, block, sizeof n);
    return n;
}

quint32 blockSize(const char* block)
{
    quint32 n;
    std::memcpy(&n, block + sizeof(quint32), sizeof n);
    return n;
}

const Slot* slotTable(const char* block)
{
    return reinterpret_cast<const Slot*>(block + kHeader);
}

bool isIntegral(const QVariant& v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

bool isFloating(const QVariant& v)
{
    const int id = v.metaType().id();
    return id == QMetaType::Double || id == QMetaType::Float;
}

quint64 mix(quint64 x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

} // namespace

void BlobBuilder::clear()
{
    m_slots.clear();
    m_bytes.clear();
}

void BlobBuilder::addInt(int attr, qint64 v)
{
    m_slots.push_back({quint16(attr), 0, 0, v});
}

void BlobBuilder::addDouble(int attr, double v)
{
    qint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    m_slots.push_back({quint16(attr), 0, 0, bits});
}

void BlobBuilder::addText(int attr, const char* data, int len)
{
    m_slots.push_back({quint16(attr), 0, quint32(len), qint64(m_bytes.size())});
    m_bytes.insert(m_bytes.end(), data, data + len);
}

char* BlobBuilder::finish() const
{
    if (m_slots.empty())
        return nullptr;
    const size_t table = kHeader + m_slots.size() * sizeof(Slot);
    const size_t size = table + m_bytes.size();
    // From the store's pool: the blocks of objects read one after the other lie side by side.
    char* block = static_cast<char*>(allocateObject(size));
    const quint32 n = quint32(m_slots.size());
    // A size past quint32 is beyond the pool's own sizes: it need only say so.
    const quint32 bytes = quint32(std::min<size_t>(size, std::numeric_limits<quint32>::max()));
    std::memcpy(block, &n, sizeof n);
    std::memcpy(block + sizeof n, &bytes, sizeof bytes);
    Slot* out = reinterpret_cast<Slot*>(block + kHeader);
    for (size_t i = 0; i < m_slots.size(); ++i) {
        out[i] = m_slots[i];
        if (m_slots[i].len > 0)
            out[i].payload += qint64(table);
    }
    if (!m_bytes.empty())
        std::memcpy(block + table, m_bytes.data(), m_bytes.size());
    return block;
}

ValueBlob::~ValueBlob()
{
    adopt(nullptr);
}

void ValueBlob::adopt(char* block)
{
    if (m_data)
        releaseObject(m_data, blockSize(m_data));
    m_data = block;
}

const Slot* ValueBlob::find(int attr) const
{
    if (!m_data)
        return nullptr;
    const Slot* first = slotTable(m_data);
    const Slot* last = first + slotCount(m_data);
    while (first < last) { // binary search over the sorted table
        const Slot* mid = first + (last - first) / 2;
        if (mid->attr < attr)
            first = mid + 1;
        else
            last = mid;
    }
    if (first != slotTable(m_data) + slotCount(m_data) && first->attr == attr)
        return first;
    return nullptr;
}

void ValueBlob::prefetch() const
{
    // The header and the first slots; the table of an object with twenty values spans five
    // lines. A prefetch past the block's end is harmless, so the address is not bounded by it.
    constexpr quintptr kLine = 64;
    if (!m_data)
        return;
    for (quintptr offset = 0; offset < 5 * kLine; offset += kLine) {
        // NOLINTNEXTLINE(performance-no-int-to-ptr): an address, possibly past the block, never read
        __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<quintptr>(m_data) + offset));
    }
}

QVariant ValueBlob::get(int attr, AttributeType type) const
{
    const Slot* s = find(attr);
    if (!s)
        return {};
    switch (type) {
    case AttributeType::Integer:
        return QVariant(qint64(s->payload));
    case AttributeType::Boolean:
        return QVariant(s->payload != 0);
    case AttributeType::Double: {
        double d;
        std::memcpy(&d, &s->payload, sizeof d);
        return QVariant(d);
    }
    case AttributeType::Date:
        return QVariant(QDateTime::fromMSecsSinceEpoch(s->payload, Qt::UTC));
    case AttributeType::String: {
        if (s->len == 0)
            return QVariant(QString(QLatin1String("")));
        return QVariant(QString::fromUtf8(bytes(*s), qsizetype(s->len)));
    }
    case AttributeType::Binary:
        if (s->len == 0)
            return QVariant(QByteArray(""));
        return QVariant(QByteArray(bytes(*s), qsizetype(s->len)));
    }
    return {};
}

void ValueBlob::set(int attr, AttributeType type, const QVariant& value)
{
    setMany({EncodedValue::of(attr, type, value)});
}

bool ValueBlob::holds(const EncodedValue& value) const
{
    const Slot* s = find(value.attr);
    if (!s || value.null)
        return !s && value.null;
    if (value.text)
        return s->len == quint32(value.bytes.size()) &&
               (s->len == 0 || std::memcmp(bytes(*s), value.bytes.constData(), s->len) == 0);
    if (value.type == AttributeType::Double) { // -0 equals 0, NaN nothing
        double mine;
        double theirs;
        std::memcpy(&mine, &s->payload, sizeof mine);
        std::memcpy(&theirs, &value.payload, sizeof theirs);
        return mine == theirs;
    }
    return s->payload == value.payload;
}

bool ValueBlob::equals(int attr, AttributeType type, const QVariant& canonical) const
{
    const Slot* s = find(attr);
    if (!s || !canonical.isValid())
        return !s && !canonical.isValid();
    switch (type) {
    case AttributeType::Integer:
        return s->payload == canonical.toLongLong();
    case AttributeType::Boolean:
        return (s->payload != 0) == canonical.toBool();
    case AttributeType::Date:
        return s->payload == canonical.toDateTime().toMSecsSinceEpoch();
    case AttributeType::Double: {
        double d;
        std::memcpy(&d, &s->payload, sizeof d);
        return d == canonical.toDouble();
    }
    case AttributeType::String: {
        const QString text = canonical.toString();
        return QtPrivate::compareStrings(QStringView(text), QUtf8StringView(bytes(*s), qsizetype(s->len))) ==
               0;
    }
    case AttributeType::Binary:
        return QByteArrayView(bytes(*s), qsizetype(s->len)) == QByteArrayView(canonical.toByteArray());
    }
    return false;
}

void ValueBlob::setMany(const std::vector<EncodedValue>& values)
{
    BlobBuilder b;
    auto next = values.begin();
    auto place = [&b](const EncodedValue& v) {
        if (v.null)
            return;
        if (v.text)
            b.addText(v.attr, v.bytes.constData(), int(v.bytes.size()));
        else
            b.addInt(v.attr, v.payload);
    };
    if (m_data) {
        const Slot* table = slotTable(m_data);
        const quint32 n = slotCount(m_data);
        for (quint32 i = 0; i < n; ++i) {
            const Slot& s = table[i];
            for (; next != values.end() && next->attr <= s.attr; ++next)
                place(*next);
            if (next != values.begin() && std::prev(next)->attr == s.attr)
                continue;  // replaced
            if (s.len > 0) // texts and bytes; an empty one needs no payload
                b.addText(s.attr, bytes(s), int(s.len));
            else
                b.addInt(s.attr, s.payload);
        }
    }
    for (; next != values.end(); ++next)
        place(*next);
    adopt(b.finish());
}

EncodedValue EncodedValue::of(int attr, AttributeType type, const QVariant& canonical)
{
    EncodedValue v;
    v.attr = attr;
    v.type = type;
    v.null = !canonical.isValid();
    if (v.null)
        return v;
    switch (type) {
    case AttributeType::Integer:
        v.payload = canonical.toLongLong();
        break;
    case AttributeType::Boolean:
        v.payload = canonical.toBool() ? 1 : 0;
        break;
    case AttributeType::Date:
        v.payload = canonical.toDateTime().toMSecsSinceEpoch();
        break;
    case AttributeType::Double: {
        const double d = canonical.toDouble();
        std::memcpy(&v.payload, &d, sizeof d);
        break;
    }
    case AttributeType::String:
        v.text = true;
        v.bytes = canonical.toString().toUtf8();
        break;
    case AttributeType::Binary:
        v.text = true;
        v.bytes = canonical.toByteArray();
        break;
    }
    return v;
}

namespace {

// A value that is in its canonical form already (the common case: values read back or converted
// from JSON) is taken as it is.
bool isCanonical(AttributeType type, const QVariant& value)
{
    switch (type) {
    case AttributeType::Integer:
        return value.metaType().id() == QMetaType::LongLong;
    case AttributeType::Double:
        return value.metaType().id() == QMetaType::Double;
    case AttributeType::Boolean:
        return value.metaType().id() == QMetaType::Bool;
    case AttributeType::String:
        return value.metaType().id() == QMetaType::QString;
    case AttributeType::Date:
        return value.metaType().id() == QMetaType::QDateTime && value.toDateTime().timeSpec() == Qt::UTC;
    case AttributeType::Binary:
        return value.metaType().id() == QMetaType::QByteArray;
    }
    return false;
}

} // namespace

QVariant canonicalValue(AttributeType type, const QVariant& value)
{
    if (isNullish(value))
        return {};
    if (isCanonical(type, value))
        return value;
    bool ok = false;
    switch (type) {
    case AttributeType::Integer: {
        if (isIntegral(value))
            return QVariant(value.toLongLong());
        if (isFloating(value)) {
            const double d = value.toDouble();
            return std::isfinite(d) ? QVariant(qint64(std::llround(d))) : QVariant();
        }
        const qint64 v = value.toLongLong(&ok);
        if (ok)
            return QVariant(v);
        const double d = value.toDouble(&ok);
        return ok && std::isfinite(d) ? QVariant(qint64(std::llround(d))) : QVariant();
    }
    case AttributeType::Double: {
        const double d = value.toDouble(&ok);
        return ok ? QVariant(d) : QVariant();
    }
    case AttributeType::Boolean:
        if (!value.canConvert<bool>())
            return {};
        return QVariant(value.toBool());
    case AttributeType::String:
        if (value.metaType().id() == QMetaType::QByteArray)
            return QVariant(QString::fromUtf8(value.toByteArray()));
        if (!value.canConvert<QString>())
            return {};
        return QVariant(value.toString());
    case AttributeType::Date: {
        QDateTime dt;
        if (value.metaType().id() == QMetaType::QDateTime)
            dt = value.toDateTime();
        else if (value.metaType().id() == QMetaType::QDate)
            dt = value.toDate().startOfDay(Qt::UTC);
        else if (isIntegral(value) || isFloating(value))
            dt = QDateTime::fromMSecsSinceEpoch(std::llround(value.toDouble() * 1000.0), Qt::UTC);
        else if (value.metaType().id() == QMetaType::QString)
            dt = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
        if (!dt.isValid())
            return {};
        return QVariant(QDateTime::fromMSecsSinceEpoch(dt.toMSecsSinceEpoch(), Qt::UTC));
    }
    case AttributeType::Binary:
        if (!value.canConvert<QByteArray>())
            return {};
        return QVariant(value.toByteArray());
    }
    return {};
}

bool isNullish(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return true;
    switch (v.metaType().id()) {
    case QMetaType::QString:
        return v.toString().isNull();
    case QMetaType::QByteArray:
        return v.toByteArray().isNull();
    case QMetaType::QDateTime:
        return !v.toDateTime().isValid();
    case QMetaType::QDate:
        return !v.toDate().isValid();
    case QMetaType::Nullptr:
        return true;
    default:
        return false;
    }
}

bool sameCanonical(AttributeType type, const QVariant& a, const QVariant& b)
{
    const bool an = !a.isValid();
    const bool bn = !b.isValid();
    if (an || bn)
        return an == bn;
    switch (type) {
    case AttributeType::Integer:
    case AttributeType::Boolean:
        return a.toLongLong() == b.toLongLong();
    case AttributeType::Double:
        return a.toDouble() == b.toDouble();
    case AttributeType::Date:
        return a.toDateTime().toMSecsSinceEpoch() == b.toDateTime().toMSecsSinceEpoch();
    case AttributeType::String:
        return a.toString() == b.toString();
    case AttributeType::Binary:
        return a.toByteArray() == b.toByteArray();
    }
    return false;
}

bool sameLooseValue(const QVariant& a, const QVariant& b)
{
    const bool an = isNullish(a);
    const bool bn = isNullish(b);
    if (an || bn)
        return an == bn;
    const bool aNum = isIntegral(a) || isFloating(a);
    const bool bNum = isIntegral(b) || isFloating(b);
    if (aNum && bNum) {
        if (isIntegral(a) && isIntegral(b))
            return a.toLongLong() == b.toLongLong();
        return a.toDouble() == b.toDouble();
    }
    if (aNum != bNum)
        return false;
    return a == b;
}

quint64 ValueBlob::keyOf(int attr, AttributeType type) const
{
    const Slot* s = find(attr);
    if (!s)
        return indexKey(type, QVariant());
    switch (type) {
    case AttributeType::String:
    case AttributeType::Binary:
        return mix(qHash(QByteArrayView(bytes(*s), qsizetype(s->len)), 0));
    case AttributeType::Double: {
        double d;
        std::memcpy(&d, &s->payload, sizeof d);
        return indexKey(type, QVariant(d));
    }
    case AttributeType::Boolean:
        return mix(quint64(s->payload != 0 ? 1 : 0));
    default:
        return mix(quint64(s->payload));
    }
}

quint64 indexKey(AttributeType type, const QVariant& canonical)
{
    if (!canonical.isValid())
        return 0x51ed270b27c1f5a3ULL;
    switch (type) {
    case AttributeType::Integer:
        return mix(quint64(canonical.toLongLong()));
    case AttributeType::Boolean:
        return mix(quint64(canonical.toBool() ? 1 : 0));
    case AttributeType::Date:
        return mix(quint64(canonical.toDateTime().toMSecsSinceEpoch()));
    case AttributeType::Double: {
        double d = canonical.toDouble();
        if (d == 0)
            d = 0; // -0 and +0 are one key
        quint64 bits;
        std::memcpy(&bits, &d, sizeof bits);
        return mix(bits);
    }
    case AttributeType::String: {
        const QByteArray utf8 = canonical.toString().toUtf8();
        return mix(qHash(QByteArrayView(utf8), 0));
    }
    case AttributeType::Binary:
        return mix(qHash(QByteArrayView(canonical.toByteArray()), 0));
    }
    return 0;
}

} // namespace qv::store::detail

namespace qv::store {

QVariant storedValue(AttributeType type, const QVariant& value)
{
    return detail::canonicalValue(type, value);
}

} // namespace qv::store
