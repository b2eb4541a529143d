#include "report/CsvText.h"

#include <charconv>

#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "report/Names.h"
#include "store/records/check_marks.h"

namespace pondera::report {

namespace {

void field(std::string &out, const std::string &text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string::npos;
    if (!quote) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void number(std::string &out, float value) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;  // 32 characters hold every float
    out.append(buf, static_cast<size_t>(end - buf));
}

class Row {
  public:
    explicit Row(std::string &out) : out_(out) {}
    Row &text(const std::string &t) {
        sep();
        field(out_, t);
        return *this;
    }
    Row &num(float v) {
        sep();
        number(out_, v);
        return *this;
    }
    Row &empty() {
        sep();
        return *this;
    }
    void end() { out_ += "\r\n"; }

  private:
    void sep() {
        if (!first_) out_ += ',';
        first_ = false;
    }
    std::string &out_;
    bool first_ = true;
};

}  // namespace

std::string checkField(const RecordData &record, const Results &results) {
    std::string text = store::encodeCheckMarks(record.checkMarks);
    if (results.verdictDependsOnMarks) text += "; base of support: depends on points to check";
    return text;
}

std::string recordsCsvText(const std::vector<RecordData> &records) {
    std::string out("\xEF\xBB\xBF");
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
        row.text(checkField(r, res));
        row.end();
    }
    return out;
}

}  // namespace pondera::report
