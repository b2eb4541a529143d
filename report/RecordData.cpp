#include "report/RecordData.h"

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/VerdictDoubt.h"

namespace pondera::report {

Results computeResults(const RecordData &record) {
    ClassLANDMARK landMarks;
    ClassSEGMENT segments(landMarks);
    for (int16_t i = 0; i < kLandmarkCount; ++i) {
        landMarks.SetLandMarkX(i, record.landmarks[static_cast<size_t>(i)].x);
        landMarks.SetLandMarkY(i, 0);
        landMarks.SetLandMarkZ(i, record.landmarks[static_cast<size_t>(i)].z);
    }
    Results r;
    if (isValidSex(record.sex)) {
        segments.SetSex(record.sex);
        segments.CalcCOGB();
        r.computable = true;
        for (int16_t s = 0; s < kSegmentCount; ++s)
            r.segments[static_cast<size_t>(s)] = {segments.GetCOGSX(s), segments.GetCOGSZ(s)};
        r.body = {segments.GetCOGBX(), segments.GetCOGBZ()};
    }
    r.balance = CalcBalance(landMarks, r.body.x, r.body.z);
    r.verdictDependsOnMarks =
        r.computable && VerdictDependsOnMarks(landMarks, record.sex, record.checkMarks);
    return r;
}

}  // namespace pondera::report
