// A page body with any bytes and any Content-Type: what comes out is UTF-8.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzzcheck.h"
#include "web/charset.h"

using namespace veltrop;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::array<std::string_view, 9> headers = {
        "",
        "text/html",
        "text/html; charset=utf-8",
        "text/html; charset=windows-1252",
        "text/html;charset=\"ISO-8859-1\"",
        "text/html; charset=koi8-r",
        "text/html; charset=",
        "charset=UTF-8; charset=us-ascii",
        "text/html; CHARSET = 'Utf-8' ;",
    };
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first byte picks a header; 0xFF instead takes the first line of the
    // input as the header, so the fuzzer writes headers of its own.
    std::string_view header;
    if (!input.empty()) {
        const auto pick = static_cast<unsigned char>(input.front());
        input.remove_prefix(1);
        if (pick == 0xFF) {
            const std::size_t end = input.find('\n');
            header = input.substr(0, end);
            input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
        } else {
            header = headers[pick % headers.size()];
        }
    }

    const std::string page = decodePage(input, header);
    FUZZ_CHECK(fuzz::validUtf8(page));
    // One byte becomes at most one character of three bytes (U+FFFD or a
    // Windows-1252 letter such as the euro sign).
    FUZZ_CHECK(page.size() <= 3 * input.size());
    return 0;
}
