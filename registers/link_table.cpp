#include "registers/link_table.h"

#include <charconv>

#include "db/variant.h"
#include "registers/field_catalogue.h"

namespace vexla {

int typeCodeOfField(int daoType) {
    if (daoType == db::dao::Text || daoType == db::dao::Memo) return typecode::Text;
    if (daoType == db::dao::Date) return typecode::Date;
    return typecode::Other;
}

std::optional<long> linkPosition(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::string linkColumn(const LinkRow& link, std::string_view Språk) {
    std::string column = RubrikTillKolumn(link.caption, Språk);
    return column.empty() ? link.caption : column;
}

std::string importColumnName(const LinkRow& link, std::string_view registerName, std::string_view Språk) {
    std::string name = linkColumn(link, Språk);
    if (registerName == "Bokningar") {
        static constexpr std::string_view from = "Anteckningar", to = "Anteckning";
        for (std::size_t at = name.find(from); at != std::string::npos; at = name.find(from, at + to.size()))
            name.replace(at, from.size(), to);
    }
    return name;
}

std::string importInsertHead(std::string_view insertHead, std::string_view registerName, const LinkTable& links,
                             std::string_view Språk) {
    std::string sql(insertHead);
    for (std::size_t i = 0; i < links.size(); ++i) {
        std::string name = importColumnName(links[i], registerName, Språk);
        if (name.empty()) continue;
        if (name.find('-') != std::string::npos) name = "[" + name + "]";
        if (i > 0) sql += ", ";
        sql += name;
    }
    if (sql.ends_with(", ")) sql.resize(sql.size() - 2);
    return sql + ") VALUES(";
}

}  // namespace vexla
