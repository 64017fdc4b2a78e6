#include "domain/tickers.h"

#include <cmath>
#include <cstdio>

#include "web/text.h"

namespace veltrop {

bool isEmpty(const CellValue& v) { return std::holds_alternative<std::monostate>(v); }

std::string cellText(const CellValue& v)
{
    if (auto s = std::get_if<std::string>(&v))
        return *s;
    if (auto d = std::get_if<double>(&v)) {
        if (std::floor(*d) == *d && std::fabs(*d) < 1e15)
            return std::to_string(static_cast<long long>(*d));
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", *d);
        return buf;
    }
    return {};
}

double cellNumber(const CellValue& value)
{
    if (auto d = std::get_if<double>(&value))
        return *d;
    if (auto s = std::get_if<std::string>(&value))
        return leadingNumber(*s);
    return 0;
}

bool TickerList::add(std::string ticker)
{
    if (full())
        return false;
    rows_.push_back({std::move(ticker), {}});
    return true;
}

} // namespace veltrop
