// An independent reader, python3-xlrd, reads what the engine writes with the same values.

#include <cstdio>
#include <sstream>

#include "tests/engine/engine_test_util.h"

namespace pondera::store {
namespace {

using test::TempDir;

// Every cell of every sheet as "sheet<TAB>row<TAB>col<TAB>type<TAB>value" lines (1-based), numbers
// in repr so the exact double shows.
std::string dumpWithXlrd(const std::string &path) {
    std::string script =
        "import sys, xlrd\n"
        "b = xlrd.open_workbook(sys.argv[1])\n"
        "out = []\n"
        "for s in b.sheets():\n"
        "  for r in range(s.nrows):\n"
        "    for c in range(s.ncols):\n"
        "      x = s.cell(r, c)\n"
        "      if x.ctype == 0: continue\n"
        "      v = repr(x.value) if x.ctype == 2 else str(x.value)\n"
        "      out.append('%s\\t%d\\t%d\\t%d\\t%s' % (s.name, r + 1, c + 1, x.ctype, v))\n"
        "sys.stdout.buffer.write(('\\n'.join(out) + '\\n').encode('utf-8'))\n";
    TempDir dir;
    std::string py = dir.file("dump.py");
    test::writeBytes(py, std::vector<uint8_t>(script.begin(), script.end()));
    std::string cmd = "/usr/bin/python3 " + py + " '" + path + "' 2>&1";
    FILE *p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while (p && (n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    if (p) pclose(p);
    return out;
}

TEST(EngineExternal, XlrdReadsSameValues) {
    TempDir dir;
    auto book = makeWorkbookEngine()->create();
    Worksheet &id = book->addSheet();
    id.setName("ID");
    id.setCell(1, 3, CellValue::str("性別(0:男／1:女)"));
    id.setCell(3, 1, CellValue::integer(-32768));
    id.setCell(3, 2, CellValue::integer(32767));
    id.setCell(3, 5, CellValue::single(0.1f));
    id.setCell(3, 6, CellValue::single(-294.7f));
    id.setCell(4, 1, CellValue::real(1.0 / 3));
    id.setCell(4, 2, CellValue::str(std::string(9000, 'L') + "終"));
    id.setCell(4, 3, CellValue::boolean(true));
    id.setCell(5, 1, CellValue::str("x" + [] {
                   std::string s;
                   for (int i = 0; i < 6000; ++i)
                       s += "😀";  // pairs near every record end
                   return s;
               }()));
    Worksheet &lm = book->addSheet();
    lm.setName("LANDMARK");
    for (int c = 1; c <= 45; ++c)
        lm.setCell(70, c, CellValue::integer(static_cast<int16_t>(c)));
    book->saveAs(dir.file("x.xls"));

    std::ostringstream want;
    want << "ID\t1\t3\t1\t性別(0:男／1:女)\n"
         << "ID\t3\t1\t2\t-32768.0\n"
         << "ID\t3\t2\t2\t32767.0\n"
         << "ID\t3\t5\t2\t0.1\n"
         << "ID\t3\t6\t2\t-294.7\n"
         << "ID\t4\t1\t2\t0.3333333333333333\n"
         << "ID\t4\t2\t1\t" << std::string(9000, 'L') << "終\n"
         << "ID\t4\t3\t4\t1\n"
         << "ID\t5\t1\t1\tx";
    for (int i = 0; i < 6000; ++i)
        want << "😀";
    want << "\n";
    for (int c = 1; c <= 45; ++c)
        want << "LANDMARK\t70\t" << c << "\t2\t" << c << ".0\n";
    EXPECT_EQ(dumpWithXlrd(dir.file("x.xls")), want.str());
}

// A file large enough for DIFAT sectors, read by xlrd: cell count and sum agree.
TEST(EngineExternal, XlrdReadsDifatSizedWorkbook) {
    TempDir dir;
    auto book = makeWorkbookEngine()->create();
    Worksheet &ws = book->addSheet();
    double sum = 0;
    for (int r = 1; r <= 40000; ++r)
        for (int c = 1; c <= 12; ++c) {
            double v = r + c / 3.0;
            ws.setCell(r, c, CellValue::real(v));
            sum += v;
        }
    book->saveAs(dir.file("big.xls"));
    ASSERT_GT(std::filesystem::file_size(dir.file("big.xls")), 7u * 1024 * 1024);
    std::string script =
        "import sys, xlrd\n"
        "s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
        "n = 0; t = 0.0\n"
        "for r in range(s.nrows):\n"
        "  for v in s.row_values(r):\n"
        "    if v != '': n += 1; t += v\n"
        "print(n, '%.6f' % t)\n";
    test::writeBytes(dir.file("sum.py"), std::vector<uint8_t>(script.begin(), script.end()));
    std::string cmd =
        "/usr/bin/python3 " + dir.file("sum.py") + " " + dir.file("big.xls") + " 2>&1";
    FILE *p = popen(cmd.c_str(), "r");
    char buf[256] = {};
    size_t n = p ? fread(buf, 1, sizeof buf - 1, p) : 0;
    if (p) pclose(p);
    char want[64];
    std::snprintf(want, sizeof want, "480000 %.6f\n", sum);
    EXPECT_EQ(std::string(buf, n), want);
}

}  // namespace
}  // namespace pondera::store
