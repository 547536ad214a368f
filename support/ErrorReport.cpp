#include "support/ErrorReport.h"

namespace sheetfray {

std::string ErrorReport::text() const
{
    std::string out = description;
    out += "\r\n";
    out += location;
    out += "at line ";
    out += std::to_string(line);
    out += "\r\r";
    out += "Please email screenshot of this message to ";
    out += SupportAddress;
    return out;
}

} // namespace sheetfray
