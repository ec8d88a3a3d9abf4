#include "ui/board/ItemPasteboard.h"

#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "platform/store/Context.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>

#include <algorithm>

namespace qv {

namespace {

const QString kListKey = QStringLiteral("URIRepresentationList");
const QString kItemsKey = QStringLiteral("URIRepresentations");
const QString kRowsKey = QStringLiteral("RowIndexes");

} // namespace

const QString ItemPasteboard::kType = QStringLiteral("TODOItemDataType");
const QString ItemPasteboard::kInboxList = QStringLiteral("inbox://");

ItemPasteboard ItemPasteboard::forItems(const std::vector<TODOItem*>& items, const TODOList* project,
                                        QList<qsizetype> rows)
{
    ItemPasteboard board;
    board.listURI = project ? project->uri() : kInboxList;
    for (const TODOItem* item : items)
        board.itemURIs << item->uri();
    std::sort(rows.begin(), rows.end());
    board.rowIndexes = std::move(rows);
    return board;
}

QByteArray ItemPasteboard::encoded() const
{
    QJsonArray rows;
    for (qsizetype row : rowIndexes)
        rows.append(qint64(row));
    QJsonObject object{
        {kListKey, listURI}, {kItemsKey, QJsonArray::fromStringList(itemURIs)}, {kRowsKey, rows}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<ItemPasteboard> ItemPasteboard::decoded(const QByteArray& data)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    if (!object.value(kItemsKey).isArray())
        return std::nullopt;
    ItemPasteboard board;
    board.listURI = object.value(kListKey).toString();
    for (const QJsonValue& uri : object.value(kItemsKey).toArray()) {
        if (uri.isString())
            board.itemURIs << uri.toString();
    }
    for (const QJsonValue& row : object.value(kRowsKey).toArray()) {
        if (row.isDouble() && row.toDouble() >= 0)
            board.rowIndexes << qsizetype(row.toInteger());
    }
    std::sort(board.rowIndexes.begin(), board.rowIndexes.end());
    return board;
}

std::unique_ptr<QMimeData> ItemPasteboard::toMimeData() const
{
    auto mime = std::make_unique<QMimeData>();
    mime->setData(kType, encoded());
    return mime;
}

std::optional<ItemPasteboard> ItemPasteboard::fromMimeData(const QMimeData* mime)
{
    if (!mime || !mime->hasFormat(kType))
        return std::nullopt;
    return decoded(mime->data(kType));
}

std::vector<TODOItem*> ItemPasteboard::resolveItems(const store::Context& context) const
{
    std::vector<TODOItem*> items;
    for (const QString& uri : itemURIs) {
        if (auto* item = store::as<TODOItem>(context.objectForURI(uri)))
            items.push_back(item);
    }
    return items;
}

TODOList* ItemPasteboard::resolveList(const store::Context& context) const
{
    if (listURI.isEmpty() || listURI == kInboxList)
        return nullptr;
    return store::as<TODOList>(context.objectForURI(listURI));
}

} // namespace qv
