#pragma once

#include <functional>
#include <memory>

namespace qv::store {

class Context;

// One undo group per change event. Undo and redo are themselves ordinary change events
// (announced to the context's observers) followed by the did-undo / did-redo callbacks.
class UndoManager {
public:
    UndoManager();
    ~UndoManager();
    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;

    bool canUndo() const;
    bool canRedo() const;
    void undo();
    void redo();
    int undoCount() const;
    void removeAllActions();
    // 0 = unlimited.
    void setLevelsOfUndo(int levels);

    void setDidUndoHandler(std::function<void()> handler);
    void setDidRedoHandler(std::function<void()> handler);

private:
    friend class Context;
    friend struct ContextPrivate;
    std::unique_ptr<struct UndoManagerPrivate> d;
};

} // namespace qv::store
