// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/atomic_save.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace selvar::platform {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A file saved over an old one is the new text whole, or the old file untouched: never a
// truncated mix, and never a temporary file left behind.
TEST(AtomicSave, ReplacesTheOldFileWholeOrLeavesItAsItWas) {
    const auto writes = [](const char* text, int err) {
        return [text, err](std::FILE* file) {
            std::fputs(text, file);
            errno = err;
            return err == 0;
        };
    };
    struct Case {
        const char* name;
        std::function<void(const fs::path& folder)> before;  // makes "saved" (and more)
        FileFiller fill;
        const char* reason;   // in the error; null: the save succeeds
        const char* content;  // of "saved" afterwards; null: not a regular file
    };
    const auto oldFile = [](const fs::path& folder) { std::ofstream(folder / "saved") << "old\n"; };
    const Case cases[] = {
        {"new text", oldFile, writes("new\n", 0), nullptr, "new\n"},
        {"a disk that fills mid-way", oldFile, writes("ne", ENOSPC), "No space left on device",
         "old\n"},
        {"a link to the old file",
         [](const fs::path& folder) {
             std::ofstream(folder / "real") << "old\n";
             fs::create_symlink("real", folder / "saved");
         },
         writes("new\n", 0), nullptr, "new\n"},
        {"a folder", [](const fs::path& folder) { fs::create_directory(folder / "saved"); },
         writes("new\n", 0), "it is a folder", nullptr},
        {"a FIFO", [](const fs::path& folder) { ::mkfifo((folder / "saved").c_str(), 0600); },
         writes("new\n", 0), "not a regular file", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = fs::path(::testing::TempDir()) / "atomic_save";
        fs::remove_all(folder);
        fs::create_directory(folder);
        c.before(folder);
        const std::vector<std::string> namesBefore = namesIn(folder);
        const fs::file_type typeBefore = fs::symlink_status(folder / "saved").type();
        const std::string path = (folder / "saved").string();

        std::string error;
        EXPECT_EQ(saveAtomically(path, c.fill, error), c.reason == nullptr) << error;
        if (c.reason) {
            EXPECT_NE(error.find(path), std::string::npos) << error;
            EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        }
        EXPECT_EQ(namesIn(folder), namesBefore) << "files left behind or lost";
        EXPECT_EQ(fs::symlink_status(folder / "saved").type(), typeBefore);
        if (c.content) {
            EXPECT_EQ(slurp(folder / "saved"), c.content);
        }
    }
}

}  // namespace
}  // namespace selvar::platform
