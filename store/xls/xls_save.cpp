// Saving a workbook atomically, keeping the original beside it when the rewrite drops things.
#include "model/error.h"
#include "store/platform/files.h"
#include "store/xls/xls_workbook.h"

namespace pondera::store {

SaveReport XlsWorkbook::saveAs(const std::string &requested) {
    const Buffer bytes = build();
    SaveReport report;
    const std::string path = saveTarget(requested);
    const FileIdentity before = fileIdentity(path);
    const bool overSource =
        before.exists && haveSource_ && before.device == sourceDev_ && before.inode == sourceIno_;
    replaceAtomically(path, requested, bytes, [&] {
        // The original is kept beside only once the new file is safely written.
        if (overSource && needsKeeping()) report.keptOriginal = keepBeside(path);
    });
    if (overSource || !haveSource_ || path == sourcePath_) {
        if (const FileIdentity now = fileIdentity(path); now.exists) setSource(path, now);
        if (overSource) {
            sourceLossy_ = false;
            for (auto &s : sheets_)
                if (s->ours_) s->lossy_ = false;
        }
    }
    return report;
}

}  // namespace pondera::store
