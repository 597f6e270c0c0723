// The message table as a text file of the UI resource library:
// <library>/messages/<TABLE>.txt, UTF-8, one "KEY=text" a line. Blank lines
// and lines starting with '#' are skipped; in the text, \n, \t and \\ stand
// for a line feed, a tab and a backslash. A later line with the same key
// replaces the earlier one.
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "servicelink/string_factory.h"

namespace {

class FileMessageTable : public IMessageTable {
public:
    explicit FileMessageTable(std::unordered_map<std::string, std::string> texts) : m_texts(std::move(texts)) {}

    std::optional<std::string> Lookup(std::string_view key) const override
    {
        const auto it = m_texts.find(std::string(key));
        if (it == m_texts.end())
            return std::nullopt;
        return it->second;
    }

private:
    std::unordered_map<std::string, std::string> m_texts;
};

std::string Unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 'n' ? '\n' : next == 't' ? '\t' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool ValidTableName(const std::string& table)
{
    if (table.empty())
        return false;
    for (const char c : table)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'))
            return false;
    return true;
}

}  // namespace

std::unique_ptr<IMessageTable> OpenMessageTable(const std::string& path, const std::string& table,
                                                std::string* error)
{
    // The table name becomes part of a path, so it is kept to a plain name.
    if (!ValidTableName(table)) {
        if (error != nullptr)
            *error = "bad message table name \"" + table + "\"";
        return nullptr;
    }
    const std::filesystem::path file = std::filesystem::path(path) / "messages" / (table + ".txt");
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (error != nullptr)
            *error = "cannot read " + file.string();
        return nullptr;
    }
    std::unordered_map<std::string, std::string> texts;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos || eq == 0)
            continue;
        texts[line.substr(0, eq)] = Unescape(std::string_view(line).substr(eq + 1));
    }
    return std::make_unique<FileMessageTable>(std::move(texts));
}
