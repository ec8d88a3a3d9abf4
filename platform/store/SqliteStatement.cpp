#include "platform/store/SqliteStatement.h"

#include <utility>

namespace qv::store::detail {

SqliteStatement::SqliteStatement(sqlite3* db, const QString& sql)
{
    const QByteArray utf8 = sql.toUtf8();
    m_prepareResult = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr);
    if (m_prepareResult != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_stmt(std::exchange(other.m_stmt, nullptr)), m_prepareResult(other.m_prepareResult)
{
}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_prepareResult = other.m_prepareResult;
    }
    return *this;
}

int SqliteStatement::run()
{
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) {
    }
    return rc;
}

void SqliteStatement::reset()
{
    // A statement that failed to prepare has nothing to reset (and SQLite would dereference it).
    if (!m_stmt)
        return;
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

void SqliteStatement::bindText(int i, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(m_stmt, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

QString SqliteStatement::columnText(int i) const
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
    return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, i));
}

QString quoteIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

int execute(sqlite3* db, const QString& sql)
{
    const QByteArray utf8 = sql.toUtf8();
    return sqlite3_exec(db, utf8.constData(), nullptr, nullptr, nullptr);
}

} // namespace qv::store::detail
