// The writer is only as good as what libmdb reads back, so every test here goes
// through libmdb's C API rather than through our own reader.

#include "CsvImport.h"
#include "CsvReader.h"
#include "JetWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <mdbtools.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace jetwriter;
using ::testing::AllOf;
using ::testing::HasSubstr;

namespace {

using Row = std::vector<std::optional<std::string>>; // nullopt = NULL

struct ReadBack {
    std::vector<std::string> names;
    std::vector<int> types;
    std::vector<int> sizes;
    std::vector<Row> rows;
    unsigned definitionRowCount = 0;
    int mapType = -1;
};

using MdbPtr = std::unique_ptr<MdbHandle, decltype(&mdb_close)>;

MdbPtr openMdb(const fs::path& file) {
    MdbPtr mdb(mdb_open(file.c_str(), MDB_NOFLAGS), mdb_close);
    if (!mdb)
        throw std::runtime_error("libmdb cannot open " + file.string());
    mdb_set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
    if (mdb_read_catalog(mdb.get(), MDB_TABLE) == nullptr)
        throw std::runtime_error("no catalogue");
    return mdb;
}

std::vector<std::string> tableNames(const fs::path& file) {
    MdbPtr mdb = openMdb(file);
    std::vector<std::string> names;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && !mdb_is_system_table(entry))
            names.emplace_back(entry->object_name);
    }
    return names;
}

ReadBack readTable(const fs::path& file, const std::string& name) {
    MdbPtr mdb = openMdb(file);
    std::unique_ptr<MdbTableDef, decltype(&mdb_free_tabledef)> table(
        mdb_read_table_by_name(mdb.get(), const_cast<gchar*>(name.c_str()), MDB_TABLE),
        mdb_free_tabledef);
    if (!table)
        throw std::runtime_error("no table " + name);
    mdb_read_columns(table.get());
    mdb_rewind_table(table.get());
    ReadBack result;
    result.definitionRowCount = table->num_rows;
    result.mapType = table->map_sz > 0 ? table->usage_map[0] : -1;
    const unsigned count = table->num_cols;
    std::vector<std::vector<char>> buffers(count, std::vector<char>(mdb->bind_size));
    std::vector<int> lengths(count);
    for (unsigned i = 0; i < count; ++i) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        result.names.emplace_back(column->name);
        result.types.push_back(column->col_type);
        result.sizes.push_back(column->col_size);
        mdb_bind_column(table.get(), static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
    }
    // Bound values say "" for both NULL and empty text; the row cracker keeps them apart.
    std::vector<MdbField> fields(count);
    while (mdb_fetch_row(table.get())) {
        int start = 0;
        size_t size = 0;
        mdb_find_row(mdb.get(), static_cast<int>(table->cur_row) - 1, &start, &size);
        mdb_crack_row(table.get(), start & 0x1FFF, size, fields.data());
        Row row;
        for (unsigned i = 0; i < count; ++i) {
            if (fields[i].is_null && result.types[i] != MDB_BOOL)
                row.emplace_back();
            else
                row.emplace_back(std::string(buffers[i].data(), static_cast<size_t>(lengths[i])));
        }
        result.rows.push_back(std::move(row));
    }
    return result;
}

template <typename F> std::string invalidArgumentFrom(F&& action) {
    try {
        action();
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    ADD_FAILURE() << "no std::invalid_argument thrown";
    return {};
}

class JetWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("jetwriter_test_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path file(const std::string& name) const { return folder_ / name; }

    fs::path folder_;
};

const std::vector<Column> kEveryType = {{"IDCLIENTE", ColumnType::Long},
                                        {"nombre", ColumnType::Text, 50},
                                        {"CESE", ColumnType::DateTime},
                                        {"Prioridad", ColumnType::Integer},
                                        {"importe", ColumnType::Currency},
                                        {"activo", ColumnType::Boolean},
                                        {"nota", ColumnType::Memo},
                                        {"precio", ColumnType::Double},
                                        {"b", ColumnType::Byte}};

// Appending rather than `"x" + std::to_string(n)`, which trips GCC 12's -Wrestrict at -O3.
std::string numbered(const char* prefix, int n) {
    std::string name = prefix;
    name += std::to_string(n);
    return name;
}

constexpr std::uint64_t kFnvOffset = 1469598103934665603ull;

std::uint64_t fnv1a(const std::string& text, std::uint64_t hash) {
    for (unsigned char c : text)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

} // namespace

TEST(DateTimeTest, CountsDaysFromJetEpochWithTimeAsFraction) {
    EXPECT_EQ(DateTime::fromCivil(1899, 12, 30).days, 0.0);
    EXPECT_EQ(DateTime::fromCivil(1900, 1, 1).days, 2.0);
    EXPECT_EQ(DateTime::fromCivil(2024, 2, 29, 12).days, 45351.5);
    EXPECT_EQ(DateTime::fromCivil(1899, 12, 29, 6).days, -1.25); // Jet's negative convention
    EXPECT_THROW(DateTime::fromCivil(2023, 2, 29), std::invalid_argument);
    EXPECT_THROW(DateTime::fromCivil(2024, 13, 1), std::invalid_argument);
    EXPECT_THROW(DateTime::fromCivil(2024, 1, 1, 24), std::invalid_argument);
}

TEST_F(JetWriterTest, AccentedAndNonLatinTextSurvives) {
    const std::vector<std::string> samples = {"Peña Ibáñez, José", "Ελληνικά", "Кириллица",
                                              "中文字符",          "ÄÖÜß €",   "línea1\r\nlínea2"};
    Database db;
    Table& t = db.addTable("Categorías", {{"Año", ColumnType::Long},
                                          {"Descripción", ColumnType::Text, 40},
                                          {"Nota", ColumnType::Memo}});
    for (std::size_t i = 0; i < samples.size(); ++i)
        t.addRow({Value(static_cast<int>(i)), Value(samples[i]),
                  Value(samples[i] + " — " + samples[i])});
    db.write(file("t.mdb"));

    EXPECT_EQ(tableNames(file("t.mdb")), std::vector<std::string>{"Categorías"});
    const ReadBack back = readTable(file("t.mdb"), "Categorías");
    EXPECT_EQ(back.names, (std::vector<std::string>{"Año", "Descripción", "Nota"}));
    ASSERT_EQ(back.rows.size(), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(back.rows[i][1], samples[i]);
        EXPECT_EQ(back.rows[i][2], samples[i] + " — " + samples[i]);
    }
}

TEST_F(JetWriterTest, LargeTableUsesType1UsageMap) {
    Database db;
    Table& big = db.addTable("Movimientos", {{"id", ColumnType::Long},
                                             {"importe", ColumnType::Currency},
                                             {"ref", ColumnType::Text, 12}});
    const int rows = 200000;
    long long idSum = 0;
    std::uint64_t refHash = kFnvOffset;
    for (int i = 0; i < rows; ++i) {
        const std::string ref = numbered("R", i * 7);
        big.addRow({Value(i), Value(Currency{i}), Value(ref)});
        idSum += i;
        refHash = fnv1a(ref, refHash);
    }
    // A table written after the big one must still be found through the catalogue.
    db.addTable("Despues", {{"x", ColumnType::Long}}).addRow({Value(42)});
    db.write(file("big.mdb"));

    const ReadBack back = readTable(file("big.mdb"), "Movimientos");
    EXPECT_EQ(back.mapType, 1);
    EXPECT_EQ(back.definitionRowCount, static_cast<unsigned>(rows));
    ASSERT_EQ(back.rows.size(), static_cast<std::size_t>(rows));
    long long readSum = 0;
    std::uint64_t readHash = kFnvOffset;
    for (const Row& row : back.rows) {
        readSum += std::stoll(*row[0]);
        readHash = fnv1a(*row[2], readHash);
    }
    EXPECT_EQ(readSum, idSum);
    EXPECT_EQ(readHash, refHash);
    EXPECT_EQ(back.rows.back()[1], "19.9999");
    EXPECT_EQ(readTable(file("big.mdb"), "Despues").rows, (std::vector<Row>{{"42"}}));
}

// Past 32,736 pages a type-1 map needs a second bitmap page. Rows just over half a
// page (2,059 bytes) take a page each, so 33,000 of them get there (a 135 MB file).
TEST_F(JetWriterTest, TableBeyondOneBitmapPageOfType1Map) {
    std::vector<Column> wide{{"id", ColumnType::Long}};
    for (int i = 0; i < 4; ++i)
        wide.push_back({numbered("t", i), ColumnType::Text, 255});
    Database db;
    Table& t = db.addTable("Enorme", wide);
    std::vector<Value> values(5, Value(std::string(255, 'q')));
    const int rows = 33000;
    for (int i = 0; i < rows; ++i) {
        values[0] = Value(i);
        t.addRow(values);
    }
    db.addTable("Despues", {{"x", ColumnType::Long}}).addRow({Value(2)});
    db.write(file("huge.mdb"));

    MdbPtr mdb = openMdb(file("huge.mdb"));
    std::unique_ptr<MdbTableDef, decltype(&mdb_free_tabledef)> table(
        mdb_read_table_by_name(mdb.get(), const_cast<gchar*>("Enorme"), MDB_TABLE),
        mdb_free_tabledef);
    ASSERT_TRUE(table);
    mdb_read_columns(table.get());
    mdb_rewind_table(table.get());
    EXPECT_EQ(table->usage_map[0], 1);
    EXPECT_EQ(table->map_sz, 1u + 2 * 4); // two bitmap pages listed
    std::vector<char> id(mdb->bind_size);
    mdb_bind_column(table.get(), 1, id.data(), nullptr);
    int expected = 0;
    while (mdb_fetch_row(table.get()))
        ASSERT_EQ(std::atoi(id.data()), expected++);
    EXPECT_EQ(expected, rows);
    EXPECT_EQ(readTable(file("huge.mdb"), "Despues").rows, (std::vector<Row>{{"2"}}));
}

// libmdb would take up to 1000 rows per page, but a pg_row pointer only has 8 bits
// for the row, so Jet never puts more than 255 on a page.
TEST_F(JetWriterTest, SmallRowsStopAt255PerPage) {
    Database db;
    Table& t = db.addTable("Bytes", {{"b", ColumnType::Byte}});
    for (int i = 0; i < 1000; ++i)
        t.addRow({Value(i % 256)});
    db.write(file("t.mdb"));

    MdbPtr mdb = openMdb(file("t.mdb"));
    std::unique_ptr<MdbTableDef, decltype(&mdb_free_tabledef)> table(
        mdb_read_table_by_name(mdb.get(), const_cast<gchar*>("Bytes"), MDB_TABLE),
        mdb_free_tabledef);
    ASSERT_TRUE(table);
    mdb_read_columns(table.get());
    mdb_rewind_table(table.get());
    int rows = 0;
    unsigned mostOnAPage = 0;
    while (mdb_fetch_row(table.get())) {
        ++rows;
        mostOnAPage = std::max(mostOnAPage, mdb->pg_buf[12] | unsigned{mdb->pg_buf[13]} << 8);
    }
    EXPECT_EQ(rows, 1000);
    EXPECT_EQ(mostOnAPage, 255u);
}

TEST_F(JetWriterTest, ManyTablesSpreadTheirUsageMapsOverSeveralPages) {
    Database db;
    const int tables = 150; // two 69-byte map rows each: about 4 pages of maps
    for (int i = 0; i < tables; ++i)
        db.addTable(numbered("T", i), {{"n", ColumnType::Long}}).addRow({Value(i)});
    db.write(file("t.mdb"));

    ASSERT_EQ(tableNames(file("t.mdb")).size(), static_cast<std::size_t>(tables));
    for (int i : {0, 57, 58, 149})
        EXPECT_EQ(readTable(file("t.mdb"), numbered("T", i)).rows,
                  (std::vector<Row>{{std::to_string(i)}}));
}

TEST_F(JetWriterTest, SeveralTablesIncludingAnEmptyOne) {
    Database db;
    db.addTable("Uno", {{"a", ColumnType::Long}}).addRow({Value(1)});
    db.addTable("Vacia", {{"t", ColumnType::Text, 10}});
    Table& tres = db.addTable("Tres", {{"d", ColumnType::Double}, {"t", ColumnType::Text, 5}});
    tres.addRow({Value(0.25), Value("abc")});
    tres.addRow({Value::null(), Value("de")});
    db.write(file("t.mdb"));

    EXPECT_EQ(tableNames(file("t.mdb")), (std::vector<std::string>{"Uno", "Vacia", "Tres"}));
    EXPECT_EQ(readTable(file("t.mdb"), "Uno").rows, (std::vector<Row>{{"1"}}));
    EXPECT_TRUE(readTable(file("t.mdb"), "Vacia").rows.empty());
    EXPECT_EQ(readTable(file("t.mdb"), "Tres").rows,
              (std::vector<Row>{{"0.25", "abc"}, {std::nullopt, "de"}}));
}

TEST_F(JetWriterTest, ValuesThatDoNotFitAreRejectedWithTheColumnNamed) {
    struct Case {
        std::size_t column;
        Value value;
        const char* mentions;
    };
    const std::vector<Case> cases = {
        {0, Value("12"), "\"IDCLIENTE\": Long column cannot take a text"},
        {1, Value(std::string(51, 'a')), "51 characters is longer than the limit of 50"},
        {1, Value(12), "\"nombre\""},
        {8, Value(256), "outside the Byte range"},
        {3, Value(40000), "outside the Integer range"},
        {0, Value(2147483648LL), "outside the Long range"},
        {5, Value::null(), "cannot be NULL"},
        {5, Value(1), "\"activo\""},
        {2, Value(3.5), "\"CESE\""},
        {6, Value(std::string(kMaxMemoChars + 1, 'm')), "\"nota\""},
        {1, Value("\xC3\x28"), "UTF-8"},
        {1, Value("\xF0\x9F\x98\x80"), "U+FFFF"},
        {1, Value("\xEF\xBB\xBFx"), "U+FEFF"},
    };
    Table t("CLIENTES", kEveryType);
    for (const Case& c : cases) {
        std::vector<Value> values = {Value(1),      Value("x"),    Value::null(),
                                     Value::null(), Value::null(), Value(false),
                                     Value::null(), Value::null(), Value::null()};
        values[c.column] = c.value;
        EXPECT_THAT(invalidArgumentFrom([&] { t.addRow(values); }),
                    AllOf(HasSubstr("table \"CLIENTES\", row 1"), HasSubstr(c.mentions)));
    }
    EXPECT_THAT(invalidArgumentFrom([&] { t.addRow({Value(1)}); }),
                HasSubstr("expected 9 values, got 1"));
    EXPECT_EQ(t.rowCount(), 0u); // nothing half-added
}

TEST_F(JetWriterTest, RowLongerThanAPageIsRejected) {
    std::vector<Column> wide;
    for (int i = 0; i < 8; ++i)
        wide.push_back({numbered("t", i), ColumnType::Text, 255});
    Table t("Ancha", wide);
    std::vector<Value> values(8, Value(std::string(255, 'w')));
    values[7] = Value("short");
    EXPECT_NO_THROW(t.addRow(values)); // 7 x 510 bytes fit
    values[7] = Value(std::string(255, 'w'));
    EXPECT_THAT(invalidArgumentFrom([&] { t.addRow(values); }), HasSubstr("limit of 4060"));
}

TEST_F(JetWriterTest, BadDefinitionsAreRejected) {
    EXPECT_THROW(Table("T", {}), std::invalid_argument);
    EXPECT_THROW(Table("T", {{"t", ColumnType::Text}}), std::invalid_argument);
    EXPECT_THROW(Table("T", {{"t", ColumnType::Text, 256}}), std::invalid_argument);
    EXPECT_THROW(Table("T", {{"Id", ColumnType::Long}, {"ID", ColumnType::Long}}),
                 std::invalid_argument);
    EXPECT_THROW(Table("T", {{"", ColumnType::Long}}), std::invalid_argument);
    EXPECT_THROW(Table("", {{"a", ColumnType::Long}}), std::invalid_argument);
    EXPECT_THROW(Table(std::string(65, 'n'), {{"a", ColumnType::Long}}), std::invalid_argument);
    std::vector<Column> many;
    for (int i = 0; i < 256; ++i)
        many.push_back({numbered("c", i), ColumnType::Long});
    EXPECT_THROW(Table("T", many), std::invalid_argument);
    many.resize(150); // 150 descriptors and names overflow the single definition page
    for (Column& c : many)
        c.name += std::string(10, 'x');
    EXPECT_THAT(invalidArgumentFrom([&] { Table("T", many); }), HasSubstr("page"));

    Database db;
    db.addTable("Clientes", {{"a", ColumnType::Long}});
    EXPECT_THROW(db.addTable("CLIENTES", {{"a", ColumnType::Long}}), std::invalid_argument);
    EXPECT_THROW(db.addTable("MSysObjects", {{"a", ColumnType::Long}}), std::invalid_argument);
    EXPECT_EQ(db.tables().size(), 1u);
}

TEST_F(JetWriterTest, WriteReplacesTheFileAndLeavesNoTemporaryBehind) {
    { std::ofstream(file("t.mdb")) << "not a database"; }
    Database db;
    db.addTable("T", {{"a", ColumnType::Long}}).addRow({Value(7)});
    db.write(file("t.mdb"));
    EXPECT_EQ(readTable(file("t.mdb"), "T").rows, (std::vector<Row>{{"7"}}));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(JetWriterTest, FailedWriteLeavesNothingBehind) {
    Database db;
    db.addTable("T", {{"a", ColumnType::Long}});
    fs::create_directory(file("ocupado")); // rename over a directory fails
    EXPECT_THROW(db.write(file("ocupado")), std::runtime_error);
    EXPECT_THROW(db.write(file("no-such-folder") / "t.mdb"), std::runtime_error);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_directory(file("ocupado")));
}

TEST(CsvReaderTest, ReaderFollowsRfc4180) {
    const std::string text = "\xEF\xBB\xBF"
                             "a,\"b,c\",\"say \"\"hi\"\"\"\r\n"
                             ",\"\",\"two\nlines\"\n"
                             "last";
    CsvReader reader(text);
    std::vector<CsvField> record;
    ASSERT_TRUE(reader.next(record));
    EXPECT_EQ(reader.recordLine(), 1u);
    ASSERT_EQ(record.size(), 3u);
    EXPECT_EQ(record[0].text, "a");
    EXPECT_EQ(record[1].text, "b,c");
    EXPECT_EQ(record[2].text, "say \"hi\"");
    ASSERT_TRUE(reader.next(record));
    EXPECT_EQ(reader.recordLine(), 2u);
    ASSERT_EQ(record.size(), 3u);
    EXPECT_FALSE(record[0].quoted);
    EXPECT_EQ(record[0].text, "");
    EXPECT_TRUE(record[1].quoted);
    EXPECT_EQ(record[1].text, "");
    EXPECT_EQ(record[2].text, "two\nlines");
    ASSERT_TRUE(reader.next(record));
    EXPECT_EQ(reader.recordLine(), 4u);
    EXPECT_EQ(record[0].text, "last");
    EXPECT_FALSE(reader.next(record));
}

TEST(CsvReaderTest, MalformedQuotingIsAnError) {
    std::vector<CsvField> record;
    CsvReader unclosed("a\n\"never closed,\n");
    ASSERT_TRUE(unclosed.next(record));
    EXPECT_THAT(invalidArgumentFrom([&] { unclosed.next(record); }), HasSubstr("line 2"));
    CsvReader stray("\"a\"b,c\n");
    EXPECT_THROW(stray.next(record), std::invalid_argument);
}

TEST(CsvImportTest, HeaderFieldsNameAndTypeColumns) {
    EXPECT_EQ(parseColumnHeader("IDCLIENTE:long").type, ColumnType::Long);
    EXPECT_EQ(parseColumnHeader("x:Integer").type, ColumnType::Integer);
    EXPECT_EQ(parseColumnHeader("x:byte").type, ColumnType::Byte);
    EXPECT_EQ(parseColumnHeader("x:double").type, ColumnType::Double);
    EXPECT_EQ(parseColumnHeader("x:currency").type, ColumnType::Currency);
    EXPECT_EQ(parseColumnHeader("x:datetime").type, ColumnType::DateTime);
    EXPECT_EQ(parseColumnHeader("x:boolean").type, ColumnType::Boolean);
    EXPECT_EQ(parseColumnHeader("x:memo").type, ColumnType::Memo);
    const Column text = parseColumnHeader(" Grupo : text(30) ");
    EXPECT_EQ(text.name, "Grupo");
    EXPECT_EQ(text.type, ColumnType::Text);
    EXPECT_EQ(text.size, 30);
    EXPECT_EQ(parseColumnHeader("Hora:inicio:datetime").name, "Hora:inicio");
    EXPECT_THROW(parseColumnHeader("nombre"), std::invalid_argument);
    EXPECT_THROW(parseColumnHeader("a:float"), std::invalid_argument);
    EXPECT_THROW(parseColumnHeader("a:text(x)"), std::invalid_argument);
    EXPECT_THROW(parseColumnHeader("a:text"), std::invalid_argument);
}

TEST_F(JetWriterTest, CsvTableRoundTripsThroughLibmdb) {
    const std::string csv =
        "IDCLIENTE:long,nombre:text(50),Grupo:text(30),CESE:datetime,Prioridad:integer,"
        "importe:currency,activo:boolean,nota:memo,precio:double,b:byte\n"
        "1,\"Peña, José\",\"Grupo \"\"A\"\"\",2024-02-29 "
        "13:45:07,3,0.1,true,\"línea1\nlínea2\",444.555,7\r\n"
        "2,,\"\",2001-01-01,-5,-12345.6789,FALSE,,1e3,255\n"
        "3,Ωμέγα,x,,,,0,\"\",,\n";
    Database db;
    addCsvTable(db, "CLIENTES", csv);
    db.write(file("csv.mdb"));

    const ReadBack back = readTable(file("csv.mdb"), "CLIENTES");
    EXPECT_EQ(back.names[2], "Grupo");
    const std::optional<std::string> null;
    ASSERT_EQ(back.rows.size(), 3u);
    EXPECT_EQ(back.rows[0], (Row{"1", "Peña, José", "Grupo \"A\"", "2024-02-29 13:45:07", "3",
                                 "0.1000", "1", "línea1\nlínea2", "444.555", "7"}));
    EXPECT_EQ(back.rows[1], (Row{"2", null, "", "2001-01-01 00:00:00", "-5", "-12345.6789", "0",
                                 null, "1000", "255"}));
    EXPECT_EQ(back.rows[2], (Row{"3", "Ωμέγα", "x", null, null, null, "0", "", null, null}));
}

TEST(CsvImportTest, BadValuesNameTheLineAndLeaveTheDatabaseAlone) {
    const std::string header = "id:long,cuando:datetime,importe:currency,ok:boolean\n";
    const auto errorFor = [&](const std::string& body) {
        Database db;
        const std::string message =
            invalidArgumentFrom([&] { addCsvTable(db, "T", header + body); });
        EXPECT_TRUE(db.tables().empty()) << message;
        return message;
    };
    EXPECT_THAT(
        errorFor("1,,,1\n2x,,,1\n"),
        AllOf(HasSubstr("line 3"), HasSubstr("column \"id\": \"2x\" is not a whole number")));
    EXPECT_THAT(errorFor("1,,1\n"), HasSubstr("expected 4 fields, found 3"));
    EXPECT_THAT(errorFor("1,2024-02-30,,1\n"), HasSubstr("invalid date"));
    EXPECT_THAT(errorFor("1,2024/01/01,,1\n"), HasSubstr("\"cuando\""));
    EXPECT_THAT(errorFor("1,,1.23456,1\n"), HasSubstr("\"importe\""));
    EXPECT_THAT(errorFor("1,,1,5,1\n"), HasSubstr("expected 4"));
    EXPECT_THAT(errorFor("1,,,maybe\n"), HasSubstr("\"ok\""));
    EXPECT_THAT(errorFor("\"\",,,1\n"), HasSubstr("\"id\"")); // "" is text, not NULL
    EXPECT_THAT(errorFor("1,,,\n"), HasSubstr("NULL"));
    EXPECT_THAT(invalidArgumentFrom([] {
                    Database db;
                    addCsvTable(db, "T", "");
                }),
                HasSubstr("header"));
}

TEST_F(JetWriterTest, CsvFilesBecomeTablesNamedAfterThem) {
    { std::ofstream(file("Clientes.csv")) << "id:long,nombre:text(10)\n1,Ana\n"; }
    { std::ofstream(file("Grupos.csv")) << "g:text(5)\r\nA\r\n"; }
    const Database db = databaseFromCsvFiles({file("Clientes.csv"), file("Grupos.csv")});
    db.write(file("out.mdb"));
    EXPECT_EQ(tableNames(file("out.mdb")), (std::vector<std::string>{"Clientes", "Grupos"}));
    EXPECT_EQ(readTable(file("out.mdb"), "Grupos").rows, (std::vector<Row>{{"A"}}));
    EXPECT_THROW(databaseFromCsvFiles({file("missing.csv")}), std::runtime_error);
}

#ifdef JET_WRITER_BINARY
TEST_F(JetWriterTest, CommandExitsZeroOnSuccessAndTwoWithAMessage) {
    { std::ofstream(file("Clientes.csv")) << "id:long,nombre:text(10)\n1,Ana\n"; }
    { std::ofstream(file("Mal.csv")) << "id:long\nx\n"; }
    const std::string binary = JET_WRITER_BINARY;
    const auto run = [&](const std::string& args) {
        const int status =
            std::system((binary + " " + args + " 2>" + file("err.txt").string()).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run(file("ok.mdb").string() + " " + file("Clientes.csv").string()), 0);
    EXPECT_EQ(readTable(file("ok.mdb"), "Clientes").rows, (std::vector<Row>{{"1", "Ana"}}));
    EXPECT_EQ(run(file("bad.mdb").string() + " " + file("Mal.csv").string()), 2);
    std::ifstream err(file("err.txt"));
    const std::string message((std::istreambuf_iterator<char>(err)),
                              std::istreambuf_iterator<char>());
    EXPECT_THAT(message, HasSubstr("Mal.csv: line 2")) << message;
    EXPECT_FALSE(fs::exists(file("bad.mdb")));
    EXPECT_EQ(run(file("x.mdb").string()), 2);
}
#endif
