#include "files/listfiles.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "files/listfile.h"

namespace veltrop {

std::optional<std::vector<std::string>> readListFile(const std::string& path)
{
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return readTickers(in);
}

std::vector<std::string> readTickers(std::istream& in)
{
    std::vector<std::string> tickers;
    for (const std::string& raw : listfile::readLines(in, maxTickers))
        tickers.push_back(decode1252(upperCase1252(raw)));
    return tickers;
}

std::string writeListFile(const std::string& path, const TickerList& list)
{
    std::string content;
    for (const ListedTicker& listed : list) {
        content += encode1252(listed.ticker);
        content += "\r\n";
    }
    return listfile::replaceFile(path, content);
}

} // namespace veltrop
