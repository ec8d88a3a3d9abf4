#pragma once

#include <QFile>
#include <QString>

#include <sqlite3.h>

namespace qv::test {

// Holds the store file's write lock from another connection while it lives, as another
// program reading the file in a transaction of its own would.
class StoreWriteLock {
public:
    explicit StoreWriteLock(const QString& path)
    {
        sqlite3_open(QFile::encodeName(path).constData(), &m_db);
        m_locked = sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~StoreWriteLock()
    {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(m_db);
    }
    StoreWriteLock(const StoreWriteLock&) = delete;
    StoreWriteLock& operator=(const StoreWriteLock&) = delete;
    bool locked() const { return m_locked; }

private:
    sqlite3* m_db = nullptr;
    bool m_locked = false;
};

} // namespace qv::test
