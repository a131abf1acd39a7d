#include "ChildProcess.h"

#include "ScriptFolder.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace flowtally {

namespace {

TEST(ChildProcess, ReportsWhyAToolCannotStart) {
    ScriptFolder scripts;
    ChildProcess notExecutable, missing;
    const Status denied = notExecutable.start(scripts.write("plain", {}, false), {},
                                              ChildProcess::ErrorStream::Inherited);
    EXPECT_EQ(denied.errorNumber(), EACCES);
    EXPECT_EQ(denied.message(), "cannot start the program: Permission denied");
    const Status absent =
        missing.start(scripts.filePath("missing"), {}, ChildProcess::ErrorStream::Piped);
    EXPECT_EQ(absent.errorNumber(), ENOENT);
    EXPECT_FALSE(absent.ok());
}

} // namespace

} // namespace flowtally
