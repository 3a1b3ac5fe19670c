#include "slider/PropertyBag.h"

namespace clip {

MemoryPropertyBag::MemoryPropertyBag(std::initializer_list<std::pair<QString, QVariant>> values)
{
    for (const auto& [key, value] : values)
        m_values.insert(key, value);
}

QVariant MemoryPropertyBag::read(const QString& key, const QVariant& defaultValue) const
{
    return m_values.value(key, defaultValue);
}

void MemoryPropertyBag::write(const QString& key, const QVariant& value, const QVariant&)
{
    m_values.insert(key, value);
    m_writeOrder.append(key);
}

}  // namespace clip
