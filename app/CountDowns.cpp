#include "app/CountDowns.h"

#include "platform/Preferences.h"

#include <QMutex>

#include <algorithm>

namespace qv {

namespace {

QMutex& sharedMutex()
{
    static QMutex mutex;
    return mutex;
}

CountDowns*& sharedCountDowns()
{
    static CountDowns* instance = nullptr;
    return instance;
}

} // namespace

CountDowns::CountDowns(Preferences& preferences) : m_preferences(preferences)
{
    if (!m_preferences.value(quadrantDoubleClicksKey()).isValid())
        m_preferences.setValue(quadrantDoubleClicksKey(), kInitialQuadrantDoubleClicks);
    QMutexLocker locker(&sharedMutex());
    if (!sharedCountDowns())
        sharedCountDowns() = this;
}

CountDowns::~CountDowns()
{
    QMutexLocker locker(&sharedMutex());
    if (sharedCountDowns() == this)
        sharedCountDowns() = nullptr;
}

CountDowns* CountDowns::shared()
{
    QMutexLocker locker(&sharedMutex());
    return sharedCountDowns();
}

int CountDowns::getQuadrantDoubleClicksCountDown() const
{
    return std::max(0, m_preferences.intValue(quadrantDoubleClicksKey()));
}

void CountDowns::countDown(const QString& key)
{
    const int value = m_preferences.intValue(key);
    if (value < 1)
        return;
    m_preferences.setValue(key, value - 1);
}

} // namespace qv
