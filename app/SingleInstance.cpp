#include "app/SingleInstance.h"

#include "app/AppLogging.h"
#include "core/util/BuildInfo.h"
#include "platform/LockFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>
#include <QtEndian>

#include <memory>
#include <utility>

namespace qv {

namespace {

// A message is its length (4 bytes, big-endian) and its bytes; the receiver answers one byte
// once it has carried the message out, so the sender knows how it ended before it quits:
// done, dropped because the receiver is quitting, or not done.
constexpr qint64 kHeaderBytes = 4;
constexpr char kAck = '\x01';
constexpr char kQuitting = '\x02';
constexpr char kRefused = '\x03';

void answerWith(QLocalSocket* socket, char answer)
{
    socket->write(&answer, 1);
    socket->flush();
    socket->disconnectFromServer();
}

QString defaultRuntimeFolder()
{
    const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!folder.isEmpty() && QDir(folder).exists())
        return folder;
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

} // namespace

SingleInstance::SingleInstance(QString runtimeFolder, QString name, QObject* parent)
    : QObject(parent), m_folder(std::move(runtimeFolder)), m_name(std::move(name))
{
    if (m_folder.isEmpty())
        m_folder = defaultRuntimeFolder();
}

SingleInstance::~SingleInstance()
{
    if (m_server) {
        m_server->close();
        QLocalServer::removeServer(socketPath());
    }
}

SingleInstance::Alert SingleInstance::alreadyRunningAlert()
{
    return {QStringLiteral("Another copy of %1 is already running.").arg(BuildInfo::displayName()),
            QStringLiteral("This copy will now quit.")};
}

QString SingleInstance::lockPath() const
{
    return QDir(m_folder).filePath(m_name + QStringLiteral(".lock"));
}

QString SingleInstance::socketPath() const
{
    return QDir(m_folder).filePath(m_name + QStringLiteral(".socket"));
}

SingleInstance::Outcome SingleInstance::start(const QByteArray& message, QString* error, int connectTimeoutMs,
                                              int quitWaitMs)
{
    if (m_folder.isEmpty()) {
        if (error)
            *error = QStringLiteral("No runtime folder");
        return Outcome::Failed;
    }
    // A copy killed as it took the lock left no owner in it, and nothing else would free it.
    removeOwnerlessLockFile(lockPath());
    auto lock = std::make_unique<QLockFile>(lockPath());
    // Only a dead owner makes a lock stale, never its age.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return becomePrimary(std::move(lock), error) ? Outcome::Primary : Outcome::Failed;
    if (lock->error() != QLockFile::LockFailedError) {
        if (error)
            *error = QStringLiteral("Cannot lock %1").arg(lockPath());
        return Outcome::Failed;
    }
    switch (forward(message, error, connectTimeoutMs, quitWaitMs)) {
    case Delivery::Delivered:
        return Outcome::Forwarded;
    case Delivery::Refused:
        return Outcome::Refused;
    case Delivery::NoAnswer:
        // The copy may have ended while we tried to reach it.
        if (lock->tryLock(0))
            return becomePrimary(std::move(lock), error) ? Outcome::Primary : Outcome::Failed;
        return Outcome::Unreachable;
    case Delivery::Quitting:
        break;
    }
    if (m_waitingNotice)
        m_waitingNotice();
    if (lock->tryLock(quitWaitMs))
        return becomePrimary(std::move(lock), error) ? Outcome::Primary : Outcome::Failed;
    if (error)
        *error = QStringLiteral("The running copy did not finish quitting");
    return Outcome::Unreachable;
}

bool SingleInstance::becomePrimary(std::unique_ptr<QLockFile> lock, QString* error)
{
    m_lock = std::move(lock);
    // Made under the umask; like every file of ours, it is the user's alone.
    QFile::setPermissions(lockPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return listen(error);
}

bool SingleInstance::listen(QString* error)
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file left behind belongs to a copy that has ended.
    QLocalServer::removeServer(socketPath());
    if (!m_server->listen(socketPath())) {
        if (error)
            *error = m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        readFrom(socket);
    }
}

void SingleInstance::readFrom(QLocalSocket* socket)
{
    if (socket->property("done").toBool())
        return;
    if (socket->bytesAvailable() < kHeaderBytes)
        return;
    char header[kHeaderBytes];
    socket->peek(header, kHeaderBytes);
    const qint64 length = qFromBigEndian<quint32>(header);
    if (length > kMaxMessageBytes) {
        qCWarning(lcApp, "Refusing a message of %lld bytes from another copy", length);
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < kHeaderBytes + length)
        return;
    socket->skip(kHeaderBytes);
    const QByteArray message = socket->read(length);
    socket->setProperty("done", true);
    // Not from here: this runs inside the socket's own signal, and a handler that runs a
    // nested loop would come back into a socket that loop has deleted.
    QMetaObject::invokeMethod(
        this, [this, guard = QPointer<QLocalSocket>(socket), message] { deliver(guard, message); },
        Qt::QueuedConnection);
}

void SingleInstance::deliver(const QPointer<QLocalSocket>& socket, const QByteArray& message)
{
    // The sender gave up before anything was done: nobody learns of it, so nothing is done.
    if (!socket || socket->state() != QLocalSocket::ConnectedState)
        return;
    if (m_quitting || !m_handler) {
        answerWith(socket, m_quitting ? kQuitting : kAck);
        return;
    }
    // The sender may give up, or be killed, before the answer is ready.
    auto answered = std::make_shared<bool>(false);
    m_handler(
        message,
        [socket, answered](bool done) {
            if (std::exchange(*answered, true) || !socket)
                return;
            answerWith(socket, done ? kAck : kRefused);
        },
        [socket, answered] {
            return !*answered && socket && socket->state() == QLocalSocket::ConnectedState;
        });
}

SingleInstance::Delivery SingleInstance::forward(const QByteArray& message, QString* error, int timeoutMs,
                                                 int answerWaitMs)
{
    if (message.size() > kMaxMessageBytes) {
        if (error)
            *error = QStringLiteral("The message is too large");
        return Delivery::NoAnswer;
    }
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The running copy may hold the lock a moment before it listens.
    for (;;) {
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(int(std::max<qint64>(1, deadline.remainingTime()))))
            break;
        if (deadline.hasExpired()) {
            if (error)
                *error = socket.errorString();
            return Delivery::NoAnswer;
        }
        QThread::msleep(50);
    }
    char header[kHeaderBytes];
    qToBigEndian<quint32>(quint32(message.size()), header);
    socket.write(header, kHeaderBytes);
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime())))) {
            if (error)
                *error = socket.errorString();
            return Delivery::NoAnswer;
        }
    }
    // The answer comes once the running copy has carried the message out, which can take
    // longer than reaching it: its start may still be under way.
    const QDeadlineTimer answerDeadline(std::max(timeoutMs, answerWaitMs));
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(int(std::max<qint64>(1, answerDeadline.remainingTime())))) {
            if (error)
                *error = QStringLiteral("The running copy did not answer");
            return Delivery::NoAnswer;
        }
    }
    char answer = 0;
    if (socket.read(&answer, 1) == 1) {
        switch (answer) {
        case kAck:
            return Delivery::Delivered;
        case kQuitting:
            return Delivery::Quitting;
        case kRefused:
            if (error)
                *error = QStringLiteral("The running copy could not save what was handed over");
            return Delivery::Refused;
        default:
            break;
        }
    }
    if (error)
        *error = QStringLiteral("The running copy did not answer");
    return Delivery::NoAnswer;
}

} // namespace qv
