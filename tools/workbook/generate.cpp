#include "tools/workbook/generate.h"

#include <random>

#include "base/error.h"
#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/demo_landmarks.h"
#include "store/records/record_export.h"
#include "store/records/record_layout.h"

namespace pondera::tool {

using store::CellValue;
using store::Worksheet;
using namespace store::layout;

namespace {

Worksheet &addNamed(store::Workbook &book, const std::string &name) {
    Worksheet &s = book.addSheet();
    s.setName(name);
    return s;
}

// The header rows exactly as the record store writes them.
void writeHeaders(uint8_t sheet, Worksheet &ws) {
    store::forEachHeaderCell(sheet, [&](int32_t row, int32_t col, const std::string &text) {
        ws.setCell(row, col, CellValue::str(text));
    });
}
void writeRecords(Worksheet &id, Worksheet &cogs, Worksheet &landmark, int32_t records,
                  const std::string &pictureDir, ClassLANDMARK &landMarks, ClassSEGMENT &segments);

}  // namespace

void generateWorkbook(store::Workbook &book, int32_t records, const std::string &pictureDir) {
    // Beyond the record store's last code the program could not show or add records.
    if (records < kDemoRecords || records > kMaxRecords)
        throw Error(kErrSubscript, "--records must be 4 to " + std::to_string(kMaxRecords) +
                                       " (codes 0.." + std::to_string(kMaxRecords - 1) + "), not " +
                                       std::to_string(records));
    ClassLANDMARK landMarks;
    ClassSEGMENT segments(landMarks);
    Worksheet &id = addNamed(book, kSheetNames[kSheetID]);
    Worksheet &cogs = addNamed(book, kSheetNames[kSheetCOGS]);
    Worksheet &landmark = addNamed(book, kSheetNames[kSheetLANDMARK]);
    writeHeaders(kSheetID, id);
    writeHeaders(kSheetCOGS, cogs);
    writeHeaders(kSheetLANDMARK, landmark);
    writeRecords(id, cogs, landmark, records, pictureDir, landMarks, segments);
}

namespace {

void writeRecords(Worksheet &id, Worksheet &cogs, Worksheet &landmark, int32_t records,
                  const std::string &pictureDir, ClassLANDMARK &landMarks, ClassSEGMENT &segments) {
    // A fixed seed: the same command gives the same file.
    std::mt19937 rng(2010);
    std::uniform_int_distribution<int> jitter(-6, 6);
    std::uniform_int_distribution<int> shift(-40, 40);
    for (int32_t code = 0; code < records; ++code) {
        const auto code16 = static_cast<int16_t>(code);
        const int32_t row = code + kRowOffset;
        const bool demo = code < kDemoRecords;
        // The others alternate between the two demonstration sets in pairs, as records 0 to 3.
        const auto setOf = static_cast<int16_t>(demo ? code : ((code / 2) % 2) * 2);
        const DemoLandmarkSet &base = demoLandmarks(setOf);
        const int16_t sex = demoSex(code16);
        const std::string picture =
            demo ? demoPicturePath(pictureDir, code16)
                 : "/home/lab/pictures/subject" + std::to_string(code) + ".jpg";
        id.setCell(row, kColCode, CellValue::integer(code16));
        id.setCell(row, kColPicture, CellValue::str(picture));
        id.setCell(row, kColSex, CellValue::integer(sex));
        id.setCell(row, kColMemo,
                   CellValue::str(demo ? demoMemo(code16)
                                       : "subject " + std::to_string(code) +
                                             (sex ? " 女性 立位" : " 男性 立位")));
        cogs.setCell(row, kColCode, CellValue::integer(code16));
        landmark.setCell(row, kColCode, CellValue::integer(code16));

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
                landmark.setCell(row, xColumn(i), CellValue::integer(static_cast<int16_t>(x)));
                landmark.setCell(row, zColumn(i), CellValue::integer(static_cast<int16_t>(z)));
            } else {
                landmark.setCell(row, xColumn(i), CellValue::single(x));
                landmark.setCell(row, zColumn(i), CellValue::single(z));
            }
        }
        segments.SetSex(sex);
        segments.CalcCOGB();
        id.setCell(row, kColBodyX, CellValue::single(segments.GetCOGBX()));
        id.setCell(row, kColBodyZ, CellValue::single(segments.GetCOGBZ()));
        for (int16_t s = 0; s <= segments.GetSegMaxNum(); ++s) {
            cogs.setCell(row, xColumn(s), CellValue::single(segments.GetCOGSX(s)));
            cogs.setCell(row, zColumn(s), CellValue::single(segments.GetCOGSZ(s)));
        }
    }
}

}  // namespace

}  // namespace pondera::tool
