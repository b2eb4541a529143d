#pragma once

#include <cstdint>

namespace pondera {

// Which side of the subject a landmark or segment lies on. Right and left are always the
// subject's own: in a front view the subject's right is on the viewer's left.
enum class BodySide { kCentre, kRight, kLeft };

// English names of the landmarks (index -1 to 21, as in ClassLANDMARK; -1 is the whole-body
// centre of gravity) and of the segments (0 to 14, as in ClassSEGMENT), for guidance texts and
// for an English interface. Another index raises error 9, like the Japanese names.
const char *LandMarkEnglishName(int16_t intValue);
const char *SegmentEnglishName(int16_t intSegNum);
BodySide LandMarkSide(int16_t intValue);
BodySide SegmentSide(int16_t intSegNum);

}  // namespace pondera
