#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

namespace clip {

// Where a control keeps its design-time properties between runs. The host
// decides how the values are stored; the control only reads and writes keys.
class PropertyBag {
public:
    virtual ~PropertyBag() = default;

    // The stored value of key, or defaultValue when the key is not stored.
    virtual QVariant read(const QString& key, const QVariant& defaultValue) const = 0;
    // Stores value under key; defaultValue is what read() would give without
    // it, so a bag may leave such values out.
    virtual void write(const QString& key, const QVariant& value, const QVariant& defaultValue) = 0;
};

// A property bag held in memory. It keeps every written value, also those
// equal to their default, and remembers the order in which keys were written.
class MemoryPropertyBag final : public PropertyBag {
public:
    MemoryPropertyBag() = default;
    MemoryPropertyBag(std::initializer_list<std::pair<QString, QVariant>> values);

    QVariant read(const QString& key, const QVariant& defaultValue) const override;
    void write(const QString& key, const QVariant& value, const QVariant& defaultValue) override;

    bool contains(const QString& key) const { return m_values.contains(key); }
    QVariant value(const QString& key) const { return m_values.value(key); }
    void set(const QString& key, const QVariant& value) { m_values.insert(key, value); }
    // Keys in the order of their writes through write().
    const QStringList& writeOrder() const { return m_writeOrder; }

private:
    QMap<QString, QVariant> m_values;
    QStringList m_writeOrder;
};

}  // namespace clip
