#pragma once
// Update mode: the installed application has its own files replaced and is
// restarted.

#include "installer/result_code.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

// `path`: the UTF-8 path given after `update`; its parent is the
// installation to replace.
ResultCode RunUpdate(const char* path, const PayloadReader& reader);

}  // namespace zevrino::desktop::installer
