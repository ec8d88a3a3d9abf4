#pragma once

namespace qv {

namespace store {
class Context;
}

// The object context of the open document. Entity code asks here to tell the document's own
// objects from scratch copies and imports (starring, archived projects, copies that join a
// project or attachments). The document registers its context for as long as it is open.
class DocumentContext {
public:
    // nullptr while no document is open.
    static store::Context* current();

    // Registers context for this object's lifetime; the previous registration comes back after.
    explicit DocumentContext(store::Context* context);
    ~DocumentContext();
    DocumentContext(const DocumentContext&) = delete;
    DocumentContext& operator=(const DocumentContext&) = delete;

private:
    store::Context* m_previous = nullptr;
};

} // namespace qv
