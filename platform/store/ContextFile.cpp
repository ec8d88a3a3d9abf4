// Opening, loading, saving and copying the store file.
#include "platform/store/Context.h"
#include "platform/store/StoreCopy.h"
#include "platform/store/StoreInternals.h"
#include "platform/store/StoreLogging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qv::store {

using namespace detail;

namespace {

const QString kPrimaryKey = QStringLiteral("Z_PK");
const QString kMetadata = QStringLiteral("Z_METADATA");
const QString kUuidKey = QStringLiteral("uuid");
const QString kHighWaterPrefix = QStringLiteral("highWater.");

StoreError::Code codeForResult(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_CORRUPT:
        return StoreError::Code::Corrupt;
    case SQLITE_NOTADB:
        return StoreError::Code::NotAStore;
    case SQLITE_CONSTRAINT:
        return StoreError::Code::Constraint;
    case SQLITE_READONLY:
        return StoreError::Code::ReadOnly;
    default:
        return StoreError::Code::Io;
    }
}

void setError(StoreError* error, StoreError::Code code, const QString& message)
{
    if (error)
        *error = {code, message};
}

QString columnType(AttributeType type)
{
    switch (type) {
    case AttributeType::Integer:
    case AttributeType::Boolean:
        return QStringLiteral("INTEGER");
    case AttributeType::Double:
    case AttributeType::Date:
        return QStringLiteral("REAL");
    case AttributeType::String:
        return QStringLiteral("TEXT");
    case AttributeType::Binary:
        return QStringLiteral("BLOB");
    }
    return {};
}

// The default as an SQL literal, so rows that predate a new column read it.
QString defaultLiteral(AttributeType type, const QVariant& value)
{
    const QVariant v = canonicalValue(type, value);
    if (!v.isValid())
        return {};
    switch (type) {
    case AttributeType::Integer:
        return QString::number(v.toLongLong());
    case AttributeType::Boolean:
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case AttributeType::Double:
        return QString::number(v.toDouble(), 'g', 17);
    case AttributeType::Date:
        return QString::number(double(v.toDateTime().toMSecsSinceEpoch()) / 1000.0, 'f', 3);
    case AttributeType::String: {
        QString s = v.toString();
        s.replace(QLatin1Char('\''), QLatin1String("''"));
        return QLatin1Char('\'') + s + QLatin1Char('\'');
    }
    case AttributeType::Binary:
        return QStringLiteral("X'%1'").arg(QString::fromLatin1(v.toByteArray().toHex()));
    }
    return {};
}

QString columnDefinition(const AttributeDescription& attr)
{
    QString def = quoteIdentifier(attr.name) + QLatin1Char(' ') + columnType(attr.type);
    const QString literal = defaultLiteral(attr.type, attr.defaultValue);
    if (!literal.isEmpty())
        def += QStringLiteral(" DEFAULT ") + literal;
    return def;
}

void addCanonical(BlobBuilder& builder, int attr, AttributeType type, const QVariant& v)
{
    switch (type) {
    case AttributeType::Integer:
        builder.addInt(attr, v.toLongLong());
        break;
    case AttributeType::Boolean:
        builder.addInt(attr, v.toBool() ? 1 : 0);
        break;
    case AttributeType::Date:
        builder.addInt(attr, v.toDateTime().toMSecsSinceEpoch());
        break;
    case AttributeType::Double:
        builder.addDouble(attr, v.toDouble());
        break;
    case AttributeType::String: {
        const QByteArray utf8 = v.toString().toUtf8();
        builder.addText(attr, utf8.constData(), int(utf8.size()));
        break;
    }
    case AttributeType::Binary: {
        const QByteArray bytes = v.toByteArray();
        builder.addText(attr, bytes.constData(), int(bytes.size()));
        break;
    }
    }
}

// Reads a cell as the attribute's type. Asking SQLite each cell's type first would double the
// calls per cell: only a zero or a missing pointer can stand for NULL, so only those ask.
void addCell(BlobBuilder& builder, sqlite3_stmt* stmt, int column, int attr, AttributeType type)
{
    const auto isNull = [&] {
        return sqlite3_column_type(stmt, column) == SQLITE_NULL;
    };
    switch (type) {
    case AttributeType::Integer:
    case AttributeType::Boolean: {
        const qint64 v = sqlite3_column_int64(stmt, column);
        if (v == 0 && isNull())
            return;
        builder.addInt(attr, type == AttributeType::Boolean ? (v != 0 ? 1 : 0) : v);
        return;
    }
    case AttributeType::Double:
    case AttributeType::Date: {
        const double v = sqlite3_column_double(stmt, column);
        if (v == 0.0 && isNull())
            return;
        if (type == AttributeType::Date)
            builder.addInt(attr, std::llround(v * 1000.0));
        else
            builder.addDouble(attr, v);
        return;
    }
    case AttributeType::String: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        if (text)
            builder.addText(attr, text, sqlite3_column_bytes(stmt, column));
        return;
    }
    case AttributeType::Binary: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, column));
        if (!bytes && isNull())
            return;
        builder.addText(attr, bytes, sqlite3_column_bytes(stmt, column));
        return;
    }
    }
}

// Runs a one-row query and hands back its first column as text; rc receives the result code.
QString queryText(sqlite3* db, const QString& sql, int* rc)
{
    SqliteStatement stmt(db, sql);
    if (!stmt.isValid()) {
        *rc = stmt.prepareResult();
        return {};
    }
    *rc = stmt.step();
    if (*rc == SQLITE_ROW) {
        *rc = SQLITE_OK;
        return stmt.columnText(0);
    }
    if (*rc == SQLITE_DONE)
        *rc = SQLITE_OK;
    return {};
}

// The declared type and primary-key position of each column of a table.
QHash<QString, std::pair<QString, int>> tableColumns(sqlite3* db, const QString& table)
{
    QHash<QString, std::pair<QString, int>> result;
    SqliteStatement info(db, QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdentifier(table)));
    while (info.step() == SQLITE_ROW)
        result.insert(info.columnText(1), {info.columnText(2).toUpper(), int(info.columnInt(5))});
    return result;
}

// What keeps a file's tables from being ours, in words; empty when they are. Tables and
// columns that are missing are fine (an older file: they are added), a different shape is not:
// statements written for our shape would fail at the first save, or read the wrong rows.
QString schemaMismatch(sqlite3* db, const Schema& schema, const QHash<QString, QSet<QString>>& columns)
{
    const auto lacks = [&](const QString& table, const QStringList& names) -> QString {
        for (const QString& name : names) {
            if (!columns.value(table).contains(name))
                return QStringLiteral("the table %1 has no column %2").arg(table, name);
        }
        return {};
    };
    std::vector<std::pair<QString, QStringList>> keyed{
        {kMetadata, {QStringLiteral("Z_KEY"), QStringLiteral("Z_VALUE")}}};
    for (const LinkInfo& link : schema.links)
        keyed.push_back({link.table, {QStringLiteral("Z_SOURCE"), QStringLiteral("Z_DESTINATION")}});
    for (const auto& [table, names] : keyed) {
        if (!columns.contains(table))
            continue;
        if (QString fault = lacks(table, names); !fault.isEmpty())
            return fault;
    }
    for (const EntityInfo& e : schema.entities) {
        if (!columns.contains(e.name))
            continue;
        const auto types = tableColumns(db, e.name);
        // Only an integer primary key is the row's own number: unique, never null.
        const auto key = types.constFind(kPrimaryKey);
        if (key == types.constEnd() || key->first != QLatin1String("INTEGER") || key->second != 1)
            return QStringLiteral("the table %1 has no integer primary key %2").arg(e.name, kPrimaryKey);
        for (auto it = types.constBegin(); it != types.constEnd(); ++it) {
            if (it.key() != kPrimaryKey && it->second != 0)
                return QStringLiteral("the table %1 has a primary key of several columns").arg(e.name);
        }
        for (int a : e.columnAttributes) {
            const AttributeDescription& attr = e.desc->attributes()[size_t(a)];
            const auto column = types.constFind(attr.name);
            if (column != types.constEnd() && column->first != columnType(attr.type))
                return QStringLiteral("the column %1 of the table %2 has the type %3")
                    .arg(attr.name, e.name, column->first);
        }
    }
    return {};
}

// The entity whose next object number would overflow; empty when none.
QString exhaustedEntity(const Schema& schema, const std::vector<EntityStore>& stores)
{
    for (size_t e = 0; e < stores.size(); ++e) {
        if (stores[e].highWater == std::numeric_limits<qint64>::max())
            return schema.entities[e].name;
    }
    return {};
}

// The files SQLite may make beside a store. A refused store must be left as it was found:
// whatever an open that fails has created is removed again once the connection is closed.
class LeaveAsFound {
public:
    explicit LeaveAsFound(const QString& path)
    {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
            const QString file = path + QLatin1String(suffix);
            if (!QFileInfo::exists(file))
                m_absent << file;
        }
    }
    ~LeaveAsFound()
    {
        if (m_kept)
            return;
        for (const QString& file : m_absent)
            QFile::remove(file);
    }
    LeaveAsFound(const LeaveAsFound&) = delete;
    LeaveAsFound& operator=(const LeaveAsFound&) = delete;
    void keep() { m_kept = true; }

private:
    QStringList m_absent;
    bool m_kept = false;
};

quint32 bigEndian32(const QByteArray& bytes, int at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData()) + at;
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

StoreError newerSchemaError(const QString& path, qint64 fileVersion, int readable)
{
    return {StoreError::Code::NewerSchema,
            QStringLiteral("%1 was written by a newer version of the application (schema %2; this version "
                           "reads up to %3)")
                .arg(path)
                .arg(fileVersion)
                .arg(readable)};
}

// Reads the file's first 100 bytes before SQLite opens it: SQLite makes its side files (and
// may recover a log into them) before it notices a foreign, truncated or newer file.
bool inspectHeader(const QString& path, qint64 size, int readableVersion, StoreError* error)
{
    if (size == 0)
        return true; // an empty file is a new store
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, StoreError::Code::Io, QStringLiteral("%1 cannot be read").arg(path));
        return false;
    }
    const QByteArray header = file.read(100);
    if (!header.startsWith(QByteArray("SQLite format 3\0", 16))) {
        setError(error, StoreError::Code::NotAStore, QStringLiteral("%1 is not a store file").arg(path));
        return false;
    }
    if (header.size() < 100) {
        setError(error, StoreError::Code::Corrupt, QStringLiteral("%1 is damaged (truncated)").arg(path));
        return false;
    }
    // A write-ahead log beside the file may hold a newer first page: SQLite decides then.
    if (QFileInfo(path + QStringLiteral("-wal")).size() > 0)
        return true;
    const quint32 rawPageSize = (quint32(quint8(header[16])) << 8) | quint32(quint8(header[17]));
    const quint32 pageSize = rawPageSize == 1 ? 65536 : rawPageSize;
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0) {
        setError(error, StoreError::Code::Corrupt, QStringLiteral("%1 is damaged (page size)").arg(path));
        return false;
    }
    // The page count is valid only while the change counter matches its copy.
    const quint32 pages = bigEndian32(header, 28);
    if (pages > 0 && bigEndian32(header, 24) == bigEndian32(header, 92) &&
        qint64(pages) * qint64(pageSize) > size) {
        setError(error, StoreError::Code::Corrupt, QStringLiteral("%1 is damaged (truncated)").arg(path));
        return false;
    }
    const qint32 fileVersion = qint32(bigEndian32(header, 60));
    if (fileVersion > readableVersion) {
        if (error)
            *error = newerSchemaError(path, fileVersion, readableVersion);
        return false;
    }
    return true;
}

// A store that could be read but not saved to would lose every change made in it.
bool checkWritable(const QString& path, bool exists, StoreError* error)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::access(folder.constData(), W_OK | X_OK) != 0) {
        setError(error, StoreError::Code::ReadOnly,
                 QStringLiteral("The folder of %1 cannot be written").arg(path));
        return false;
    }
    if (exists && ::access(QFile::encodeName(path).constData(), W_OK) != 0) {
        setError(error, StoreError::Code::ReadOnly, QStringLiteral("%1 cannot be written").arg(path));
        return false;
    }
    return true;
}

// SQLite creates files readable by everyone and gives its side files the mode of the main
// file: made empty here first, a store and everything beside it is the user's alone.
bool createPrivateFile(const QString& path, StoreError* error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        setError(error, errno == EACCES || errno == EROFS ? StoreError::Code::ReadOnly : StoreError::Code::Io,
                 QStringLiteral("%1 cannot be created: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    ::fchmod(fd, 0600); // the umask may have taken bits away, never added any
    ::close(fd);
    return true;
}

} // namespace

StoreError ContextPrivate::sqlError(const QString& what) const
{
    const int rc = sqlite3_extended_errcode(db);
    StoreError error;
    error.code = codeForResult(rc);
    error.message = QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(db)));
    return error;
}

std::unique_ptr<Context> Context::open(const QString& path, const Model& model, Scheduler& scheduler,
                                       StoreError* error, IntegrityCheck check, Loading loading)
{
    const QFileInfo fileInfo(path);
    const QString absolute = fileInfo.absoluteFilePath();
    const bool exists = fileInfo.exists();
    if (exists && !fileInfo.isFile()) {
        setError(error, StoreError::Code::Io, QStringLiteral("%1 is not a file").arg(absolute));
        return nullptr;
    }
    if (!exists && !fileInfo.absoluteDir().exists()) {
        setError(error, StoreError::Code::NotFound,
                 QStringLiteral("The folder of %1 does not exist").arg(absolute));
        return nullptr;
    }
    // Look before SQLite touches anything: a file that is not ours is never written to.
    if (exists && !inspectHeader(absolute, fileInfo.size(), model.version(), error))
        return nullptr;
    if (!checkWritable(absolute, exists, error))
        return nullptr;
    LeaveAsFound leaveAsFound(absolute);
    if (!exists && !createPrivateFile(absolute, error)) {
        leaveAsFound.keep(); // nothing was made; what stands there now is not ours
        return nullptr;
    }

    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(QFile::encodeName(absolute).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        setError(
            error, StoreError::Code::Io,
            QStringLiteral("%1 cannot be opened: %2").arg(absolute, QString::fromUtf8(sqlite3_errmsg(db))));
        sqlite3_close_v2(db);
        return nullptr;
    }
    std::unique_ptr<Context> context(new Context(model, scheduler));
    ContextPrivate* d = context->d.get();
    d->db = db;
    d->path = absolute;
    d->onDemand = loading == Loading::OnDemand;
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, d->busyTimeoutMs);
    // Until the file has proved to be ours, closing must not fold a write-ahead log into it.
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    if (sqlite3_db_readonly(db, "main") == 1) {
        setError(error, StoreError::Code::ReadOnly, QStringLiteral("%1 cannot be written").arg(absolute));
        return nullptr;
    }

    auto fail = [&](const QString& what) {
        StoreError e = d->sqlError(what.arg(absolute));
        if (e.code == StoreError::Code::Io && (rc & 0xff) == SQLITE_CORRUPT)
            e.code = StoreError::Code::Corrupt;
        if (error)
            *error = e;
        return nullptr;
    };

    const QString versionText = queryText(db, QStringLiteral("PRAGMA user_version"), &rc);
    if (rc != SQLITE_OK)
        return fail(QStringLiteral("%1 cannot be read as a store"));
    const int fileVersion = versionText.toInt();
    if (fileVersion > model.version()) {
        if (error)
            *error = newerSchemaError(absolute, fileVersion, model.version());
        return nullptr;
    }
    if (check == IntegrityCheck::Run) {
        const QString verdict = queryText(db, QStringLiteral("PRAGMA quick_check(1)"), &rc);
        if (rc != SQLITE_OK)
            return fail(QStringLiteral("%1 cannot be checked"));
        if (verdict != QLatin1String("ok")) {
            setError(error, StoreError::Code::Corrupt,
                     QStringLiteral("%1 is damaged: %2").arg(absolute, verdict));
            return nullptr;
        }
    }

    QHash<QString, QSet<QString>> columns; // existing tables and their columns
    {
        SqliteStatement tables(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
        while ((rc = tables.step()) == SQLITE_ROW)
            columns.insert(tables.columnText(0), {});
        if (rc != SQLITE_DONE)
            return fail(QStringLiteral("%1 cannot be read"));
    }
    const bool fresh = columns.isEmpty();
    if (!fresh && !columns.contains(kMetadata)) {
        setError(error, StoreError::Code::NotAStore, QStringLiteral("%1 is not a store file").arg(absolute));
        return nullptr;
    }
    for (auto it = columns.begin(); it != columns.end(); ++it) {
        SqliteStatement info(db, QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdentifier(it.key())));
        while ((rc = info.step()) == SQLITE_ROW)
            it.value().insert(info.columnText(1));
        if (rc != SQLITE_DONE)
            return fail(QStringLiteral("%1 cannot be read"));
    }

    if (const QString mismatch = schemaMismatch(db, d->schema, columns); !mismatch.isEmpty()) {
        setError(error, StoreError::Code::Corrupt,
                 QStringLiteral("%1 is damaged: %2").arg(absolute, mismatch));
        return nullptr;
    }

    if (!fresh) {
        SqliteStatement meta(db, QStringLiteral("SELECT \"Z_KEY\", \"Z_VALUE\" FROM \"Z_METADATA\""));
        while ((rc = meta.step()) == SQLITE_ROW) {
            const QString key = meta.columnText(0);
            if (key == kUuidKey) {
                d->uuid = meta.columnText(1);
            } else if (key.startsWith(kHighWaterPrefix)) {
                const int e = d->schema.entityByName.value(key.mid(kHighWaterPrefix.size()), -1);
                if (e >= 0) {
                    d->stores[size_t(e)].highWater = meta.columnInt(1);
                    d->stores[size_t(e)].savedHighWater = meta.columnInt(1);
                }
            }
        }
        if (rc != SQLITE_DONE)
            return fail(QStringLiteral("%1 cannot be read"));
        if (d->onDemand) {
            // Objects are numbered past every row of the file, as loading them all would.
            for (size_t e = 0; e < d->stores.size(); ++e) {
                if (!columns.contains(d->schema.entities[e].name))
                    continue;
                const qint64 maxKey = queryText(db,
                                                QStringLiteral("SELECT max(\"Z_PK\") FROM %1")
                                                    .arg(quoteIdentifier(d->schema.entities[e].name)),
                                                &rc)
                                          .toLongLong();
                if (rc != SQLITE_OK)
                    return fail(QStringLiteral("%1 cannot be read"));
                d->stores[e].highWater = qMax(d->stores[e].highWater, maxKey);
            }
        } else if (!d->loadAll(columns, error)) {
            return nullptr;
        }
        if (const QString entity = exhaustedEntity(d->schema, d->stores); !entity.isEmpty()) {
            setError(error, StoreError::Code::Corrupt,
                     QStringLiteral("%1 is damaged: the numbers of %2 have run out").arg(absolute, entity));
            return nullptr;
        }
    }
    if (!d->prepareSchema(columns, fresh, fileVersion, error))
        return nullptr;
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    leaveAsFound.keep();
    return context;
}

ManagedObject* ContextPrivate::objectFromFile(int entity, qint64 id, const BlobBuilder& values)
{
    ManagedObject* o = createObject(entity, id);
    ObjectState& s = st(o);
    s.inFile = true;
    s.values.adopt(values.finish());
    updateColumns(o, -1);
    indexAdd(o);
    EntityStore& store = stores[size_t(entity)];
    ++store.liveCount;
    store.highWater = qMax(store.highWater, id);
    return o;
}

bool ContextPrivate::loadAll(const QHash<QString, QSet<QString>>& columns, StoreError* error)
{
    struct Pending {
        ManagedObject* object;
        int relation;
        qint64 key;
    };
    struct Column {
        int attr;
        AttributeType type;
        int column; // -1: not in the file yet, the default applies
        QVariant defaultValue;
    };
    auto failed = [&](const QString& what) {
        StoreError e = sqlError(what.arg(path));
        if (error)
            *error = e;
        loading = false;
        return false;
    };

    loading = true;
    // Each page is read once, in file order, and never wanted again: the cache it would fill
    // (2 MB by default) is memory the process touches and then keeps.
    int cacheRc = SQLITE_OK;
    const QString cacheSize = queryText(db, QStringLiteral("PRAGMA cache_size"), &cacheRc);
    if (cacheRc == SQLITE_OK)
        execute(db, QStringLiteral("PRAGMA cache_size=-64"));
    const auto restoreCache = qScopeGuard([&] {
        if (cacheRc == SQLITE_OK)
            execute(db, QStringLiteral("PRAGMA cache_size=%1").arg(cacheSize.toLongLong()));
    });
    std::vector<Pending> pending;
    BlobBuilder builder;
    for (size_t ei = 0; ei < schema.entities.size(); ++ei) {
        const EntityInfo& e = schema.entities[ei];
        const auto table = columns.constFind(e.name);
        if (table == columns.constEnd())
            continue;
        QStringList select{quoteIdentifier(kPrimaryKey)};
        std::vector<Column> attrs;
        for (int a : e.columnAttributes) {
            const AttributeDescription& desc = e.desc->attributes()[size_t(a)];
            if (table->contains(desc.name)) {
                attrs.push_back({a, desc.type, int(select.size()), {}});
                select.push_back(quoteIdentifier(desc.name));
            } else {
                const QVariant def = canonicalValue(desc.type, desc.defaultValue);
                if (def.isValid())
                    attrs.push_back({a, desc.type, -1, def});
            }
        }
        std::vector<std::pair<int, int>> relationColumns; // relation, column
        for (int r : e.columnRelations) {
            const RelationInfo& ri = e.relations[size_t(r)];
            if (ri.loadsFromColumn && ri.destEntity >= 0 && table->contains(ri.desc->name)) {
                relationColumns.emplace_back(r, int(select.size()));
                select.push_back(quoteIdentifier(ri.desc->name));
            }
        }
        EntityStore& store = stores[ei];
        {
            int rc = SQLITE_OK;
            const qint64 maxKey =
                queryText(db, QStringLiteral("SELECT max(\"Z_PK\") FROM %1").arg(quoteIdentifier(e.name)),
                          &rc)
                    .toLongLong();
            if (rc != SQLITE_OK)
                return failed(QStringLiteral("%1 cannot be read"));
            const size_t expected = size_t(qBound<qint64>(0, maxKey, qint64(1) << 20));
            store.objects.reserve(expected);
            pending.reserve(pending.size() + expected * relationColumns.size());
        }
        SqliteStatement rows(db, QStringLiteral("SELECT %1 FROM %2 ORDER BY \"Z_PK\"")
                                     .arg(select.join(QLatin1Char(',')), quoteIdentifier(e.name)));
        if (!rows.isValid())
            return failed(QStringLiteral("%1 cannot be read"));
        sqlite3_stmt* stmt = rows.handle();
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            const qint64 id = sqlite3_column_int64(stmt, 0);
            builder.clear();
            for (const Column& c : attrs) {
                if (c.column < 0) {
                    addCanonical(builder, c.attr, c.type, c.defaultValue);
                    continue;
                }
                addCell(builder, stmt, c.column, c.attr, c.type);
            }
            ManagedObject* o = objectFromFile(int(ei), id, builder);
            for (const auto& [relation, column] : relationColumns) {
                if (sqlite3_column_type(stmt, column) != SQLITE_NULL)
                    pending.push_back({o, relation, sqlite3_column_int64(stmt, column)});
            }
        }
        if (rc != SQLITE_DONE)
            return failed(QStringLiteral("%1 cannot be read"));
    }

    for (const Pending& p : pending) {
        const RelationInfo& ri = info(p.object).relations[size_t(p.relation)];
        ManagedObject* destination = objectWithID(ri.destEntity, p.key);
        if (!destination)
            continue; // a dangling key reads as no relation
        st(p.object).relations[p.relation] = destination;
        if (ri.inverse >= 0) {
            if (ri.inverseToMany)
                toManyMutable(destination, ri.inverse).push_back(p.object);
            else
                st(destination).relations[ri.inverse] = p.object;
        }
    }
    for (const LinkInfo& link : schema.links) {
        if (!columns.contains(link.table))
            continue;
        SqliteStatement rows(db,
                             QStringLiteral("SELECT \"Z_SOURCE\", \"Z_DESTINATION\" FROM %1 ORDER BY rowid")
                                 .arg(quoteIdentifier(link.table)));
        // A pair written twice is one link, and is saved back as one.
        QSet<std::pair<qint64, qint64>> seen;
        int rc;
        while ((rc = rows.step()) == SQLITE_ROW) {
            const std::pair<qint64, qint64> pair{rows.columnInt(0), rows.columnInt(1)};
            ManagedObject* source = objectWithID(link.sourceEntity, pair.first);
            ManagedObject* destination = objectWithID(link.destEntity, pair.second);
            if (!source || !destination || seen.contains(pair))
                continue;
            seen.insert(pair);
            toManyMutable(source, link.sourceRelation).push_back(destination);
            if (link.destRelation >= 0)
                toManyMutable(destination, link.destRelation).push_back(source);
        }
        if (rc != SQLITE_DONE)
            return failed(QStringLiteral("%1 cannot be read"));
    }
    loading = false;
    // Objects made or changed here are real changes; transient caches filled here are not.
    awaking = true;
    for (size_t e = 0; e < stores.size(); ++e) {
        const size_t loaded = stores[e].objects.size();
        for (size_t i = 0; i < loaded; ++i) {
            ManagedObject* o = stores[e].objects[i].get();
            if (st(o).inFile)
                o->awakeFromFetch();
        }
    }
    awaking = false;
    return true;
}

bool ContextPrivate::prepareSchema(const QHash<QString, QSet<QString>>& columns, bool fresh, int fileVersion,
                                   StoreError* error)
{
    QStringList statements;
    if (!columns.contains(kMetadata)) {
        statements << QStringLiteral("CREATE TABLE \"Z_METADATA\" (\"Z_KEY\" TEXT PRIMARY KEY, \"Z_VALUE\")");
    }
    bool hasUuid = false;
    if (!fresh) {
        int rc = SQLITE_OK;
        hasUuid =
            !queryText(db, QStringLiteral("SELECT \"Z_VALUE\" FROM \"Z_METADATA\" WHERE \"Z_KEY\" = 'uuid'"),
                       &rc)
                 .isEmpty();
    }
    if (!hasUuid) {
        statements << QStringLiteral("INSERT OR REPLACE INTO \"Z_METADATA\" VALUES ('uuid', '%1')").arg(uuid);
    }
    for (const EntityInfo& e : schema.entities) {
        const auto table = columns.constFind(e.name);
        if (table == columns.constEnd()) {
            QStringList defs{quoteIdentifier(kPrimaryKey) + QStringLiteral(" INTEGER PRIMARY KEY")};
            for (int a : e.columnAttributes)
                defs << columnDefinition(e.desc->attributes()[size_t(a)]);
            for (int r : e.columnRelations)
                defs << quoteIdentifier(e.relations[size_t(r)].desc->name) + QStringLiteral(" INTEGER");
            statements
                << QStringLiteral("CREATE TABLE %1 (%2)").arg(quoteIdentifier(e.name), defs.join(", "));
            continue;
        }
        for (int a : e.columnAttributes) {
            const AttributeDescription& attr = e.desc->attributes()[size_t(a)];
            if (!table->contains(attr.name))
                statements << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                                  .arg(quoteIdentifier(e.name), columnDefinition(attr));
        }
        for (int r : e.columnRelations) {
            const QString& name = e.relations[size_t(r)].desc->name;
            if (!table->contains(name))
                statements << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 INTEGER")
                                  .arg(quoteIdentifier(e.name), quoteIdentifier(name));
        }
    }
    for (const LinkInfo& link : schema.links) {
        if (columns.contains(link.table))
            continue;
        const QString table = quoteIdentifier(link.table);
        statements << QStringLiteral(
                          "CREATE TABLE %1 (\"Z_SOURCE\" INTEGER NOT NULL, \"Z_DESTINATION\" INTEGER NOT "
                          "NULL)")
                          .arg(table);
        statements << QStringLiteral("CREATE INDEX %1 ON %2 (\"Z_SOURCE\", \"Z_DESTINATION\")")
                          .arg(quoteIdentifier(link.table + QStringLiteral("_SOURCE")), table);
        statements << QStringLiteral("CREATE INDEX %1 ON %2 (\"Z_DESTINATION\")")
                          .arg(quoteIdentifier(link.table + QStringLiteral("_DESTINATION")), table);
    }
    if (onDemand) {
        // Objects are read by the values lookups ask for, and by the columns that relate them.
        QSet<QString> indexes;
        if (!fresh) {
            SqliteStatement names(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index'"));
            while (names.step() == SQLITE_ROW)
                indexes.insert(names.columnText(0));
        }
        for (const EntityInfo& e : schema.entities) {
            QStringList keyed;
            for (int a : e.indexedAttributes)
                keyed << e.desc->attributes()[size_t(a)].name;
            for (int r : e.columnRelations) {
                if (e.relations[size_t(r)].loadsFromColumn && e.relations[size_t(r)].inverse >= 0)
                    keyed << e.relations[size_t(r)].desc->name;
            }
            for (const QString& column : keyed) {
                const QString name = QStringLiteral("Z_%1_%2_KEY").arg(e.name, column);
                if (!indexes.contains(name))
                    statements << QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                                      .arg(quoteIdentifier(name), quoteIdentifier(e.name),
                                           quoteIdentifier(column));
            }
        }
    }
    if (fileVersion != model.version())
        statements << QStringLiteral("PRAGMA user_version = %1").arg(model.version());

    if (!statements.isEmpty()) {
        if (execute(db, QStringLiteral("BEGIN IMMEDIATE")) != SQLITE_OK) {
            if (error)
                *error = sqlError(QStringLiteral("%1 cannot be prepared").arg(path));
            return false;
        }
        for (const QString& sql : statements) {
            if (execute(db, sql) != SQLITE_OK) {
                if (error)
                    *error = sqlError(QStringLiteral("%1 cannot be prepared").arg(path));
                if (!sqlite3_get_autocommit(db))
                    execute(db, QStringLiteral("ROLLBACK"));
                return false;
            }
        }
        if (execute(db, QStringLiteral("COMMIT")) != SQLITE_OK) {
            if (error)
                *error = sqlError(QStringLiteral("%1 cannot be prepared").arg(path));
            if (!sqlite3_get_autocommit(db))
                execute(db, QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    int rc = SQLITE_OK;
    if (queryText(db, QStringLiteral("PRAGMA journal_mode"), &rc)
            .compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        // Without shared memory (some network file systems) the store keeps a rollback journal.
        queryText(db, QStringLiteral("PRAGMA journal_mode=WAL"), &rc);
    }
    execute(db, QStringLiteral("PRAGMA synchronous=FULL"));
    return true;
}

int ContextPrivate::bindRow(SqliteStatement& stmt, const ManagedObject* o, int param)
{
    const ObjectState& s = st(o);
    const EntityInfo& e = info(o);
    for (int a : e.columnAttributes) {
        const Slot* slot = s.values.find(a);
        if (!slot) {
            stmt.bindNull(param++);
            continue;
        }
        switch (e.desc->attributes()[size_t(a)].type) {
        case AttributeType::Integer:
        case AttributeType::Boolean:
            stmt.bindInt(param++, slot->payload);
            break;
        case AttributeType::Double: {
            double v;
            std::memcpy(&v, &slot->payload, sizeof v);
            stmt.bindDouble(param++, v);
            break;
        }
        case AttributeType::Date:
            stmt.bindDouble(param++, double(slot->payload) / 1000.0);
            break;
        case AttributeType::String:
            stmt.bindText(param++, slot->len ? s.values.bytes(*slot) : "", int(slot->len));
            break;
        case AttributeType::Binary:
            stmt.bindBlob(param++, slot->len ? s.values.bytes(*slot) : "", int(slot->len));
            break;
        }
    }
    for (int r : e.columnRelations) {
        ManagedObject* destination = toOneOf(o, r);
        if (destination && st(destination).live)
            stmt.bindInt(param++, destination->m_objectID);
        else
            stmt.bindNull(param++);
    }
    return param;
}

bool ContextPrivate::writeChanges(StoreError* error)
{
    SqliteStatement* failing = nullptr;
    auto failed = [&](const QString& what) {
        if (error)
            *error = sqlError(what);
        if (failing)
            failing->reset();
        if (!sqlite3_get_autocommit(db))
            execute(db, QStringLiteral("ROLLBACK"));
        return false;
    };
    auto prepared = [&](SqliteStatement& stmt, const QString& sql) {
        if (!stmt.isValid())
            stmt = SqliteStatement(db, sql);
        if (!stmt.isValid())
            return false; // the reason is the connection's last error
        stmt.reset();
        failing = &stmt;
        return true;
    };
    auto done = [&](SqliteStatement& stmt) {
        const int rc = stmt.step();
        stmt.reset();
        return rc == SQLITE_DONE;
    };

    if (execute(db, QStringLiteral("BEGIN IMMEDIATE")) != SQLITE_OK)
        return failed(QStringLiteral("The store could not start saving"));

    for (ManagedObject* o : saveSet) {
        const ObjectState& s = st(o);
        const EntityInfo& e = info(o);
        EntityStore& store = stores[size_t(s.entity)];
        const QString table = quoteIdentifier(e.name);
        if (s.live && !s.inFile) {
            QStringList names{quoteIdentifier(kPrimaryKey)};
            for (int a : e.columnAttributes)
                names << quoteIdentifier(e.desc->attributes()[size_t(a)].name);
            for (int r : e.columnRelations)
                names << quoteIdentifier(e.relations[size_t(r)].desc->name);
            QStringList marks;
            for (int i = 0; i < names.size(); ++i)
                marks << QStringLiteral("?");
            if (!prepared(store.insertRow, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                               .arg(table, names.join(","), marks.join(","))))
                return failed(QStringLiteral("The store could not save %1").arg(e.name));
            store.insertRow.bindInt(1, o->m_objectID);
            bindRow(store.insertRow, o, 2);
            if (!done(store.insertRow))
                return failed(QStringLiteral("The store could not save %1").arg(e.name));
        } else if (!s.live && s.inFile) {
            if (!prepared(store.deleteRow, QStringLiteral("DELETE FROM %1 WHERE \"Z_PK\" = ?").arg(table)))
                return failed(QStringLiteral("The store could not save %1").arg(e.name));
            store.deleteRow.bindInt(1, o->m_objectID);
            if (!done(store.deleteRow))
                return failed(QStringLiteral("The store could not save %1").arg(e.name));
            for (int l : e.linksInvolved) {
                const LinkInfo& link = schema.links[size_t(l)];
                LinkStatements& ls = linkStatements[size_t(l)];
                const QString linkTable = quoteIdentifier(link.table);
                if (link.sourceEntity == s.entity) {
                    if (!prepared(ls.removeSource,
                                  QStringLiteral("DELETE FROM %1 WHERE \"Z_SOURCE\" = ?").arg(linkTable)))
                        return failed(QStringLiteral("The store could not save %1").arg(e.name));
                    ls.removeSource.bindInt(1, o->m_objectID);
                    if (!done(ls.removeSource))
                        return failed(QStringLiteral("The store could not save %1").arg(e.name));
                }
                if (link.destEntity == s.entity) {
                    if (!prepared(
                            ls.removeDestination,
                            QStringLiteral("DELETE FROM %1 WHERE \"Z_DESTINATION\" = ?").arg(linkTable)))
                        return failed(QStringLiteral("The store could not save %1").arg(e.name));
                    ls.removeDestination.bindInt(1, o->m_objectID);
                    if (!done(ls.removeDestination))
                        return failed(QStringLiteral("The store could not save %1").arg(e.name));
                }
            }
        } else if (s.live && s.inFile && changedSinceSave(o, true)) {
            QStringList sets;
            for (int a : e.columnAttributes)
                sets << quoteIdentifier(e.desc->attributes()[size_t(a)].name) + QStringLiteral(" = ?");
            for (int r : e.columnRelations)
                sets << quoteIdentifier(e.relations[size_t(r)].desc->name) + QStringLiteral(" = ?");
            if (!prepared(store.updateRow,
                          QStringLiteral("UPDATE %1 SET %2 WHERE \"Z_PK\" = ?").arg(table, sets.join(","))))
                return failed(QStringLiteral("The store could not save %1").arg(e.name));
            const int last = bindRow(store.updateRow, o, 1);
            store.updateRow.bindInt(last, o->m_objectID);
            if (!done(store.updateRow))
                return failed(QStringLiteral("The store could not save %1").arg(e.name));
        }
    }

    for (const LinkChange& change : linkChanges) {
        if (change.cancelled)
            continue;
        const LinkInfo& link = schema.links[size_t(change.link)];
        LinkStatements& ls = linkStatements[size_t(change.link)];
        const QString table = quoteIdentifier(link.table);
        SqliteStatement& stmt = change.add ? ls.insert : ls.remove;
        const QString sql =
            change.add
                ? QStringLiteral("INSERT INTO %1 (\"Z_SOURCE\", \"Z_DESTINATION\") VALUES (?, ?)").arg(table)
                : QStringLiteral("DELETE FROM %1 WHERE \"Z_SOURCE\" = ? AND \"Z_DESTINATION\" = ?")
                      .arg(table);
        if (!prepared(stmt, sql))
            return failed(QStringLiteral("The store could not save %1").arg(link.table));
        stmt.bindInt(1, change.source);
        stmt.bindInt(2, change.destination);
        if (!done(stmt))
            return failed(QStringLiteral("The store could not save %1").arg(link.table));
    }

    for (size_t e = 0; e < stores.size(); ++e) {
        if (stores[e].highWater <= stores[e].savedHighWater)
            continue;
        if (!prepared(metadataWrite,
                      QStringLiteral(
                          "INSERT OR REPLACE INTO \"Z_METADATA\" (\"Z_KEY\", \"Z_VALUE\") VALUES (?, ?)")))
            return failed(QStringLiteral("The store could not save its counters"));
        metadataWrite.bindText(1, kHighWaterPrefix + schema.entities[e].name);
        metadataWrite.bindInt(2, stores[e].highWater);
        if (!done(metadataWrite))
            return failed(QStringLiteral("The store could not save its counters"));
    }

    failing = nullptr;
    if (execute(db, QStringLiteral("COMMIT")) != SQLITE_OK)
        return failed(QStringLiteral("The store could not finish saving"));
    return true;
}

bool Context::save(StoreError* error)
{
    d->processPendingChanges();
    if (!d->db) {
        setError(error, StoreError::Code::Io, QStringLiteral("This context has no file to save to"));
        return false;
    }
    const bool changes = hasChanges();
    if (changes && !d->writeChanges(error))
        return false; // everything unsaved stays as it is, for the next attempt
    for (ManagedObject* o : d->saveSet) {
        auto& s = ContextPrivate::st(o);
        s.inFile = s.live;
        s.inSaveSet = false;
        if (s.tracking)
            s.tracking->sinceSave.clear();
        d->releaseTracking(o);
    }
    d->saveSet.clear();
    d->linkChanges.clear();
    d->pendingLink.clear();
    if (changes) {
        for (auto& store : d->stores)
            store.savedHighWater = store.highWater;
    }
    if (error)
        *error = {};
    return true;
}

// ---------------------------------------------------------------------------------------------
// Reading on demand

std::vector<qint64> ContextPrivate::keysWhere(const QString& table, const QString& column, AttributeType type,
                                              const QVariant& value)
{
    std::vector<qint64> keys;
    const QString queryKey = table + QLatin1Char('\n') + column;
    auto it = keyQueries.find(queryKey);
    if (it == keyQueries.end()) {
        // Link tables have no key of their own: they answer with the other side's.
        const bool link = std::any_of(schema.links.begin(), schema.links.end(),
                                      [&](const LinkInfo& l) { return l.table == table; });
        const QString answer = !link                                 ? kPrimaryKey
                               : column == QLatin1String("Z_SOURCE") ? QStringLiteral("Z_DESTINATION")
                                                                     : QStringLiteral("Z_SOURCE");
        it = keyQueries
                 .emplace(queryKey,
                          SqliteStatement(db, QStringLiteral("SELECT %1 FROM %2 WHERE %3 IS ?")
                                                  .arg(quoteIdentifier(answer), quoteIdentifier(table),
                                                       quoteIdentifier(column))))
                 .first;
    }
    SqliteStatement& stmt = it->second;
    if (!stmt.isValid()) {
        qCWarning(lcStore, "%s cannot be read on demand: %s", qPrintable(table), sqlite3_errmsg(db));
        return keys;
    }
    stmt.reset();
    const QVariant canonical = canonicalValue(type, value);
    QByteArray bytes; // bound without copying: kept until the statement is reset
    if (!canonical.isValid()) {
        stmt.bindNull(1);
    } else {
        switch (type) {
        case AttributeType::Integer:
            stmt.bindInt(1, canonical.toLongLong());
            break;
        case AttributeType::Boolean:
            stmt.bindInt(1, canonical.toBool() ? 1 : 0);
            break;
        case AttributeType::Double:
            stmt.bindDouble(1, canonical.toDouble());
            break;
        case AttributeType::Date:
            stmt.bindDouble(1, double(canonical.toDateTime().toMSecsSinceEpoch()) / 1000.0);
            break;
        case AttributeType::String:
            bytes = canonical.toString().toUtf8();
            stmt.bindText(1, bytes.constData(), int(bytes.size()));
            break;
        case AttributeType::Binary:
            bytes = canonical.toByteArray();
            stmt.bindBlob(1, bytes.constData(), int(bytes.size()));
            break;
        }
    }
    int rc;
    while ((rc = stmt.step()) == SQLITE_ROW)
        keys.push_back(stmt.columnInt(0));
    if (rc != SQLITE_DONE)
        qCWarning(lcStore, "%s cannot be read on demand: %s", qPrintable(table), sqlite3_errmsg(db));
    stmt.reset();
    return keys;
}

ManagedObject* ContextPrivate::readObject(int entity, qint64 id)
{
    if (ManagedObject* known = objectWithID(entity, id))
        return known;
    const EntityInfo& e = schema.entities[size_t(entity)];
    EntityStore& store = stores[size_t(entity)];
    if (!store.readRow.isValid()) {
        QStringList select{quoteIdentifier(kPrimaryKey)};
        for (int a : e.columnAttributes)
            select << quoteIdentifier(e.desc->attributes()[size_t(a)].name);
        for (int r : e.columnRelations)
            select << quoteIdentifier(e.relations[size_t(r)].desc->name);
        store.readRow = SqliteStatement(db, QStringLiteral("SELECT %1 FROM %2 WHERE \"Z_PK\" = ?")
                                                .arg(select.join(QLatin1Char(',')), quoteIdentifier(e.name)));
        if (!store.readRow.isValid()) {
            qCWarning(lcStore, "%s cannot be read on demand: %s", qPrintable(e.name), sqlite3_errmsg(db));
            return nullptr;
        }
    }
    // The row is taken out before anything else is read: reading a destination may use the
    // same statement.
    SqliteStatement& row = store.readRow;
    row.reset();
    row.bindInt(1, id);
    const int rc = row.step();
    if (rc != SQLITE_ROW) {
        if (rc != SQLITE_DONE)
            qCWarning(lcStore, "%s cannot be read on demand: %s", qPrintable(e.name), sqlite3_errmsg(db));
        row.reset();
        return nullptr;
    }
    BlobBuilder builder;
    int column = 1;
    for (int a : e.columnAttributes)
        addCell(builder, row.handle(), column++, a, e.desc->attributes()[size_t(a)].type);
    std::vector<std::pair<int, qint64>> destinations; // relation, key
    for (int r : e.columnRelations) {
        const RelationInfo& ri = e.relations[size_t(r)];
        if (ri.loadsFromColumn && ri.destEntity >= 0 &&
            sqlite3_column_type(row.handle(), column) != SQLITE_NULL)
            destinations.emplace_back(r, sqlite3_column_int64(row.handle(), column));
        ++column;
    }
    row.reset();

    const bool wasLoading = std::exchange(loading, true);
    ManagedObject* o = objectFromFile(entity, id, builder);
    auto& objects = store.objects;
    if (objects.size() > 1 && objects[objects.size() - 2]->m_objectID > id) {
        const auto at = std::upper_bound(
            objects.begin(), objects.end() - 1, id,
            [](qint64 v, const std::unique_ptr<ManagedObject>& other) { return v < other->m_objectID; });
        std::rotate(at, objects.end() - 1, objects.end());
    }
    ObjectState& s = st(o);
    std::vector<int> readLater;
    for (size_t r = 0; r < e.relations.size(); ++r) {
        if (!e.relations[r].toMany)
            continue;
        if (r < 32)
            s.unreadMany |= quint32(1) << r;
        // A destination read later cannot join itself to a relation without an inverse.
        if (r >= 32 || e.relations[r].inverse < 0)
            readLater.push_back(int(r));
    }

    // To-one destinations, which every object read holds.
    for (const auto& [r, key] : destinations) {
        const RelationInfo& ri = e.relations[size_t(r)];
        ManagedObject* destination = readObject(ri.destEntity, key);
        if (!destination || !st(destination).live)
            continue; // a dangling key reads as no relation
        st(o).relations[r] = destination;
        if (ri.inverse >= 0) {
            if (ri.inverseToMany)
                toManyMutable(destination, ri.inverse).push_back(o);
            else
                st(destination).relations[ri.inverse] = o;
        }
    }
    // A to-one kept in the other side's column: that side, read, joins itself to this one.
    for (int r : e.columnRelations) {
        const RelationInfo& ri = e.relations[size_t(r)];
        if (ri.loadsFromColumn || ri.destEntity < 0 || ri.inverse < 0)
            continue;
        const EntityInfo& other = schema.entities[size_t(ri.destEntity)];
        for (qint64 key : keysWhere(other.name, other.relations[size_t(ri.inverse)].desc->name,
                                    AttributeType::Integer, id))
            readObject(ri.destEntity, key);
    }
    // Linked objects already read hold this one, and it holds them.
    for (size_t r = 0; r < e.relations.size(); ++r) {
        const RelationInfo& ri = e.relations[r];
        if (ri.storage != RelationStorage::Link || ri.link < 0)
            continue;
        const QString side = ri.linkSource ? QStringLiteral("Z_SOURCE") : QStringLiteral("Z_DESTINATION");
        for (qint64 key : keysWhere(schema.links[size_t(ri.link)].table, side, AttributeType::Integer, id)) {
            ManagedObject* partner = objectWithID(ri.destEntity, key);
            if (!partner || !st(partner).live || !st(o).live)
                continue;
            auto& members = toManyMutable(o, int(r));
            if (std::find(members.begin(), members.end(), partner) != members.end())
                continue; // a pair written twice is one link
            members.push_back(partner);
            if (ri.inverse >= 0 && partner != o)
                toManyMutable(partner, ri.inverse).push_back(o);
        }
    }
    loading = wasLoading;
    for (int r : readLater)
        readMany(o, r);
    const bool wasAwaking = std::exchange(awaking, true);
    o->awakeFromFetch();
    awaking = wasAwaking;
    return o;
}

void ContextPrivate::readMatching(int entity, int attr, const QVariant& value)
{
    const EntityInfo& e = schema.entities[size_t(entity)];
    const AttributeDescription& desc = e.desc->attributes()[size_t(attr)];
    for (qint64 key : keysWhere(e.name, desc.name, desc.type, value))
        readObject(entity, key);
}

void ContextPrivate::readMany(const ManagedObject* o, int rel)
{
    ObjectState& s = st(o);
    const quint32 bit = rel < 32 ? quint32(1) << rel : 0;
    if (!(s.unreadMany & bit) && rel < 32)
        return;
    s.unreadMany &= ~bit;
    const RelationInfo& ri = info(o).relations[size_t(rel)];
    if (ri.destEntity < 0)
        return;
    // Members read here join themselves to o; those read before are in it already, or have
    // left it since.
    std::vector<qint64> keys;
    if (ri.storage == RelationStorage::Derived) {
        const EntityInfo& other = schema.entities[size_t(ri.destEntity)];
        keys = keysWhere(other.name, other.relations[size_t(ri.inverse)].desc->name, AttributeType::Integer,
                         o->m_objectID);
    } else if (ri.link >= 0) {
        keys = keysWhere(schema.links[size_t(ri.link)].table,
                         ri.linkSource ? QStringLiteral("Z_SOURCE") : QStringLiteral("Z_DESTINATION"),
                         AttributeType::Integer, o->m_objectID);
    }
    for (qint64 key : keys) {
        ManagedObject* member = readObject(ri.destEntity, key);
        if (ri.inverse >= 0 || !member || !st(member).live)
            continue;
        // Without an inverse, a member read does not join itself.
        auto& members = toManyMutable(const_cast<ManagedObject*>(o), rel);
        if (std::find(members.begin(), members.end(), member) == members.end())
            members.push_back(member);
    }
}

void ContextPrivate::readAllMany(const ManagedObject* o)
{
    const EntityInfo& e = info(o);
    for (size_t r = 0; r < e.relations.size(); ++r) {
        if (e.relations[r].toMany)
            readMany(o, int(r));
    }
}

bool Context::releaseObjects()
{
    if (!d->onDemand || d->undoManager || d->delivering)
        return false;
    d->processPendingChanges();
    if (d->eventOpen || hasChanges())
        return false;
    // What the save set still holds came back to what the file holds.
    d->saveSet.clear();
    d->linkChanges.clear();
    d->pendingLink.clear();
    d->destroyAll();
    for (auto& store : d->stores)
        store.liveCount = 0;
    for (auto& sets : d->keySets)
        sets.clear();
    return true;
}

bool Context::backupTo(const QString& destinationPath, StoreError* error) const
{
    if (!d->db) {
        setError(error, StoreError::Code::Io, QStringLiteral("This context has no file to copy"));
        return false;
    }
    return copyStoreFile(d->path, destinationPath, error);
}

} // namespace qv::store
