#pragma once

#include "platform/store/Model.h"

#include <QByteArray>
#include <QVariant>

#include <cstdint>
#include <vector>

namespace qv::store::detail {

// One stored attribute value. Texts and bytes live after the slot table of the same
// allocation; payload is then their offset from the start of the block.
struct Slot {
    quint16 attr;
    quint16 pad;
    quint32 len;
    qint64 payload;
};

// A canonical value in its stored form: a number (integers, booleans, dates in ms, doubles by
// their bits) or a text (UTF-8) or bytes.
struct EncodedValue {
    int attr = -1;
    AttributeType type = AttributeType::Integer;
    bool null = true;
    bool text = false;
    qint64 payload = 0;
    QByteArray bytes;

    static EncodedValue of(int attr, AttributeType type, const QVariant& canonical);
};

// Assembles a block of slots in attribute order; reused across rows while loading.
class BlobBuilder {
public:
    void clear();
    void addInt(int attr, qint64 v);
    void addDouble(int attr, double v);
    void addText(int attr, const char* data, int len);
    // Slots must be added in ascending attribute order.
    char* finish() const; // for ValueBlob::adopt(); nullptr when empty

private:
    std::vector<Slot> m_slots;
    std::vector<char> m_bytes;
};

// The persistent attribute values of one object in a single compact block: a sorted
// slot table plus the text payloads (UTF-8). An absent slot is a null value.
class ValueBlob {
public:
    ValueBlob() = default;
    ~ValueBlob();
    ValueBlob(const ValueBlob&) = delete;
    ValueBlob& operator=(const ValueBlob&) = delete;

    void adopt(char* block);
    const Slot* find(int attr) const;
    // Starts bringing the slot table into the cache, ahead of reads of many objects' values.
    void prefetch() const;
    const char* bytes(const Slot& slot) const { return m_data + slot.payload; }
    QVariant get(int attr, AttributeType type) const;
    // value must be canonical for type (see canonicalValue); an invalid value removes the slot.
    void set(int attr, AttributeType type, const QVariant& value);
    // Whether the stored value equals value, without decoding it.
    bool holds(const EncodedValue& value) const;
    // sameCanonical(get(attr, type), canonical), without decoding the stored value.
    bool equals(int attr, AttributeType type, const QVariant& canonical) const;
    // Replaces the values of several attributes in one rebuild of the block; values must be in
    // ascending attribute order, each attribute once.
    void setMany(const std::vector<EncodedValue>& values);
    // indexKey() of the stored value, without decoding it.
    quint64 keyOf(int attr, AttributeType type) const;

private:
    char* m_data = nullptr;
};

// The stored form of a value: qint64, double, bool, QString, QDateTime (UTC, ms) or
// QByteArray; invalid for null or for a value that does not convert.
QVariant canonicalValue(AttributeType type, const QVariant& value);
// Equality of two canonical values of one type.
bool sameCanonical(AttributeType type, const QVariant& a, const QVariant& b);
// Equality of two arbitrary values (transients): null and invalid agree, numbers compare by value.
bool sameLooseValue(const QVariant& a, const QVariant& b);
bool isNullish(const QVariant& v);
// Index key of a canonical value; equal values give equal keys.
quint64 indexKey(AttributeType type, const QVariant& canonical);

} // namespace qv::store::detail
