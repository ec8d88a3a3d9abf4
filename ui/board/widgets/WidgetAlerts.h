#pragma once

#include "platform/Alerts.h"

#include <QPointer>
#include <QWidget>

namespace qv {

// Alerts as modal message boxes over the window (or the active window when none is given).
class WidgetAlerts final : public Alerts {
public:
    explicit WidgetAlerts(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void alert(const QString& message, const QString& informative, const QString& button,
               Style style) override;
    int choose(const Question& question) override;

private:
    QWidget* parentWidget() const;
    QPointer<QWidget> m_parent;
};

} // namespace qv
