// jet-writer OUT.mdb TABLE1.csv [TABLE2.csv ...]
// Builds a Jet 4 database with one table per CSV file; the format is described in CsvImport.h.

#include "CsvImport.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: jet-writer OUT.mdb TABLE.csv [TABLE.csv ...]\n"
                     "  Each CSV file becomes a table named after the file; its first line\n"
                     "  types the columns: name:long, name:text(50), name:datetime, ...\n";
        return 2;
    }
    try {
        jetwriter::databaseFromCsvFiles({argv + 2, argv + argc}).write(argv[1]);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "jet-writer: " << e.what() << '\n';
        return 2;
    }
}
