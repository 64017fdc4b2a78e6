#pragma once
// The expressions a catalogue's locators are written in, checked as the
// catalogue is read: what is wrong with one, or nothing when it compiles.
#include <optional>
#include <string>

namespace veltrop {

// RE2 syntax (linear time whatever the pattern), with exactly one capture
// group: the value.
std::optional<std::string> regexFault(const std::string& pattern);
// XPath 1.0, as libxml2 compiles it.
std::optional<std::string> xpathFault(const std::string& expression);
// A JSON pointer (RFC 6901): empty, or "/" followed by reference tokens.
std::optional<std::string> jsonPointerFault(const std::string& pointer);

} // namespace veltrop
