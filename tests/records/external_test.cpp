// Another program reads the workbook the store writes: python3-xlrd, while the store is open
// (the start-up save) and after it closed (every change of the session).
#include <cstdio>

#include "tests/records/store_fixture.h"

namespace pondera::testing {
namespace {

// Prints ID!C1, the memo, picture name and landmark 0 x of code 4 (if present), and the
// number of rows of each sheet.
constexpr const char *kScript = R"(
import sys, xlrd
b = xlrd.open_workbook(sys.argv[1])
ids, cogs, lm = b.sheet_by_name('ID'), b.sheet_by_name('COGS'), b.sheet_by_name('LANDMARK')
print(ids.cell_value(0, 2))
if ids.nrows > 6:
    print(ids.cell_value(6, 3)); print(ids.cell_value(6, 1)); print(lm.cell_value(6, 1))
print(ids.nrows, cogs.nrows, lm.nrows)
)";

std::string runXlrd(const std::string &path) {
    const std::string script = path + ".py";
    {
        std::FILE *f = std::fopen(script.c_str(), "w");
        std::fputs(kScript, f);
        std::fclose(f);
    }
    const std::string cmd =
        "PYTHONIOENCODING=utf-8 /usr/bin/python3 '" + script + "' '" + path + "' 2>&1";
    std::string out;
    if (std::FILE *p = ::popen(cmd.c_str(), "r")) {
        char buf[512];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    std::remove(script.c_str());
    return out;
}

class XlrdReadsTheWorkbook : public StoreTest {};

TEST_P(XlrdReadsTheWorkbook, WhileOpenAndAfterClose) {
    auto store = open();
    EXPECT_EQ(runXlrd(path()), "性別(0:男／1:女)\n6 6 6\n");
    store->AddCode();
    store->PutMemo("右足のつま先");
    store->PutPictureName("/home/u/写真/a.jpg");
    store->PutLandMarkX(0, 12.5f);
    store->Commit();
    store->Close();
    EXPECT_EQ(runXlrd(path()), "性別(0:男／1:女)\n右足のつま先\n/home/u/写真/a.jpg\n12.5\n7 7 7\n");
}

// Values of a record's own (check marks) go to a sheet of their own, after the three: xlrd reads
// the record sheets as before, and the data sheet holds the code and the key and value.
TEST_P(XlrdReadsTheWorkbook, RecordSheetsUnchangedBesideTheProgramsOwnData) {
    auto store = open();
    store->SetCurCode(store->AddCode());
    store->PutMemo("右足のつま先");
    store->PutPictureName("/home/u/写真/a.jpg");
    store->PutLandMarkX(0, 12.5f);
    store->PutRecordValue("check", "16 21");
    store->Commit();
    store->Close();
    EXPECT_EQ(runXlrd(path()), "性別(0:男／1:女)\n右足のつま先\n/home/u/写真/a.jpg\n12.5\n7 7 7\n");
    const std::string script = dir + "/names.py";
    writeText(script,
              "import sys, xlrd\nb = xlrd.open_workbook(sys.argv[1])\n"
              "print(b.sheet_names()); d = b.sheet_by_index(3)\n"
              "print(d.row_values(6)[:3])\n");
    const RunResult r =
        runCommand("/usr/bin/python3 " + shellQuote(script) + " " + shellQuote(path()));
    EXPECT_EQ(r.out, "['ID', 'COGS', 'LANDMARK', 'PONDERA2D_DATA']\n[4.0, 'check', '16 21']\n")
        << r.err;
}

INSTANTIATE_TEST_SUITE_P(Embedded, XlrdReadsTheWorkbook, ::testing::Values(EngineKind::Embedded),
                         engineName);

}  // namespace
}  // namespace pondera::testing
