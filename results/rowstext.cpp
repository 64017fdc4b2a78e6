#include "results/rowstext.h"

namespace veltrop {
namespace {

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n ") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

} // namespace

std::string rowsAsCsv(const RankedRows& rows)
{
    std::string out = "ticker,score,band\r\n";
    for (const RankedRow& row : rows)
        out += csvField(row.ticker) + "," + scoreText(row.score) + "," + std::to_string(row.band) + "\r\n";
    return out;
}

std::string rowsAsTabbed(const RankedRows& rows)
{
    std::string out = "Ticker\tScore\tBand\n";
    for (const RankedRow& row : rows)
        out += row.ticker + "\t" + scoreText(row.score) + "\t" + std::to_string(row.band) + "\n";
    return out;
}

} // namespace veltrop
