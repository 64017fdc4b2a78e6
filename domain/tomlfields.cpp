#include "domain/tomlfields.h"

#include <algorithm>

namespace veltrop {

std::vector<std::string> Faults::messages() const
{
    std::vector<Fault> sorted = faults_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Fault& a, const Fault& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    std::vector<std::string> out;
    for (const Fault& f : sorted)
        out.push_back(file_ + ":" + std::to_string(f.line) + ":" + std::to_string(f.column) + ": " + f.text);
    return out;
}

std::string_view typeName(toml::node_type type)
{
    switch (type) {
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return "an array";
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a number with a fraction";
    case toml::node_type::boolean: return "true or false";
    case toml::node_type::date:
    case toml::node_type::time:
    case toml::node_type::date_time: return "a date or time";
    case toml::node_type::none: break;
    }
    return "nothing";
}

Fields::~Fields()
{
    for (auto&& [key, value] : table_)
        if (!taken_.contains(key.str()))
            faults_.add(key.source(), "unknown key \"" + std::string(key.str()) + "\" in " + what_);
}

const toml::source_region& Fields::where(std::string_view key) const
{
    for (auto&& [k, value] : table_)
        if (k.str() == key)
            return k.source();
    return table_.source();
}

const toml::node* Fields::node(std::string_view key)
{
    taken_.emplace(key);
    return table_.get(key);
}

const toml::node* Fields::typed(std::string_view key, bool required, toml::node_type type, const char* name)
{
    const toml::node* n = node(key);
    if (!n) {
        if (required)
            faults_.add(table_.source(), "missing key \"" + std::string(key) + "\" in " + what_);
        return nullptr;
    }
    if (n->type() != type) {
        faults_.add(n->source(), "\"" + std::string(key) + "\" must be " + name + ", not " +
                                     std::string(typeName(n->type())));
        return nullptr;
    }
    return n;
}

std::optional<std::string> Fields::text(std::string_view key, bool required)
{
    const toml::node* n = typed(key, required, toml::node_type::string, "a string");
    if (!n)
        return std::nullopt;
    return std::string(n->as_string()->get());
}

std::optional<std::int64_t> Fields::integer(std::string_view key, bool required, std::int64_t low, std::int64_t high)
{
    const toml::node* n = typed(key, required, toml::node_type::integer, "an integer");
    if (!n)
        return std::nullopt;
    const std::int64_t v = n->as_integer()->get();
    if (v < low || v > high) {
        faults_.add(n->source(), "\"" + std::string(key) + "\" must be from " + std::to_string(low) + " to " +
                                     std::to_string(high) + ", not " + std::to_string(v));
        return std::nullopt;
    }
    return v;
}

const toml::table* Fields::table(std::string_view key, bool required)
{
    const toml::node* n = typed(key, required, toml::node_type::table, "a table");
    return n ? n->as_table() : nullptr;
}

const toml::array* Fields::array(std::string_view key, bool required)
{
    const toml::node* n = typed(key, required, toml::node_type::array, "an array");
    return n ? n->as_array() : nullptr;
}

} // namespace veltrop
