#pragma once
// One open output file (.bin or .dat) shared between threads: every call holds the file's
// own mutex, so the file can be closed and reopened under a new name while writers run.
// The open file is locked (flock) so a second program cannot write the same recording.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {
// Why a file locked by another program cannot be opened.
inline constexpr const char* kFileInUse = "the file is in use by another program";
}  // namespace vesk

namespace vesk {

class DataFile {
 public:
  DataFile() = default;
  ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // Creates the file or empties an existing one (after taking the lock, so a file that
  // another program holds is left untouched). On failure returns false and Error() says why.
  // `header` is written under the same lock, so no other writer's bytes can come before it
  // (a file swapped under running threads starts with its header).
  bool Create(const std::string& path, std::string_view header = {});
  // One write call for the whole text. False when the file is closed or the write failed:
  // the text is lost whole (a part that reached the file is cut off again) and the file
  // takes no more writes until it is created anew, so it never holds a gap.
  bool Write(std::string_view bytes);
  // Puts what was written on the disk (fdatasync) without holding up the writers; a file
  // closed is synced too. False (and WriteFailed) when the disk refused it.
  bool Sync();
  // When the open file has lost its name (its folder was deleted under it), writes it again
  // under its path, the folder made anew (or, failing that, under `fallbackDir`), with all
  // it held, and goes on there. The path it has now when it was restored; nothing when the
  // file still had its name or could not be restored (then Error() says why, and the file
  // goes on as it was).
  std::optional<std::string> RestoreIfUnlinked(const std::string& fallbackDir);
  // Bytes in the file, and in the buffer of a buffered file.
  std::uint64_t Size() const;
  // Batch mode: collect writes in memory and write in large blocks (vesk-process).
  void SetBuffered(bool buffered);
  // Writes what the buffer holds; false on a write error.
  bool Flush();
  // Closes the file; false when flushing buffered text failed.
  bool Close();
  bool IsOpen() const;
  // True once any write since Create failed (buffered text lost in a flush included).
  bool WriteFailed() const;
  // True when that failure was the disk (or the user's quota) being full: the same file
  // system takes writes again once space is freed.
  bool OutOfSpace() const;
  std::string Path() const;
  // The system's reason for the last failure (strerror text).
  std::string Error() const;

 private:
  bool WriteAllLocked(const char* data, std::size_t size);
  // A new file at `path` holding what the open file holds; its descriptor, or -1.
  int CopyToNewFileLocked(const std::string& path);
  bool FlushLocked();

  mutable std::mutex mutex_;
  int fd_ = -1;
  std::string path_;
  std::string error_;
  bool buffered_ = false;
  bool writeFailed_ = false;
  bool outOfSpace_ = false;
  std::uint64_t size_ = 0;  // where the last whole write ended
  std::string buffer_;
};

// The text header of a recorded .bin: its bytes up to the first "~" (or the end), at most
// `limit` bytes. Opened read-only; empty when the file cannot be read.
std::string ReadRawHeader(const std::string& path, std::size_t limit = std::string::npos);

}  // namespace vesk
