#include "tools/simweb/market.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>

namespace simweb {
namespace {

constexpr std::size_t kUniverseSize = 2200;

// splitmix64's finaliser: spreads every input bit over the whole word.
std::uint64_t mix(std::uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

std::uint64_t fnv1a(std::string_view text)
{
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001b3ULL;
    }
    return h;
}

double toUnit(std::uint64_t h) { return static_cast<double>(h >> 11) * 0x1.0p-53; }

// Successive draws from one starting hash, for values that need several.
class Draws {
public:
    explicit Draws(std::uint64_t start) : state_(start) {}
    double unit() { return toUnit(state_ = mix(state_)); }
    int below(int n) { return static_cast<int>(unit() * n); }

private:
    std::uint64_t state_;
};

double cents(double dollars) { return std::round(dollars * 100.0) / 100.0; }

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string drawSymbol(Draws& draws)
{
    const double lengthDraw = draws.unit();
    const int length = lengthDraw < 0.02 ? 1 : lengthDraw < 0.14 ? 2 : lengthDraw < 0.58 ? 3 : 4;
    std::string symbol;
    for (int i = 0; i < length; ++i)
        symbol += static_cast<char>('A' + draws.below(26));
    if (draws.unit() < 0.015) {
        static constexpr std::array<const char*, 4> suffixes{".A", ".B", "-A", "-B"};
        symbol += suffixes[static_cast<std::size_t>(draws.below(4))];
    }
    return symbol;
}

constexpr std::array<const char*, 72> kStems{
    "Acme", "Allied", "Apex", "Arbor", "Atlas", "Aurora", "Beacon", "Bluewater",
    "Boreal", "Bridgeport", "Cardinal", "Cascade", "Centurion", "Citadel", "Coastal", "Cobalt",
    "Columbia", "Crescent", "Delta", "Dominion", "Eagle", "Eastgate", "Emerald", "Everest",
    "Fairview", "Falcon", "Frontier", "Galaxy", "Granite", "Harbor", "Heritage", "Horizon",
    "Imperial", "Ironwood", "Jupiter", "Keystone", "Lakeside", "Liberty", "Magnolia", "Meridian",
    "Midland", "Monarch", "Northstar", "Oakridge", "Orion", "Pacific", "Paragon", "Pinnacle",
    "Pioneer", "Quantum", "Redwood", "Regal", "Riverside", "Sentinel", "Sierra", "Summit",
    "Sunrise", "Titan", "Trident", "Unity", "Vanguard", "Vertex", "Westfield", "Zenith",
    // Foreign names keep the pages honest about character sets.
    "Société", "Müller", "Zürich", "Café", "Señora", "Nordström", "Crème", "Bjørn"};

constexpr std::array<const char*, 24> kTrades{
    "Systems", "Technologies", "Bancorp", "Pharmaceuticals", "Networks", "Software",
    "Semiconductor", "Energy", "Industries", "Foods", "Financial", "Communications",
    "Biotech", "Devices", "Resources", "Retail", "Airlines", "Motors",
    "Insurance", "Realty", "Media", "Labs", "Online", "Materials"};

constexpr std::array<const char*, 7> kForms{"Inc.", "Corp.", "Co.", "Ltd.", "Holdings", "Group", "Inc."};

template <std::size_t N>
const char* pick(const std::array<const char*, N>& words, Draws& draws)
{
    return words[static_cast<std::size_t>(draws.below(static_cast<int>(N)))];
}

} // namespace

const Market& Market::instance()
{
    static const Market market;
    return market;
}

Market::Market()
{
    std::set<std::string> symbols;
    Draws draws(fnv1a("simweb universe"));
    while (symbols.size() < kUniverseSize)
        symbols.insert(drawSymbol(draws));
    universe_.assign(symbols.begin(), symbols.end());
}

double Market::attribute(std::string_view ticker, std::string_view key)
{
    return toUnit(mix(fnv1a(ticker) ^ mix(fnv1a(key))));
}

int Market::whole(std::string_view ticker, std::string_view key, int low, int high)
{
    const int span = high - low + 1;
    return low + std::min(span - 1, static_cast<int>(attribute(ticker, key) * span));
}

bool Market::isSymbol(std::string_view text)
{
    std::size_t letters = 0;
    while (letters < text.size() && isAsciiLetter(text[letters]))
        ++letters;
    if (letters == 0 || letters > 5)
        return false;
    if (letters == text.size())
        return true;
    const std::string_view suffix = text.substr(letters + 1);
    return (text[letters] == '.' || text[letters] == '-') && !suffix.empty() && suffix.size() <= 2
           && std::all_of(suffix.begin(), suffix.end(), isAsciiLetter);
}

std::string Market::companyName(std::string_view ticker)
{
    Draws draws(fnv1a(ticker) ^ mix(fnv1a("company name")));
    std::string name = pick(kStems, draws);
    if (draws.unit() < 0.06) {
        name += " & ";
        name += pick(kStems, draws);
    } else {
        name += ' ';
        name += pick(kTrades, draws);
    }
    name += ' ';
    name += pick(kForms, draws);
    return name;
}

Quote Market::quote(std::string_view ticker)
{
    Quote q;
    const double band = attribute(ticker, "price band");
    const double level = attribute(ticker, "price level");
    if (band < 0.03)
        q.price = cents(0.15 + 0.84 * level);
    else if (band < 0.14)
        q.price = cents(1.0 + 3.99 * level);
    else
        q.price = cents(5.0 * std::pow(100.0, level));

    q.change = cents((attribute(ticker, "change") - 0.5) * 0.1 * q.price);

    const double thin = attribute(ticker, "volume band");
    const double amount = attribute(ticker, "volume level");
    const double shares = thin < 0.08 ? 1000.0 + 23900.0 * amount : 25000.0 * std::pow(1600.0, amount);
    q.volume = static_cast<std::int64_t>(shares / 100.0) * 100;
    return q;
}

std::vector<std::string> Market::top(std::string_view key, std::size_t count, Pool pool) const
{
    std::vector<std::pair<double, const std::string*>> scored;
    for (const std::string& ticker : universe_) {
        if (pool == Pool::LargeCaps) {
            const Quote q = quote(ticker);
            if (q.price < 10.0 || q.volume < 500000)
                continue;
        }
        scored.emplace_back(attribute(ticker, key), &ticker);
    }
    count = std::min(count, scored.size());
    std::partial_sort(scored.begin(), scored.begin() + static_cast<std::ptrdiff_t>(count), scored.end(),
                      [](const auto& a, const auto& b) {
                          return a.first != b.first ? a.first > b.first : *a.second < *b.second;
                      });
    std::vector<std::string> tickers;
    for (std::size_t i = 0; i < count; ++i)
        tickers.push_back(*scored[i].second);
    return tickers;
}

} // namespace simweb
