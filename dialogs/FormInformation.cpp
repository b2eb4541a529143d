#include "FormInformation.h"

namespace pondera {

FormInformation::FormInformation(QWidget *parent) : QDialog(parent) {}

}  // namespace pondera
