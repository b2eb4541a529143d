#pragma once

namespace pondera {

// The program's short title: caption of message boxes that give none of their own and the title
// label of the About window.
inline constexpr const char kAppTitle[] = "Pondera2D";

}  // namespace pondera
