#pragma once

// RFC 4180 records: fields separated by commas, records by CRLF or LF; a field in
// double quotes may hold commas, line breaks and doubled quotes.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace jetwriter {

struct CsvField {
    std::string text;
    bool quoted = false; // tells an empty text ("") from an empty field
};

class CsvReader {
public:
    // `text` must outlive the reader. A leading UTF-8 byte-order mark is skipped.
    explicit CsvReader(std::string_view text);

    // False at the end of the text. Throws std::invalid_argument for a quote that is
    // never closed or is followed by something other than a separator.
    bool next(std::vector<CsvField>& record);

    // The 1-based line on which the last record returned by next() starts.
    std::size_t recordLine() const { return recordLine_; }

private:
    CsvField readField();
    bool atFieldEnd() const;

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    std::size_t recordLine_ = 0;
};

} // namespace jetwriter
