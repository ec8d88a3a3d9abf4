#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QMimeData;

namespace qv {

namespace store {
class Context;
}
class TODOItem;
class TODOList;

// Items on the clipboard or in a drag, as the type "TODOItemDataType": the store URIs of the
// items and of the project they come from ("inbox://" for inbox items) and, for drags, the
// dragged rows of the source table. The URIs name objects of the running document only.
struct ItemPasteboard {
    static const QString kType;      // "TODOItemDataType"
    static const QString kInboxList; // "inbox://"

    QString listURI;             // "URIRepresentationList"
    QStringList itemURIs;        // "URIRepresentations"
    QList<qsizetype> rowIndexes; // "RowIndexes", ascending; empty outside drags

    // Items in the given order; a drag's rows in ascending order.
    static ItemPasteboard forItems(const std::vector<TODOItem*>& items, const TODOList* project,
                                   QList<qsizetype> rows = {});

    // A JSON object with the three keys.
    QByteArray encoded() const;
    static std::optional<ItemPasteboard> decoded(const QByteArray& data);

    std::unique_ptr<QMimeData> toMimeData() const;
    // nullopt when the data holds no readable "TODOItemDataType".
    static std::optional<ItemPasteboard> fromMimeData(const QMimeData* mime);

    // The live items the URIs name, in order; URIs that no longer resolve are skipped.
    std::vector<TODOItem*> resolveItems(const store::Context& context) const;
    // nullptr for the inbox or a project that is gone.
    TODOList* resolveList(const store::Context& context) const;
};

} // namespace qv
