#pragma once

#include "app/FormMain.h"
#include "report/RecordData.h"
#include "session/RecordSession.h"

namespace pondera::test {

// The record the window shows, as the store holds it (read back through the session).
inline report::RecordData shownStored(const FormMain &form) {
    RecordSession *session = form.Session();
    return session->StoredRecord(session->ShownCode());
}

}  // namespace pondera::test
