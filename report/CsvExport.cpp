#include "report/CsvExport.h"

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "report/AtomicWrite.h"
#include "report/CsvWriter.h"
#include "report/Names.h"
#include "report/ResultTexts.h"

namespace pondera::report {

using Row = CsvRow;

QByteArray recordsCsv(const std::vector<RecordData> &records) {
    QByteArray out(kCsvByteOrderMark);
    const ClassLANDMARK landMarks;
    const ClassSEGMENT segments(landMarks);

    Row head(out);
    head.text("Code")
        .text("Picture Name")
        .text("性別(0:男／1:女) sex (0: male, 1: female)")
        .text("Memo");
    const std::string body = landMarks.GetLandMarkName(-1) + " body COG ";
    head.text(body + "x").text(body + "z");
    for (int16_t s = 0; s <= 14; ++s) {
        const std::string name =
            segments.GetCOGSName(s) + " " + kSegmentEnglish[static_cast<size_t>(s)] + " COG ";
        head.text(name + "x").text(name + "z");
    }
    for (int16_t i = 0; i <= 21; ++i) {
        const std::string name =
            landMarks.GetLandMarkName(i) + " " + kLandMarkEnglish[static_cast<size_t>(i)] + " ";
        head.text(name + "x").text(name + "z");
    }
    head.text("要確認 points to check");
    head.end();

    for (const RecordData &r : records) {
        const Results res = computeResults(r);
        Row row(out);
        row.text(std::to_string(r.code))
            .text(r.pictureName)
            .text(std::to_string(r.sex))
            .text(r.memo);
        if (res.computable) {
            row.num(res.body.x).num(res.body.z);
            for (const Point &p : res.segments)
                row.num(p.x).num(p.z);
        } else {
            for (int k = 0; k < 32; ++k)
                row.empty();
        }
        for (const Point &p : r.landmarks)
            row.num(p.x).num(p.z);
        row.text(checkText(r, res).toStdString());
        row.end();
    }
    return out;
}

void exportCsv(const QString &path, const std::vector<RecordData> &records) {
    writeFileAtomically(path, recordsCsv(records));
}

}  // namespace pondera::report
