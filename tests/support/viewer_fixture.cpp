#include "tests/support/viewer_fixture.h"

#include <cstdlib>
#include <gtk/gtk.h>
#include <memory>
#include <string>

#include "base/locks.h"
#include "gui/visu_startup.h"
#include "interpreter/session.h"
#include "store/registry.h"
#include "tests/support/in_process.h"
#include "tests/support/x_session.h"
#include "view/context.h"

namespace {

std::unique_ptr<XSession> display;
bool toolkit_ready = false;

}  // namespace

void ViewerFixture::SetUpTestSuite() {
    if (display) return;
    display = std::make_unique<XSession>(false);
    setenv("DISPLAY", display->display().c_str(), 1);
    toolkit_ready = gtk_init_check(nullptr, nullptr);
}

void ViewerFixture::SetUp() {
    if (!toolkit_ready) GTEST_SKIP() << "no X display";
    Session& session = in_process_session();
    {
        GdkLock gdk;
        DomainLock lock;
        release_store(session.registries);
    }
    session.viewer.context.context_valid = 0;
    session.viewer_windows.context_redefined = 0;
    session.viewer.context.context_name.clear();
    process_pending_events();
}
