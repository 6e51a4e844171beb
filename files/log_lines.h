#pragma once
// Log line identities of files/ (ARCHITECTURE.md, "Layers").

namespace zevrino::desktop::installer {

// The file system (windows_file_system_win.cpp).
inline constexpr int kLineRemoveFailedDelaying = 61;
inline constexpr int kLineDelayFailed = 71;
inline constexpr int kLineRenameFailed = 89;
inline constexpr int kLineCopyFailed = 96;
inline constexpr int kLineRemoveSourceFailed = 102;
inline constexpr int kLineForEachFileFailed = 122;
inline constexpr int kLineForEachFileRecursiveFailed = 138;

// The free-space check (disk_space.cpp).
inline constexpr int kLineFreeSpaceUnknown = 17;
inline constexpr int kLineNotEnoughFreeSpace = 27;

// The transactional installer (transacted_file_installer.cpp).
inline constexpr int kLineStartCommit = 298;
inline constexpr int kLineCommitCompleted = 306;
inline constexpr int kLineCommitFailed = 308;
inline constexpr int kLineAttemptRollback = 324;
inline constexpr int kLineRollbackCompleted = 332;
inline constexpr int kLineRollbackFailed = 334;
inline constexpr int kLineUnsafeName = 340;
inline constexpr int kLineBackupKept = 346;
inline constexpr int kLineLinkKept = 352;

}  // namespace zevrino::desktop::installer
