#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace qv {

// One running copy per user: a lock file in $XDG_RUNTIME_DIR and, beside it, a local socket
// only the user can open. A later copy hands its message to the running copy and stops; a
// plain launch sends one too, which asks the running copy for its window. The running copy
// answers only once its handler has carried the message out (text handed over is then in the
// store), or says it could not. A copy that is quitting answers so, and the later copy waits
// for it to end and runs in its place.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Primary,     // this is the running copy; messages go to the message handler
        Forwarded,   // another copy runs and has carried the message out
        Refused,     // another copy runs and could not carry the message out (error says why)
        Unreachable, // another copy holds the lock but took no message (error says why)
        Failed,      // no guard could be set up (error says why)
    };

    // runtimeFolder empty: $XDG_RUNTIME_DIR, else Qt's per-user runtime folder.
    explicit SingleInstance(QString runtimeFolder = {}, QString name = QStringLiteral("quadrivo"),
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    // connectTimeoutMs bounds the wait for a copy that holds the lock but does not listen yet;
    // quitWaitMs the wait for a copy that is quitting, and for the running copy's answer.
    Outcome start(const QByteArray& message, QString* error = nullptr, int connectTimeoutMs = 5000,
                  int quitWaitMs = 60'000);

    // From now on later copies are told to wait for this one to end; their messages are dropped.
    void setQuitting() { m_quitting = true; }
    // Runs when start() begins to wait for a copy that is quitting, so the launch can say so.
    void setWaitingNotice(std::function<void()> notice) { m_waitingNotice = std::move(notice); }

    // Carries out a message of a later copy and then calls answer, once: true when done, false
    // when it could not be done. waiting tells whether the later copy still waits for the
    // answer (it may give up, or be killed). The handler runs from the event loop of its own,
    // never inside the socket's signals, so it may run a nested loop (a modal alert) without
    // the connection going away beneath it. Without a handler every message is answered as
    // done at once.
    using Answer = std::function<void(bool done)>;
    using Waiting = std::function<bool()>;
    using Handler = std::function<void(const QByteArray& message, Answer answer, Waiting waiting)>;
    void setMessageHandler(Handler handler) { m_handler = std::move(handler); }

    // What a plain launch that cannot reach the running copy tells the user before it stops.
    struct Alert {
        QString message;
        QString informative;
    };
    static Alert alreadyRunningAlert();

    QString lockPath() const;
    QString socketPath() const;

    // Larger messages are refused.
    static constexpr qint64 kMaxMessageBytes = 32 * 1024 * 1024;

private:
    bool listen(QString* error);
    void acceptConnections();
    void readFrom(QLocalSocket* socket);
    void deliver(const QPointer<QLocalSocket>& socket, const QByteArray& message);
    enum class Delivery { Delivered, Refused, Quitting, NoAnswer };
    Delivery forward(const QByteArray& message, QString* error, int timeoutMs, int answerWaitMs);
    bool becomePrimary(std::unique_ptr<QLockFile> lock, QString* error);

    QString m_folder;
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_quitting = false;
    Handler m_handler;
    std::function<void()> m_waitingNotice;
};

} // namespace qv
