#include "DialogLoad.h"

namespace pondera {

DialogLoad::DialogLoad(ClassEXCEL &, int16_t &, QWidget *parent) : QDialog(parent) {}

}  // namespace pondera
