#include "CsvReader.h"

#include <stdexcept>

namespace jetwriter {

CsvReader::CsvReader(std::string_view text) : text_(text) {
    if (text_.starts_with("\xEF\xBB\xBF"))
        pos_ = 3;
}

bool CsvReader::next(std::vector<CsvField>& record) {
    if (pos_ >= text_.size())
        return false;
    recordLine_ = line_;
    record.clear();
    for (;;) {
        record.push_back(readField());
        if (pos_ >= text_.size())
            return true;
        if (text_[pos_] == ',') {
            ++pos_;
            continue;
        }
        if (text_[pos_] == '\r')
            ++pos_;
        if (pos_ < text_.size())
            ++pos_; // the '\n'
        ++line_;
        return true;
    }
}

bool CsvReader::atFieldEnd() const {
    const char c = text_[pos_];
    return c == ',' || c == '\n' ||
           (c == '\r' && (pos_ + 1 == text_.size() || text_[pos_ + 1] == '\n'));
}

CsvField CsvReader::readField() {
    CsvField field;
    if (pos_ < text_.size() && text_[pos_] == '"') {
        field.quoted = true;
        for (++pos_;; ++pos_) {
            if (pos_ >= text_.size())
                throw std::invalid_argument("line " + std::to_string(recordLine_) +
                                            ": quoted field is never closed");
            const char c = text_[pos_];
            if (c == '"' && (pos_ + 1 == text_.size() || text_[pos_ + 1] != '"'))
                break;
            if (c == '"')
                ++pos_; // the first of a doubled quote
            if (c == '\n')
                ++line_;
            field.text += c;
        }
        ++pos_; // the closing quote
        if (pos_ < text_.size() && !atFieldEnd())
            throw std::invalid_argument("line " + std::to_string(line_) +
                                        ": unexpected character after a closing quote");
        return field;
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !atFieldEnd())
        ++pos_;
    field.text = text_.substr(start, pos_ - start);
    return field;
}

} // namespace jetwriter
