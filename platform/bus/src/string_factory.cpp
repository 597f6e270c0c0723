#include "servicelink/string_factory.h"

bool CStringFactory::Initialize(const std::string& path, const std::string& table)
{
    std::unique_ptr<IMessageTable> opened = OpenMessageTable(path, table);
    if (!opened)
        return false;
    m_table = std::move(opened);
    return true;
}

std::string CStringFactory::GetLocalizedMessage(std::string_view key) const
{
    if (!m_table)
        return {};
    return m_table->Lookup(key).value_or(std::string());
}

std::string CStringFactory::FormatParameterizedMessage(std::string_view key, std::string_view p1,
                                                       std::string_view p2, std::string_view p3,
                                                       std::string_view p4, std::string_view p5,
                                                       std::string_view p6) const
{
    const std::string_view args[6] = {p1, p2, p3, p4, p5, p6};
    return FormatText(GetLocalizedMessage(key), args);
}

std::string CStringFactory::FormatText(std::string_view text, const std::string_view (&args)[6])
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[i + 1];
        if (next == '%') {
            out += '%';
            ++i;
        } else if (next >= '1' && next <= '6') {
            out += args[next - '1'];
            ++i;
        } else {
            out += '%';
        }
    }
    return out;
}
