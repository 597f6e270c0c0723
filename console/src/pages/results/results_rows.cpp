#include "results_rows.h"

#include <QXmlStreamReader>
#include <cctype>
#include <cstring>
#include <memory>

#include "servicelink/korva_constants.h"

namespace results {

namespace {

// One element of the item data: its tag, "name" attribute, text and
// child elements.
struct XmlNode {
    QString tag;
    QString name;
    QString text;
    std::vector<std::unique_ptr<XmlNode>> children;
};

// Keys nest as deep as the registry does; deeper data is not a registry key
// a scan produced, and is refused rather than walked.
constexpr int kMaxDepth = 128;

std::unique_ptr<XmlNode> ParseXml(const std::string& text)
{
    QXmlStreamReader reader(QByteArray::fromStdString(text));
    std::unique_ptr<XmlNode> root;
    std::vector<XmlNode*> open;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (open.size() >= static_cast<std::size_t>(kMaxDepth))
                return nullptr;
            auto node = std::make_unique<XmlNode>();
            node->tag = reader.name().toString();
            node->name = reader.attributes().value(QLatin1String("name")).toString();
            XmlNode* raw = node.get();
            if (open.empty()) {
                if (root)
                    return nullptr;  // a second root: not well-formed
                root = std::move(node);
            } else {
                open.back()->children.push_back(std::move(node));
            }
            open.push_back(raw);
        } else if (token == QXmlStreamReader::EndElement) {
            if (!open.empty())
                open.pop_back();
        } else if (token == QXmlStreamReader::Characters && !open.empty()) {
            open.back()->text += reader.text();
        }
    }
    if (reader.hasError() || !root)
        return nullptr;
    return root;
}

bool IsTag(const XmlNode& node, const char* tag)
{
    return node.tag.compare(QLatin1String(tag), Qt::CaseInsensitive) == 0;
}

std::string ValueLine(const std::string& prefix, const XmlNode& value)
{
    if (value.name.isEmpty())
        return prefix + "\\ @=" + value.text.toStdString();
    return prefix + "\\ \"" + value.name.toStdString() + "\" = \"" + value.text.toStdString() + "\"";
}

void WalkKey(const XmlNode& key, const std::string& prefix, std::vector<std::string>& lines)
{
    for (const auto& child : key.children) {
        if (IsTag(*child, "VALUE")) {
            lines.push_back(ValueLine(prefix, *child));
        } else if (IsTag(*child, "KEY") && !child->name.isEmpty()) {
            const std::string longer = prefix + "\\" + child->name.toStdString();
            lines.push_back(longer);
            WalkKey(*child, longer, lines);
        }
    }
}

}  // namespace

std::vector<std::string> RegistryLines(const std::string& itemData, const std::string& path)
{
    std::vector<std::string> lines;
    const std::unique_ptr<XmlNode> root = ParseXml(itemData);
    if (root && !root->children.empty()) {
        const XmlNode& key = *root->children.front();
        const std::string keyName = key.name.toStdString();
        if (key.children.size() == 1 && IsTag(*key.children.front(), "VALUE")) {
            lines.push_back(keyName);
            lines.push_back(ValueLine(keyName, *key.children.front()));
        } else if (!keyName.empty()) {
            lines.push_back(keyName);
            WalkKey(key, keyName, lines);
        }
    }
    // Unreadable data, or a key without a name: the item still shows, as
    // its path, rather than vanishing from the list.
    if (lines.empty())
        lines.push_back(path);
    return lines;
}

std::string ContainedDisplayPath(const std::string& path)
{
    const std::string separator = NKorvaConstants::CONTAINER_FILE_SEPERATOR;
    const std::size_t first = path.find(separator);
    if (first == std::string::npos)
        return path;
    const std::size_t last = path.rfind(separator);
    return path.substr(last + separator.size()) + " (" + path.substr(0, first) + ")";
}

QString ShortType(const QString& type)
{
    const qsizetype comma = type.indexOf(QLatin1Char(','));
    if (comma < 0)
        return type;
    return type.left(comma) + QStringLiteral("...");
}

QString FullType(const QString& type)
{
    QString full = type;
    return full.replace(QLatin1Char(','), QStringLiteral(", "));
}

int SeverityValue(const CStringValue& severity)
{
    const std::string& text = severity.ToString();
    if (!text.empty() && (std::isdigit(static_cast<unsigned char>(text.front())) != 0 || text.front() == '-'))
        return severity.ToInteger();
    static const char* const words[] = {"low", "mild", "moderate", "high", "critical"};
    for (int i = 0; i < 5; ++i)
        if (text == words[i])
            return i;
    return 0;
}

CDictionary RowFromRecord(const CMsgCursor& cursor)
{
    CDictionary row;
    row["definition_id"] = cursor["definition_id"].ToInteger();
    row["class"] = cursor["class"].ToString();
    row["item_code"] = cursor["item_code"].ToString();
    // The table shows the item's name; an item without one shows its path.
    const std::string& name = cursor["item_name"].ToString();
    row["path"] = name.empty() ? cursor["path"].ToString() : name;
    row["package_name"] = cursor["package_name"].ToString();
    row["package_code"] = cursor["package_code"].ToString();
    row["severity"] = SeverityValue(cursor["severity"]);
    row["type"] = cursor["package_type"].ToString();
    row["item_data"] = cursor["item_data"].ToString();
    return row;
}

std::vector<CDictionary> LinesOfRow(const CDictionary& row)
{
    std::vector<CDictionary> lines;
    const std::string& itemClass = row["class"].ToString();
    if (itemClass == "registry") {
        for (const std::string& line : RegistryLines(row["item_data"].ToString(), row["path"].ToString())) {
            CDictionary copy = row;
            copy["path"] = line;
            lines.push_back(std::move(copy));
        }
    } else if (itemClass == "contained") {
        CDictionary copy = row;
        copy["path"] = ContainedDisplayPath(row["path"].ToString());
        lines.push_back(std::move(copy));
    } else {
        lines.push_back(row);
    }
    return lines;
}

}  // namespace results
