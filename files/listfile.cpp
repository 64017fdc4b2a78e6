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
