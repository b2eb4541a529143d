#pragma once

#include <string>

#include "store/platform/files.h"
#include "store/records/record_layout.h"

// Where the record store keeps its files, from the current directory d.
namespace pondera::store {

struct RecordPaths {
    std::string folder;        // d, followed by a separator unless its trimmed text ends in one
    std::string workbook;      // folder + "PONDERA2D_2010.xls"
    std::string journal;       // the change journal beside it (hidden)
    std::string lockFile;      // the spreadsheet programs' lock file for the workbook
    std::string demoPicture1;  // d + "/DEMO/demo001.bmp", plain concatenation
    std::string demoPicture3;  // d + "/DEMO/demo003.bmp"
};

// The separator test looks at d with blanks trimmed off both ends; the paths are built from d
// as it is. A root "/" gives "/PONDERA2D_2010.xls" but "//DEMO/demo001.bmp": the picture names
// never had the test, and records store them as they were written.
inline RecordPaths recordPaths(const std::string &d) {
    const size_t last = d.find_last_not_of(' ');
    const bool endsInSeparator = last != std::string::npos && d[last] == kDirSeparator;
    RecordPaths p;
    p.folder = endsInSeparator ? d : d + kDirSeparator;
    p.workbook = p.folder + layout::kFileName;
    p.journal = p.folder + "." + layout::kFileName + ".journal";
    p.lockFile = p.folder + ".~lock." + layout::kFileName + "#";
    p.demoPicture1 = layout::demoPicturePath(d, 0);
    p.demoPicture3 = layout::demoPicturePath(d, 2);
    return p;
}

}  // namespace pondera::store
