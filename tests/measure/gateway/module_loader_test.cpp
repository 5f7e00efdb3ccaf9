// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/gateway/module_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

namespace selvar::measure {
namespace {

// Root loads a module only from a file and folder that root alone can change.
TEST(MeasureModuleLoader, RootRefusesAFileOthersCouldHaveChanged) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "changing a file's owner takes root";
    }
    struct Case {
        const char* name;
        mode_t file, folder;
        uid_t owner;
        const char* reason;  // empty: may be loaded
    };
    const Case cases[] = {
        {"root's, 0644", 0644, 0755, 0, ""},
        {"writable by group", 0664, 0755, 0, "writable by others"},
        {"writable by all", 0646, 0755, 0, "writable by others"},
        {"folder writable by all", 0644, 0777, 0, "writable by others"},
        {"another user's", 0644, 0755, 65534, "not owned by root"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const std::string path = dir.filePath("module.so").toStdString();
        QFile(QString::fromStdString(path)).open(QIODevice::WriteOnly);
        ASSERT_EQ(::chmod(path.c_str(), c.file), 0);
        ASSERT_EQ(::chown(path.c_str(), c.owner, 0), 0);
        ASSERT_EQ(::chmod(dir.path().toLocal8Bit().constData(), c.folder), 0);
        const std::string reason = unsafeModuleReason(path);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_EQ(reason.empty(), *c.reason == '\0') << reason;
    }
}

// A module that is not there, or not a module, is a reason, never a crash; the answer stays.
TEST(MeasureModuleLoader, SaysWhyThereIsNoModule) {
    QTemporaryDir dir;
    const QString notModule = dir.filePath("selvar_measure_module.so");
    QFile file(notModule);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not an ELF object");
    file.close();
    struct Case {
        std::vector<std::string> paths;
        const char* reason;
    };
    const Case cases[] = {
        {{dir.filePath("none.so").toStdString()}, "is not installed"},
        {{dir.filePath("none.so").toStdString(), notModule.toStdString()}, "cannot be loaded"},
    };
    for (const Case& c : cases) {
        MeasureModuleLoader loader(c.paths, false);
        for (int call = 0; call < 2; ++call) {
            std::string error;
            EXPECT_EQ(loader.module(error), nullptr);
            EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        }
    }
}

}  // namespace
}  // namespace selvar::measure
