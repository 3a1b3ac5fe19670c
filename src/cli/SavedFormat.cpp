#include "cli/SavedFormat.h"

#include "formats/Catalogue.h"
#include "settings/Settings.h"

#include <QMap>

namespace clip {

namespace {

// The formats panel's three preset lists as the window fills them: the
// categories in the catalogue's order, then the labels of the chosen
// category, then the containers of the chosen label; choosing an entry
// refills the lists after it and selects their first entries. Everything
// else the settings hold is kept and not looked at.
class PresetLists final : public SettingsControls {
public:
    explicit PresetLists(const Catalogues& catalogues) : m_catalogues(catalogues)
    {
        Refill(kCategory);
        if (!m_lists[kCategory].isEmpty())
            setListPosition(kCategory, 0);
    }

    FormatChoice Choice() const
    {
        return FormatChoice::Preset(Current(kCategory), Current(kLabel), Current(kContainer));
    }
    int route() const override { return m_route; }
    int routeCount() const override { return 2; }
    void setRoute(int index) override { m_route = index; }
    void showRoutePanel(int) override {}

    int listPosition(const QString& name) const override { return m_positions.value(name, -1); }
    int listCount(const QString& name) const override
    {
        // A list this class does not build takes any stored position.
        return m_lists.contains(name) ? int(m_lists[name].size()) : 32768;
    }
    void setListPosition(const QString& name, int position) override
    {
        // As a list box: choosing the chosen entry, or none, changes nothing else.
        const bool changed = m_positions.value(name, -1) != position;
        m_positions[name] = position;
        const int next = name == kCategory ? 1 : name == kLabel ? 2 : 0;
        if (next == 0 || !changed || position < 0)
            return;
        const QString list = next == 1 ? kLabel : kContainer;
        Refill(list);
        m_positions[list] = -1;  // refilled: the first entry is chosen anew
        if (!m_lists[list].isEmpty())
            setListPosition(list, 0);
    }

    bool folderOption(const QString&) const override { return false; }
    void setFolderOption(const QString&, bool) override {}
    void setOutputFolderEnabled(bool) override {}
    QString text(const QString&) const override { return {}; }
    void setText(const QString&, const QString&) override {}
    void refreshDescription() override {}

private:
    inline static const QString kCategory = QStringLiteral("cmbCategory");
    inline static const QString kLabel = QStringLiteral("cmbOutVCodec");
    inline static const QString kContainer = QStringLiteral("cmbOutFormat");

    QString Current(const QString& list) const { return m_lists.value(list).value(m_positions.value(list, -1)); }

    void Refill(const QString& list)
    {
        QStringList entries;
        for (int i = 0; i < std::min<qsizetype>(m_catalogues.PresetCount, m_catalogues.Presets.size()); ++i) {
            const PresetEntry& p = m_catalogues.Presets.at(i);
            const bool wanted = list == kCategory || (p.Category == Current(kCategory)
                                                      && (list == kLabel || p.Label == Current(kLabel)));
            const QString& entry = list == kCategory ? p.Category : list == kLabel ? p.Label : p.Extension;
            if (wanted && !entries.contains(entry))
                entries << entry;
        }
        m_lists[list] = entries;
    }

    const Catalogues& m_catalogues;
    QMap<QString, QStringList> m_lists;
    QMap<QString, int> m_positions;
    int m_route = 0;
};

}  // namespace

std::optional<FormatChoice> SavedPresetChoice(const Catalogues& catalogues, std::shared_ptr<RegistryBackend> backend)
{
    PresetLists lists(catalogues);
    LoadSettings(lists, std::move(backend));
    if (lists.route() != 0)
        return std::nullopt;
    return lists.Choice();
}

}  // namespace clip
