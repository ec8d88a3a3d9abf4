#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

#include <optional>
#include <vector>

namespace qv {

// The application's named colours, offered in the colour dialog.
class ColorList {
public:
    struct Entry {
        QString key;
        QColor color;
    };

    explicit ColorList(QString name = QStringLiteral("Quadrivo")) : m_name(std::move(name)) {}

    // The colours resource: one "colour string;key" per line. Empty lines, lines without
    // exactly one ";" and unreadable colours are skipped and take no position.
    static ColorList parse(const QByteArray& asciiText);
    // nullopt (and the reason in error) when the file cannot be read or is not ASCII text.
    static std::optional<ColorList> load(const QString& path, QString* error = nullptr);

    const QString& name() const { return m_name; }
    // In file order: position 0, 1, 2, ...
    const std::vector<Entry>& entries() const { return m_entries; }
    void insertColor(const QColor& color, const QString& key) { m_entries.push_back({key, color}); }

private:
    QString m_name;
    std::vector<Entry> m_entries;
};

} // namespace qv
