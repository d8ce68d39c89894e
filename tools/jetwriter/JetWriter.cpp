#include "JetWriter.h"

#include "AtomicFile.h"
#include "JetFile.h"
#include "RowEncoding.h"
#include "TableDefinition.h"

#include <algorithm>
#include <stdexcept>

namespace jetwriter {

void detail::RowStore::add(const std::vector<std::uint8_t>& row) {
    bytes.insert(bytes.end(), row.begin(), row.end());
    ends.push_back(bytes.size());
}

Table::Table(std::string name, std::vector<Column> columns)
    : name_(std::move(name)), columns_(std::move(columns)) {
    detail::checkObjectName(name_, "table");
    try {
        layout_ = detail::layoutColumns(columns_);
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument("table \"" + name_ + "\": " + e.what());
    }
}

void Table::addRow(const std::vector<Value>& values) {
    try {
        rows_.add(detail::encodeRow(columns_, layout_, values));
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument("table \"" + name_ + "\", row " +
                                    std::to_string(rowCount() + 1) + ": " + e.what());
    }
}

Table& Database::addTable(std::string name, std::vector<Column> columns) {
    return addTable(Table(std::move(name), std::move(columns)));
}

Table& Database::addTable(Table table) {
    const std::string key = detail::asciiLower(table.name());
    // The catalogue is ours to write, and libmdb finds tables by case-insensitive name.
    if (key.starts_with("msys"))
        throw std::invalid_argument("table \"" + table.name() +
                                    "\": names starting with MSys are reserved for system tables");
    if (std::any_of(tables_.begin(), tables_.end(),
                    [&](const Table& t) { return detail::asciiLower(t.name()) == key; }))
        throw std::invalid_argument("table \"" + table.name() + "\" defined twice");
    return tables_.emplace_back(std::move(table));
}

void Database::write(const std::filesystem::path& path) const {
    detail::writeAtomically(path, [this](std::FILE* out) { detail::writeDatabase(tables_, out); });
}

} // namespace jetwriter
