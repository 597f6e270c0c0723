#include "module_message_table.h"

#include <memory>
#include <optional>
#include <string>

#include "kelmui/message_table.h"
#include "kelmui/resource_module.h"

namespace {

// Looks keys up in a table read from the module.
class ModuleMessageTable : public IMessageTable {
public:
    explicit ModuleMessageTable(kelmui::MessageTable table) : m_table(std::move(table)) {}
    std::optional<std::string> Lookup(std::string_view key) const override
    {
        const QString name = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
        if (!m_table.Contains(name))
            return std::nullopt;
        return m_table.Text(name).toStdString();
    }

private:
    kelmui::MessageTable m_table;
};

}  // namespace

bool LoadModuleMessages(CStringFactory& strings, const QString& modulePath)
{
    const std::shared_ptr<const kelmui::ResourceModule> module = kelmui::ResourceModule::Open(modulePath);
    if (!module)
        return false;
    std::optional<kelmui::MessageTable> table = kelmui::MessageTable::Load(*module, QStringLiteral("MESSAGES"));
    if (!table)
        return false;
    strings.Initialize(std::make_unique<ModuleMessageTable>(std::move(*table)));
    return true;
}
