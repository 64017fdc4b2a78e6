// A user's own catalogue over the built-in one.
#include "domain/catalogue.h"

#include <cstdlib>
#include <filesystem>

namespace veltrop {
namespace {

// Replaces the entry of `into` named as `entry`, or adds it at the end.
template <class Entry>
void putEntry(std::vector<Entry>& into, const Entry& entry)
{
    for (Entry& existing : into)
        if (existing.name == entry.name) {
            existing = entry;
            return;
        }
    into.push_back(entry);
}

} // namespace

Catalogue withUserCatalogue(const Catalogue& builtin, const Catalogue& user)
{
    Catalogue merged = builtin;
    for (const ListEntry& entry : user.lists)
        putEntry(merged.lists, entry);
    for (const RankEntry& entry : user.ranks)
        putEntry(merged.ranks, entry);
    for (const HostEntry& entry : user.hosts)
        putEntry(merged.hosts, entry);
    if (user.quotes)
        merged.quotes = user.quotes;
    if (user.opinion)
        merged.opinion = user.opinion;
    if (!user.userAgent.empty())
        merged.userAgent = user.userAgent;
    return merged;
}

std::string userCataloguePath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config)
        return std::string(config) + "/veltrop/sources.toml";
    const char* home = std::getenv("HOME");
    if (home && *home)
        return std::string(home) + "/.config/veltrop/sources.toml";
    return {};
}

CatalogueResult catalogueInEffect(const std::string& path, bool mayBeMissing)
{
    std::error_code error;
    if (path.empty() || (mayBeMissing && !std::filesystem::exists(path, error)))
        return {builtinCatalogue(), {}};
    CatalogueResult user = readCatalogueFile(path);
    if (user.catalogue)
        user.catalogue = withUserCatalogue(builtinCatalogue(), *user.catalogue);
    return user;
}

} // namespace veltrop
