// Files replaced together, all of them or none.
//
// Each new file is first written under a hidden temporary name in its final folder
// (".NAME.smartseg-tmp-PID-XXXXXX"). Commit() then, file by file, keeps the file it replaces
// under a second hidden name (a hard link, or a copy where links are not possible), renames the
// new file over the old one and, once every file is in, drops the kept ones. If any step fails
// the files already replaced get their old content back and those that did not exist are removed,
// so a failed commit leaves the earlier set as it was. A final name is never missing, even
// while the commit runs: a run killed with SIGKILL can leave a mix of old and new files, never a
// lost one, plus hidden temporaries that RemoveStaleTemporaries clears.
//
// Replacing an existing file keeps its mode and, where the process may set it, its owner; a
// symbolic link at a final name is followed and its target replaced. New files get the mode
// 0666 less the umask.
//
// Thread-safe: sets written at once by several threads do not disturb each other, one set's files
// may be staged from several threads at once (they are committed in the order staged), and
// CleanUpOnSignals' handling waits for a commit under way.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace Smartseg {

class FileSet {
 public:
  FileSet();
  // Removes the temporaries of a set that was not committed.
  ~FileSet();
  FileSet(const FileSet&) = delete;
  FileSet& operator=(const FileSet&) = delete;

  // Writes `bytes` to a temporary file beside `path`. Throws WorkError naming `path`.
  void Stage(const std::filesystem::path& path, const std::string& bytes);
  // Moves every staged file to its final name. Throws WorkError naming the file at fault, after
  // restoring the files of before.
  void Commit();

  struct Entry;

 private:
  std::vector<Entry*> entries_;
  bool committed_ = false;
};

// A file of the process's own (a lock file) that CleanUpOnSignals' handling removes too, while
// this object lives.
class RemovedOnSignal {
 public:
  explicit RemovedOnSignal(std::string path);
  ~RemovedOnSignal();
  RemovedOnSignal(const RemovedOnSignal&) = delete;
  RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

 private:
  std::string path_;
};

// The file that writing `path` replaces: `path` itself, or the end of the chain of symbolic links
// that starts there. Throws WorkError for a loop of links.
std::filesystem::path WriteTarget(const std::filesystem::path& path);

// Removes from `folder` the temporary files of smartseg processes that are no longer running
// (killed before they could clean up); returns how many it removed.
int RemoveStaleTemporaries(const std::filesystem::path& folder);

// True for the names FileSet gives its temporary files.
bool IsTemporaryFileName(const std::string& fileName);

// Makes SIGINT, SIGTERM and SIGHUP first roll back every set not yet committed (removing its
// temporaries, or restoring a commit half done) and then end the process by the same signal.
// Call once from main() before any thread starts: the signals are blocked in the calling thread,
// and so in every thread it starts, and one thread of their own waits for them.
void CleanUpOnSignals();

}  // namespace Smartseg
