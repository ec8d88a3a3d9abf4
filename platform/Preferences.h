#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>

namespace qv {

// The user-defaults store: user values over a layer of registered defaults.
class Preferences : public QObject {
    Q_OBJECT
public:
    // $XDG_CONFIG_HOME/Velmora/Quadrivo.conf (QSettings, native format).
    explicit Preferences(QObject* parent = nullptr);
    // A settings file of its own, for tests and tools.
    explicit Preferences(const QString& filePath, QObject* parent = nullptr);
    ~Preferences() override;

    void registerDefaults(const QVariantMap& defaults);
    // Reads a JSON object of defaults; false (and the reason in error) when unreadable.
    bool registerDefaultsFromJson(const QString& path, QString* error = nullptr);

    // The user's value, else the registered default, else an invalid QVariant.
    QVariant value(const QString& key) const;
    bool hasUserValue(const QString& key) const;
    bool boolValue(const QString& key) const;
    int intValue(const QString& key) const;
    qint64 int64Value(const QString& key) const;
    double doubleValue(const QString& key) const;
    QString stringValue(const QString& key) const;
    QStringList stringListValue(const QString& key) const;

    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);

    // Writes to disk; false when the file could not be written.
    bool flush();
    QString fileName() const;

    // Until resumeWrites(), the write QSettings makes by itself from the event loop after a
    // change waits; flush() still writes at once, so what must be on disk gets there. For the
    // start-up, whose first frame should not wait for the disk: keep the hold short.
    void holdWrites();
    // Ends the hold and writes what waited, as flush() does.
    bool resumeWrites();

signals:
    // Emitted for every key whose effective value changed through this object.
    void changed(const QString& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Before the first write.
    void makeFilePrivate();
    // The one QSettings takes while it writes the file.
    QString lockFileName() const;

    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_defaults;
    bool m_filePrivate = false;
    bool m_holding = false;
};

} // namespace qv
