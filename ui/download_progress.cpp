#include "ui/download_progress.h"

namespace zevrino::desktop::installer {

DownloadProgressState DownloadProgress;

}  // namespace zevrino::desktop::installer
