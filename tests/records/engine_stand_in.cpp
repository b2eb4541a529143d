// Linked with RECORDS_TEST_ENGINE_ONLY: the test engine takes the embedded one's place.
#include "tests/records/fake_engine.h"

namespace pondera::store {
std::unique_ptr<WorkbookEngine> makeWorkbookEngine() {
    return std::make_unique<testing::FakeEngine>();
}
}  // namespace pondera::store
