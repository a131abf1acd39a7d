#include "accountd/Visibility.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

TEST(Visibility, ACallerSeesItsOwnSliceAndTheSystemServicesOnly) {
    const struct {
        const char *path;
        std::uint32_t uid;
        bool visible;
    } cases[] = {
        {"user.slice/user-1000.slice", 1000, true},
        {"user.slice/user-1000.slice/user@1000.service/app.slice/"
         "app-org.gnome.Terminal-1234.scope",
         1000, true},
        {"system.slice/cron.service", 1000, true},
        {"system.slice/docker-0a1b.scope/inner", 65534, true},
        // Another user's, also one whose number begins with the caller's.
        {"user.slice/user-10000.slice/app.scope", 1000, false},
        {"user.slice/user-1000.slicex/app.scope", 1000, false},
        {"user.slice/user-100.slice", 1000, false},
        {"user.slice/user-1000.slice/app.scope", 100, false},
        // Nothing else: the root, the slices themselves, other folders.
        {"", 0, false},
        {"user.slice", 1000, false},
        {"system.slice", 1000, false},
        {"system.slice/", 1000, false},
        {"system.slicex/a.service", 1000, false},
        {"init.scope", 0, false},
        {"machine.slice/vm.scope", 0, false},
    };
    for (const auto &check : cases)
        EXPECT_EQ(visibleTo(check.path, check.uid), check.visible)
            << check.path << " for " << check.uid;
}

} // namespace

} // namespace flowtally
