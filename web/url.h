#pragma once
// Web addresses: resolving a link against the page it stands on, and putting
// text taken from outside pages into an address.
#include <string>
#include <string_view>

namespace veltrop {

// Percent-encodes every byte except ASCII letters, digits and "-._~" as %XX
// (upper-case hex), so an ordinary ticker ("BRK.B", "T-A") passes unchanged.
std::string encodeUrlPart(std::string_view text);

// Resolves `reference` (an href as written on a page) against the absolute
// address `base` by the rules of RFC 3986. Like a browser, it first trims the
// reference and drops tabs and line breaks inside it, and afterwards
// percent-encodes what an address cannot carry as it is (blanks, control
// characters, non-ASCII bytes, quotes and angle brackets); an existing %XX is
// kept. A reference with a scheme of its own does not need the base.
std::string resolveUrl(std::string_view base, std::string_view reference);

} // namespace veltrop
