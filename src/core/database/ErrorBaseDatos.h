#pragma once

#include <stdexcept>

namespace envio {

// A database failure in the user's words, naming the file or quoting the statement.
class ErrorBaseDatos : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace envio
