// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace selvar::platform {

// Fills a file open for writing (it must not close it); returns false when writing failed,
// errno saying why.
using FileFiller = std::function<bool(std::FILE* file)>;

// Replaces the file at path with what fill writes, whole or not at all: the text goes to a
// temporary file in the same folder, is synced to the disk, and only then renamed over the
// old name. On any failure (a full disk, a folder that cannot be written) the temporary file
// is removed, an old file of that name is left as it was, and error says why. A symbolic
// link is followed, so the link keeps pointing at the new file; a name that is not a regular
// file (a device, a FIFO, a folder) is refused rather than replaced. Every file the program
// writes on the operator's request is saved through here.
bool saveAtomically(const std::string& path, const FileFiller& fill, std::string& error);

}  // namespace selvar::platform
