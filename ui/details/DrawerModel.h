#pragma once

#include "core/model/TODOItem.h"
#include "platform/store/Context.h"
#include "ui/board/ArrayController.h"

#include <QColor>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

namespace qv {

class MyDocument;
class TagManager;

// The item drawer's logic: it follows one items controller (a quadrant's or the inbox's),
// shows the first selected item, and writes what the user edits back to it.
class DrawerModel : public QObject {
    Q_OBJECT
public:
    explicit DrawerModel(QObject* parent = nullptr);
    ~DrawerModel() override;

    // nullptr closes the drawer.
    void setArrayController(ArrayController* controller);
    ArrayController* arrayController() const { return m_controller.data(); }
    bool isOpen() const { return m_controller != nullptr; }

    // The first selected item of the controller; nullptr without controller or selection.
    TODOItem* getItem() const;
    // The detail area is shown only with an item.
    bool showsDetails() const { return getItem() != nullptr; }

    // A lighter form of the item's quadrant colour; white without item or colour.
    QColor backgroundColor() const;
    // The project's colour text for the item's quadrant; empty for inbox items.
    static QString quadrantColorString(const TODOItem* item);
    // Same hue and alpha, saturation / 5, brightness (b + 4) / 5; white for text that is no colour.
    static QColor lighterColor(const QString& colorString);

    // Each writes only a real change. A blank name is refused (false) and the old one kept.
    bool setName(const QString& name) { return writeName(getItem(), name); }
    bool setNotes(const QString& notes) { return writeNotes(getItem(), notes); }
    static bool writeName(TODOItem* item, const QString& name);
    static bool writeNotes(TODOItem* item, const QString& notes);
    // The link, trimmed; empty removes it.
    static void writeLink(TODOItem* item, const QString& link);
    // An invalid date removes it. All day keeps the day only (at midnight, local time).
    static void writeStartDate(TODOItem* item, const QDateTime& date);
    static void writeDueDate(TODOItem* item, const QDateTime& date);
    static void writeAllDay(TODOItem* item, bool allDay);
    // 100 completes the item (a recurring one's follow-up joins controller), less reopens it.
    static void writeCompletion(MyDocument& document, TODOItem* item, int percentage,
                                ArrayController* controller = nullptr);
    static void writeEffort(TODOItem* item, qint64 effort);
    static void writeRecurrence(TODOItem* item, TODOItem::Recurrence recurrence);
    static void writeIcon(TODOItem* item, const QString& icon);
    // Through the tag service, so the server learns each tag added or removed. Names are
    // trimmed and lowercased; blanks and repeats are dropped.
    static void writeTags(TagManager& tags, TODOItem* item, const QStringList& names);

    // The texts of the recurrences a user can choose, Never first.
    static const QStringList& recurrenceTexts();
    // Tag names from the text typed in the tag field: separated by commas.
    static QStringList tagNamesFromText(const QString& text);

signals:
    // What the drawer shows changed: another item, no item, or the item's values.
    void changed();

private:
    void observeItemContext();

    QPointer<ArrayController> m_controller;
    QMetaObject::Connection m_selectionConnection;
    QMetaObject::Connection m_arrangedConnection;
    store::ChangeObservation m_observation;
};

} // namespace qv
