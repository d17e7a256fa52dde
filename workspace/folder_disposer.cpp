#include "workspace/folder_disposer.h"

#include <string>

#include "engine/working_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDisposalSuffix = ".removing.trash";

}  // namespace

CFolderDisposer::CFolderDisposer() : thread_([this] { Run(); }) {}

CFolderDisposer::~CFolderDisposer() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

bool CFolderDisposer::IsDisposalName(const fs::path& name) {
  const std::string text = name.filename().string();
  return text.size() > kDisposalSuffix.size() &&
         text.compare(text.size() - kDisposalSuffix.size(), kDisposalSuffix.size(),
                      kDisposalSuffix) == 0;
}

void CFolderDisposer::Dispose(const fs::path& folder) {
  if (folder.empty() || !engine::IsRealFolder(folder)) {
    engine::RemoveFolderTree(folder);  // a link or a file: nothing to wait for
    return;
  }
  fs::path trash;
  std::error_code error;
  {
    std::lock_guard<std::mutex> guard(lock_);
    // A name nobody else uses: a counter of this process beside the folder, never reused.
    do {
      trash = folder;
      trash += "." + std::to_string(++counter_) + std::string(kDisposalSuffix);
    } while (fs::exists(fs::symlink_status(trash, error)));
  }
  fs::rename(folder, trash, error);
  if (error) {
    // Cannot be moved aside (a file held open): delete in place, as before.
    engine::RemoveFolderTree(folder);
    return;
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    pending_.push_back(std::move(trash));
  }
  wake_.notify_all();
}

void CFolderDisposer::DisposeLeftoversBeside(const fs::path& folder) {
  if (folder.empty()) return;
  const std::string stem = folder.filename().string() + ".";
  std::error_code error;
  std::deque<fs::path> found;
  for (fs::directory_iterator it(folder.parent_path(), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(stem, 0) == 0 && IsDisposalName(name) && engine::IsRealFolder(it->path()))
      found.push_back(it->path());
  }
  if (found.empty()) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (fs::path& path : found)
      pending_.push_back(std::move(path));
  }
  wake_.notify_all();
}

void CFolderDisposer::WaitUntilIdle() {
  std::unique_lock<std::mutex> guard(lock_);
  idle_.wait(guard, [this] { return pending_.empty() && !busy_; });
}

void CFolderDisposer::Run() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    wake_.wait(guard, [this] { return stopping_ || !pending_.empty(); });
    if (pending_.empty()) {
      if (stopping_) return;
      continue;
    }
    fs::path folder = std::move(pending_.front());
    pending_.pop_front();
    busy_ = true;
    guard.unlock();
    engine::RemoveFolderTree(folder);
    guard.lock();
    busy_ = false;
    if (pending_.empty()) idle_.notify_all();
  }
}
