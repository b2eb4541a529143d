// Linked only while the tree has no embedded engine yet: the test engine takes its place.
#include "fake_engine.h"

namespace pondera::store {
std::unique_ptr<WorkbookEngine> makeWorkbookEngine() {
    return std::make_unique<testing::FakeEngine>();
}
}  // namespace pondera::store
