// SPDX-License-Identifier: MIT
#include "save/saved_game.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <ctime>
#include <memory>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "cp1251.h"
#include "data/data_file.h"
#include "host.h"
#include "interp/reactions.h"
#include "io_error.h"
#include "save/temporary_file.h"

namespace narravox {
namespace {

// Symbolic links followed from the chosen name to the file a save replaces. The system gives up
// on a path after as many, so a longer chain could not be written through anyway.
constexpr int kMaxLinks = 40;
// A temporary file is ".nvs-save-" and this many hexadecimal digits.
constexpr std::string_view kTemporaryPrefix = ".nvs-save-";
constexpr std::size_t kTemporaryDigits = 12;
// A named temporary file older than this was left by a save that never finished: no save takes
// nearly so long between making the file and renaming it.
constexpr std::time_t kStaleSeconds = 60;

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What `path` names, symbolic links followed; nothing when it cannot be found.
std::optional<struct stat> StatusOf(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return status;
}

bool SameFile(const std::optional<struct stat>& one, const std::optional<struct stat>& other) {
    return one && other && one->st_dev == other->st_dev && one->st_ino == other->st_ino;
}

// True when `path` names one of the game's own data files. Device and inode see through every
// spelling of a path, symbolic links and hard links; while a data file is missing (the player
// is replacing it, say) its name in the game folder still counts, so that a save cannot take
// its place.
bool IsDataFile(const std::string& game_folder, const std::string& path) {
    const auto file = StatusOf(path);
    const auto folder = StatusOf(FolderOf(path));
    const auto game = StatusOf(game_folder.empty() ? "." : game_folder);
    for (const std::string_view name : {kCommandsFileName, kScenarioFileName}) {
        if (SameFile(file, StatusOf(DataFilePath(game_folder, name))) ||
            (NameOf(path) == name && SameFile(folder, game))) {
            return true;
        }
    }
    return false;
}

// The file a save under `path` replaces: the name itself, or the end of its chain of symbolic
// links, so that a link stays a link and its target gets the new save. No name on the way may
// be a data file. `previous` receives the status of the file replaced, or nothing for a new one.
std::string FileToReplace(const std::string& game_folder, std::string path,
                          std::optional<struct stat>& previous) {
    for (int links = 0;; ++links) {
        if (IsDataFile(game_folder, path)) {
            throw IoError(kErrorAccessDenied);
        }
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0) {
            if (errno != ENOENT) {
                ThrowIoErrorFromErrno();
            }
            previous.reset();
            return path;
        }
        if (!S_ISLNK(status.st_mode)) {
            previous = status;
            return path;
        }
        if (links == kMaxLinks) {
            throw IoError(IoErrorCodeFromErrno(ELOOP));
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0) {
            ThrowIoErrorFromErrno();
        }
        if (static_cast<std::size_t>(length) == target.size()) {
            throw IoError(IoErrorCodeFromErrno(ENAMETOOLONG));
        }
        target.resize(static_cast<std::size_t>(length));
        path = target.starts_with('/') ? target : FolderOf(path) + "/" + target;
    }
}

// The new file takes the old one's owner and permission bits, so that replacing a save changes
// nothing but its contents. Only root may give a file away; anyone else who may write the old
// save gets the new one as their own. The owner goes first because changing it clears the
// set-id bits.
void KeepOwnerAndMode(int fd, const struct stat& previous) {
    struct stat created {};
    if (::fstat(fd, &created) != 0) {
        ThrowIoErrorFromErrno();
    }
    if ((created.st_uid != previous.st_uid || created.st_gid != previous.st_gid) &&
        ::fchown(fd, previous.st_uid, previous.st_gid) != 0 && errno != EPERM) {
        ThrowIoErrorFromErrno();
    }
    if (::fchmod(fd, previous.st_mode & 07777) != 0) {
        ThrowIoErrorFromErrno();
    }
}

std::string TemporaryName(std::mt19937_64& random) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string name(kTemporaryPrefix);
    for (std::uint64_t bits = random(), i = 0; i < kTemporaryDigits; ++i, bits >>= 4) {
        name += kDigits[bits & 0xF];
    }
    return name;
}

bool IsTemporaryName(std::string_view name) {
    if (name.size() != kTemporaryPrefix.size() + kTemporaryDigits ||
        !name.starts_with(kTemporaryPrefix)) {
        return false;
    }
    for (const char c : name.substr(kTemporaryPrefix.size())) {
        if ((c < '0' || c > '9') && (c < 'a' || c > 'f')) {
            return false;
        }
    }
    return true;
}

// True when open() with O_TMPFILE failed because the file system (or the kernel) has no
// unnamed files, rather than for a reason that a named file would meet as well.
bool NoUnnamedFiles(int error_number) {
    return error_number == EOPNOTSUPP || error_number == EISDIR || error_number == EINVAL ||
           error_number == ENOSYS;
}

// Naming an unnamed file: `self` is its descriptor's entry under /proc/self/fd, `name` the name
// to give it and `target`, when set, the save that name is then renamed over. The errors are
// those of the step that failed, 0 when it did not.
struct Naming {
    const char* self = nullptr;
    int fd = -1;
    const char* name = nullptr;
    const char* target = nullptr;
    int link_error = 0;
    int rename_error = 0;
};

// Gives the unnamed file its name and, for a save that replaces another, renames it over that
// one; a name that cannot be renamed over the target is taken away again. The link through
// /proc needs no privilege; linking the descriptor itself works for those who may read any
// file. Only system calls here, no memory allocated: this may run in a child that shares the
// program's memory while another thread of the program holds the allocator's lock.
#if defined(__clang__) || defined(__GNUC__)
__attribute__((no_sanitize_address))
#endif
int LinkAndRename(void* argument) {
    auto& naming = *static_cast<Naming*>(argument);
#if defined(O_TMPFILE) && defined(AT_EMPTY_PATH)
    if (::linkat(AT_FDCWD, naming.self, AT_FDCWD, naming.name, AT_SYMLINK_FOLLOW) != 0 &&
        (errno != ENOENT || ::linkat(naming.fd, "", AT_FDCWD, naming.name, AT_EMPTY_PATH) != 0)) {
        naming.link_error = errno;
        return 0;
    }
    if (naming.target != nullptr && ::rename(naming.name, naming.target) != 0) {
        naming.rename_error = errno;
        ::unlink(naming.name);
    }
#else
    naming.link_error = ENOSYS;
#endif
    return 0;
}

// Runs `step` in a child that shares the program's memory and that the program waits for, as
// vfork() does: the child is a process of its own, so when the program is killed while the
// child runs, the child still finishes the step. Linking a save's new file under a temporary
// name and renaming it over the save are two system calls with no single one to do both; run
// so, a kill cannot fall between them and leave the temporary name behind. The child raises no
// signal when it ends, so that signal handlers of the program and its libraries never see it,
// and every signal is held back while it runs, so that no handler runs in it. Where no such
// child can be made, the step runs in the program itself.
void RunBeyondAKill(int (*step)(void*), void* argument) {
#ifdef __linux__
    constexpr std::size_t kStackSize = 64 * 1024;
    void* const stack = ::mmap(nullptr, kStackSize, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (stack != MAP_FAILED) {
        sigset_t all{};
        sigset_t previous{};
        ::sigfillset(&all);
        ::pthread_sigmask(SIG_BLOCK, &all, &previous);
        const pid_t child =
            ::clone(step, static_cast<char*>(stack) + kStackSize, CLONE_VM | CLONE_VFORK, argument);
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        if (child > 0) {
            int status = 0;
            while (::waitpid(child, &status, __WCLONE) < 0 && errno == EINTR) {
            }
        }
        ::munmap(stack, kStackSize);
        if (child > 0) {
            return;
        }
    }
#endif
    step(argument);
}

// A new, empty file beside the save it is to replace, open for writing: unnamed where the file
// system allows, or under a temporary name. Until it has become the save it is closed and
// removed however the save ends, so a failed save leaves nothing behind; an unnamed file leaves
// nothing even when the program is killed before the file is whole.
class TemporaryFile {
  public:
    TemporaryFile(const std::string& folder, TemporaryFileKind kind)
        : folder_(folder), random_(std::random_device{}()) {
#ifdef O_TMPFILE
        if (kind == TemporaryFileKind::kUnnamedWherePossible) {
            fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                return;
            }
            if (!NoUnnamedFiles(errno)) {
                ThrowIoErrorFromErrno();
            }
        }
#else
        static_cast<void>(kind);
#endif
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = folder_ + "/" + TemporaryName(random_);
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                return;
            }
            path_.clear();
            if (errno != EEXIST) {
                ThrowIoErrorFromErrno();
            }
        }
        throw IoError(IoErrorCodeFromErrno(EEXIST));
    }
    ~TemporaryFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return fd_; }

    // Writes the file to the disk and puts it in the place of `target`, a name in the same
    // folder, in one step; from then on it is the save. A named file is closed first: a failed
    // close may be the first sign of a full disk, so it is reported too. An unnamed file is
    // given a name only now and closed afterwards, fsync() having reported any failure to write
    // it: a new save is linked under its own name at once, one that replaces another under a
    // temporary name and renamed over it, both steps out of reach of a kill. False when an
    // unnamed file cannot be given a name (no /proc, and no right to link by descriptor): the
    // file is then gone, nothing has changed, and the caller writes a named one instead.
    bool Replace(const std::string& target, bool replacing) {
        if (::fsync(fd_) != 0) {
            ThrowIoErrorFromErrno();
        }
        if (!path_.empty()) {
            const int fd = std::exchange(fd_, -1);
            if (::close(fd) != 0) {
                ThrowIoErrorFromErrno();
            }
            if (::rename(path_.c_str(), target.c_str()) != 0) {
                ThrowIoErrorFromErrno();
            }
            path_.clear();
            return true;
        }
        Naming naming;
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        naming.self = self.c_str();
        naming.fd = fd_;
        // A file of the save's name that came meanwhile is replaced like any other.
        if (!replacing) {
            naming.name = target.c_str();
            LinkAndRename(&naming);
        }
        for (int attempt = 0; replacing || naming.link_error == EEXIST; ++attempt) {
            replacing = false;
            if (attempt == 100) {
                throw IoError(IoErrorCodeFromErrno(EEXIST));
            }
            const std::string temporary = folder_ + "/" + TemporaryName(random_);
            naming = Naming{naming.self, naming.fd, temporary.c_str(), target.c_str()};
            RunBeyondAKill(&LinkAndRename, &naming);
        }
        ::close(std::exchange(fd_, -1));
        if (naming.link_error == ENOENT || naming.link_error == EPERM ||
            naming.link_error == EINVAL || naming.link_error == ENOSYS) {
            return false;
        }
        if (naming.link_error != 0) {
            throw IoError(IoErrorCodeFromErrno(naming.link_error));
        }
        if (naming.rename_error != 0) {
            throw IoError(IoErrorCodeFromErrno(naming.rename_error));
        }
        return true;
    }

  private:
    std::string folder_;
    std::mt19937_64 random_;
    std::string path_;  // empty while the file has no name
    int fd_ = -1;
};

// Removes what saves that never finished left in `folder`: plain files with a temporary file's
// name, older than a minute, so that a save still in progress elsewhere keeps its own. Nothing
// here may fail the save that has just been made.
void RemoveStaleTemporaryFiles(const std::string& folder) noexcept {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    std::vector<std::string> stale;
    try {
        while (const dirent* entry = ::readdir(dir.get())) {
            struct stat status {};
            if (IsTemporaryName(entry->d_name) &&
                ::fstatat(::dirfd(dir.get()), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) ==
                    0 &&
                S_ISREG(status.st_mode) && now - status.st_mtime > kStaleSeconds) {
                stale.emplace_back(entry->d_name);
            }
        }
    } catch (const std::bad_alloc&) {
        // Those found so far are removed; the rest wait for the next save.
    }
    for (const std::string& name : stale) {
        ::unlinkat(::dirfd(dir.get()), name.c_str(), 0);
    }
}

void WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowIoErrorFromErrno();
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace

void SaveGame(const Game& game, const std::string& path) {
    SaveGame(game, path, TemporaryFileKind::kUnnamedWherePossible);
}

void SaveGame(const Game& game, const std::string& path, TemporaryFileKind kind) {
    std::array<char, kSavedGameSize> image{};
    std::copy(kSavedGameMagic.begin(), kSavedGameMagic.end(), image.begin());
    image[4] = static_cast<char>(game.CurrentLocation & 0xFF);
    image[5] = static_cast<char>(game.CurrentLocation >> 8);
    std::copy(game.Flags.begin(), game.Flags.end(), image.begin() + 6);

    std::optional<struct stat> previous;
    const std::string target = FileToReplace(game.GameFolder, path, previous);
    if (previous) {
        // Only a plain file is replaced: renaming over a device or a pipe would take it out of
        // its folder. A save the player has made read-only stays protected, for root too, who
        // may write anything: hence the owner's write bit is asked as well as access().
        if (!S_ISREG(previous->st_mode) || (previous->st_mode & S_IWUSR) == 0) {
            throw IoError(kErrorAccessDenied);
        }
        if (::access(target.c_str(), W_OK) != 0) {
            ThrowIoErrorFromErrno();
        }
    }
    const std::string folder = FolderOf(target);
    for (bool saved = false; !saved; kind = TemporaryFileKind::kNamed) {
        TemporaryFile file(folder, kind);
        if (previous) {
            KeepOwnerAndMode(file.fd(), *previous);
        }
        WriteAll(file.fd(), image.data(), image.size());
        saved = file.Replace(target, previous.has_value());
    }
    RemoveStaleTemporaryFiles(folder);
}

void LoadGame(Game& game, const std::string& path) {
    std::array<char, kSavedGameSize> image{};
    {
        DataFile file(path);
        file.ReadPlain(image.data(), 4);
        if (std::string_view(image.data(), 4) != kSavedGameMagic) {
            game.host().ShowBox(Box{Utf8ToCp1251Lossy("Ошибка"),
                                    Utf8ToCp1251Lossy("Неверный формат файла!"), BoxButtons::kOk,
                                    BoxIcon::kError});
            return;
        }
        file.ReadPlain(image.data() + 4, static_cast<std::int32_t>(kSavedGameSize - 4));
    }
    game.CurrentLocation = static_cast<LocationId>(static_cast<unsigned char>(image[4]) |
                                                   static_cast<unsigned char>(image[5]) << 8);
    std::copy(image.begin() + 6, image.end(), game.Flags.begin());
    EnterLocation(game);
}

}  // namespace narravox
