#pragma once

#include <QString>
#include <string>

namespace pondera {

// A sentence of the record store (a notice or the detail of an error) in the interface language.
// The store is free of any interface library and words its sentences in Japanese; the shapes it
// uses are listed here with their parts as %1, %2, ... so translators see them. A sentence of no
// listed shape is shown as it is.
QString StoreText(const std::string &text);

}  // namespace pondera
