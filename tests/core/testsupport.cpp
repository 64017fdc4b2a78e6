#include "testsupport.h"

namespace veltrop::testing {

std::string listPage(int table, int headerRows, int column, const std::vector<std::string>& cells,
                     const std::string& extraAfter)
{
    std::string html = "<html><body>";
    for (int t = 1; t < table; ++t)
        html += "<table><tr><td>layout " + std::to_string(t) + "</td></tr></table>";
    html += "<table>";
    for (int h = 0; h < headerRows; ++h)
        html += "<tr><th colspan=9>Header</th></tr>";
    for (const std::string& cell : cells) {
        html += "<tr>";
        for (int c = 1; c < column; ++c)
            html += "<td>x</td>";
        html += "<td>" + cell + "</td><td>more</td></tr>";
    }
    html += "</table>" + extraAfter + "</body></html>";
    return html;
}

} // namespace veltrop::testing
