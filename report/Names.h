#pragma once

namespace pondera::report {

// Where the segment coefficients come from, as the Information window cites it.
inline constexpr const char kCoefficientSource[] = "松井秀治（1958）";

}  // namespace pondera::report
