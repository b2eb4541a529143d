#include "tools/workbook/generate.h"

#include <random>

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/demo_landmarks.h"
#include "model/error.h"

namespace pondera::tool {

using store::CellValue;
using store::Worksheet;

namespace {

Worksheet &addNamed(store::Workbook &book, const char *name) {
    Worksheet &s = book.addSheet();
    s.setName(name);
    return s;
}

}  // namespace

void generateWorkbook(store::Workbook &book, int32_t records, const std::string &pictureDir) {
    if (records < 4 || records > 32767)
        throw Error(kErrSubscript, "--records must be 4 to 32767 (codes 0..32766), not " +
                                       std::to_string(records));
    ClassLANDMARK landMarks;
    ClassSEGMENT segments(landMarks);
    Worksheet &id = addNamed(book, "ID");
    Worksheet &cogs = addNamed(book, "COGS");
    Worksheet &landmark = addNamed(book, "LANDMARK");

    const char *idHeads[] = {"Code", "Picture Name", "性別(0:男／1:女)", "Memo",
                             "Center of Gravity of Body"};
    for (int c = 0; c < 5; ++c)
        id.setCell(1, c + 1, CellValue::str(idHeads[c]));
    id.setCell(2, 5, CellValue::str("x"));
    id.setCell(2, 6, CellValue::str("z"));
    cogs.setCell(1, 1, CellValue::str("Code"));
    for (int16_t s = segments.GetSegMinNum(); s <= segments.GetSegMaxNum(); ++s) {
        cogs.setCell(1, 2 * s + 2, CellValue::str(segments.GetCOGSName(s)));
        cogs.setCell(2, 2 * s + 2, CellValue::str("x"));
        cogs.setCell(2, 2 * s + 3, CellValue::str("z"));
    }
    landmark.setCell(1, 1, CellValue::str("Code"));
    for (int16_t i = landMarks.GetLandMarkMinNum(); i <= landMarks.GetLandMarkMaxNum(); ++i) {
        landmark.setCell(1, 2 * i + 2, CellValue::str(landMarks.GetLandMarkName(i)));
        landmark.setCell(2, 2 * i + 2, CellValue::str("x"));
        landmark.setCell(2, 2 * i + 3, CellValue::str("z"));
    }

    // A fixed seed: the same command gives the same file.
    std::mt19937 rng(2010);
    std::uniform_int_distribution<int> jitter(-6, 6);
    std::uniform_int_distribution<int> shift(-40, 40);
    for (int32_t code = 0; code < records; ++code) {
        const int32_t row = code + 3;
        const bool demo = code < 4;
        const bool setB = demo ? code >= 2 : (code / 2) % 2 == 1;
        const DemoLandmarkSet &base = setB ? kDemoSetB : kDemoSetA;
        const auto sex = static_cast<int16_t>(code % 2);
        std::string picture = demo ? pictureDir + "/DEMO/" + (setB ? "demo003.bmp" : "demo001.bmp")
                                   : "/home/lab/pictures/subject" + std::to_string(code) + ".jpg";
        id.setCell(row, 1, CellValue::integer(static_cast<int16_t>(code)));
        id.setCell(row, 2, CellValue::str(picture));
        id.setCell(row, 3, CellValue::integer(sex));
        id.setCell(row, 4,
                   CellValue::str(demo ? "demo" + std::to_string(code)
                                       : "subject " + std::to_string(code) +
                                             (sex ? " 女性 立位" : " 男性 立位")));
        cogs.setCell(row, 1, CellValue::integer(static_cast<int16_t>(code)));
        landmark.setCell(row, 1, CellValue::integer(static_cast<int16_t>(code)));

        // The demonstration records hold the sets as they are, as integers; the others a
        // person standing a little elsewhere with every point a few pixels off. A click lands
        // on a pixel, so landmark coordinates are whole numbers (stored as singles, as the
        // program stores them); the centres of gravity computed from them are not.
        const int dx = demo ? 0 : shift(rng), dz = demo ? 0 : shift(rng) / 4;
        for (int16_t i = 0; i <= landMarks.GetLandMarkMaxNum(); ++i) {
            float x = static_cast<float>(base[i].x), z = static_cast<float>(base[i].z);
            if (!demo) {
                x += static_cast<float>(dx + jitter(rng));
                z += static_cast<float>(dz + jitter(rng));
            }
            landMarks.SetLandMarkX(i, x);
            landMarks.SetLandMarkZ(i, z);
            if (demo) {
                landmark.setCell(row, 2 * i + 2, CellValue::integer(static_cast<int16_t>(x)));
                landmark.setCell(row, 2 * i + 3, CellValue::integer(static_cast<int16_t>(z)));
            } else {
                landmark.setCell(row, 2 * i + 2, CellValue::single(x));
                landmark.setCell(row, 2 * i + 3, CellValue::single(z));
            }
        }
        segments.SetSex(sex);
        segments.CalcCOGB();
        id.setCell(row, 5, CellValue::single(segments.GetCOGBX()));
        id.setCell(row, 6, CellValue::single(segments.GetCOGBZ()));
        for (int16_t s = 0; s <= segments.GetSegMaxNum(); ++s) {
            cogs.setCell(row, 2 * s + 2, CellValue::single(segments.GetCOGSX(s)));
            cogs.setCell(row, 2 * s + 3, CellValue::single(segments.GetCOGSZ(s)));
        }
    }
}

}  // namespace pondera::tool
