#pragma once

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

namespace qv::store::detail {

// A prepared statement that finalizes itself; prepared once and reset between uses.
class SqliteStatement {
public:
    SqliteStatement() = default;
    SqliteStatement(sqlite3* db, const QString& sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool isValid() const { return m_stmt != nullptr; }
    int prepareResult() const { return m_prepareResult; }
    sqlite3_stmt* handle() const { return m_stmt; }

    int step() { return sqlite3_step(m_stmt); }
    // Runs the statement to its end; SQLITE_DONE on success.
    int run();
    void reset(); // harmless on a statement that did not prepare

    void bindInt(int i, qint64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bindDouble(int i, double v) { sqlite3_bind_double(m_stmt, i, v); }
    void bindNull(int i) { sqlite3_bind_null(m_stmt, i); }
    // The bytes must outlive the next step (bound without copying).
    void bindText(int i, const char* data, int len)
    {
        sqlite3_bind_text(m_stmt, i, data, len, SQLITE_STATIC);
    }
    void bindBlob(int i, const char* data, int len)
    {
        sqlite3_bind_blob(m_stmt, i, len ? data : "", len, SQLITE_STATIC);
    }
    void bindText(int i, const QString& text);

    qint64 columnInt(int i) const { return sqlite3_column_int64(m_stmt, i); }
    QString columnText(int i) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_prepareResult = SQLITE_OK;
};

// "name" with embedded quotes doubled: entity and attribute names are used as they are.
QString quoteIdentifier(const QString& name);
// Runs SQL that returns no rows; SQLITE_OK or the error code.
int execute(sqlite3* db, const QString& sql);

} // namespace qv::store::detail
