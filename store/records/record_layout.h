#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/demo_landmarks.h"
#include "store/platform/files.h"

// The layout of the records in the workbook, for the record store, the workbook tool and the
// tests: three sheets, two header rows, one row per record (row = code + 3), and the two columns
// x and z of landmark or segment i at 2*i+2 and 2*i+3. Records 0 to 3 are the demonstration
// records, restored at every start.
namespace pondera::store::layout {

enum SheetIndex : uint8_t { kSheetID = 0, kSheetCOGS = 1, kSheetLANDMARK = 2 };
inline constexpr const char *kSheetNames[3] = {"ID", "COGS", "LANDMARK"};

inline constexpr const char *kFileName = "PONDERA2D_2010.xls";
inline constexpr const char *kFileStem = "PONDERA2D_2010";

inline constexpr int32_t kHeaderRow = 1;       // column titles
inline constexpr int32_t kAxisRow = 2;         // "x" and "z" under each point
inline constexpr int32_t kFirstRecordRow = 3;  // code 0; code n is on row n + 3
inline constexpr int16_t kRowOffset = 3;

// Sheet ID: code, picture path, sex (0 male, 1 female), memo, body centre x and z.
inline constexpr int32_t kColCode = 1;
inline constexpr int32_t kColPicture = 2;
inline constexpr int32_t kColSex = 3;
inline constexpr int32_t kColMemo = 4;
inline constexpr int32_t kColBodyX = 5;
inline constexpr int32_t kColBodyZ = 6;
// What one cell holds, and so the longest memo: 32,767 characters (UTF-16 units).
inline constexpr size_t kMaxMemoLength = 32767;
inline constexpr const char *kIdHeaders[5] = {"Code", "Picture Name", "性別(0:男／1:女)", "Memo",
                                              "Center of Gravity of Body"};
inline constexpr const char *kCodeHeader = "Code";
inline constexpr const char *kAxisX = "x";
inline constexpr const char *kAxisZ = "z";

// COGS and LANDMARK: point i (segment or landmark) has x in column 2*i+2, z in 2*i+3.
inline constexpr int16_t kPointColumnStep = 2;
inline constexpr int16_t kPointXColumn = 2;
inline constexpr int16_t kPointZColumn = 3;
constexpr int32_t xColumn(int32_t i) {
    return kPointColumnStep * i + kPointXColumn;
}
constexpr int32_t zColumn(int32_t i) {
    return kPointColumnStep * i + kPointZColumn;
}

// Codes 0..32764: the row of a higher code overflows the 16-bit row arithmetic.
inline constexpr int32_t kMaxRecords = 32765;

// A new record's memo, and the demonstration records'.
inline constexpr const char *kNewMemo = "NEW";
inline constexpr int16_t kDemoRecords = 4;
inline int16_t demoSex(int16_t code) {
    return static_cast<int16_t>(code % 2);
}
inline std::string demoMemo(int16_t code) {
    return "demo" + std::to_string(code);
}
inline const DemoLandmarkSet &demoLandmarks(int16_t code) {
    return code < 2 ? kDemoSetA : kDemoSetB;
}
// Records 0 and 1 show the first photograph, 2 and 3 the second.
inline const char *demoPictureName(int16_t code) {
    return code < 2 ? "demo001.bmp" : "demo003.bmp";
}
// The demonstration picture of a record for current directory d: d + "/DEMO/" + name, plain
// concatenation (a root "/" gives "//DEMO/..."; records store the names as they were written).
inline std::string demoPicturePath(const std::string &d, int16_t code) {
    return d + kDirSeparator + "DEMO" + kDirSeparator + demoPictureName(code);
}

}  // namespace pondera::store::layout
