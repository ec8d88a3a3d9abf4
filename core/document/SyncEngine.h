#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace qv {

class TODOItem;

// What the document needs of the sync engine. The engine (sync/) implements it; the
// document never includes sync code.
class SyncEngineInterface {
public:
    virtual ~SyncEngineInterface() = default;

    // The server's clock in whole seconds since 1970; nullopt until a keep-alive reply came.
    virtual std::optional<qint64> getServerSecondsSince1970() const = 0;
    virtual bool isOnline() const = 0;
    // The editing lock: while set, scheduled saves wait.
    virtual bool uiIsEditing() const = 0;

    virtual void setItemsAreEdited(bool edited) = 0;
    virtual void setProjectsAreEdited(bool edited) = 0;
    // One send pass, now.
    virtual void sendEditedItemsToServer() = 0;
    virtual void sendEditedProjectsToServer() = 0;
    // Marks the item edited and sends it at once; true when a send was started.
    virtual bool sendItemToServer(TODOItem* item) = 0;

    // The editing lock as the window takes it. A component claims it while the user types;
    // releasing under another name than the holder's changes nothing. setUiIsEditing() sets the
    // flag alone (drags). The defaults do nothing, for engines without a lock.
    virtual void setEditing(bool editing, const QString& component)
    {
        (void)editing;
        (void)component;
    }
    virtual void setUiIsEditing(bool editing) { (void)editing; }
    // Holds an item back from sending until it is released.
    virtual void blockSyncForItem(TODOItem* item) { (void)item; }
    virtual void unblockSyncForItem(TODOItem* item) { (void)item; }
    // True when the loops were started / stopped.
    virtual bool startAllLoops() { return false; }
    virtual bool stopAllLoops() { return false; }
};

} // namespace qv
