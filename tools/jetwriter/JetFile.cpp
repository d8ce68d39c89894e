#include "JetFile.h"

#include "Bytes.h"
#include "TableDefinition.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>
#include <stdexcept>
#include <string>

// Page plan: 0 header, 1 an empty data page (Access keeps a global map there; libmdb
// never reads it), 2 the catalogue's definition (libmdb looks for it there), then per
// table its definition, data pages and any bitmap pages of a type-1 map, then the
// catalogue's rows, and last the pages holding every usage-map row.

namespace jetwriter::detail {
namespace {

constexpr std::uint32_t kCatalogDefinitionPage = 2;
constexpr std::uint32_t kFirstTablePage = 3;
constexpr std::size_t kDataPageHeader = 14;
constexpr std::size_t kMaxRowsPerPage = 255; // a pg_row pointer keeps the row index in 8 bits
constexpr std::uint32_t kType0MapBytes = 64;
constexpr std::uint32_t kType0MapPages = kType0MapBytes * 8;
constexpr std::uint32_t kPagesPerBitmapPage = (kPageSize - 4) * 8;

class PageWriter {
public:
    explicit PageWriter(std::FILE* out) : out_(out) {}

    // The expected number catches any drift between the page plan and the writing order.
    void put(std::uint32_t number, const Page& page) {
        if (number != written_)
            throw std::logic_error("page plan out of step with writing");
        if (std::fwrite(page.data(), 1, page.size(), out_) != page.size())
            throw std::runtime_error(std::string("write failed: ") + std::strerror(errno));
        ++written_;
    }

private:
    std::FILE* out_;
    std::uint32_t written_ = 0;
};

void rc4Xor(std::uint8_t* data, std::size_t size, const std::uint8_t (&key)[4]) {
    std::uint8_t s[256];
    std::iota(s, s + 256, 0);
    for (unsigned i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (std::size_t n = 0, i = 0, j = 0; n < size; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

Page headerPage() {
    Page page{};
    std::uint8_t* p = page.data();
    p[1] = 0x01;
    std::memcpy(p + 4, "Standard Jet DB", 15);
    p[0x14] = 0x01; // Jet 4
    put16(p + 0x3C, 1252);
    // 0x3E, the database key, stays 0: anything else makes readers decrypt every page.
    put16(p + 0x6E, 0x0409);
    // Jet stores this block masked with a fixed RC4 keystream.
    rc4Xor(p + 0x18, 128, {0xC7, 0xDA, 0x39, 0x6B});
    return page;
}

// Row index at which each page starts, then the row count; {0} when there are no rows.
std::vector<std::size_t> packRows(const RowStore& rows) {
    std::vector<std::size_t> breaks{0};
    std::size_t used = kDataPageHeader;
    std::size_t onPage = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::size_t cost = rows.length(r) + 2;
        if (onPage == kMaxRowsPerPage || used + cost > kPageSize) {
            breaks.push_back(r);
            used = kDataPageHeader;
            onPage = 0;
        }
        used += cost;
        ++onPage;
    }
    if (rows.size() > 0)
        breaks.push_back(rows.size());
    return breaks;
}

// Rows sit back to back from the end of the page; each one's length is implied by
// where the previous one starts.
Page dataPage(std::uint32_t owner, const RowStore& rows, std::size_t first, std::size_t last) {
    Page page{};
    std::uint8_t* p = page.data();
    p[0] = 0x01;
    p[1] = 0x01;
    put32(p + 4, owner);
    put16(p + 12, last - first);
    std::size_t end = kPageSize;
    for (std::size_t r = first; r < last; ++r) {
        end -= rows.length(r);
        std::copy_n(rows.bytes.begin() + static_cast<std::ptrdiff_t>(rows.begin(r)), rows.length(r),
                    p + end);
        put16(p + kDataPageHeader + 2 * (r - first), end);
    }
    put16(p + 2, end - kDataPageHeader - 2 * (last - first));
    return page;
}

struct Placement {
    const Table* table = nullptr;
    std::uint32_t definitionPage = 0;
    std::uint32_t firstDataPage = 0;
    std::vector<std::size_t> pageBreaks;
    std::uint32_t firstBitmapPage = 0;
    std::uint32_t ownedMapRow = 0;
    std::uint32_t freeMapRow = 0;

    std::uint32_t dataPages() const { return static_cast<std::uint32_t>(pageBreaks.size() - 1); }
    std::uint32_t lastDataPage() const { return firstDataPage + dataPages() - 1; }
    bool usesType1Map() const { return dataPages() > kType0MapPages; }
    std::uint32_t firstBitmapIndex() const { return firstDataPage / kPagesPerBitmapPage; }
    std::uint32_t lastBitmapIndex() const { return lastDataPage() / kPagesPerBitmapPage; }
    std::uint32_t bitmapPages() const {
        return usesType1Map() ? lastBitmapIndex() - firstBitmapIndex() + 1 : 0;
    }
};

void placeData(Placement& placement, std::uint32_t& nextPage) {
    placement.pageBreaks = packRows(placement.table->rows());
    placement.firstDataPage = nextPage;
    nextPage += placement.dataPages();
    placement.firstBitmapPage = nextPage;
    nextPage += placement.bitmapPages();
}

void setBit(std::uint8_t* bitmap, std::uint32_t bit) {
    bitmap[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
}

// Type 0 covers 512 pages from a start page; type 1 lists bitmap pages that each
// cover a fixed 32,736-page stretch of the file, a zero entry meaning "none here".
std::vector<std::uint8_t> ownedPagesMap(const Placement& placement) {
    if (!placement.usesType1Map()) {
        std::vector<std::uint8_t> map(5 + kType0MapBytes, 0x00);
        put32(map.data() + 1, placement.firstDataPage);
        for (std::uint32_t i = 0; i < placement.dataPages(); ++i)
            setBit(map.data() + 5, i);
        return map;
    }
    const std::uint32_t first = placement.firstBitmapIndex();
    std::vector<std::uint8_t> map(1 + 4 * (placement.lastBitmapIndex() + 1), 0x00);
    map[0] = 0x01;
    for (std::uint32_t k = first; k <= placement.lastBitmapIndex(); ++k)
        put32(map.data() + 1 + 4 * k, placement.firstBitmapPage + k - first);
    return map;
}

// An empty free-space map: no page of ours has room to offer to a later insert.
std::vector<std::uint8_t> freeSpaceMap() {
    return std::vector<std::uint8_t>(5 + kType0MapBytes, 0);
}

Page bitmapPage(const Placement& placement, std::uint32_t index) {
    Page page{};
    page[0] = 0x05;
    page[1] = 0x01;
    const std::uint32_t base = index * kPagesPerBitmapPage;
    const std::uint32_t from = std::max(base, placement.firstDataPage);
    const std::uint32_t to = std::min(base + kPagesPerBitmapPage - 1, placement.lastDataPage());
    for (std::uint32_t pageNumber = from; pageNumber <= to; ++pageNumber)
        setBit(page.data() + 4, pageNumber - base);
    return page;
}

void putRowPages(PageWriter& writer, std::uint32_t firstPage, std::uint32_t owner,
                 const RowStore& rows, const std::vector<std::size_t>& breaks) {
    for (std::size_t i = 0; i + 1 < breaks.size(); ++i)
        writer.put(firstPage + static_cast<std::uint32_t>(i),
                   dataPage(owner, rows, breaks[i], breaks[i + 1]));
}

void putDataAndBitmaps(PageWriter& writer, const Placement& placement) {
    putRowPages(writer, placement.firstDataPage, placement.definitionPage, placement.table->rows(),
                placement.pageBreaks);
    for (std::uint32_t i = 0; i < placement.bitmapPages(); ++i)
        writer.put(placement.firstBitmapPage + i,
                   bitmapPage(placement, placement.firstBitmapIndex() + i));
}

// libmdb binds these five columns by name and needs nothing else from MSysObjects;
// LvProp (an OLE column in Access) stays NULL, so a Memo serves.
Table catalogTable(const std::vector<Placement>& tables) {
    Table catalog("MSysObjects", {{"Id", ColumnType::Long},
                                  {"Name", ColumnType::Text, 128},
                                  {"Type", ColumnType::Integer},
                                  {"Flags", ColumnType::Long},
                                  {"LvProp", ColumnType::Memo}});
    constexpr int kUserTable = 1;
    for (const Placement& placement : tables)
        catalog.addRow({Value(placement.definitionPage), Value(placement.table->name()),
                        Value(kUserTable), Value(0), Value::null()});
    return catalog;
}

// Puts both maps of every table on shared pages starting at `firstPage` and records
// where each landed.
RowStore placeUsageMaps(const std::vector<Placement*>& placements, std::uint32_t firstPage,
                        std::vector<std::size_t>& breaks) {
    RowStore maps;
    for (const Placement* placement : placements) {
        maps.add(ownedPagesMap(*placement));
        maps.add(freeSpaceMap());
    }
    breaks = packRows(maps);
    std::vector<std::uint32_t> pgRows(maps.size());
    for (std::size_t page = 0; page + 1 < breaks.size(); ++page)
        for (std::size_t r = breaks[page]; r < breaks[page + 1]; ++r)
            pgRows[r] = (firstPage + static_cast<std::uint32_t>(page)) << 8 |
                        static_cast<std::uint32_t>(r - breaks[page]);
    for (std::size_t i = 0; i < placements.size(); ++i) {
        placements[i]->ownedMapRow = pgRows[2 * i];
        placements[i]->freeMapRow = pgRows[2 * i + 1];
    }
    return maps;
}

Page definitionPage(const Placement& placement, bool system) {
    return tableDefinitionPage(*placement.table, system, placement.ownedMapRow,
                               placement.freeMapRow);
}

} // namespace

void writeDatabase(const std::deque<Table>& tables, std::FILE* out) {
    std::uint32_t nextPage = kFirstTablePage;
    std::vector<Placement> userTables(tables.size());
    for (std::size_t i = 0; i < tables.size(); ++i) {
        userTables[i].table = &tables[i];
        userTables[i].definitionPage = nextPage++;
        placeData(userTables[i], nextPage);
    }
    const Table catalog = catalogTable(userTables);
    Placement catalogPlace;
    catalogPlace.table = &catalog;
    catalogPlace.definitionPage = kCatalogDefinitionPage;
    placeData(catalogPlace, nextPage);

    std::vector<Placement*> everyTable{&catalogPlace};
    for (Placement& placement : userTables)
        everyTable.push_back(&placement);
    std::vector<std::size_t> mapBreaks;
    const RowStore maps = placeUsageMaps(everyTable, nextPage, mapBreaks);

    PageWriter writer(out);
    writer.put(0, headerPage());
    writer.put(1, dataPage(0, RowStore{}, 0, 0));
    writer.put(kCatalogDefinitionPage, definitionPage(catalogPlace, true));
    for (const Placement& placement : userTables) {
        writer.put(placement.definitionPage, definitionPage(placement, false));
        putDataAndBitmaps(writer, placement);
    }
    putDataAndBitmaps(writer, catalogPlace);
    putRowPages(writer, nextPage, 0, maps, mapBreaks);
}

} // namespace jetwriter::detail
