#pragma once

#include "ui/board/ArrayController.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

namespace qv {

namespace store {
class Context;
}

class TODOItem;

// The item drawer's logic: it follows one items controller (a quadrant's or the inbox's),
// shows the first selected item, and writes the name and notes the user edits back to it.
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

signals:
    // What the drawer shows changed: another item, no item, or the item's values.
    void changed();

private:
    void observeItemContext();
    void stopObservingContext();

    QPointer<ArrayController> m_controller;
    QMetaObject::Connection m_selectionConnection;
    QMetaObject::Connection m_arrangedConnection;
    store::Context* m_observedContext = nullptr;
    std::optional<int> m_observer;
};

} // namespace qv
