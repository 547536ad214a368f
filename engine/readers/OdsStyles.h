// The styles of an OpenDocument spreadsheet that reading cells needs: which cell style shows
// dates and times in which form (ODF 1.2 part 1, 16.27 and 19).
#pragma once

#include "engine/readers/XmlStream.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sheetfray::engine::readers {

// Collects style definitions from styles.xml and from the automatic styles of content.xml;
// elements outside style definitions are ignored, so a whole document can be fed to it.
class OdsStyles final : public XmlHandler
{
public:
    void startElement(std::string_view name, const XmlAttributes& attributes) override;
    void endElement(std::string_view name) override;
    void characters(std::string_view text) override;

    // The number-format code equivalent to the date or time style that a cell style shows
    // its value with ("mm/dd/yyyy"); empty when the style has no such data style or it uses
    // parts that format codes cannot express (quarters, weeks, eras).
    [[nodiscard]] std::string dateTimeCode(std::string_view cellStyle) const;

    // The same for number, percentage and currency styles ("#,##0.00", "0.0%",
    // "\"$\"#,##0.00;\"-\"\"$\"#,##0.00"), their conditional maps as code sections; empty when
    // the style has none or uses what codes cannot express. Writers that store no paragraph
    // for a cell leave its display to this format.
    [[nodiscard]] std::string numberCode(std::string_view cellStyle) const;

private:
    struct CellStyle
    {
        std::string parent;
        std::string dataStyle;
    };

    // A style:map of a number style: which values it sends to another style.
    struct Map
    {
        std::string condition; // "value()>=0"
        std::string style;
    };

    struct DataStyle
    {
        std::string code;
        bool expressible = true;
        bool dateOrTime = false;
        bool percentage = false;
        std::vector<Map> maps;
    };

    void appendLiteral(std::string_view text);
    void startNumberPart(std::string_view name, const XmlAttributes& attributes);
    [[nodiscard]] const DataStyle* dataStyleOf(std::string_view cellStyle) const;

    std::unordered_map<std::string, CellStyle> m_cellStyles;
    std::unordered_map<std::string, DataStyle> m_dataStyles;

    // The definition being read.
    std::string m_styleName;
    std::string m_styleFamily;
    bool m_inDataStyle = false;
    bool m_elapsedHours = false; // a time style whose hours do not wrap at 24
    bool m_inText = false;
    int m_mapDepth = 0;
    DataStyle m_data;
};

} // namespace sheetfray::engine::readers
