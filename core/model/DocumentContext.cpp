#include "core/model/DocumentContext.h"

namespace qv {

namespace {
store::Context* g_documentContext = nullptr;
}

store::Context* DocumentContext::current()
{
    return g_documentContext;
}

DocumentContext::DocumentContext(store::Context* context) : m_previous(g_documentContext)
{
    g_documentContext = context;
}

DocumentContext::~DocumentContext()
{
    g_documentContext = m_previous;
}

} // namespace qv
