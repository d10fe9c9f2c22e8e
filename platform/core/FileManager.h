#pragma once
// Files and folders: the app home and its named folders, and the file
// operations the rest of the system needs. Every function is a stateless
// static, safe to call from any thread; failures come back as FileResult
// with a message naming the path and the system's reason.
//
// The app home is $VANTOR_HOME, else $XDG_DATA_HOME/vantor, else
// ~/.local/share/vantor. The environment is read on every call.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/FileResult.h"

namespace core {

enum class Folder { Documents, Caches, Preferences, Temporary, Album };

// Who may read what is created. What the app and the SDK keep (defaults,
// caches, the album, the outbox, archives, temporary files) is the user's
// alone: files 0600, folders 0700. Only what is made for other programs or
// people (the images a tool writes, build outputs) is readable by everyone:
// 0644 and 0755, less the umask.
enum class Visibility { ownerOnly, everyone };

struct VolumeSpace {
    std::uint64_t freeBytes = 0;  // available to an unprivileged process
    std::uint64_t totalBytes = 0;
};

class FileManager {
public:
    [[nodiscard]] static std::string homeDirectory();
    // The folder's path inside the app home; not created.
    [[nodiscard]] static std::string folderPath(Folder folder);
    // Creates the folder (and the home) when missing and answers its path.
    static FileResult<std::string> createFolder(Folder folder);

    // Where a process keeps what lives only as long as it runs (sockets,
    // keys): $XDG_RUNTIME_DIR when it names a folder, else the system's
    // temporary folder.
    [[nodiscard]] static std::string runtimeDirectory();
    // Makes a new folder, the owner's alone, in parent for this process:
    // "<prefix><pid>.<start time>-XXXXXX", holding a file whose lock
    // (flock) the process keeps until it exits. The folders of that prefix
    // whose lock nobody holds, left behind by a process that ended (it
    // crashed, or was killed), are removed first; a folder whose lock is
    // held stays, whatever pid its name carries (a process of another PID
    // namespace sharing the folder names pids this one cannot see), and so
    // does one without the file. Only folders owned by this user are
    // touched.
    static FileResult<std::string> createProcessFolder(const std::string& parent,
                                                       std::string_view prefix);

    // An existing folder is success, left as it is; an existing file at path
    // is an error. Missing intermediates get the same visibility.
    static FileResult<> createDirectory(const std::string& path, bool withIntermediates,
                                        Visibility visibility = Visibility::ownerOnly);
    // Removes a file, or a folder with everything in it. A missing path is a
    // failure with errorNumber() == ENOENT.
    static FileResult<> removeItem(const std::string& path);
    // rename(2): replaces a file at `to`; both paths must be on one volume.
    static FileResult<> moveItem(const std::string& from, const std::string& to);

    [[nodiscard]] static bool fileExists(const std::string& path);
    // The absolute path of an existing item with every symbolic link, "."
    // and ".." resolved.
    static FileResult<std::string> resolvedPath(const std::string& path);
    [[nodiscard]] static bool isDirectory(const std::string& path);

    // Writes through a temporary file in the same folder, flushed to disk and
    // renamed over path, then flushes the folder: a crash leaves the old or
    // the new contents, never a mix. The new file has the visibility given,
    // whatever the file it replaces had.
    static FileResult<> writeAtomically(const std::string& path, std::string_view bytes,
                                        Visibility visibility = Visibility::ownerOnly);
    static FileResult<> writeAtomically(const std::string& path,
                                        std::span<const std::uint8_t> bytes,
                                        Visibility visibility = Visibility::ownerOnly);
    // Deletes the temporary files that writeAtomically left beside path in
    // processes that have since died mid-write. Answers how many it deleted.
    static size_t removeAbandonedTemporaryFiles(const std::string& path);
    // Creates path, the owner's alone, and writes bytes; fails with EEXIST
    // when path exists.
    static FileResult<> createExclusively(const std::string& path, std::string_view bytes);

    static FileResult<std::string> readFile(const std::string& path);
    static FileResult<std::uint64_t> fileSize(const std::string& path);
    // When the item was created, in whole seconds since 1970 (truncated):
    // its birth time where the file system keeps one, else the time of its
    // last change of contents.
    static FileResult<std::int64_t> creationTime(const std::string& path);
    // Names of the entries of a folder, sorted, without "." and "..".
    static FileResult<std::vector<std::string>> contentsOfDirectory(const std::string& path);
    // Space of the volume that holds path.
    static FileResult<VolumeSpace> volumeSpace(const std::string& path);
};

}  // namespace core
