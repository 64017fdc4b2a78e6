#pragma once
// Pages arrive in UTF-8 or in the Western Windows code page; everything past
// the fetch works on UTF-8.
#include <string>
#include <string_view>

namespace veltrop {

// The page as UTF-8. The charset comes from the Content-Type header, else from
// a <meta charset> or <meta http-equiv content="...charset=..."> within the
// first 1024 bytes, else from the bytes: valid UTF-8 stays UTF-8, anything else
// is read as Windows-1252. A UTF-8 byte order mark wins over all of these and
// is dropped. ISO-8859-1 and US-ASCII are read as Windows-1252, as browsers
// do; a label of any other charset counts as no label. Bytes that are not
// valid UTF-8 in a UTF-8 page become U+FFFD.
std::string decodePage(std::string_view body, std::string_view contentType);

} // namespace veltrop
