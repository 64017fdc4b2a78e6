#include "files/listfile.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veltrop::listfile {
namespace {

// Bytes 0x80 to 0x9F of the code page; the rest of its upper half equals
// Unicode's Latin-1 block.
constexpr std::array<char16_t, 32> high1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The next character of `text` at `at`, advancing `at`; -1 for a byte that
// does not start a valid UTF-8 sequence (then `at` moves by one byte).
long nextCodePoint(std::string_view text, std::size_t& at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    std::size_t length = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07, least = 0x10000;
    } else {
        ++at;
        return -1;
    }
    if (at + length > text.size()) {
        ++at;
        return -1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            ++at;
            return -1;
        }
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++at;
        return -1;
    }
    at += length;
    return static_cast<long>(c);
}

std::string reason(int error) { return std::strerror(error); }

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

std::vector<std::string> readLines(std::istream& in, std::size_t lines)
{
    using Traits = std::istream::traits_type;
    std::vector<std::string> out;
    std::streambuf* buffer = in.rdbuf();
    if (!buffer || lines == 0)
        return out;

    // Only a mark at the very start counts; a partial one is text.
    constexpr std::string_view mark = "\xEF\xBB\xBF";
    std::string line;
    std::size_t matched = 0;
    while (matched < mark.size() && buffer->sgetc() == Traits::to_int_type(mark[matched])) {
        buffer->sbumpc();
        ++matched;
    }
    if (matched < mark.size())
        line.assign(mark.substr(0, matched));

    bool open = !line.empty();  // a line has begun
    while (out.size() < lines) {
        const int c = buffer->sbumpc();
        if (c == Traits::eof()) {
            if (open)
                out.push_back(std::move(line));
            break;
        }
        if (c == '\n' || c == '\r') {
            if (c == '\r' && buffer->sgetc() == '\n')
                buffer->sbumpc();
            out.push_back(std::move(line));
            line.clear();
            open = false;
            continue;
        }
        // The rest of an over-long line is passed over, not kept, so a huge
        // file without line breaks costs no more memory than a short one.
        if (line.size() < maxLineBytes)
            line += Traits::to_char_type(c);
        open = true;
    }
    return out;
}

std::string upperCase1252(std::string_view bytes)
{
    std::string out(bytes);
    for (char& ch : out) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            ch = static_cast<char>(c - 0x20);
        else if (c == 0x9A || c == 0x9C || c == 0x9E)  // s, oe and z with their marks
            ch = static_cast<char>(c - 0x10);
        else if (c == 0xFF)  // y with diaeresis
            ch = static_cast<char>(0x9F);
    }
    return out;
}

std::string decode1252(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c <= 0x9F)
            appendUtf8(out, high1252[c - 0x80]);
        else
            appendUtf8(out, c);
    }
    return out;
}

std::string encode1252(std::string_view utf8, bool* whole)
{
    std::string out;
    out.reserve(utf8.size());
    bool lost = false;
    std::size_t at = 0;
    while (at < utf8.size()) {
        const long c = nextCodePoint(utf8, at);
        if (c < 0) {
            out += '?';
            lost = true;
        } else if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
        } else {
            char mapped = '?';
            for (std::size_t i = 0; i < high1252.size(); ++i) {
                if (high1252[i] == static_cast<char32_t>(c)) {
                    mapped = static_cast<char>(0x80 + i);
                    break;
                }
            }
            lost = lost || mapped == '?';
            out += mapped;
        }
    }
    if (whole)
        *whole = !lost;
    return out;
}

std::string replaceFile(const std::string& path, std::string_view content)
{
    namespace fs = std::filesystem;
    if (path.empty())
        return reason(ENOENT);

    // A link is followed, so the file it names is replaced and the link stays.
    fs::path target(path);
    std::error_code error;
    if (fs::is_symlink(target, error)) {
        fs::path resolved = fs::weakly_canonical(target, error);
        if (error)
            return error.message();
        target = resolved;
    }

    struct stat old {};
    bool existed = false;
    mode_t mode = 0;
    if (::stat(target.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode))
            return reason(EISDIR);
        if (!S_ISREG(old.st_mode))
            return "Not a regular file";
        // The new file takes the old one's place by a rename, which the
        // folder allows even for a file its owner made read-only.
        if (::access(target.c_str(), W_OK) != 0)
            return reason(errno);
        existed = true;
        mode = old.st_mode & 07777;
    } else if (errno != ENOENT) {
        return reason(errno);
    } else {
        mode = newFileMode();
    }

    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return reason(errno);

    auto fail = [&](int code, bool isOpen) {
        if (isOpen)
            ::close(fd);
        ::unlink(temporary.c_str());
        return reason(code);
    };
    if (existed) {
        // Only root can give the file back to another owner; for anyone else
        // this fails harmlessly and the file stays theirs.
        [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
    }
    if (::fchmod(fd, mode) != 0)
        return fail(errno, true);
    if (!writeAll(fd, content))
        return fail(errno, true);
    if (::fsync(fd) != 0)
        return fail(errno, true);
    if (::close(fd) != 0)
        return fail(errno, false);
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        return fail(errno, false);

    // The rename itself reaches the disk with the folder.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

} // namespace veltrop::listfile
