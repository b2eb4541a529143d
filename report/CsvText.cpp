#include "report/CsvText.h"

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/EnglishNames.h"
#include "report/CsvWriter.h"
#include "store/records/check_marks.h"
#include "store/records/record_layout.h"

namespace pondera::report {

using Row = CsvRow;

std::string checkField(const RecordData &record, const Results &results) {
    std::string text = store::encodeCheckMarks(record.checkMarks);
    if (results.verdictDependsOnMarks) text += "; base of support: depends on points to check";
    return text;
}

std::string recordsCsvText(const std::vector<RecordData> &records) {
    std::string out(kCsvByteOrderMark);
    const ClassLANDMARK landMarks;
    const ClassSEGMENT segments(landMarks);

    Row head(out);
    using namespace store::layout;
    head.text(kIdHeaders[kColCode - 1])
        .text(kIdHeaders[kColPicture - 1])
        .text(std::string(kIdHeaders[kColSex - 1]) + " sex (0: male, 1: female)")
        .text(kIdHeaders[kColMemo - 1]);
    const std::string body = landMarks.GetLandMarkName(-1) + " body COG ";
    head.text(body + "x").text(body + "z");
    for (int16_t s = 0; s < kSegmentCount; ++s) {
        const std::string name = segments.GetCOGSName(s) + " " + SegmentEnglishName(s) + " COG ";
        head.text(name + "x").text(name + "z");
    }
    for (int16_t i = 0; i < kLandmarkCount; ++i) {
        const std::string name = landMarks.GetLandMarkName(i) + " " + LandMarkEnglishName(i) + " ";
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
        row.text(checkField(r, res));
        row.end();
    }
    return out;
}

}  // namespace pondera::report
