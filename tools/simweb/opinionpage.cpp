// The opinion report page arrives with the opinion command.
#include "tools/simweb/pages.h"
namespace simweb {
std::optional<Page> opinionPage(std::string_view, std::string_view, std::string_view) { return std::nullopt; }
} // namespace simweb
