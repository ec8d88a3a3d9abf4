#include "sync/SyncController.h"

#include "core/document/MyDocument.h"
#include "core/document/StoreFiles.h"
#include "platform/Scheduler.h"
#include "sync/QVRestManager.h"
#include "sync/SyncLogging.h"

namespace qv {

SyncController::SyncController(MyDocument& document, QVRestManager& engine, SyncControllerDelegate* delegate)
    : m_document(document), m_engine(engine), m_delegate(delegate), m_lifetime(std::make_unique<QObject>())
{
}

SyncController::~SyncController() = default;

bool SyncController::uploadToServer()
{
    if (m_syncing)
        return false;
    m_syncing = true;
    // The copy to go back to if the sync takes the store somewhere the user did not want.
    if (m_document.commitChanges())
        m_document.storeFiles().backupCurrentStoreWithTrack(QStringLiteral("sync"), m_document.context());
    if (!m_preparation) {
        runPass();
        return true;
    }
    m_preparation([this](bool ready, const QString& failure) {
        if (ready)
            runPass();
        else
            finish(false, failure);
    });
    return true;
}

void SyncController::runPass()
{
    m_engine.runFullPass([this](bool completed, const QString& failure) { finish(completed, failure); });
}

void SyncController::finish(bool completed, const QString& failure)
{
    // Always after uploadToServer() has returned, so its caller has done its part first.
    m_engine.scheduler().post(m_lifetime.get(), [this, completed, failure] {
        m_syncing = false;
        qCInfo(lcSync, "Whole sync %s", completed ? "completed" : "failed");
        if (!m_delegate)
            return;
        if (completed)
            m_delegate->syncSucceeded();
        else
            m_delegate->syncFailedWithMessage(failure);
    });
}

} // namespace qv
