#pragma once

#include <QtGlobal>

#include <functional>

namespace qv {

class TODOList;

// Client identifiers of items (`id_`): below 0x7ffffff8, unique among one project's items only.
class ItemIdentifiers {
public:
    static constexpr quint32 kLimit = 0x7ffffff8u;
    // Any uniform 32-bit source; empty means the system's generator.
    using RandomSource = std::function<quint32()>;

    // A fresh 32-bit random value taken modulo 0x7ffffff8.
    static qint64 generateItemId(const RandomSource& random = {});
    // Draws until no item of list has the value; with no list (or no items) the first draw.
    static qint64 newUniqueIdForItemInList(const TODOList* list, const RandomSource& random = {});
};

} // namespace qv
