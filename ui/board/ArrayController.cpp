#include "ui/board/ArrayController.h"

#include "core/model/TODOItem.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QDateTime>

#include <algorithm>
#include <climits>
#include <numeric>
#include <tuple>
#include <utility>

namespace qv {

namespace {

// An attribute value reduced to what ordering needs, so a sort reads each value once.
struct SortValue {
    enum Kind { Null, Integer, Real, Text, Date, Other };
    Kind kind = Null;
    qint64 integer = 0; // Integer; Date as milliseconds since 1970
    double real = 0;
    QString text;
    QVariant other;
};

SortValue toSortValue(const QVariant& value)
{
    SortValue result;
    if (!value.isValid() || value.isNull())
        return result;
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        result.kind = SortValue::Integer;
        result.integer = value.toLongLong();
        break;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        result.kind = SortValue::Integer;
        result.integer = qint64(std::min<qulonglong>(value.toULongLong(), qulonglong(LLONG_MAX)));
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        result.kind = SortValue::Real;
        result.real = value.toDouble();
        break;
    case QMetaType::QString:
        result.kind = SortValue::Text;
        result.text = value.toString();
        break;
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        if (date.isValid()) {
            result.kind = SortValue::Date;
            result.integer = date.toMSecsSinceEpoch();
        }
        break;
    }
    default:
        result.kind = SortValue::Other;
        result.other = value;
        break;
    }
    return result;
}

template <class T> int threeWay(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// How an absent value compares with a present one of the given kind.
int compareNullWith(const SortValue& present)
{
    switch (present.kind) {
    case SortValue::Integer:
        return threeWay<qint64>(0, present.integer);
    case SortValue::Real:
        return threeWay<double>(0, present.real);
    case SortValue::Text:
        return present.text.isEmpty() ? 0 : -1;
    default:
        return -1;
    }
}

int compareSortValues(const SortValue& a, const SortValue& b)
{
    if (a.kind == SortValue::Null || b.kind == SortValue::Null) {
        if (a.kind == b.kind)
            return 0;
        return a.kind == SortValue::Null ? compareNullWith(b) : -compareNullWith(a);
    }
    const bool aNumber = a.kind == SortValue::Integer || a.kind == SortValue::Real;
    const bool bNumber = b.kind == SortValue::Integer || b.kind == SortValue::Real;
    if (aNumber && bNumber) {
        if (a.kind == SortValue::Integer && b.kind == SortValue::Integer)
            return threeWay(a.integer, b.integer);
        const double x = a.kind == SortValue::Integer ? double(a.integer) : a.real;
        const double y = b.kind == SortValue::Integer ? double(b.integer) : b.real;
        return threeWay(x, y);
    }
    if (a.kind != b.kind)
        return threeWay(int(a.kind), int(b.kind));
    switch (a.kind) {
    case SortValue::Text: {
        const int c = a.text.compare(b.text);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case SortValue::Date:
        return threeWay(a.integer, b.integer);
    default: {
        const QPartialOrdering order = QVariant::compare(a.other, b.other);
        if (order == QPartialOrdering::Less)
            return -1;
        if (order == QPartialOrdering::Greater)
            return 1;
        if (order == QPartialOrdering::Equivalent)
            return 0;
        // Values without an order of their own: by their text, so the order stays consistent.
        return threeWay(a.other.toString(), b.other.toString());
    }
    }
}

// A value of an attribute whose values all compare as integers (integers, booleans, dates, absent
// values): by rank, then by number. An absent value ranks and counts as 0, which compareSortValues()
// gives it beside integers, and comes before every date.
struct IntegerValue {
    qint64 rank = 0;
    qint64 number = 0;
    friend auto operator<=>(const IntegerValue&, const IntegerValue&) = default;
};

template <class T> int threeWayOrdered(const T& a, const T& b)
{
    const auto order = a <=> b;
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// One descriptor with the values of every object read in advance, in the most compact form that
// keeps their order.
struct PreparedDescriptor {
    enum Form { Integers, Texts, Collated, Keys, Values, Custom };
    const SortDescriptor* descriptor = nullptr;
    Form form = Custom;
    std::vector<IntegerValue> integers;
    // Texts compared by code point: values that are all texts (an absent one as the empty
    // text, as compareSortValues() has it), and localized texts in the C locale, which has no
    // collation of its own.
    std::vector<QString> texts;
    Qt::CaseSensitivity caseSensitivity = Qt::CaseSensitive;
    std::vector<QCollatorSortKey> collated;
    std::vector<SortKey> keys;
    std::vector<SortValue> values; // values of mixed kinds

    int compare(size_t i, size_t j, store::ManagedObject* a, store::ManagedObject* b) const
    {
        switch (form) {
        case Integers:
            return threeWayOrdered(integers[i], integers[j]);
        case Texts: {
            const int c = texts[i].compare(texts[j], caseSensitivity);
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        case Collated:
            return collated[i].compare(collated[j]);
        case Keys:
            return threeWayOrdered(keys[i], keys[j]);
        case Values:
            return compareSortValues(values[i], values[j]);
        case Custom:
            break;
        }
        return descriptor->comparator ? descriptor->comparator(a, b) : 0;
    }
};

// Values of an integer, boolean or date attribute from the store's column of them; false when
// some object's entity does not keep the attribute that way.
bool prepareIntegers(PreparedDescriptor& p, const std::vector<store::ManagedObject*>& objects)
{
    store::IntegerReader read(p.descriptor->key);
    std::vector<IntegerValue> integers;
    integers.reserve(objects.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        store::prefetchObjects(objects, i);
        const store::ManagedObject& object = *objects[i];
        if (!read.reads(object))
            return false;
        const std::optional<qint64> value = read(object);
        const bool date = value && read.type() == store::AttributeType::Date;
        integers.push_back({date ? 1 : 0, value.value_or(0)});
    }
    p.form = PreparedDescriptor::Integers;
    p.integers = std::move(integers);
    return true;
}

void prepareValues(PreparedDescriptor& p, const std::vector<store::ManagedObject*>& objects)
{
    if (prepareIntegers(p, objects))
        return;
    std::vector<SortValue> values;
    values.reserve(objects.size());
    store::AttributeReader read(p.descriptor->key);
    bool integers = true;
    bool texts = true;
    for (size_t i = 0; i < objects.size(); ++i) {
        store::prefetchValues(objects, i);
        values.push_back(toSortValue(read(*objects[i])));
        const SortValue::Kind kind = values.back().kind;
        integers =
            integers && (kind == SortValue::Null || kind == SortValue::Integer || kind == SortValue::Date);
        texts = texts && (kind == SortValue::Null || kind == SortValue::Text);
    }
    if (integers) {
        p.form = PreparedDescriptor::Integers;
        p.integers.reserve(values.size());
        for (const SortValue& value : values)
            p.integers.push_back({value.kind == SortValue::Date ? 1 : 0, value.integer});
    } else if (texts) {
        p.form = PreparedDescriptor::Texts;
        p.texts.reserve(values.size());
        for (SortValue& value : values)
            p.texts.push_back(std::move(value.text));
    } else {
        p.form = PreparedDescriptor::Values;
        p.values = std::move(values);
    }
}

void prepareLocalized(PreparedDescriptor& p, const std::vector<store::ManagedObject*>& objects)
{
    QCollator collator;
    p.caseSensitivity = p.descriptor->comparison == SortDescriptor::Comparison::Localized
                            ? Qt::CaseSensitive
                            : Qt::CaseInsensitive;
    collator.setCaseSensitivity(p.caseSensitivity);
    const bool byCodePoint = collator.locale().language() == QLocale::C;
    p.form = byCodePoint ? PreparedDescriptor::Texts : PreparedDescriptor::Collated;
    if (byCodePoint)
        p.texts.reserve(objects.size());
    else
        p.collated.reserve(objects.size());
    store::AttributeReader read(p.descriptor->key);
    for (size_t i = 0; i < objects.size(); ++i) {
        store::prefetchValues(objects, i);
        const QString text = read(*objects[i]).toString();
        if (byCodePoint)
            p.texts.push_back(text);
        else
            p.collated.push_back(collator.sortKey(text));
    }
}

// Sorts entries of W words (the first the most significant) stably by unsigned order, in time
// linear in the count: a byte at a time, least significant first, skipping the bytes every
// entry shares (most values are small, and most key words constant).
template <size_t W> struct RadixEntry {
    std::array<quint64, W> words;
    store::ManagedObject* object;
};

template <size_t W>
void radixSort(std::vector<RadixEntry<W>>& entries, std::vector<store::ManagedObject*>& objects)
{
    const size_t n = entries.size();
    if (n == 0)
        return;
    std::array<quint64, W> varying{};
    for (const RadixEntry<W>& entry : entries) {
        for (size_t w = 0; w < W; ++w)
            varying[w] |= entry.words[w] ^ entries.front().words[w];
    }
    std::vector<RadixEntry<W>> spare(n);
    for (size_t w = W; w-- > 0;) {
        for (unsigned shift = 0; shift < 64; shift += 8) {
            if (((varying[w] >> shift) & 0xff) == 0)
                continue;
            std::array<size_t, 256> count{};
            for (const RadixEntry<W>& entry : entries)
                ++count[(entry.words[w] >> shift) & 0xff];
            size_t total = 0;
            for (size_t& c : count)
                total += std::exchange(c, total);
            for (const RadixEntry<W>& entry : entries)
                spare[count[(entry.words[w] >> shift) & 0xff]++] = entry;
            entries.swap(spare);
        }
    }
    for (size_t i = 0; i < n; ++i)
        objects[i] = entries[i].object;
}

// A signed integer as a word whose unsigned order is the signed order; descending as the
// complement, so that an ascending stable sort is a descending stable one.
quint64 radixWord(qint64 value, bool ascending)
{
    const quint64 word = quint64(value) ^ (quint64(1) << 63);
    return ascending ? word : ~word;
}

template <size_t N>
void sortByKeyWords(std::vector<store::ManagedObject*>& objects, const std::vector<SortKey>& keys,
                    const std::vector<size_t>& words, bool ascending)
{
    std::vector<RadixEntry<N>> entries(objects.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        for (size_t w = 0; w < N; ++w)
            entries[i].words[w] = radixWord(keys[i][words[w]], ascending);
        entries[i].object = objects[i];
    }
    radixSort(entries, objects);
}

// Only the words some keys differ in are sorted on: the smaller entries of keys that leave words
// unused (a star and an index) take less memory to move.
void sortByKeys(std::vector<store::ManagedObject*>& objects, const std::vector<SortKey>& keys, bool ascending)
{
    std::vector<size_t> words;
    for (size_t w = 0; w < std::tuple_size_v<SortKey>; ++w) {
        if (std::any_of(keys.begin(), keys.end(),
                        [&](const SortKey& key) { return key[w] != keys.front()[w]; }))
            words.push_back(w);
    }
    switch (words.size()) {
    case 0:
        return;
    case 1:
        return sortByKeyWords<1>(objects, keys, words, ascending);
    case 2:
        return sortByKeyWords<2>(objects, keys, words, ascending);
    case 3:
        return sortByKeyWords<3>(objects, keys, words, ascending);
    case 4:
        return sortByKeyWords<4>(objects, keys, words, ascending);
    default:
        return sortByKeyWords<std::tuple_size_v<SortKey>>(objects, keys, words, ascending);
    }
}

void sortByIntegers(std::vector<store::ManagedObject*>& objects, const std::vector<IntegerValue>& values,
                    bool ascending)
{
    std::vector<RadixEntry<2>> entries(objects.size());
    for (size_t i = 0; i < objects.size(); ++i)
        entries[i] = {{radixWord(values[i].rank, ascending), radixWord(values[i].number, ascending)},
                      objects[i]};
    radixSort(entries, objects);
}

// Whether texts repeat often enough that sorting each different text once pays for finding
// them: judged from the first few.
bool textsRepeat(const std::vector<QString>& texts)
{
    constexpr size_t kSample = 256;
    const size_t sample = std::min(texts.size(), kSample);
    QSet<QStringView> seen;
    for (size_t i = 0; i < sample; ++i)
        seen.insert(texts[i]);
    return size_t(seen.size()) * 2 < sample;
}

// Sorts by one text, stably. When many objects share a few texts (an owner, an icon), each
// different text is sorted once and ranked, then the objects by their text's rank: comparisons
// of equal texts would otherwise run their whole length.
//
// Each text's first sixteen code units (case-folded when case is ignored) are held beside it, so
// that most comparisons do not reach the texts' own memory.
void sortByTexts(std::vector<store::ManagedObject*>& objects, const std::vector<QString>& texts,
                 Qt::CaseSensitivity caseSensitivity, bool ascending)
{
    constexpr qsizetype kUnits = 16;
    struct Entry {
        std::array<quint64, kUnits / 4> prefix; // code units, the first in the highest bits; 0 after the end
        bool exact; // the prefix orders as the text does (no NUL; no surrogate when folded)
        bool whole; // the prefix holds the whole text
        const QString* text;
        quint32 distinct; // the different text's number; the object's when texts do not repeat
    };
    const bool repeat = textsRepeat(texts);
    std::vector<quint32> distinctOf(repeat ? objects.size() : 0); // each object's different text
    std::vector<Entry> entries;
    entries.reserve(repeat ? 0 : objects.size());
    QHash<QStringView, quint32> seen;
    for (size_t i = 0; i < objects.size(); ++i) {
        const QString& text = texts[i];
        const auto distinct = quint32(entries.size());
        if (repeat) {
            const auto found = seen.constFind(text);
            if (found != seen.constEnd()) {
                distinctOf[i] = *found;
                continue;
            }
            distinctOf[i] = distinct;
            seen.insert(text, distinct);
        }
        Entry entry{{}, true, text.size() <= kUnits, &text, distinct};
        for (qsizetype u = 0; u < qMin(text.size(), kUnits); ++u) {
            QChar unit = text.at(u);
            // A NUL reads as the end of the text; a surrogate folds as part of its code point.
            if (unit.isNull() || (caseSensitivity == Qt::CaseInsensitive && unit.isSurrogate()))
                entry.exact = false;
            if (caseSensitivity == Qt::CaseInsensitive)
                unit = unit.toCaseFolded();
            entry.prefix[size_t(u / 4)] |= quint64(unit.unicode()) << (16 * (3 - u % 4));
        }
        entries.push_back(entry);
    }
    const auto compare = [caseSensitivity](const Entry& a, const Entry& b) {
        if (a.exact && b.exact) {
            if (a.prefix != b.prefix)
                return a.prefix < b.prefix ? -1 : 1;
            if (a.whole && b.whole)
                return 0; // equal texts
        }
        const int c = a.text->compare(*b.text, caseSensitivity);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    };
    if (!repeat) {
        // An entry for each object, in order: sorted stably, they are the objects' order.
        const std::vector<store::ManagedObject*> unsorted = objects;
        std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
            const int c = compare(a, b);
            return ascending ? c < 0 : c > 0;
        });
        for (size_t i = 0; i < objects.size(); ++i)
            objects[i] = unsorted[entries[i].distinct];
        return;
    }
    std::sort(entries.begin(), entries.end(),
              [&](const Entry& a, const Entry& b) { return compare(a, b) < 0; });
    // Texts that compare equal share a rank, and their objects keep their order.
    std::vector<qint64> rank(entries.size());
    qint64 next = 0;
    for (size_t d = 0; d < entries.size(); ++d) {
        if (d > 0 && compare(entries[d - 1], entries[d]) != 0)
            ++next;
        rank[entries[d].distinct] = next;
    }
    std::vector<RadixEntry<1>> ranked(objects.size());
    for (size_t i = 0; i < objects.size(); ++i)
        ranked[i] = {{radixWord(rank[distinctOf[i]], ascending)}, objects[i]};
    radixSort(ranked, objects);
}

// Whether an object comes twice: the addresses sorted, a byte at a time.
bool hasRepeats(const std::vector<store::ManagedObject*>& objects)
{
    std::vector<RadixEntry<1>> entries(objects.size());
    for (size_t i = 0; i < objects.size(); ++i)
        entries[i] = {{quint64(quintptr(objects[i]))}, objects[i]};
    std::vector<store::ManagedObject*> sorted(objects.size());
    radixSort(entries, sorted);
    return std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
}

} // namespace

SortDescriptor SortDescriptor::byValue(const QString& key, bool ascending)
{
    return SortDescriptor{key, ascending, Comparison::Value, {}, {}};
}

SortDescriptor SortDescriptor::localized(const QString& key, bool ascending, bool caseInsensitive)
{
    return SortDescriptor{key,
                          ascending,
                          caseInsensitive ? Comparison::LocalizedCaseInsensitive : Comparison::Localized,
                          {},
                          {}};
}

SortDescriptor SortDescriptor::custom(const QString& key, bool ascending, ObjectComparator comparator)
{
    return SortDescriptor{key, ascending, Comparison::Custom, std::move(comparator), {}};
}

SortDescriptor SortDescriptor::keyed(const QString& key, bool ascending, SortKeysFunction keysFunction)
{
    return SortDescriptor{key, ascending, Comparison::Keyed, {}, std::move(keysFunction)};
}

int compareValues(const QVariant& a, const QVariant& b)
{
    return compareSortValues(toSortValue(a), toSortValue(b));
}

void sortObjects(std::vector<store::ManagedObject*>& objects, const std::vector<SortDescriptor>& descriptors)
{
    if (descriptors.empty() || objects.size() < 2)
        return;
    const size_t n = objects.size();
    std::vector<PreparedDescriptor> prepared(descriptors.size());
    for (size_t d = 0; d < descriptors.size(); ++d) {
        PreparedDescriptor& p = prepared[d];
        p.descriptor = &descriptors[d];
        switch (p.descriptor->comparison) {
        case SortDescriptor::Comparison::Value:
            prepareValues(p, objects);
            break;
        case SortDescriptor::Comparison::Localized:
        case SortDescriptor::Comparison::LocalizedCaseInsensitive:
            prepareLocalized(p, objects);
            break;
        case SortDescriptor::Comparison::Keyed:
            p.form = PreparedDescriptor::Keys;
            if (p.descriptor->keysFunction)
                p.keys = p.descriptor->keysFunction(objects);
            p.keys.resize(n);
            break;
        case SortDescriptor::Comparison::Custom:
            break;
        }
    }

    // The common sort by one key of integers.
    if (prepared.size() == 1 && prepared[0].form == PreparedDescriptor::Integers) {
        sortByIntegers(objects, prepared[0].integers, descriptors[0].ascending);
        return;
    }
    if (prepared.size() == 1 && prepared[0].form == PreparedDescriptor::Texts) {
        sortByTexts(objects, prepared[0].texts, prepared[0].caseSensitivity, descriptors[0].ascending);
        return;
    }
    if (prepared.size() == 1 && prepared[0].form == PreparedDescriptor::Keys) {
        sortByKeys(objects, prepared[0].keys, descriptors[0].ascending);
        return;
    }

    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t i, size_t j) {
        for (const PreparedDescriptor& p : prepared) {
            if (const int c = p.compare(i, j, objects[i], objects[j]))
                return p.descriptor->ascending ? c < 0 : c > 0;
        }
        return false;
    });

    std::vector<store::ManagedObject*> sorted;
    sorted.reserve(n);
    for (size_t i : order)
        sorted.push_back(objects[i]);
    objects = std::move(sorted);
}

ArrayController::ArrayController(QObject* parent) : QObject(parent) {}

ArrayController::~ArrayController()
{
    observeContext(nullptr);
}

void ArrayController::observeContext(store::Context* context)
{
    if (m_observing && m_context)
        m_context->removeChangeObserver(m_observer);
    m_observing = false;
    m_context = context;
    if (context) {
        m_observer =
            context->addChangeObserver([this](const store::ChangeEvent& event) { onContextChange(event); });
        m_observing = true;
    }
}

void ArrayController::setContent(const std::vector<store::ManagedObject*>& objects)
{
    observeContext(nullptr);
    m_entity.clear();
    m_content.clear();
    m_contentSet.clear();
    m_contentSetBuilt = false;
    m_content.reserve(objects.size());
    for (store::ManagedObject* object : objects) {
        if (object)
            m_content.push_back(object);
    }
    if (hasRepeats(m_content)) {
        QSet<const store::ManagedObject*> seen;
        std::erase_if(m_content, [&seen](const store::ManagedObject* object) {
            const qsizetype before = seen.size();
            seen.insert(object); // one lookup, where contains() then insert() would take two
            return seen.size() == before;
        });
    }
    rearrangeObjects();
}

QSet<const store::ManagedObject*>& ArrayController::contentSet() const
{
    if (!std::exchange(m_contentSetBuilt, true)) {
        m_contentSet.reserve(qsizetype(m_content.size()));
        for (const store::ManagedObject* object : m_content)
            m_contentSet.insert(object);
    }
    return m_contentSet;
}

void ArrayController::setFetch(store::Context* context, const QString& entity)
{
    if (!context || entity.isEmpty()) {
        setContent({});
        return;
    }
    observeContext(context);
    m_entity = entity;
    fetch();
}

void ArrayController::fetch()
{
    if (!m_context)
        return;
    m_content = m_context->objects(m_entity);
    m_contentSet.clear();
    m_contentSetBuilt = false;
    rearrangeObjects();
}

void ArrayController::onContextChange(const store::ChangeEvent& event)
{
    std::vector<store::ManagedObject*> added;
    for (store::ManagedObject* object : event.inserted) {
        if (object->entityName() == m_entity && !object->isDeleted() && !contentSet().contains(object)) {
            contentSet().insert(object);
            m_content.push_back(object);
            added.push_back(object);
        }
    }
    QSet<const store::ManagedObject*> gone;
    for (store::ManagedObject* object : event.deleted) {
        if (contentSet().remove(object))
            gone.insert(object);
    }
    if (!gone.isEmpty())
        std::erase_if(m_content, [&](store::ManagedObject* object) { return gone.contains(object); });
    if (added.empty() && gone.isEmpty())
        return;
    if (!m_filtersOnlyInserted) {
        rearrangeObjects();
        return;
    }
    std::erase_if(added,
                  [this](const store::ManagedObject* object) { return m_filter && !m_filter(object); });
    // The new objects came last in the content: among equals, they stay after the others, as a full
    // rebuild keeps them.
    mergeIntoArranged(added, gone);
}

void ArrayController::refilterObjects(const std::vector<store::ManagedObject*>& objects)
{
    std::vector<store::ManagedObject*> candidates;
    QSet<const store::ManagedObject*> leaving;
    for (store::ManagedObject* object : objects) {
        if (!contentSet().contains(object) || leaving.contains(object))
            continue;
        // Each is asked once: an arranged one that passes stays, one that fails leaves, and one
        // not arranged that passes joins.
        leaving.insert(object);
        if (!m_filter || m_filter(object))
            candidates.push_back(object);
    }
    if (leaving.isEmpty())
        return;
    mergeIntoArranged(candidates, leaving);
}

void ArrayController::mergeIntoArranged(const std::vector<store::ManagedObject*>& joining,
                                        const QSet<const store::ManagedObject*>& leaving)
{
    std::vector<store::ManagedObject*> arranged;
    arranged.reserve(m_arranged.size() + joining.size());
    bool left = false;
    for (store::ManagedObject* object : m_arranged) {
        if (leaving.contains(object))
            left = true;
        else
            arranged.push_back(object);
    }
    if (joining.empty() && !left)
        return;
    arranged.insert(arranged.end(), joining.begin(), joining.end());
    showArranged(std::move(arranged));
}

void ArrayController::addObject(store::ManagedObject* object)
{
    addObjects({object});
}

void ArrayController::addObject(TODOItem* item)
{
    addObjects({item});
}

void ArrayController::addObjects(const std::vector<store::ManagedObject*>& objects)
{
    bool changed = false;
    for (store::ManagedObject* object : objects) {
        if (object && !contentSet().contains(object)) {
            contentSet().insert(object);
            m_content.push_back(object);
            changed = true;
        }
    }
    if (changed)
        rearrangeObjects();
}

void ArrayController::insertObject(store::ManagedObject* object, qsizetype arrangedIndex)
{
    if (!object)
        return;
    const QList<qsizetype> before = selectionIndexes();
    if (!contentSet().contains(object)) {
        contentSet().insert(object);
        m_content.push_back(object);
    }
    const auto found = std::find(m_arranged.begin(), m_arranged.end(), object);
    if (found != m_arranged.end())
        m_arranged.erase(found);
    const qsizetype position = std::clamp<qsizetype>(arrangedIndex, 0, qsizetype(m_arranged.size()));
    m_arranged.insert(m_arranged.begin() + position, object);
    m_indexValid = false;
    emit arrangedObjectsChanged();
    emitSelectionIfChanged(before);
}

void ArrayController::removeObject(store::ManagedObject* object)
{
    removeObjects({object});
}

void ArrayController::removeObjects(const std::vector<store::ManagedObject*>& objects)
{
    QSet<const store::ManagedObject*> gone;
    for (store::ManagedObject* object : objects) {
        if (contentSet().remove(object))
            gone.insert(object);
    }
    if (gone.isEmpty())
        return;
    std::erase_if(m_content, [&](store::ManagedObject* object) { return gone.contains(object); });
    rearrangeObjects();
}

void ArrayController::setFilterPredicate(ObjectPredicate predicate, FilterReads reads)
{
    m_filter = std::move(predicate);
    m_filterReads = reads;
    rearrangeObjects();
}

void ArrayController::setSortDescriptors(std::vector<SortDescriptor> descriptors)
{
    m_sortDescriptors = std::move(descriptors);
    rearrangeObjects();
}

void ArrayController::rearrangeObjects()
{
    if (!m_filter) {
        showArranged(m_content);
        return;
    }
    const auto prefetch =
        m_filterReads == FilterReads::ObjectOnly ? store::prefetchObjects : store::prefetchValues;
    std::vector<store::ManagedObject*> arranged;
    arranged.reserve(m_content.size());
    for (size_t i = 0; i < m_content.size(); ++i) {
        prefetch(m_content, i);
        if (m_filter(m_content[i]))
            arranged.push_back(m_content[i]);
    }
    showArranged(std::move(arranged));
}

void ArrayController::showArranged(std::vector<store::ManagedObject*> arranged)
{
    const QList<qsizetype> before = selectionIndexes();
    sortObjects(arranged, m_sortDescriptors);
    m_arranged = std::move(arranged);
    m_indexValid = false;
    dropSelectionOutsideArranged();
    emit arrangedObjectsChanged();
    emitSelectionIfChanged(before);
}

store::ManagedObject* ArrayController::arrangedObjectAt(qsizetype index) const
{
    if (index < 0 || index >= qsizetype(m_arranged.size()))
        return nullptr;
    return m_arranged[size_t(index)];
}

void ArrayController::rebuildIndex() const
{
    if (m_indexValid)
        return;
    m_arrangedIndex.clear();
    m_arrangedIndex.reserve(qsizetype(m_arranged.size()));
    for (size_t i = 0; i < m_arranged.size(); ++i)
        m_arrangedIndex.insert(m_arranged[i], qsizetype(i));
    m_indexValid = true;
}

qsizetype ArrayController::arrangedIndexOf(const store::ManagedObject* object) const
{
    rebuildIndex();
    return m_arrangedIndex.value(object, -1);
}

QList<qsizetype> ArrayController::selectionIndexes() const
{
    QList<qsizetype> indexes;
    if (m_selected.isEmpty())
        return indexes;
    rebuildIndex();
    indexes.reserve(m_selected.size());
    for (const store::ManagedObject* object : m_selected) {
        const qsizetype index = m_arrangedIndex.value(object, -1);
        if (index >= 0)
            indexes.push_back(index);
    }
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

qsizetype ArrayController::selectionIndex() const
{
    const QList<qsizetype> indexes = selectionIndexes();
    return indexes.isEmpty() ? -1 : indexes.first();
}

std::vector<store::ManagedObject*> ArrayController::selectedObjects() const
{
    std::vector<store::ManagedObject*> objects;
    for (qsizetype index : selectionIndexes())
        objects.push_back(m_arranged[size_t(index)]);
    return objects;
}

void ArrayController::dropSelectionOutsideArranged()
{
    if (m_selected.isEmpty())
        return;
    rebuildIndex();
    m_selected.removeIf(
        [this](const store::ManagedObject* object) { return !m_arrangedIndex.contains(object); });
}

void ArrayController::emitSelectionIfChanged(const QList<qsizetype>& before)
{
    if (selectionIndexes() != before)
        emit selectionChanged();
}

bool ArrayController::replaceSelection(QSet<const store::ManagedObject*> selection)
{
    const QList<qsizetype> before = selectionIndexes();
    m_selected = std::move(selection);
    dropSelectionOutsideArranged();
    if (selectionIndexes() == before)
        return false;
    emit selectionChanged();
    return true;
}

bool ArrayController::setSelectionIndexes(const QList<qsizetype>& indexes)
{
    QSet<const store::ManagedObject*> selection;
    for (qsizetype index : indexes) {
        if (store::ManagedObject* object = arrangedObjectAt(index))
            selection.insert(object);
    }
    return replaceSelection(std::move(selection));
}

bool ArrayController::setSelectionIndex(qsizetype index)
{
    return setSelectionIndexes({index});
}

bool ArrayController::addSelectionIndexes(const QList<qsizetype>& indexes)
{
    QSet<const store::ManagedObject*> selection = m_selected;
    for (qsizetype index : indexes) {
        if (store::ManagedObject* object = arrangedObjectAt(index))
            selection.insert(object);
    }
    return replaceSelection(std::move(selection));
}

bool ArrayController::removeSelectionIndexes(const QList<qsizetype>& indexes)
{
    QSet<const store::ManagedObject*> selection = m_selected;
    for (qsizetype index : indexes) {
        if (store::ManagedObject* object = arrangedObjectAt(index))
            selection.remove(object);
    }
    return replaceSelection(std::move(selection));
}

bool ArrayController::setSelectedObjects(const std::vector<store::ManagedObject*>& objects)
{
    QSet<const store::ManagedObject*> selection;
    for (store::ManagedObject* object : objects) {
        if (object)
            selection.insert(object);
    }
    return replaceSelection(std::move(selection));
}

bool ArrayController::clearSelection()
{
    return replaceSelection({});
}

} // namespace qv
