// Deletes folders off the GUI thread. A folder is first renamed out of the way (quick, and the
// name is free again at once: a new repair can create it without racing the deletion), then its
// tree is deleted by a background thread. Only folders the program itself created are handed
// here; deletion never follows symbolic links.
#pragma once

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

class CFolderDisposer {
 public:
  CFolderDisposer();
  // Finishes every pending deletion before returning.
  ~CFolderDisposer();
  CFolderDisposer(const CFolderDisposer&) = delete;
  CFolderDisposer& operator=(const CFolderDisposer&) = delete;

  // When this returns, nothing exists under folder's name any more, or (the rename failed, or
  // it is not a real folder) it has been deleted here and now as far as possible.
  void Dispose(const std::filesystem::path& folder);

  // Hands over what an earlier run left waiting for deletion beside folder (it was stopped
  // before its background deletion ended).
  void DisposeLeftoversBeside(const std::filesystem::path& folder);

  // Waits until every handed-over folder has been deleted (tests, shutdown).
  void WaitUntilIdle();

  // The name a folder takes while it waits for deletion: it ends in a letter, so it can never be
  // a row's file folder (those end in the row's index).
  static bool IsDisposalName(const std::filesystem::path& name);

 private:
  void Run();

  std::mutex lock_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::filesystem::path> pending_;
  bool busy_ = false;
  bool stopping_ = false;
  unsigned counter_ = 0;
  std::thread thread_;
};
