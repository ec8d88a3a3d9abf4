#pragma once

#include <QObject>

class QSocketNotifier;

namespace qv {

// SIGTERM, SIGINT and SIGHUP as a Qt signal on the main loop: the handler only writes the signal's
// number into a pipe, whose read end the event loop watches. One instance at a time; the
// previous handlers come back when it is destroyed.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    bool isInstalled() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace qv
