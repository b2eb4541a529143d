// Saving a workbook atomically, keeping the original beside it when the rewrite drops things.
// A save is a snapshot (a copy of the workbook, taken where the workbook lives) and its writing
// (serializing the copy, the file, its fsyncs), which runs on any thread.
#include <algorithm>

#include "base/error.h"
#include "store/platform/files.h"
#include "store/xls/xls_workbook.h"

namespace pondera::store {

// A save of an XlsWorkbook: what it knew of the workbook when the save was asked for, and what the
// writing found.
class XlsSaveJob final : public SaveJob {
  public:
    SaveReport write() override {
        ByteWriter file = book->build(std::move(buffer));
        const auto pieces = file.pieces();
        // The carried sheets' bytes are written from the loaded stream: it stays while the
        // snapshot's cells go at once.
        const std::shared_ptr<const void> stream = book->backing_;
        owned.reset();
        SaveReport report;
        const FileIdentity before = fileIdentity(path);
        overSource =
            before.exists && haveSource && before.device == sourceDev && before.inode == sourceIno;
        replaceAtomically(path, requested, pieces, [&] {
            // The original is kept beside only once the new file is safely written.
            if (overSource && keep) report.keptOriginal = keepBeside(path);
        });
        written = fileIdentity(path);
        done = true;
        buffer = std::move(file.data);
        return report;
    }

    XlsWorkbook *book = nullptr;         // what write() serializes
    std::unique_ptr<XlsWorkbook> owned;  // the snapshot, when book is one
    std::string requested, path;
    bool haveSource = false, keep = false;
    uint64_t sourceDev = 0, sourceIno = 0;
    // The sheets rewritten from their cells in this snapshot: only their losses are behind us
    // once it replaced the source.
    std::vector<const XlsSheet *> rewritten;

    bool done = false, overSource = false;
    FileIdentity written;
    Buffer buffer;  // the workbook's spare buffer, lent to the writing and given back
};

void XlsWorkbook::prepareSave(SaveJob &prepared, const std::string &requested) {
    auto &job = dynamic_cast<XlsSaveJob &>(prepared);
    job.requested = requested;
    job.path = saveTarget(requested);
    job.haveSource = haveSource_;
    job.sourceDev = sourceDev_;
    job.sourceIno = sourceIno_;
    job.keep = needsKeeping();
    job.buffer = std::move(spare_);
    for (const auto &s : sheets_)
        if (s->ours_) job.rewritten.push_back(s.get());
}

std::unique_ptr<SaveJob> XlsWorkbook::snapshotSave(const std::string &requested) {
    auto job = std::make_unique<XlsSaveJob>();
    prepareSave(*job, requested);
    job->owned = snapshot();
    job->book = job->owned.get();
    return job;
}

void XlsWorkbook::finishSave(SaveJob &saved) {
    auto &job = dynamic_cast<XlsSaveJob &>(saved);
    if (spare_.capacity() < job.buffer.capacity()) spare_ = std::move(job.buffer);
    if (!job.done) return;
    if (job.overSource || !haveSource_ || job.path == sourcePath_) {
        if (job.written.exists) setSource(job.path, job.written);
        if (job.overSource) {
            sourceLossy_ = false;
            for (auto &s : sheets_)
                if (std::find(job.rewritten.begin(), job.rewritten.end(), s.get()) !=
                    job.rewritten.end())
                    s->lossy_ = false;
        }
    }
}

SaveReport XlsWorkbook::saveAs(const std::string &requested) {
    // Saving here and now needs no copy: the job serializes this workbook itself.
    XlsSaveJob job;
    prepareSave(job, requested);
    job.book = this;
    const SaveReport report = job.write();
    finishSave(job);
    return report;
}

}  // namespace pondera::store
