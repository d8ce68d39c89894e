#pragma once

#include <QString>
#include <string_view>

namespace envio::gui {

// The core's UTF-8 text as Qt shows it.
inline QString q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace envio::gui
