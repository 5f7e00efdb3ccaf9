// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/atomic_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace selvar::platform {

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where the text really goes: the file a link points at. Empty with errno set when the name
// exists but is no regular file. mode: the old file's, which the new one keeps; none for a
// new file.
std::string target(const std::string& path, std::optional<mode_t>& mode) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return path;  // a new file (or a folder that is missing: creating will say so)
    }
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return {};
    }
    mode = info.st_mode & 07777;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// A new, hidden file beside path, with the old file's mode if any; fd < 0 with errno set on
// failure.
int createTemporary(const std::string& path, std::optional<mode_t> mode, std::string& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folderOf(path) + "/." + nameOf(path) + "." + std::to_string(::getpid()) + "." +
                    std::to_string(attempt) + ".tmp";
        // A new file gets what the umask leaves of 0666, as any the program creates.
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 && mode) {
            ::fchmod(fd, *mode);
        }
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Writes, flushes and syncs the temporary file, and closes it in every case.
bool fillAndSync(int fd, const FileFiller& fill) {
    std::FILE* file = ::fdopen(fd, "w");
    if (!file) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return false;
    }
    bool ok = fill(file) && std::fflush(file) == 0 && ::fsync(fd) == 0;
    const int err = errno;
    ok = std::fclose(file) == 0 && ok;
    if (!ok && err != 0) {
        errno = err;
    }
    return ok;
}

// The rename is on the disk only once the folder is: best effort, the file itself is whole.
void syncFolder(const std::string& path) {
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

bool saveAtomically(const std::string& path, const FileFiller& fill, std::string& error) {
    const auto failed = [&](const char* reason) {
        error = "cannot save " + path + ": " + reason;
        return false;
    };
    std::optional<mode_t> mode;
    const std::string real = target(path, mode);
    if (real.empty()) {
        return failed(errno == EISDIR ? "it is a folder" : "it is not a regular file");
    }
    std::string temporary;
    const int fd = createTemporary(real, mode, temporary);
    if (fd < 0) {
        return failed(std::strerror(errno));
    }
    errno = 0;
    if (!fillAndSync(fd, fill) || ::rename(temporary.c_str(), real.c_str()) != 0) {
        const int err = errno != 0 ? errno : EIO;
        ::unlink(temporary.c_str());
        return failed(std::strerror(err));
    }
    syncFolder(real);
    return true;
}

}  // namespace selvar::platform
