#include "tools/workbook/detect.h"

#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>

#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgcodecs.hpp>

#include "base/csv.h"
#include "base/error.h"
#include "model/BodyFacts.h"
#include "model/ClassLANDMARK.h"
#include "model/ClassSEGMENT.h"
#include "model/EnglishNames.h"
#include "pose/LandmarkMapping.h"
#include "pose/ModelLocation.h"
#include "pose/PoseDetector.h"
#include "store/records/ClassEXCEL.h"
#include "store/records/check_marks.h"

namespace pondera::tool {
namespace {

namespace fs = std::filesystem;

// The column name of landmark i: its English name with underscores for blanks
// ("top_of_head"), so a column name is one word for the tools that read the output.
std::string columnName(int16_t i) {
    std::string name = LandMarkEnglishName(i);
    for (char &c : name)
        if (c == ' ') c = '_';
    return name;
}

std::string number(float v) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, end) : "nan";
}

}  // namespace

// The record store works on the workbook of one folder, under its fixed name.
std::string workbookFolder(const std::string &workbook) {
    std::error_code ec;
    fs::path p(workbook);
    if (fs::is_directory(p, ec)) return p.string();
    if (p.filename() != "PONDERA2D_2010.xls") {
        throw Error(kErrPathNotFound,
                    "--into needs a folder or a file named PONDERA2D_2010.xls, not " + workbook);
    }
    fs::path folder = p.parent_path().empty() ? fs::path(".") : p.parent_path();
    if (!fs::is_directory(folder, ec))
        throw Error(kErrPathNotFound, "no folder " + folder.string());
    return folder.string();
}

void storeDetectedRecord(ClassEXCEL &store, const ClassSEGMENT &segment,
                         const store::CheckMarks &marks) {
    store::PutCheckMarks(store, marks);
    store.PutCOGBX(segment.GetCOGBX());
    store.PutCOGBZ(segment.GetCOGBZ());
    for (int16_t s = segment.GetSegMinNum(); s <= segment.GetSegMaxNum(); ++s) {
        store.PutCOGSX(s, segment.GetCOGSX(s));
        store.PutCOGSZ(s, segment.GetCOGSZ(s));
    }
    store.Commit();
}

int detectLandmarks(const DetectOptions &options, std::ostream &out, std::ostream &err) {
    const pose::ModelLocation where = pose::locateModel();
    if (!where.found()) {
        throw Error(kErrFileAccess, "landmark detection is not available: " + where.whyMissing);
    }
    pose::PoseDetector detector(where.file);
    // Unreadable photos are reported here, one line each, not by the decoder's own log.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);

    ClassLANDMARK landMark;
    ClassSEGMENT segment(landMark);
    std::unique_ptr<ClassEXCEL> store;
    if (!options.intoWorkbook.empty()) {
        const std::string folder = workbookFolder(options.intoWorkbook);
        try {
            store =
                std::make_unique<ClassEXCEL>(landMark, segment, ClassEXCEL::Options{folder, {}});
        } catch (const Error &e) {
            throw Error(e.number(), "cannot append to the workbook in " + folder +
                                        " (is pondera2d running there?): " + e.what());
        }
        for (const std::string &notice : store->TakeNotices())
            err << "pondera2d-workbook: " << notice << "\n";
    }

    out << "photo";
    if (store) out << ",code";
    out << ",width,height";
    for (int16_t i = 0; i < kLandmarkCount; ++i)
        out << "," << columnName(i) << "_x," << columnName(i) << "_z";
    out << ",cog_male_x,cog_male_z,cog_female_x,cog_female_z,check\n";

    int failures = 0;
    for (const std::string &photo : options.photos) {
        std::error_code ec;
        const cv::Mat picture =
            fs::is_regular_file(photo, ec) ? cv::imread(photo, cv::IMREAD_COLOR) : cv::Mat();
        if (picture.empty()) {
            err << "pondera2d-workbook: " << photo
                << (ec || !fs::exists(photo, ec) ? ": no such file\n"
                                                 : ": not a picture that can be read\n");
            ++failures;
            continue;
        }
        pose::NetworkPose found;
        try {
            found = options.at ? detector.detectAt(picture, {options.at->first, options.at->second})
                               : detector.detect(picture);
        } catch (const pose::PoseError &e) {
            err << "pondera2d-workbook: " << photo << ": " << e.what() << "\n";
            ++failures;
            continue;
        }
        if (!found.personFound) {
            err << "pondera2d-workbook: " << photo;
            if (options.at) {
                err << ": no person at (" << number(options.at->first) << ", "
                    << number(options.at->second) << ")\n";
            } else {
                err << ": no person found (pose flag " << found.poseFlag << ")\n";
            }
            ++failures;
            continue;
        }
        const auto guesses = pose::mapToLandmarks(found);
        std::array<pose::ModelPoint, pose::kLandmarkCount> model{};
        for (int i = 0; i < pose::kLandmarkCount; ++i) {
            // Whole pixels, as the program stores a click on the pixel the point lies in.
            const cv::Point2f pixel(std::floor(guesses[i].pos.x), std::floor(guesses[i].pos.y));
            model[i] = pose::toModelFrame(pixel, picture.rows);
            landMark.SetLandMarkX(int16_t(i), model[i].x);
            landMark.SetLandMarkY(int16_t(i), 0);
            landMark.SetLandMarkZ(int16_t(i), model[i].z);
        }
        segment.CalcCOGB();
        std::array<float, 4> body{};
        for (int16_t sex = 0; sex < 2; ++sex) {
            segment.SetSex(sex);
            body[2 * sex] = segment.GetCOGBX();
            body[2 * sex + 1] = segment.GetCOGBZ();
        }

        std::optional<int16_t> code;
        if (store) {
            code = store->AddCode();
            store->PutPictureName(fs::absolute(photo).string());
            store->PutSex(int16_t(options.sex));
            for (int16_t i = 0; i < pose::kLandmarkCount; ++i) {
                store->PutLandMarkX(i, model[i].x);
                store->PutLandMarkZ(i, model[i].z);
            }
            segment.SetSex(int16_t(options.sex));
            store::CheckMarks marks{};
            for (int i = 0; i < pose::kLandmarkCount; ++i)
                marks[size_t(i)] = guesses[i].needsCheck;
            storeDetectedRecord(*store, segment, marks);
        }

        out << csvField(photo);
        if (code) out << "," << *code;
        out << "," << picture.cols << "," << picture.rows;
        for (const auto &m : model)
            out << "," << number(m.x) << "," << number(m.z);
        for (float v : body)
            out << "," << number(v);
        std::string check;
        for (int i = 0; i < pose::kLandmarkCount; ++i) {
            if (guesses[i].needsCheck) check += (check.empty() ? "" : " ") + std::to_string(i);
        }
        out << "," << check << "\n";
        out.flush();
    }
    if (store) {
        store->Close();
        for (const std::string &notice : store->TakeNotices())
            err << "pondera2d-workbook: " << notice << "\n";
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace pondera::tool
