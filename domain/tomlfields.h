#pragma once
// Typed reads of one TOML table's keys, each fault noted with the file, line
// and column it stands at. A table's reader takes the keys it knows; every
// key it did not take is then an error by its name, so a misspelt key never
// passes as a default.
#include <toml++/toml.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace veltrop {

struct Fault {
    int line = 0, column = 0;
    std::string text;
};

class Faults {
public:
    explicit Faults(std::string fileName) : file_(std::move(fileName)) {}
    void add(const toml::source_region& at, std::string text)
    {
        faults_.push_back({int(at.begin.line), int(at.begin.column), std::move(text)});
    }
    void add(int line, int column, std::string text) { faults_.push_back({line, column, std::move(text)}); }
    bool empty() const { return faults_.empty(); }
    // "FILE:LINE:COLUMN: text", in file order.
    std::vector<std::string> messages() const;

private:
    std::string file_;
    std::vector<Fault> faults_;
};

class Fields {
public:
    // `what` names the table in messages: "[[rank]]", "[quotes]", "tickers".
    Fields(const toml::table& table, std::string what, Faults& faults)
        : table_(table), what_(std::move(what)), faults_(faults)
    {
    }
    // Notes every key that was not taken.
    ~Fields();
    Fields(const Fields&) = delete;
    Fields& operator=(const Fields&) = delete;

    bool has(std::string_view key) const { return table_.contains(key); }
    const toml::node* node(std::string_view key);  // taken; nullptr when absent

    // The value, or nullopt (noted as missing when `required`, as a wrong
    // type always).
    std::optional<std::string> text(std::string_view key, bool required);
    // An integer within [low, high].
    std::optional<std::int64_t> integer(std::string_view key, bool required, std::int64_t low, std::int64_t high);
    // A table or an array, the type checked.
    const toml::table* table(std::string_view key, bool required);
    const toml::array* array(std::string_view key, bool required);

    // Where the table stands, or the key when it does.
    const toml::source_region& where() const { return table_.source(); }
    const toml::source_region& where(std::string_view key) const;
    Faults& faults() { return faults_; }
    const std::string& what() const { return what_; }

private:
    const toml::node* typed(std::string_view key, bool required, toml::node_type type, const char* typeName);

    const toml::table& table_;
    std::string what_;
    Faults& faults_;
    std::set<std::string, std::less<>> taken_;
};

// "a string", "an integer", ... for messages.
std::string_view typeName(toml::node_type type);

} // namespace veltrop
