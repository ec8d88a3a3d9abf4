#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;

namespace qv {

// One running copy per user: a lock file in $XDG_RUNTIME_DIR and, beside it, a local socket
// only the user can open. A later copy either stops (plain launch) or hands its message (a
// link, text or a file) to the running copy and stops.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Primary,        // this is the running copy; messages arrive through messageReceived
        Forwarded,      // another copy runs and has the message
        AlreadyRunning, // another copy runs; nothing to hand over
        Failed,         // neither could be done (error says why)
    };

    // runtimeFolder empty: $XDG_RUNTIME_DIR, else Qt's per-user runtime folder.
    explicit SingleInstance(QString runtimeFolder = {}, QString name = QStringLiteral("quadrivo"),
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    // message empty: a plain launch. connectTimeoutMs bounds the wait for a copy that holds
    // the lock but does not listen yet.
    Outcome start(const QByteArray& message, QString* error = nullptr, int connectTimeoutMs = 5000);

    // What a plain second launch tells the user before it stops.
    struct Alert {
        QString message;
        QString informative;
    };
    static Alert alreadyRunningAlert();

    QString lockPath() const;
    QString socketPath() const;

    // Larger messages are refused.
    static constexpr qint64 kMaxMessageBytes = 32 * 1024 * 1024;

signals:
    void messageReceived(const QByteArray& message);

private:
    bool listen(QString* error);
    void acceptConnections();
    void readFrom(QLocalSocket* socket);
    bool forward(const QByteArray& message, QString* error, int timeoutMs);

    QString m_folder;
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace qv
