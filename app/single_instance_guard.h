// Keeps a second copy of the program from running for the same user: both would share (and
// delete) the same working folder.
#pragma once

#include <QLockFile>
#include <QString>

class CSingleInstanceGuard {
 public:
  // Takes the lock at lockPath, creating its folder; a lock left by a process that no longer
  // runs is taken over.
  explicit CSingleInstanceGuard(const QString& lockPath);
  CSingleInstanceGuard(const CSingleInstanceGuard&) = delete;
  CSingleInstanceGuard& operator=(const CSingleInstanceGuard&) = delete;

  bool IsFirstInstance() const { return acquired_; }

  // The lock in the user's private temporary folder, beside the working folder it protects.
  static QString DefaultLockPath();

 private:
  QLockFile lock_;
  bool acquired_ = false;
};
